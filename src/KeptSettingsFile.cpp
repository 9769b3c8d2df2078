// SPDX-License-Identifier: MIT
#include "KeptSettingsFile.h"

#include "CLIException.h"
#include "Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

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

ReadSettings KeptSettingsFile::load() const {
    struct stat status {};
    if (lstat(filePath.c_str(), &status) != 0) {
        return errno == ENOENT ? ReadSettings() : unreadable(L"保存的设置无法读取或不完整：");
    }
    if (!S_ISREG(status.st_mode)) {
        return unreadable(L"保存的设置不是普通文件，已拒绝：");
    }
    const int file = open(filePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return unreadable(L"保存的设置无法读取或不完整：");
    }
    std::string text(LONGEST_FILE + 1, '\0');
    ssize_t length = 0;
    // The file may have been swapped for something else since lstat looked at it.
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        length = read(file, text.data(), text.size());
    }
    close(file);
    if (length <= 0 || static_cast<size_t>(length) > LONGEST_FILE) {
        return unreadable(L"保存的设置无法读取或不完整：");
    }
    text.resize(static_cast<size_t>(length));
    return fromLine(text);
}

ReadSettings KeptSettingsFile::fromLine(const std::string& text) const {
    // One line of plain ASCII, as save() writes it, its words split at each blank; anything
    // else is no line of ours.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::optional<std::wstring> decoded = Utf8::decode(text);
    if (!ascii || !decoded || decoded->empty() || decoded->find(L'\n') != decoded->size() - 1) {
        return unreadable(L"保存的设置无法读取或不完整：");
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
        return {std::nullopt, {Outcome::Unreadable, e.getMessage()}};
    }
    return unreadable(L"保存的设置无法读取或不完整：");
}

Result KeptSettingsFile::save(const MouseSettings& settings) const {
    const Result notKept{Outcome::NotKept, L"鼠标已设置，但无法保存设置。"};
    const std::string folder = filePath.substr(0, filePath.rfind('/'));
    if (makeFolder) {
        for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
            mkdir(folder.substr(0, slash).c_str(), 0700);
        }
        mkdir(folder.c_str(), 0700);
    }
    std::string temporary = filePath + ".XXXXXX";
    const int file = mkstemp(temporary.data());
    if (file < 0) {
        return notKept;
    }
    const std::string text = line(settings);
    const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                         fchmod(file, 0644) == 0 && fsync(file) == 0;
    if (close(file) != 0 || !written || rename(temporary.c_str(), filePath.c_str()) != 0) {
        unlink(temporary.c_str());
        return notKept;
    }
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
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

ReadSettings KeptSettingsFile::unreadable(const std::wstring& why) const {
    return {std::nullopt, {Outcome::Unreadable, why + Utf8::printable(filePath)}};
}
