// SPDX-License-Identifier: MIT
#include "KeptSettingsFile.h"

#include "CLIException.h"
#include "Utf8.h"
#include "WholeFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

const std::wstring DAMAGED = L"保存的设置无法读取或不完整：";
const std::wstring CANNOT_READ = L"it cannot be read";
const std::wstring NOT_OUR_LINE = L"it is not the line the service writes";

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

ReadSettings KeptSettingsFile::load(std::wstring* why) const {
    if (why != nullptr) {
        why->clear();
    }
    const WholeFile::Read read = WholeFile::read(filePath, LONGEST_FILE);
    switch (read.status) {
    case WholeFile::Read::Status::Missing:
        return ReadSettings();
    case WholeFile::Read::Status::NotRegular:
        return unreadable(L"保存的设置不是普通文件，已拒绝：", L"it is not a regular file", why);
    case WholeFile::Read::Status::Unreadable:
        return unreadable(DAMAGED, CANNOT_READ, why);
    case WholeFile::Read::Status::TooLong:
        return unreadable(DAMAGED, NOT_OUR_LINE, why);
    case WholeFile::Read::Status::Read:
        break;
    }
    return fromLine(read.text, why);
}

ReadSettings KeptSettingsFile::fromLine(const std::string& text, std::wstring* why) const {
    if (why != nullptr) {
        why->clear();
    }
    // One line of plain ASCII, as save() writes it, its words split at each blank; anything
    // else is no line of ours.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::optional<std::wstring> decoded = Utf8::decode(text);
    if (!ascii || !decoded || decoded->empty() || decoded->find(L'\n') != decoded->size() - 1) {
        return unreadable(DAMAGED, NOT_OUR_LINE, why);
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
            return {settings, {}};
        }
    } catch (const CLIException& e) {
        const std::wstring refusal = MouseSettings::whyRefused(words);
        if (why != nullptr) {
            *why = NOT_OUR_LINE + (refusal.empty() ? L"" : L" (" + refusal + L")");
        }
        return {std::nullopt, {Outcome::Unreadable, e.getMessage()}};
    }
    return unreadable(DAMAGED, NOT_OUR_LINE, why);
}

Result KeptSettingsFile::save(const MouseSettings& settings) const {
    if (!WholeFile::replace(filePath, line(settings), makeFolder)) {
        return {Outcome::NotKept, L"鼠标已设置，但无法保存设置。"};
    }
    return {};
}

Result KeptSettingsFile::forget() const {
    if (unlink(filePath.c_str()) == 0 || errno == ENOENT) {
        return {};
    }
    return {Outcome::NotForgotten, L"无法删除保存的设置。"};
}

std::string KeptSettingsFile::line(const MouseSettings& settings) {
    return Utf8::encode(settings.toOptionLine()) + "\n";
}

ReadSettings KeptSettingsFile::unreadable(const std::wstring& sentence, const std::wstring& english,
                                          std::wstring* why) const {
    if (why != nullptr) {
        *why = english;
    }
    return {std::nullopt, {Outcome::Unreadable, sentence + Utf8::printable(filePath)}};
}
