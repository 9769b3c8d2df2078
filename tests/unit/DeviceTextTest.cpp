// SPDX-License-Identifier: MIT
#include "DeviceText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(DeviceTextTest, KeepsEveryCharacterAndReplacesWhatIsNone) {
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
