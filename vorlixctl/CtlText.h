// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "ClientSentences.h"
#include "MouseService.h"
#include "MouseSettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

#include <optional>

// What vorlixctl prints: for people, in their language, with the windows' sentences about each
// mouse; for scripts, JSON whose keys are the bus's own. Its "version" changes only when a key is
// removed or changes meaning.
class CtlText {
    Q_DECLARE_TR_FUNCTIONS(CtlText)

public:
    using Mouse = MouseService::Mouse;
    using Reading = MouseService::Reading;

    static constexpr int JSON_VERSION = 1;

    static QString usage() {
        return tr("Usage: vorlixctl [list] [--json]\n"
                  "       vorlixctl keep [--json] [--no-ask-password] [OPTIONS]\n"
                  "       vorlixctl forget [--no-ask-password]\n"
                  "       vorlixctl monitor [--json]\n"
                  "       vorlixctl export\n"
                  "       vorlixctl import [--no-ask-password] FILE|-\n"
                  "Keeps the settings of the supported mice through the vorlixd service, and shows what each mouse "
                  "was last sent. OPTIONS are vorlixd's: --frequency 125|250|500|1000, --speed 1..5, "
                  "--lift-off-detection, --smart-scrolling, --remap-wheel-press, --remap-gesture-button true|false; "
                  "keep changes only those given. Exit status: 0 done, 1 a mouse did not take the settings or the "
                  "service failed, 4 not allowed, 6 a wrong command line or file.");
    }

    // Each mouse a block, then the kept settings, then the administrator's when they win.
    static QString list(const Reading& reading, const QDateTime& now) {
        QStringList lines;
        for (const Mouse& mouse : reading.mice) {
            lines << ClientSentences::identity(mouse) << tr("  USB device %1").arg(mouse.usbDevice)
                  << QStringLiteral("  ") + lastSent(mouse, reading, now);
        }
        if (reading.mice.isEmpty()) {
            lines << tr("No supported mouse is plugged in.");
        }
        const std::optional<MouseSettings> kept = settingsIn(reading.kept);
        lines << (kept ? tr("Kept settings: %1").arg(optionLine(*kept)) : tr("No settings are kept."));
        if (const std::optional<MouseSettings> administrator = settingsIn(reading.administrator)) {
            lines << tr("The administrator's settings win whenever a mouse comes back: %1")
                         .arg(optionLine(*administrator));
        }
        return lines.join(QLatin1Char('\n'));
    }

    static QJsonObject listJson(const Reading& reading) {
        return {{QStringLiteral("version"), JSON_VERSION},
                {QStringLiteral("mice"), miceJson(reading.mice)},
                {QStringLiteral("keptSettings"), QJsonObject::fromVariantMap(reading.kept)},
                {QStringLiteral("administratorSettings"), QJsonObject::fromVariantMap(reading.administrator)},
                {QStringLiteral("administratorWins"), !reading.administrator.isEmpty()}};
    }

    // Whether each mouse took the settings kept, and why not.
    static QString keptBy(const QVector<Mouse>& reached) {
        QStringList lines;
        for (const Mouse& mouse : reached) {
            const QString who = tr("%1, USB device %2").arg(ClientSentences::identity(mouse), mouse.usbDevice);
            lines << (mouse.outcome == Outcome::Done ? tr("%1: took the settings.").arg(who)
                      : mouse.outcome == Outcome::CannotOpen
                          ? tr("%1: did not take them: it could not be opened.").arg(who)
                          : tr("%1: did not take them: it did not take the report.").arg(who));
        }
        return lines.join(QLatin1Char('\n'));
    }

    static QJsonObject keptByJson(const QVector<Mouse>& reached) {
        return {{QStringLiteral("version"), JSON_VERSION}, {QStringLiteral("mice"), miceJson(reached)}};
    }

    // What changed from one reading to the next, a line each.
    static QStringList changes(const Reading& before, const Reading& after, const QDateTime& now) {
        QStringList lines;
        for (const Mouse& mouse : before.mice) {
            if (!find(after.mice, mouse.usbDevice)) {
                lines << tr("Unplugged: %1, USB device %2.").arg(ClientSentences::identity(mouse), mouse.usbDevice);
            }
        }
        for (const Mouse& mouse : after.mice) {
            const Mouse* earlier = find(before.mice, mouse.usbDevice);
            const QString who = tr("%1, USB device %2").arg(ClientSentences::identity(mouse), mouse.usbDevice);
            if (!earlier) {
                lines << tr("Plugged in: %1. %2").arg(who, lastSent(mouse, after, now));
            } else if (earlier->entry != mouse.entry) {
                lines << tr("%1: %2").arg(who, lastSent(mouse, after, now));
            }
        }
        if (before.kept != after.kept) {
            const std::optional<MouseSettings> kept = settingsIn(after.kept);
            lines << (kept ? tr("Kept settings: %1").arg(optionLine(*kept)) : forgotten());
        }
        return lines;
    }

    static QString forgotten() { return tr("No settings are kept any more."); }

    static QJsonObject exported(const QVariantMap& kept) {
        return {{QStringLiteral("version"), JSON_VERSION},
                {QStringLiteral("keptSettings"), QJsonObject::fromVariantMap(kept)}};
    }

    // What a file that vorlixctl export wrote holds: the settings, or none to keep; `why` is
    // empty, or says why it cannot be imported.
    struct Imported {
        std::optional<MouseSettings> settings;
        QString why;
    };

    static Imported imported(const QJsonObject& file) {
        const QVariantMap kept = file.value(QStringLiteral("keptSettings")).toObject().toVariantMap();
        if (file.value(QStringLiteral("version")) != QJsonValue(JSON_VERSION) ||
            !file.value(QStringLiteral("keptSettings")).isObject()) {
            return {std::nullopt, tr("it is not what vorlixctl export writes")};
        }
        QStringList unreadable;
        const MouseSettings settings = BusSettings::fromMap(kept, unreadable);
        if (kept.isEmpty()) {
            return {};
        }
        if (!unreadable.isEmpty()) {
            return {std::nullopt,
                    tr("these settings are missing or refused: %1").arg(unreadable.join(QStringLiteral(", ")))};
        }
        return {settings, QString()};
    }

private:
    static QString lastSent(const Mouse& mouse, const Reading& reading, const QDateTime& now) {
        return ClientSentences::lastSent(mouse, now, settingsIn(reading.kept), settingsIn(reading.administrator));
    }

    static std::optional<MouseSettings> settingsIn(const QVariantMap& map) {
        QStringList unreadable;
        const MouseSettings settings = BusSettings::fromMap(map, unreadable);
        return map.isEmpty() || !unreadable.isEmpty() ? std::nullopt : std::optional<MouseSettings>(settings);
    }

    static QString optionLine(const MouseSettings& settings) {
        return QString::fromStdWString(settings.toOptionLine());
    }

    static const Mouse* find(const QVector<Mouse>& mice, const QString& usbDevice) {
        for (const Mouse& mouse : mice) {
            if (mouse.usbDevice == usbDevice) {
                return &mouse;
            }
        }
        return nullptr;
    }

    // The bus's own keys; a product ID is a number, as the bus's q is.
    static QJsonArray miceJson(const QVector<Mouse>& mice) {
        QJsonArray entries;
        for (const Mouse& mouse : mice) {
            QJsonObject entry = QJsonObject::fromVariantMap(mouse.entry);
            entry.insert(QStringLiteral("productId"), static_cast<int>(mouse.productId));
            entries.append(entry);
        }
        return entries;
    }
};
