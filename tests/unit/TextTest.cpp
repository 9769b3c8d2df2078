// SPDX-License-Identifier: MIT
#include "DeviceText.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

TEST(TextTest, KeepsEveryCharacterAndReplacesWhatIsNone) {
    const std::vector<std::pair<std::wstring, QString>> cases = {
        // Qt's own conversions, fromUtf16 among them, would drop this U+FEFF as a byte-order mark.
        {L"\uFEFFGlide", QChar(0xFEFF) + QStringLiteral("Glide")},
        {L"\U0001F5B1 M3", QString::fromUtf16(u"\U0001F5B1 M3")},
        {std::wstring{L'A', static_cast<wchar_t>(0x110000), L'B'}, QString::fromUtf16(u"A\uFFFDB")},
        {std::wstring{L'A', static_cast<wchar_t>(0xD800), L'B'}, QString::fromUtf16(u"A\uFFFDB")},
    };
    for (const auto& [given, expected] : cases) {
        EXPECT_EQ(DeviceText::toQString(given), expected) << expected.toStdString();
    }
}

// Text crossing in and out as UTF-8: only well-formed text is taken, and nothing is narrowed or
// widened a byte at a time.
TEST(TextTest, Utf8IsDecodedWholeOrNotAtAll) {
    const std::vector<std::pair<std::string, std::optional<std::wstring>>> cases = {
        {"/dev/hidraw0", L"/dev/hidraw0"},
        {"/dev/hidraw\xC4\xB0", L"/dev/hidraw\u0130"}, // not the byte '0' its low half would be
        {"/home/jos\xC3\xA9", L"/home/jos\u00E9"},
        {"\xF0\x9F\x96\xB1", L"\U0001F5B1"},
        {"\xC3", std::nullopt},             // cut short
        {"\xC0\xAF", std::nullopt},         // longer than needed
        {"\xED\xA0\x80", std::nullopt},     // a surrogate
        {"\xF4\x90\x80\x80", std::nullopt}, // beyond U+10FFFF
        {"\xA9", std::nullopt},             // a continuation alone
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Utf8::decode(bytes), text) << bytes;
        if (text) {
            EXPECT_EQ(Utf8::encode(*text), bytes);
        }
    }
}

TEST(TextTest, WhatIsNoCharacterIsReplacedOrShownAsItsBytes) {
    EXPECT_EQ(Utf8::encode(std::wstring{L'A', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}),
              "A\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Utf8::printable("/tmp/r\xC3\xA9glages\xFF\n"), L"/tmp/r\u00E9glages\\xff\\x0a");
}
