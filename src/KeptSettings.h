// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "CLIParser.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <string>
#include <vector>

// The six settings the service sends again whenever the mouse comes back. They are kept as
// the command-line options that send them, because it is the one-shot program, run by the
// apply unit, that sends them; the program itself stays stateless.
struct KeptSettings {
    bool liftOffDetection;
    bool smartScrolling;
    bool remapWheelPress;
    bool remapGestureButton;
    int frequency;
    int speed;

    // $STATE_DIRECTORY/kept-settings: systemd names the service's own state directory.
    static QString filePath() {
        return qEnvironmentVariable("STATE_DIRECTORY", QStringLiteral(VORLIXD_STATE_DIRECTORY)) +
               QStringLiteral("/kept-settings");
    }

    // The kept settings, or none when nothing is kept. A file that is not exactly what save()
    // writes throws: half a set of settings must never be sent as if it were whole.
    static std::optional<KeptSettings> load() {
        QFile file(filePath());
        if (!file.exists()) {
            return std::nullopt;
        }
        constexpr qint64 longestFile = 256;
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.read(longestFile + 1) : QByteArray();
        const QStringList words = QString::fromUtf8(text).chopped(text.endsWith('\n') ? 1 : 0).split(QLatin1Char(' '));
        std::vector<std::wstring> arguments;
        for (const QString& word : words) {
            arguments.push_back(word.toStdWString());
        }
        const std::vector<std::wstring> options = optionNames();
        bool complete = text.endsWith('\n') && arguments.size() == 2 * options.size();
        for (size_t i = 0; complete && i < options.size(); ++i) {
            complete = arguments[2 * i] == options[i];
        }
        if (!complete) {
            throw CLIException(L"保存的设置无法读取或不完整：" + filePath().toStdWString(),
                               CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
        }
        CLIParser().parse(arguments); // refuses a value the mouse would not take
        return KeptSettings{words[1] == QLatin1String("true"),
                            words[3] == QLatin1String("true"),
                            words[5] == QLatin1String("true"),
                            words[7] == QLatin1String("true"),
                            words[9].toInt(),
                            words[11].toInt()};
    }

    // Replaces the file as a whole (a new file renamed over the old one), so that a crash or a
    // power cut leaves the old settings or the new ones, never a mix. False when it failed.
    bool save() const {
        QSaveFile file(filePath());
        return file.open(QIODevice::WriteOnly) && file.write(toOptions().toUtf8() + '\n') >= 0 && file.commit();
    }

    // False when kept settings are still there.
    static bool forget() {
        QFile file(filePath());
        return !file.exists() || file.remove();
    }

    QString toOptions() const {
        const auto flag = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
        const QStringList values = {flag(liftOffDetection),   flag(smartScrolling),       flag(remapWheelPress),
                                    flag(remapGestureButton), QString::number(frequency), QString::number(speed)};
        QStringList words;
        const std::vector<std::wstring> options = optionNames();
        for (size_t i = 0; i < options.size(); ++i) {
            words << QString::fromStdWString(options[i]) << values[static_cast<int>(i)];
        }
        return words.join(QLatin1Char(' '));
    }

    // The names are those of configureAndKeep's arguments.
    QVariantMap toVariantMap() const {
        return {{QStringLiteral("liftOffDetection"), liftOffDetection},
                {QStringLiteral("smartScrolling"), smartScrolling},
                {QStringLiteral("remapWheelPress"), remapWheelPress},
                {QStringLiteral("remapGestureButton"), remapGestureButton},
                {QStringLiteral("frequency"), frequency},
                {QStringLiteral("speed"), speed}};
    }

private:
    static std::vector<std::wstring> optionNames() {
        return {CLIParser::OPTION_LIFT_OFF_DETECTION, CLIParser::OPTION_SMART_SCROLLING,
                CLIParser::OPTION_REMAP_WHEEL_PRESS,  CLIParser::OPTION_REMAP_GESTURE_BUTTON,
                CLIParser::OPTION_FREQUENCY,          CLIParser::OPTION_SPEED};
    }
};
