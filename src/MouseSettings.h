// SPDX-License-Identifier: MIT
#pragma once

#include "CLI.h"
#include "CLIException.h"
#include "CLIParser.h"
#include "Common.h"
#include "VorlixConfig.h"

#include <array>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// The six settings as people and clients give them: the rate in hertz and the speed step, not
// the mouse's codes. Kept, read from the administrator's file, shown in the window and sent,
// they are always these six together, and the command line's grammar is the one that reads them.
struct MouseSettings {
    inline static const std::array<int, 4> FREQUENCIES = {125, 250, 500, 1000};
    static constexpr int FIRST_SPEED_STEP = 1;
    static constexpr int LAST_SPEED_STEP = 5;

    bool liftOffDetection = true;
    bool smartScrolling = false;
    bool remapWheelPress = true;
    bool remapGestureButton = true;
    int frequency = 1000;
    int speed = 3;

    bool operator==(const MouseSettings& other) const {
        const auto fields = [](const MouseSettings& s) {
            return std::tie(s.liftOffDetection, s.smartScrolling, s.remapWheelPress, s.remapGestureButton, s.frequency,
                            s.speed);
        };
        return fields(*this) == fields(other);
    }
    bool operator!=(const MouseSettings& other) const { return !(*this == other); }

    // The record the report is made from. Both values go through the service's parsers, so a
    // value the mouse would not take throws CLIException with the service's sentence.
    VorlixConfig toVorlixConfig() const {
        VorlixConfig config;
        config.setLiftOffDetection(liftOffDetection);
        config.setSmartScrolling(smartScrolling);
        config.setWheelPressRemapped(remapWheelPress);
        config.setRemapGestureButton(remapGestureButton);
        config.setFrequency(Common::parseFrequency(std::to_wstring(frequency)));
        config.setSpeed(Common::parseSpeed(std::to_wstring(speed)));
        return config;
    }

    // All six as command-line options, in the order of configure's arguments.
    std::vector<std::wstring> toOptions() const {
        const auto flag = [](bool value) { return std::wstring(value ? L"true" : L"false"); };
        const std::pair<std::wstring, std::wstring> options[] = {
            {CLIParser::OPTION_LIFT_OFF_DETECTION, flag(liftOffDetection)},
            {CLIParser::OPTION_SMART_SCROLLING, flag(smartScrolling)},
            {CLIParser::OPTION_REMAP_WHEEL_PRESS, flag(remapWheelPress)},
            {CLIParser::OPTION_REMAP_GESTURE_BUTTON, flag(remapGestureButton)},
            {CLIParser::OPTION_FREQUENCY, std::to_wstring(frequency)},
            {CLIParser::OPTION_SPEED, std::to_wstring(speed)},
        };
        std::vector<std::wstring> words;
        for (const auto& [option, value] : options) {
            words.push_back(option);
            words.push_back(value);
        }
        return words;
    }

    // The same, as one line of words separated by blanks.
    std::wstring toOptionLine() const {
        std::wstring line;
        for (const std::wstring& word : toOptions()) {
            line += (line.empty() ? L"" : L" ") + word;
        }
        return line;
    }

    // Setting options in the command line's grammar: any of the six, in any order, the last
    // one winning, the rest at their defaults. Throws CLIException with the command line's own
    // message for anything else, --daemon included: these words never start a service.
    static MouseSettings fromOptions(const std::vector<std::wstring>& words) {
        CLIParser().parse(words); // the one grammar: it refuses what the mouse would not take
        MouseSettings settings;
        for (size_t i = 0; i + 1 < words.size(); i += 2) {
            const std::wstring& option = words[i];
            const bool on = words[i + 1] == L"true";
            if (option == CLIParser::OPTION_LIFT_OFF_DETECTION) {
                settings.liftOffDetection = on;
            } else if (option == CLIParser::OPTION_SMART_SCROLLING) {
                settings.smartScrolling = on;
            } else if (option == CLIParser::OPTION_REMAP_WHEEL_PRESS) {
                settings.remapWheelPress = on;
            } else if (option == CLIParser::OPTION_REMAP_GESTURE_BUTTON) {
                settings.remapGestureButton = on;
            } else if (option == CLIParser::OPTION_FREQUENCY) {
                settings.frequency = std::stoi(words[i + 1]);
            } else if (option == CLIParser::OPTION_SPEED) {
                settings.speed = std::stoi(words[i + 1]);
            } else {
                throw CLIException(L"不支持的命令行选项： " + option, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
            }
        }
        return settings;
    }
};
