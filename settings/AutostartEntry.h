// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>

// The XDG autostart entry that applies this user's saved settings at login.
class AutostartEntry {
    Q_DECLARE_TR_FUNCTIONS(AutostartEntry)

public:
    // $XDG_CONFIG_HOME/autostart/vorlixd-settings.desktop
    static QString filePath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/autostart/vorlixd-settings.desktop");
    }

    static bool exists() { return QFileInfo::exists(filePath()); }

    // False when the entry could not be written or removed.
    static bool setEnabled(bool enabled) {
        if (!enabled) {
            return !exists() || QFile::remove(filePath());
        }
        QSaveFile file(filePath());
        if (!QDir().mkpath(QFileInfo(filePath()).path()) || !file.open(QIODevice::WriteOnly)) {
            return false;
        }
        // TryExec: once the program is removed, the entry is skipped instead of failing.
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=%1\n"
                                             "Comment=%2\n"
                                             "TryExec=vorlixd-settings\n"
                                             "Exec=vorlixd-settings --apply\n")
                                  .arg(tr("Mouse Settings"), tr("Applies your saved mouse settings"));
        file.write(entry.toUtf8());
        return file.commit();
    }
};
