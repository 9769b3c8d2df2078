// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

// Text crosses into the program as UTF-8 (arguments, paths, files, the environment) and out of
// it as UTF-8 (files, the system log); inside it is wide. Every crossing goes through here, so
// nothing is ever narrowed or widened a byte at a time.
class Utf8 {
public:
    // The text, when `bytes` is well-formed UTF-8: no sequence cut short or longer than needed,
    // no surrogate, nothing beyond U+10FFFF. A value cut short could otherwise pass as a valid one.
    static std::optional<std::wstring> decode(const std::string& bytes);

    // What is not a character at all (a lone surrogate, or beyond U+10FFFF) becomes U+FFFD.
    static std::string encode(const std::wstring& text);

    // Bytes to show in a line, such as a path: decoded where they are UTF-8, and otherwise each
    // byte that is not shown as \xNN, so the line still names exactly these bytes.
    static std::wstring printable(const std::string& bytes);
};
