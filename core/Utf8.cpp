// SPDX-License-Identifier: MIT
#include "Utf8.h"

#include "PrintableText.h"

namespace {

// The character that starts at `at`, or -1 when no well-formed one does; `at` moves past it.
long next(const std::string& bytes, size_t& at) {
    const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        ++at;
        return first;
    }
    const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    static constexpr long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || first > 0xF4 || at + length > bytes.size()) {
        return -1;
    }
    long code = first & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return -1;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return -1;
    }
    at += length;
    return code;
}

} // namespace

std::optional<std::wstring> Utf8::decode(const std::string& bytes) {
    std::wstring text;
    for (size_t at = 0; at < bytes.size();) {
        const long code = next(bytes, at);
        if (code < 0) {
            return std::nullopt;
        }
        text += static_cast<wchar_t>(code);
    }
    return text;
}

std::string Utf8::encode(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t c : text) {
        auto code = static_cast<unsigned long>(static_cast<char32_t>(c));
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            bytes += static_cast<char>(code);
            continue;
        }
        const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        bytes += static_cast<char>((0xF00 >> length) | (code >> (6 * (length - 1))));
        for (int i = length - 2; i >= 0; --i) {
            bytes += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F));
        }
    }
    return bytes;
}

std::wstring Utf8::printable(const std::string& bytes) {
    std::wstring shown;
    for (size_t at = 0; at < bytes.size();) {
        const long code = next(bytes, at);
        if (code < 0) {
            shown += L"\\x" + PrintableText::hex(static_cast<unsigned char>(bytes[at++]), 2);
        } else {
            shown += PrintableText::escape(std::wstring(1, static_cast<wchar_t>(code)));
        }
    }
    return shown;
}
