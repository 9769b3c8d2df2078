// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Text that a device chose, made safe to print. A mouse names itself, and a name with
// control characters in it could drive the terminal that shows it or, with a line break,
// forge a line of the log. Each control character is shown as \xNN instead; everything
// else, Chinese included, is printed as it is.
class PrintableText {
public:
    static std::wstring escape(const std::wstring& text) {
        static const wchar_t hexDigits[] = L"0123456789abcdef";
        std::wstring printable;
        for (wchar_t c : text) {
            const uint32_t code = static_cast<uint32_t>(c);
            if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
                printable += L"\\x";
                printable += hexDigits[code >> 4];
                printable += hexDigits[code & 0xF];
            } else {
                printable += c;
            }
        }
        return printable;
    }
};
