// SPDX-License-Identifier: MIT
// Arbitrary bytes as the file of kept settings, through the reader that the service and
// vorlixd-apply share. It must accept exactly the lines that save() writes: whatever it
// accepts is written back byte for byte and makes a whole report; anything else is refused
// with a reason, never half read.
#include "KeptSettingsFile.h"
#include "MouseSettings.h"
#include "VorlixConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ReadSettings read = KeptSettingsFile::fromLine(text);
    if (read.settings ? KeptSettingsFile::line(*read.settings) != text ||
                            read.settings->toVorlixConfig().serialize().size() != 32 || read.fault
                      : !read.fault) {
        std::abort();
    }
    return 0;
}
