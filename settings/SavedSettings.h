// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>

// Settings the window finds saved: those the service keeps, or those an earlier version of
// the window saved in a file of its own.
class SavedSettings {
public:
    // The settings in `values`, named as configureAndKeep names its arguments (the service's
    // keptSettings, or an earlier version's file). A value that is missing or that the mouse
    // would not take keeps its default, and its name is added to `unreadable`.
    static MouseSettings read(const QVariantMap& values, QStringList& unreadable) {
        MouseSettings settings;
        const auto readFlag = [&](const QString& key, bool& flag) {
            const QString text = values.value(key).toString();
            if (text == QLatin1String("true") || text == QLatin1String("false")) {
                flag = text == QLatin1String("true");
            } else {
                unreadable << key;
            }
        };
        const auto readNumber = [&](const QString& key, int& number, auto accepted) {
            bool isNumber = false;
            const int value = values.value(key).toString().toInt(&isNumber);
            if (isNumber && accepted(value)) {
                number = value;
            } else {
                unreadable << key;
            }
        };
        readFlag(QStringLiteral("liftOffDetection"), settings.liftOffDetection);
        readFlag(QStringLiteral("smartScrolling"), settings.smartScrolling);
        readFlag(QStringLiteral("remapWheelPress"), settings.remapWheelPress);
        readFlag(QStringLiteral("remapGestureButton"), settings.remapGestureButton);
        readNumber(QStringLiteral("frequency"), settings.frequency, [](int value) {
            return std::find(MouseSettings::FREQUENCIES.begin(), MouseSettings::FREQUENCIES.end(), value) !=
                   MouseSettings::FREQUENCIES.end();
        });
        readNumber(QStringLiteral("speed"), settings.speed, [](int value) {
            return value >= MouseSettings::FIRST_SPEED_STEP && value <= MouseSettings::LAST_SPEED_STEP;
        });
        return settings;
    }

    // What versions before the service kept settings saved after each Apply; read only now.
    // Empty when there is no such file.
    static QVariantMap readEarlierVersionFile() {
        QSettings file(earlierVersionFilePath(), QSettings::IniFormat);
        QVariantMap values;
        for (const QString& key : file.allKeys()) {
            values.insert(key, file.value(key));
        }
        return values;
    }

    // $XDG_CONFIG_HOME/vorlixd/vorlixd-settings.conf
    static QString earlierVersionFilePath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/vorlixd/vorlixd-settings.conf");
    }
};
