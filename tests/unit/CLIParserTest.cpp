// SPDX-License-Identifier: MIT
#include "CLI.h"
#include "CLIException.h"
#include "CLIParser.h"
#include "Common.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

const std::wstring FREQUENCY_SUFFIX = L" – 期待值为：125，250，500，1000";
const std::wstring SPEED_SUFFIX = L" – 期待值为：1，2，3，4，5";
const std::wstring BOOLEAN_SUFFIX = L" – 期待值为： true 或 false";

// Runs a throwing call; returns the message, or "" when nothing was thrown.
template <typename Call>
std::wstring failureOf(Call call) {
    try {
        call();
    } catch (const CLIException& e) {
        EXPECT_EQ(e.getExitCode(), CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
        return e.getMessage();
    }
    return L"";
}

// The command-line parsers and the service's parsers must agree on every text.
TEST(ValueGrammarTest, FrequencyTexts) {
    const std::map<std::wstring, Frequency> accepted = {{L"125", Frequency::Hz_0125},
                                                        {L"250", Frequency::Hz_0250},
                                                        {L"500", Frequency::Hz_0500},
                                                        {L"1000", Frequency::Hz_1000}};
    for (const auto& [text, frequency] : accepted) {
        EXPECT_EQ(Common::parseFrequency(text), frequency);
        EXPECT_EQ(CLIParser::parseFrequency(text), frequency);
    }
    for (const std::wstring text : {L"0125", L"125Hz", L" 125", L"125 ", L"", L"8", L"1", L"-125", L"1e3", L"１２５"}) {
        const std::wstring expected = L"无法解析轮询率值：" + text + FREQUENCY_SUFFIX;
        EXPECT_EQ(failureOf([&] { Common::parseFrequency(text); }), expected);
        EXPECT_EQ(failureOf([&] { CLIParser::parseFrequency(text); }), expected);
    }
}

TEST(ValueGrammarTest, SpeedTexts) {
    const std::map<std::wstring, Speed> accepted = {
        {L"1", Speed::Speed_1}, {L"2", Speed::Speed_2}, {L"3", Speed::Speed_3},
        {L"4", Speed::Speed_4}, {L"5", Speed::Speed_5},
    };
    for (const auto& [text, speed] : accepted) {
        EXPECT_EQ(Common::parseSpeed(text), speed);
        EXPECT_EQ(CLIParser::parseSpeed(text), speed);
    }
    for (const std::wstring text : {L"0", L"6", L"10", L"28", L"03", L"3 ", L" 3", L"", L"-1", L"three"}) {
        const std::wstring expected = L"无法解析鼠标速度：" + text + SPEED_SUFFIX;
        EXPECT_EQ(failureOf([&] { Common::parseSpeed(text); }), expected);
        EXPECT_EQ(failureOf([&] { CLIParser::parseSpeed(text); }), expected);
    }
}

TEST(ValueGrammarTest, BooleanTexts) {
    const CLIParser parser;
    EXPECT_TRUE(parser.parse({L"--daemon", L"true"}).daemon);
    EXPECT_FALSE(parser.parse({L"--daemon", L"false"}).daemon);
    for (const std::wstring text : {L"True", L"TRUE", L"1", L"0", L"yes", L"", L" true"}) {
        const std::wstring expected = L"无法解析布尔值：" + text + BOOLEAN_SUFFIX;
        EXPECT_EQ(failureOf([&] { parser.parse({L"--smart-scrolling", text}); }), expected);
    }
}

struct ParseCase {
    std::vector<std::wstring> arguments;
    std::wstring failure; // empty: parsing succeeds
    bool daemon = false;
    std::map<size_t, uint8_t> changedBytes = {}; // report bytes that differ from the defaults
};

TEST(CLIParserTest, OptionLines) {
    const ParseCase cases[] = {
        {{}, L""},
        {{L"--daemon", L"false"}, L""},
        {{L"--speed", L"1", L"--daemon", L"true", L"--frequency", L"250", L"--smart-scrolling", L"true",
          L"--lift-off-detection", L"false", L"--remap-wheel-press", L"false", L"--remap-gesture-button", L"false"},
         L"",
         true,
         {{2, 0x0A}, {3, 0x1F}, {4, 0x00}, {5, 0x00}, {7, 0x01}, {22, 0x0C}, {25, 0x2F}, {31, 0x04}}},
        {{L"--remap-wheel-press", L"false"}, L"", false, {{22, 0x0C}}},
        {{L"--remap-gesture-button", L"false"}, L"", false, {{25, 0x2F}}},
        {{L"--speed", L"2", L"--speed", L"4"}, L"", false, {{2, 0x2C}}},
        {{L"--speed", L"9", L"--speed", L"4"}, L"无法解析鼠标速度：9" + SPEED_SUFFIX},
        {{L"--speed", L"4", L"--frequency"}, L"在该值之后的命令行参数缺失：--frequency"},
        {{L"--daemon"}, L"在该值之后的命令行参数缺失：--daemon"},
        {{L"--frequency", L"--speed", L"3"}, L"无法解析轮询率值：--speed" + FREQUENCY_SUFFIX},
        {{L"--frequency=500"}, L"不支持的命令行选项： --frequency=500"},
        {{L""}, L"不支持的命令行选项： "},
        {{L"--Speed", L"3"}, L"不支持的命令行选项： --Speed"},
        {{L"3"}, L"不支持的命令行选项： 3"},
        {{L"-s", L"3"}, L"不支持的命令行选项： -s"},
        {{L"--help"}, L"不支持的命令行选项： --help"},
        {{L"--speed", L"3", L"--"}, L"不支持的命令行选项： --"},
        {{L"--speed", L"3", L"extra"}, L"不支持的命令行选项： extra"},
        {{L"--daemon", L"true", L"--frequency", L"300"}, L"无法解析轮询率值：300" + FREQUENCY_SUFFIX},
    };
    const CLIParser parser;
    for (const ParseCase& c : cases) {
        std::wstring line;
        for (const std::wstring& argument : c.arguments) {
            line += L"[" + argument + L"]";
        }
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        CLIConfiguration configuration;
        EXPECT_EQ(failureOf([&] { configuration = parser.parse(c.arguments); }), c.failure);
        if (!c.failure.empty()) {
            continue;
        }
        Packet expected = VorlixConfig().serialize();
        for (const auto& [offset, value] : c.changedBytes) {
            expected[offset] = value;
        }
        EXPECT_EQ(configuration.vorlixConfig.serialize(), expected);
        EXPECT_EQ(configuration.daemon, c.daemon);
    }
}

} // namespace
