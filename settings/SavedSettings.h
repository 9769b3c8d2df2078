// SPDX-License-Identifier: MIT
#pragma once

#include "AdministratorSettings.h"
#include "MouseSettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The files the window reads for itself: the administrator's settings, which win over those
// the service keeps, and those an earlier version of the window saved in a file of its own.
class SavedSettings {
public:
    ReadSettings administrator;
    QString administratorFile;
    QVariantMap earlierVersion; // by name, as the service's keptSettings; empty when there is no such file
    QString earlierVersionFile;

    static SavedSettings read() {
        const std::string administratorFile = AdministratorSettings::filePath();
        return {AdministratorSettings::read(administratorFile), QString::fromStdString(administratorFile),
                readEarlierVersionFile(), earlierVersionFilePath()};
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
