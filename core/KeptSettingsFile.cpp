// SPDX-License-Identifier: MIT
#include "KeptSettingsFile.h"

#include "CLIException.h"
#include "Utf8.h"
#include "WholeFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

ReadSettings refused(FileFault::Why why, const std::vector<std::wstring>& options = {}) {
    return {std::nullopt, FileFault{why, 0, options, {}}};
}

} // namespace

KeptSettingsFile KeptSettingsFile::system() {
    const char* folder = std::getenv("STATE_DIRECTORY");
    return KeptSettingsFile(std::string(folder != nullptr ? folder : VORLIXD_STATE_DIRECTORY) + "/kept-settings");
}

KeptSettingsFile KeptSettingsFile::user() {
    if (std::getenv("STATE_DIRECTORY") != nullptr) {
        return system();
    }
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = state != nullptr && state[0] == '/'
                                 ? state
                                 : std::string(home != nullptr ? home : "") + "/.local/state";
    return KeptSettingsFile(base + "/vorlixd/kept-settings", true);
}

KeptSettingsFile KeptSettingsFile::forThisUser() {
    return getuid() == 0 ? system() : user();
}

ReadSettings KeptSettingsFile::load() const {
    const WholeFile::Read read = WholeFile::read(filePath, LONGEST_FILE);
    if (read.status != WholeFile::Read::Status::Read) {
        return {std::nullopt, WholeFile::faultOf(read.status)};
    }
    return fromLine(read.text);
}

ReadSettings KeptSettingsFile::fromLine(const std::string& text) {
    // One line of plain ASCII, as save() writes it, its words split at each blank; anything
    // else is no line of ours.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::optional<std::wstring> decoded = Utf8::decode(text);
    if (!ascii || !decoded || decoded->empty() || decoded->find(L'\n') != decoded->size() - 1) {
        return refused(FileFault::Why::NotWritten);
    }
    std::vector<std::wstring> words(1);
    for (size_t i = 0; i + 1 < decoded->size(); ++i) {
        if ((*decoded)[i] == L' ') {
            words.emplace_back();
        } else {
            words.back() += (*decoded)[i];
        }
    }
    try {
        const MouseSettings settings = MouseSettings::fromOptions(words);
        if (text == line(settings)) {
            return {settings, std::nullopt};
        }
    } catch (const CLIException&) {
        return refused(FileFault::Why::OptionsRefused, words);
    }
    return refused(FileFault::Why::NotWritten);
}

bool KeptSettingsFile::save(const MouseSettings& settings) const {
    return WholeFile::replace(WholeFile::Lock(filePath, makeFolder), line(settings));
}

bool KeptSettingsFile::forget() const {
    return WholeFile::remove(WholeFile::Lock(filePath, false));
}

std::string KeptSettingsFile::line(const MouseSettings& settings) {
    return Utf8::encode(settings.toOptionLine()) + "\n";
}
