// SPDX-License-Identifier: MIT
// Arbitrary bytes as the administrator's file, through the environment-file reader that
// vorlixd-apply and the window share. Whatever it reads, it gives settings with no reason, or
// none with a reason or none at all; never a crash, a hang or half a reason.
#include "AdministratorSettings.h"
#include "VorlixConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ReadSettings read = AdministratorSettings::fromText(std::string(reinterpret_cast<const char*>(data), size));
    if (read.settings && (read.fault || read.settings->toVorlixConfig().serialize().size() != 32)) {
        std::abort();
    }
    return 0;
}
