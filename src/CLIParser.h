// SPDX-License-Identifier: MIT
#pragma once

#include "CLI.h"
#include "CLIConfiguration.h"
#include "CLIException.h"
#include "Common.h"

#include <string>
#include <vector>

// Every option takes exactly one value, the next argument, whatever it looks like.
// Options may repeat: each occurrence is stored at once, so the last one wins and
// the first bad value ends parsing.
class CLIParser {
public:
    inline static const std::wstring OPTION_FREQUENCY = L"--frequency";
    inline static const std::wstring OPTION_SPEED = L"--speed";
    inline static const std::wstring OPTION_SMART_SCROLLING = L"--smart-scrolling";
    inline static const std::wstring OPTION_LIFT_OFF_DETECTION = L"--lift-off-detection";
    inline static const std::wstring OPTION_REMAP_WHEEL_PRESS = L"--remap-wheel-press";
    inline static const std::wstring OPTION_REMAP_GESTURE_BUTTON = L"--remap-gesture-button";
    inline static const std::wstring OPTION_DAEMON = L"--daemon";

    virtual ~CLIParser() = default;

    CLIConfiguration parse(const std::vector<std::wstring>& arguments) const {
        CLIConfiguration configuration;
        VorlixConfig& settings = configuration.vorlixConfig;
        int i = 0;
        while (i < static_cast<int>(arguments.size())) {
            const std::wstring option = readNext(arguments, i);
            if (option == OPTION_FREQUENCY) {
                settings.setFrequency(parseFrequency(readNext(arguments, i)));
            } else if (option == OPTION_SPEED) {
                settings.setSpeed(parseSpeed(readNext(arguments, i)));
            } else if (option == OPTION_SMART_SCROLLING) {
                settings.setSmartScrolling(parseBoolean(readNext(arguments, i)));
            } else if (option == OPTION_LIFT_OFF_DETECTION) {
                settings.setLiftOffDetection(parseBoolean(readNext(arguments, i)));
            } else if (option == OPTION_REMAP_WHEEL_PRESS) {
                settings.setWheelPressRemapped(parseBoolean(readNext(arguments, i)));
            } else if (option == OPTION_REMAP_GESTURE_BUTTON) {
                settings.setRemapGestureButton(parseBoolean(readNext(arguments, i)));
            } else if (option == OPTION_DAEMON) {
                configuration.daemon = parseBoolean(readNext(arguments, i));
            } else {
                throw CLIException(L"不支持的命令行选项： " + option, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
            }
        }
        return configuration;
    }

    static Frequency parseFrequency(std::wstring value) { return Common::parseFrequency(std::move(value)); }
    static Speed parseSpeed(std::wstring value) { return Common::parseSpeed(std::move(value)); }

private:
    // A missing value can only follow an option, so the message names the last argument.
    std::wstring readNext(const std::vector<std::wstring>& arguments, int& i) const {
        if (i < static_cast<int>(arguments.size())) {
            return arguments[i++];
        }
        const std::wstring previous = i > 0 ? arguments[i - 1] : std::wstring();
        throw CLIException(L"在该值之后的命令行参数缺失：" + previous, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
    }

    bool parseBoolean(const std::wstring& value) const {
        if (value == L"true") {
            return true;
        }
        if (value == L"false") {
            return false;
        }
        throw CLIException(L"无法解析布尔值：" + value + L" – 期待值为： true 或 false",
                           CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
    }
};
