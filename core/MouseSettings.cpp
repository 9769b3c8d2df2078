// SPDX-License-Identifier: MIT
#include "MouseSettings.h"

#include "CLI.h"
#include "CLIException.h"
#include "CLIParser.h"
#include "Common.h"
#include "VorlixConfig.h"

std::wstring Setting::text(int value) const {
    if (kind == Kind::Flag) {
        return value != 0 ? L"true" : L"false";
    }
    return std::to_wstring(value);
}

std::optional<int> Setting::valueOf(const std::wstring& given) const {
    for (const int value : values) {
        if (text(value) == given) {
            return value;
        }
    }
    return std::nullopt;
}

const std::array<Setting, MouseSettings::COUNT>& MouseSettings::settings() {
    using Kind = Setting::Kind;
    // One setting a row, as wide as it takes.
    // clang-format off
    static const std::array<Setting, COUNT> table = {{
        {CLIParser::OPTION_LIFT_OFF_DETECTION, "liftOffDetection", Kind::Flag, {0, 1}, 1,
         [](VorlixConfig& record, int value) { record.setLiftOffDetection(value != 0); }},
        {CLIParser::OPTION_SMART_SCROLLING, "smartScrolling", Kind::Flag, {0, 1}, 0,
         [](VorlixConfig& record, int value) { record.setSmartScrolling(value != 0); }},
        {CLIParser::OPTION_REMAP_WHEEL_PRESS, "remapWheelPress", Kind::Flag, {0, 1}, 1,
         [](VorlixConfig& record, int value) { record.setWheelPressRemapped(value != 0); }},
        {CLIParser::OPTION_REMAP_GESTURE_BUTTON, "remapGestureButton", Kind::Flag, {0, 1}, 1,
         [](VorlixConfig& record, int value) { record.setRemapGestureButton(value != 0); }},
        // Both numbers go through the service's parsers, so a refusal carries their sentence.
        {CLIParser::OPTION_FREQUENCY, "frequency", Kind::Rate, {125, 250, 500, 1000}, 1000,
         [](VorlixConfig& record, int value) { record.setFrequency(Common::parseFrequency(std::to_wstring(value))); }},
        {CLIParser::OPTION_SPEED, "speed", Kind::Step, {1, 2, 3, 4, 5}, 3,
         [](VorlixConfig& record, int value) { record.setSpeed(Common::parseSpeed(std::to_wstring(value))); }},
    }};
    // clang-format on
    return table;
}

std::optional<size_t> MouseSettings::withOption(const std::wstring& option) {
    for (size_t i = 0; i < COUNT; ++i) {
        if (settings()[i].option == option) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> MouseSettings::withName(const std::string& name) {
    for (size_t i = 0; i < COUNT; ++i) {
        if (settings()[i].name == name) {
            return i;
        }
    }
    return std::nullopt;
}

MouseSettings::MouseSettings() {
    for (size_t i = 0; i < COUNT; ++i) {
        values[i] = settings()[i].byDefault;
    }
}

VorlixConfig MouseSettings::toVorlixConfig() const {
    VorlixConfig record;
    for (size_t i = 0; i < COUNT; ++i) {
        settings()[i].store(record, values[i]);
    }
    return record;
}

std::wstring MouseSettings::toOptionLine() const {
    std::wstring line;
    for (size_t i = 0; i < COUNT; ++i) {
        line += (i == 0 ? L"" : L" ") + settings()[i].option + L" " + settings()[i].text(values[i]);
    }
    return line;
}

MouseSettings MouseSettings::fromOptions(const std::vector<std::wstring>& words, const MouseSettings& base) {
    CLIParser().parse(words); // the one grammar: it refuses what the mouse would not take
    MouseSettings chosen = base;
    for (size_t word = 0; word + 1 < words.size(); word += 2) {
        const std::optional<size_t> i = withOption(words[word]);
        if (!i) {
            throw CLIException(L"不支持的命令行选项： " + words[word], CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
        }
        chosen.values[*i] = *settings()[*i].valueOf(words[word + 1]);
    }
    return chosen;
}

std::optional<OptionRefusal> MouseSettings::refusal(const std::vector<std::wstring>& words) {
    for (size_t word = 0; word < words.size(); word += 2) {
        const std::optional<size_t> i = withOption(words[word]);
        if (!i) {
            return OptionRefusal{OptionRefusal::Why::UnknownOption, words[word]};
        }
        if (word + 1 == words.size()) {
            return OptionRefusal{OptionRefusal::Why::MissingValue, words[word], *i};
        }
        if (!settings()[*i].valueOf(words[word + 1])) {
            return OptionRefusal{OptionRefusal::Why::RefusedValue, words[word + 1], *i};
        }
    }
    return std::nullopt;
}
