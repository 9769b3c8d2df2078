// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "MouseSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <codecvt>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

// The administrator's settings file, /etc/default/vorlixd: while its VORLIXD_OPTIONS line sets
// any option, those settings are sent whenever a mouse comes back, in place of the kept ones.
// Its options are read with the command line's grammar; an invalid line is ignored as a whole,
// so a typo never leaves the mice with a guess nor without the kept settings.
class AdministratorSettings {
public:
    enum class State { NoneSet, Valid, Invalid };

    State state = State::NoneSet;
    MouseSettings settings;
    std::wstring problem; // why an invalid line is ignored

    // VORLIXD_DEFAULTS_FILE names another file, for tests.
    static std::string filePath() {
        const char* path = std::getenv("VORLIXD_DEFAULTS_FILE");
        return path != nullptr ? path : VORLIXD_DEFAULTS_FILE;
    }

    // The last VORLIXD_OPTIONS= line decides, as for an environment file. A missing or
    // unreadable file sets nothing.
    static AdministratorSettings read() {
        AdministratorSettings result;
        std::string value;
        bool assigned = false;
        std::istringstream lines(contents());
        for (std::string line; std::getline(lines, line);) {
            const size_t start = line.find_first_not_of(" \t");
            if (start != std::string::npos && line.compare(start, ASSIGNMENT.size(), ASSIGNMENT) == 0) {
                value = line.substr(start + ASSIGNMENT.size());
                assigned = true;
            }
        }
        const std::vector<std::wstring> words = assigned ? split(unquoted(value), result) : std::vector<std::wstring>();
        if (result.state == State::Invalid || words.empty()) {
            return result;
        }
        try {
            result.settings = MouseSettings::fromOptions(words);
            result.state = State::Valid;
        } catch (const CLIException& e) {
            result.state = State::Invalid;
            result.problem = e.getMessage();
        }
        return result;
    }

private:
    inline static const std::string ASSIGNMENT = "VORLIXD_OPTIONS=";
    // An environment file of a few lines; anything larger is not one.
    static constexpr size_t LONGEST_FILE = 64 * 1024;

    // Only a regular file is read, and never waited for.
    static std::string contents() {
        std::string text(LONGEST_FILE, '\0');
        ssize_t length = -1;
        const int file = open(filePath().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat status {};
        if (file >= 0 && fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
            length = ::read(file, text.data(), text.size());
        }
        if (file >= 0) {
            close(file);
        }
        text.resize(length > 0 ? static_cast<size_t>(length) : 0);
        return text;
    }

    // One pair of quotes around the whole value is the file's syntax, not part of the options.
    static std::string unquoted(std::string value) {
        value.erase(value.find_last_not_of(" \t\r") + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            return value.substr(1, value.size() - 2);
        }
        return value;
    }

    // The words as the command line would get them, split at blanks and decoded from UTF-8.
    static std::vector<std::wstring> split(const std::string& value, AdministratorSettings& result) {
        std::vector<std::wstring> words;
        std::istringstream stream(value);
        std::wstring_convert<std::codecvt_utf8<wchar_t>> convertor;
        for (std::string word; stream >> word;) {
            try {
                words.push_back(convertor.from_bytes(word));
            } catch (const std::range_error&) {
                result.state = State::Invalid;
                result.problem = L"无法解码命令行参数。";
            }
        }
        return words;
    }
};
