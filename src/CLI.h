// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"

#include <algorithm>
#include <clocale>
#include <codecvt>
#include <cstring>
#include <locale>
#include <stdexcept>
#include <string>
#include <vector>

// The process arguments, decoded from UTF-8 into wide strings.
class CLI {
public:
    static constexpr int EXIT_CODE_SUCCESS = 0;
    static constexpr int EXIT_CODE_UNEXPECTED_ERROR = 1;
    static constexpr int EXIT_CODE_BAD_CLI_ARGUMENTS = 6;

    // The locale is set before anything is printed: the wide output stream encodes by it.
    CLI(int argc, char* argv[]) {
        useLocaleOfEnvironment();
        program = argc > 0 ? decode(argv[0]) : std::wstring();
        for (int i = 1; i < argc; ++i) {
            args.push_back(decode(argv[i]));
        }
    }

    virtual ~CLI() = default;

    std::vector<std::wstring> arguments() const { return args; }

private:
    static void useLocaleOfEnvironment() {
        std::setlocale(LC_ALL, "");
        // Started by cron, udev or systemd there is often no locale at all, and the C
        // locale would print every Chinese character as "?". Any locale chosen on purpose stays.
        const char* ctype = std::setlocale(LC_CTYPE, nullptr);
        if (std::strcmp(ctype, "C") == 0 || std::strcmp(ctype, "POSIX") == 0) {
            std::setlocale(LC_CTYPE, "C.UTF-8");
        }
    }

    // Malformed text is refused rather than guessed at: a value cut short could
    // otherwise pass as a valid one, and a lone surrogate cannot be printed back.
    std::wstring decode(const char* argument) {
        try {
            const std::wstring text = convertor.from_bytes(argument);
            // The converter stops quietly at a truncated sequence and lets surrogates through.
            const bool whole = convertor.converted() == std::strlen(argument);
            const bool hasSurrogate = std::any_of(text.begin(), text.end(),
                                                  [](wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; });
            if (whole && !hasSurrogate) {
                return text;
            }
        } catch (const std::range_error&) {
        }
        throw CLIException(L"无法解码命令行参数。", EXIT_CODE_BAD_CLI_ARGUMENTS);
    }

    std::wstring program;
    std::vector<std::wstring> args;
    std::wstring_convert<std::codecvt_utf8<wchar_t>> convertor;
};
