// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// The six settings as the bus carries them, for the service and the window alike: configure's
// arguments in order, or a map from each setting's name to its value; a flag as a boolean,
// a number as an integer.
class BusSettings {
public:
    static QList<QVariant> toArguments(const MouseSettings& settings) {
        QList<QVariant> arguments;
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            arguments << toVariant(MouseSettings::settings()[i], settings[i]);
        }
        return arguments;
    }

    static QVariantMap toMap(const MouseSettings& settings) {
        QVariantMap map;
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            map.insert(QLatin1String(MouseSettings::settings()[i].name),
                       toVariant(MouseSettings::settings()[i], settings[i]));
        }
        return map;
    }

    // The settings in `values` by name, each a value or its text, as a saved file holds it. A
    // value that is missing or that the mouse would not take keeps its default, and its name is
    // added to `unreadable`.
    static MouseSettings fromMap(const QVariantMap& values, QStringList& unreadable) {
        MouseSettings settings;
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            const Setting& setting = MouseSettings::settings()[i];
            const QString name = QLatin1String(setting.name);
            if (const std::optional<int> value = setting.valueOf(values.value(name).toString().toStdWString())) {
                settings[i] = *value;
            } else {
                unreadable << name;
            }
        }
        return settings;
    }

private:
    static QVariant toVariant(const Setting& setting, int value) {
        return setting.kind == Setting::Kind::Flag ? QVariant(value != 0) : QVariant(value);
    }
};
