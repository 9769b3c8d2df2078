// SPDX-License-Identifier: MIT
#pragma once

#include <QChar>
#include <QString>

#include <string>

// Text a device gave (its name, its serial number), handed on to clients exactly as given.
// Qt's own conversion from a wide string takes a leading U+FEFF for a byte-order mark and
// drops it, so a name could reach a client other than the mouse wrote it. What is not a
// character at all (a lone surrogate, or beyond U+10FFFF) becomes U+FFFD, so that clients
// always get valid Unicode; Qt's conversion would pass such values on as broken UTF-16.
class DeviceText {
public:
    static QString toQString(const std::wstring& text) {
        QString converted;
        for (wchar_t c : text) {
            const char32_t code = static_cast<char32_t>(c);
            if (code > 0x10FFFF || QChar::isSurrogate(code)) {
                converted += QChar(QChar::ReplacementCharacter);
            } else if (QChar::requiresSurrogates(code)) {
                converted += QChar(QChar::highSurrogate(code));
                converted += QChar(QChar::lowSurrogate(code));
            } else {
                converted += QChar(code);
            }
        }
        return converted;
    }
};
