// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>

// The administrator's settings file, which the service's apply unit reads as an environment
// file. While it sets any option, those options are sent whenever the mouse comes back,
// in place of the settings the service keeps for the desktop.
class AdministratorSettings {
public:
    // VORLIXD_DEFAULTS_FILE names another file, for tests.
    static QString filePath() {
        return qEnvironmentVariable("VORLIXD_DEFAULTS_FILE", QStringLiteral(VORLIXD_DEFAULTS_FILE));
    }

    // True when the last VORLIXD_OPTIONS= line gives at least one word, as the apply unit
    // splits it; a file that cannot be read sets nothing.
    static bool setAny() {
        QFile file(filePath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            return false;
        }
        static const QRegularExpression assignment(QStringLiteral("^\\s*VORLIXD_OPTIONS=(.*)$"));
        static const QRegularExpression word(QStringLiteral("[^\\s\"']"));
        bool set = false;
        while (!file.atEnd()) {
            const QRegularExpressionMatch match = assignment.match(QString::fromUtf8(file.readLine()));
            if (match.hasMatch()) {
                set = match.captured(1).contains(word);
            }
        }
        return set;
    }
};
