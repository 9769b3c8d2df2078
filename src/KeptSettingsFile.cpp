// SPDX-License-Identifier: MIT
#include "KeptSettingsFile.h"

#include "CLIException.h"
#include "Utf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

// A save cut short by a crash or a power cut leaves its new file behind, named as mkstemp names
// it; the next save removes those. Nothing else in the folder is touched: only regular files
// with exactly such a name, and a link is never followed.
void removeLeftovers(const std::string& folder, const std::string& name) {
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    const auto ours = [&name](const std::string& entry) {
        return entry.size() == name.size() + 7 && entry.compare(0, name.size() + 1, name + ".") == 0 &&
               std::all_of(entry.end() - 6, entry.end(), [](char c) {
                   return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
               });
    };
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(directory)) {
        if (ours(entry->d_name)) {
            leftovers.emplace_back(entry->d_name);
        }
    }
    for (const std::string& leftover : leftovers) {
        struct stat status {};
        if (fstatat(dirfd(directory), leftover.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)) {
            unlinkat(dirfd(directory), leftover.c_str(), 0);
        }
    }
    closedir(directory);
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

ReadSettings KeptSettingsFile::load(std::wstring* why) const {
    if (why != nullptr) {
        why->clear();
    }
    struct stat status {};
    if (lstat(filePath.c_str(), &status) != 0) {
        return errno == ENOENT ? ReadSettings() : unreadable(DAMAGED, CANNOT_READ, why);
    }
    if (!S_ISREG(status.st_mode)) {
        return unreadable(L"保存的设置不是普通文件，已拒绝：", L"it is not a regular file", why);
    }
    const int file = open(filePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return unreadable(DAMAGED, CANNOT_READ, why);
    }
    std::string text(LONGEST_FILE + 1, '\0');
    ssize_t length = 0;
    // The file may have been swapped for something else since lstat looked at it.
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        length = read(file, text.data(), text.size());
    }
    close(file);
    if (length <= 0 || static_cast<size_t>(length) > LONGEST_FILE) {
        return unreadable(DAMAGED, length < 0 ? CANNOT_READ : NOT_OUR_LINE, why);
    }
    text.resize(static_cast<size_t>(length));
    return fromLine(text, why);
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
    removeLeftovers(folder, filePath.substr(filePath.rfind('/') + 1));
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
