// SPDX-License-Identifier: MIT
#pragma once

#include "CLI.h"
#include "CLIException.h"
#include "VorlixConfig.h"

#include <string>
#include <utility>

// Parsers for the polling rate and the pointer speed. Values are matched as whole,
// exact texts: "0125" or " 125" is refused rather than guessed at.
class Common {
public:
    static Frequency parseFrequency(std::wstring value) {
        static const std::pair<const wchar_t*, Frequency> accepted[] = {
            {L"125", Frequency::Hz_0125},
            {L"250", Frequency::Hz_0250},
            {L"500", Frequency::Hz_0500},
            {L"1000", Frequency::Hz_1000},
        };
        for (const auto& [text, frequency] : accepted) {
            if (value == text) {
                return frequency;
            }
        }
        throw CLIException(L"无法解析轮询率值：" + value + L" – 期待值为：125，250，500，1000",
                           CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
    }

    static Speed parseSpeed(std::wstring value) {
        static const std::pair<const wchar_t*, Speed> accepted[] = {
            {L"1", Speed::Speed_1}, {L"2", Speed::Speed_2}, {L"3", Speed::Speed_3},
            {L"4", Speed::Speed_4}, {L"5", Speed::Speed_5},
        };
        for (const auto& [text, speed] : accepted) {
            if (value == text) {
                return speed;
            }
        }
        throw CLIException(L"无法解析鼠标速度：" + value + L" – 期待值为：1，2，3，4，5",
                           CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
    }
};
