// SPDX-License-Identifier: MIT
#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVector>

#include <optional>

// The six settings the service sends, with the mouse program's defaults. The mouse cannot
// be read back, so the settings this user last applied are kept in their own config file.
struct MouseSettings {
    static inline const QVector<int> FREQUENCIES = {125, 250, 500, 1000};
    static constexpr int FIRST_SPEED_STEP = 1;
    static constexpr int LAST_SPEED_STEP = 5;

    bool liftOffDetection = true;
    bool smartScrolling = false;
    bool remapWheelPress = true;
    bool remapGestureButton = true;
    int frequency = 1000;
    int speed = 3;

    // The settings last saved, or none when nothing was saved or the file holds a value
    // the service would refuse: a damaged file must never be sent half made up.
    static std::optional<MouseSettings> load() {
        QSettings file(filePath(), QSettings::IniFormat);
        MouseSettings settings;
        bool usable = true;
        const auto readFlag = [&](const char* key, bool& flag) {
            const QString text = file.value(QLatin1String(key)).toString();
            usable = usable && (text == QLatin1String("true") || text == QLatin1String("false"));
            flag = text == QLatin1String("true");
        };
        const auto readNumber = [&](const char* key, int& number, auto accepted) {
            bool isNumber = false;
            number = file.value(QLatin1String(key)).toString().toInt(&isNumber);
            usable = usable && isNumber && accepted(number);
        };
        readFlag("liftOffDetection", settings.liftOffDetection);
        readFlag("smartScrolling", settings.smartScrolling);
        readFlag("remapWheelPress", settings.remapWheelPress);
        readFlag("remapGestureButton", settings.remapGestureButton);
        readNumber("frequency", settings.frequency, [](int value) { return FREQUENCIES.contains(value); });
        readNumber("speed", settings.speed,
                   [](int value) { return value >= FIRST_SPEED_STEP && value <= LAST_SPEED_STEP; });
        if (!usable) {
            return std::nullopt;
        }
        return settings;
    }

    // False when the file could not be written.
    bool save() const {
        QSettings file(filePath(), QSettings::IniFormat);
        file.setValue(QStringLiteral("liftOffDetection"), liftOffDetection);
        file.setValue(QStringLiteral("smartScrolling"), smartScrolling);
        file.setValue(QStringLiteral("remapWheelPress"), remapWheelPress);
        file.setValue(QStringLiteral("remapGestureButton"), remapGestureButton);
        file.setValue(QStringLiteral("frequency"), frequency);
        file.setValue(QStringLiteral("speed"), speed);
        file.sync();
        return file.status() == QSettings::NoError;
    }

    // $XDG_CONFIG_HOME/vorlixd/vorlixd-settings.conf
    static QString filePath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/vorlixd/vorlixd-settings.conf");
    }
};
