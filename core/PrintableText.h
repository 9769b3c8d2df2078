// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Text that a device chose, made safe to print. A mouse names itself, and a name with
// control characters in it could drive the terminal that shows it or, with a line break,
// forge a line of the log; an invisible format character could reorder the rest of the
// line (a right-to-left override) or hide in it (a zero-width space), a line or paragraph
// separator could split it, and a space other than U+0020 (a no-break space) would pass for one.
// Each control character is shown as \xNN, each format character, separator and such space as
// \uNNNN (\UNNNNNNNN beyond U+FFFF); everything else, Chinese included, is printed as it is.
class PrintableText {
public:
    static std::wstring escape(const std::wstring& text) {
        std::wstring printable;
        for (wchar_t c : text) {
            const uint32_t code = static_cast<uint32_t>(c);
            if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
                printable += L"\\x" + hex(code, 2);
            } else if (isInvisible(code)) {
                printable += code > 0xFFFF ? L"\\U" + hex(code, 8) : L"\\u" + hex(code, 4);
            } else {
                printable += c;
            }
        }
        return printable;
    }

    // `code` as `digits` lower-case hexadecimal digits.
    static std::wstring hex(uint32_t code, int digits) {
        static const wchar_t hexDigits[] = L"0123456789abcdef";
        std::wstring text(digits, L'0');
        for (int i = digits - 1; i >= 0; --i, code >>= 4) {
            text[i] = hexDigits[code & 0xF];
        }
        return text;
    }

private:
    // Unicode's format characters (general category Cf), the line and paragraph separators, and
    // the spaces other than U+0020, which look like it and are not.
    static bool isInvisible(uint32_t code) {
        static const uint32_t ranges[][2] = {
            {0x00A0, 0x00A0},   {0x1680, 0x1680},   {0x2000, 0x200A},   {0x202F, 0x202F},   {0x205F, 0x205F},
            {0x3000, 0x3000},   {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
            {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},
            {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
            {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
            {0xE0001, 0xE0001}, {0xE0020, 0xE007F}};
        for (const auto& [first, last] : ranges) {
            if (code >= first && code <= last) {
                return true;
            }
        }
        return false;
    }
};
