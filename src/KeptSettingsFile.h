// SPDX-License-Identifier: MIT
#pragma once

#include "CLI.h"
#include "CLIException.h"
#include "MouseSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

// The file of the settings sent again whenever a mouse comes back: one line, the six settings
// as the command-line options that send them. The service writes it; the service and
// vorlixd-apply read it, both through here, so what the window shows is what the mice get.
class KeptSettingsFile {
public:
    // Never more than one line of options; a larger file is not ours.
    static constexpr size_t LONGEST_FILE = 256;

    // makeFolder: create the folder on save, for a user's own state folder that may not exist yet.
    explicit KeptSettingsFile(std::string path, bool makeFolder = false)
        : filePath(std::move(path)), makeFolder(makeFolder) {}

    // The system's: $STATE_DIRECTORY/kept-settings, where systemd names the unit's state folder.
    static KeptSettingsFile system() {
        const char* folder = std::getenv("STATE_DIRECTORY");
        return KeptSettingsFile(std::string(folder != nullptr ? folder : VORLIXD_STATE_DIRECTORY) + "/kept-settings");
    }

    // A user's own service keeps under $XDG_STATE_HOME/vorlixd, by default ~/.local/state/vorlixd,
    // unless systemd names its state folder.
    static KeptSettingsFile user() {
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

    const std::string& path() const { return filePath; }

    // The kept settings, or none when nothing is kept. Anything but exactly the line save()
    // writes throws CLIException saying why: half a set, or a set read another way than it
    // was written, must never be sent. Only a regular file is opened, so a pipe, a device or
    // a link put there can neither block the reader nor lead it elsewhere.
    std::optional<MouseSettings> load() const {
        struct stat status {};
        if (lstat(filePath.c_str(), &status) != 0) {
            if (errno == ENOENT) {
                return std::nullopt;
            }
            throw damaged();
        }
        if (!S_ISREG(status.st_mode)) {
            throw CLIException(L"保存的设置不是普通文件，已拒绝：" + widePath(), CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
        }
        const int file = open(filePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (file < 0) {
            throw damaged();
        }
        std::string text(LONGEST_FILE + 1, '\0');
        ssize_t length = 0;
        // The file may have been swapped for something else since lstat looked at it.
        if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
            length = read(file, text.data(), text.size());
        }
        close(file);
        if (length <= 0 || static_cast<size_t>(length) > LONGEST_FILE) {
            throw damaged();
        }
        text.resize(static_cast<size_t>(length));
        return fromLine(text);
    }

    // The settings in the text of the file, when it is exactly the line save() writes.
    MouseSettings fromLine(const std::string& text) const {
        const MouseSettings settings = MouseSettings::fromOptions(words(text));
        if (text != line(settings)) {
            throw damaged();
        }
        return settings;
    }

    // Replaces the file whole: a new file in the same folder, synced, renamed over the old
    // one, so a crash or power cut leaves the old settings or the new ones, never a mix; a link
    // in the way is replaced, not followed. False when it failed.
    bool save(const MouseSettings& settings) const {
        const std::string folder = filePath.substr(0, filePath.rfind('/'));
        if (makeFolder) {
            makeFolders(folder);
        }
        std::string temporary = filePath + ".XXXXXX";
        const int file = mkstemp(temporary.data());
        if (file < 0) {
            return false;
        }
        const std::string text = line(settings);
        const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                             fchmod(file, 0644) == 0 && fsync(file) == 0;
        if (close(file) != 0 || !written || rename(temporary.c_str(), filePath.c_str()) != 0) {
            unlink(temporary.c_str());
            return false;
        }
        const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            fsync(directory);
            close(directory);
        }
        return true;
    }

    // False when settings are still kept. A link there is removed, not followed.
    bool forget() const { return unlink(filePath.c_str()) == 0 || errno == ENOENT; }

    // The one line save() writes: plain ASCII, so each character is one byte.
    static std::string line(const MouseSettings& settings) {
        const std::wstring words = settings.toOptionLine();
        return std::string(words.begin(), words.end()) + "\n";
    }

private:
    // The words of a line of plain ASCII, split at each blank; anything else is no line of ours.
    std::vector<std::wstring> words(const std::string& text) const {
        if (text.empty() || text.back() != '\n' || text.find('\n') != text.size() - 1) {
            throw damaged();
        }
        std::vector<std::wstring> result(1);
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (byte >= 0x80) {
                throw damaged();
            }
            if (byte == ' ') {
                result.emplace_back();
            } else {
                result.back() += static_cast<wchar_t>(byte);
            }
        }
        return result;
    }

    static void makeFolders(const std::string& folder) {
        for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
            mkdir(folder.substr(0, slash).c_str(), 0700);
        }
        mkdir(folder.c_str(), 0700);
    }

    std::wstring widePath() const { return std::wstring(filePath.begin(), filePath.end()); }

    CLIException damaged() const {
        return CLIException(L"保存的设置无法读取或不完整：" + widePath(), CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
    }

    std::string filePath;
    bool makeFolder;
};
