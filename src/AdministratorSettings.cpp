// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"

#include "CLIException.h"
#include "Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

namespace {

const std::string ASSIGNMENT = "VORLIXD_OPTIONS=";
// An environment file of a few lines; anything larger is not one.
constexpr size_t LONGEST_FILE = 64 * 1024;

// Only a regular file is read, and never waited for.
std::string contents() {
    std::string text(LONGEST_FILE, '\0');
    ssize_t length = -1;
    const int file = open(AdministratorSettings::filePath().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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
std::string unquoted(std::string value) {
    value.erase(value.find_last_not_of(" \t\r") + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

std::string AdministratorSettings::filePath() {
    const char* path = std::getenv("VORLIXD_DEFAULTS_FILE");
    return path != nullptr ? path : VORLIXD_DEFAULTS_FILE;
}

ReadSettings AdministratorSettings::read() {
    return fromText(contents());
}

ReadSettings AdministratorSettings::fromText(const std::string& text) {
    std::optional<std::string> value;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, ASSIGNMENT.size(), ASSIGNMENT) == 0) {
            value = line.substr(start + ASSIGNMENT.size());
        }
    }
    if (!value) {
        return {};
    }
    // The words as the command line would get them, split at blanks and decoded from UTF-8; a
    // word that is not UTF-8 spoils the whole line, as it would the command line.
    std::vector<std::wstring> words;
    std::istringstream stream(unquoted(*value));
    for (std::string word; stream >> word;) {
        const std::optional<std::wstring> decoded = Utf8::decode(word);
        if (!decoded) {
            return {std::nullopt, {Outcome::Unreadable, L"无法解码命令行参数。"}};
        }
        words.push_back(*decoded);
    }
    if (words.empty()) {
        return {};
    }
    try {
        return {MouseSettings::fromOptions(words), {}};
    } catch (const CLIException& e) {
        return {std::nullopt, {Outcome::Unreadable, e.getMessage()}};
    }
}
