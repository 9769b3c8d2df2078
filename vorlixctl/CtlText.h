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

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
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
                  "       vorlixctl keep [--json] [--no-ask-password] [--mouse ID] [OPTIONS]\n"
                  "       vorlixctl forget [--no-ask-password] [--mouse ID]\n"
                  "       vorlixctl monitor [--json]\n"
                  "       vorlixctl export\n"
                  "       vorlixctl import [--no-ask-password] FILE|-\n"
                  "Keeps the settings of the supported mice through the vorlixd service, and shows what each mouse "
                  "was last sent. OPTIONS are vorlixd's: --frequency 125|250|500|1000, --speed 1..5, "
                  "--lift-off-detection, --smart-scrolling, --remap-wheel-press, --remap-gesture-button true|false; "
                  "keep changes only those given. With --mouse, keep gives that one mouse its own settings and "
                  "forget sets it back to the kept settings; ID is its USB device, its serial number or a part of "
                  "its name that no other mouse has. Exit status: 0 done, 1 a mouse did not take the settings or the "
                  "service failed, 4 not allowed, 6 a wrong command line or file.");
    }

    // Each mouse a block, then the kept settings, then the administrator's when they win.
    static QString list(const Reading& reading, const QDateTime& now) {
        QStringList lines;
        for (const Mouse& mouse : reading.mice) {
            lines << ClientSentences::identity(mouse) << tr("  USB device %1").arg(mouse.usbDevice)
                  << QStringLiteral("  ") + lastSent(mouse, reading, now);
            const std::optional<MouseSettings> own = ClientSentences::settingsIn(mouse.own);
            lines << (own ? tr("  Its own settings, kept for %1: %2").arg(mouse.identity, optionLine(*own))
                          : tr("  Follows the kept settings; its own would be kept for %1").arg(mouse.identity));
        }
        if (reading.mice.isEmpty()) {
            lines << tr("No supported mouse is plugged in.");
        }
        const std::optional<MouseSettings> kept = ClientSentences::settingsIn(reading.kept);
        lines << (kept ? tr("Kept settings: %1").arg(optionLine(*kept)) : tr("No settings are kept."));
        if (const std::optional<MouseSettings> administrator = ClientSentences::settingsIn(reading.administrator)) {
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
            lines << tookThem(mouse);
        }
        return lines.join(QLatin1Char('\n'));
    }

    // Whether a mouse took the settings sent to it, or was left with its own.
    static QString tookThem(const Mouse& mouse) {
        const QString who = whoIs(mouse);
        switch (mouse.outcome) {
        case Outcome::Done:
            return tr("%1: took the settings.").arg(who);
        case Outcome::OwnSettings:
            return tr("%1: keeps its own settings, and was left as it is.").arg(who);
        case Outcome::CannotOpen:
            return tr("%1: did not take them: it could not be opened.").arg(who);
        default:
            return tr("%1: did not take them: it took only part of the report, or none.").arg(who);
        }
    }

    static QString forgottenBy(const Mouse& mouse) {
        return tr("%1: follows the kept settings again.").arg(whoIs(mouse));
    }

    // The one mouse that `id` names: its USB device, its serial number, or a part of its name that
    // no other mouse has; or why there is none.
    struct Named {
        std::optional<Mouse> mouse;
        QString why;
    };

    static Named named(const QVector<Mouse>& mice, const QString& id) {
        using Test = std::function<bool(const Mouse&)>;
        const std::vector<Test> tests = {
            [&id](const Mouse& mouse) { return mouse.usbDevice == id; },
            [&id](const Mouse& mouse) { return mouse.serialNumber == id; },
            [&id](const Mouse& mouse) { return mouse.name.contains(id, Qt::CaseInsensitive); },
        };
        for (const Test& test : tests) {
            QVector<Mouse> found;
            std::copy_if(mice.begin(), mice.end(), std::back_inserter(found), test);
            if (found.size() == 1) {
                return {found.first(), QString()};
            }
            if (found.size() > 1) {
                QStringList candidates;
                for (const Mouse& mouse : found) {
                    candidates << whoIs(mouse);
                }
                return {std::nullopt, tr("%1 names more than one mouse: %2.")
                                          .arg(ClientSentences::printable(id), candidates.join(QStringLiteral("; ")))};
            }
        }
        return {std::nullopt, tr("No supported mouse is %1.").arg(ClientSentences::printable(id))};
    }

    static QJsonObject keptByJson(const QVector<Mouse>& reached) {
        return {{QStringLiteral("version"), JSON_VERSION}, {QStringLiteral("mice"), miceJson(reached)}};
    }

    // What changed from one reading to the next, a line each.
    static QStringList changes(const Reading& before, const Reading& after, const QDateTime& now) {
        QStringList lines;
        for (const Mouse& mouse : before.mice) {
            if (!MouseService::on(after.mice, mouse.usbDevice)) {
                lines << tr("Unplugged: %1.").arg(whoIs(mouse));
            }
        }
        for (const Mouse& mouse : after.mice) {
            const Mouse* earlier = MouseService::on(before.mice, mouse.usbDevice);
            const QString who = whoIs(mouse);
            if (!earlier) {
                lines << tr("Plugged in: %1. %2").arg(who, lastSent(mouse, after, now));
            } else if (earlier->entry != mouse.entry) {
                lines << tr("%1: %2").arg(who, lastSent(mouse, after, now));
            }
        }
        if (before.kept != after.kept) {
            const std::optional<MouseSettings> kept = ClientSentences::settingsIn(after.kept);
            lines << (kept ? tr("Kept settings: %1").arg(optionLine(*kept)) : forgotten());
        }
        return lines;
    }

    static QString forgotten() { return tr("No settings are kept any more."); }

    // The kept settings, and each mouse's own by what they are kept for, as import reads them.
    static QJsonObject exported(const Reading& reading) {
        QJsonObject own;
        for (const Mouse& mouse : reading.mice) {
            if (!mouse.own.isEmpty()) {
                own.insert(mouse.identity, QJsonObject::fromVariantMap(mouse.own));
            }
        }
        return {{QStringLiteral("version"), JSON_VERSION},
                {QStringLiteral("keptSettings"), QJsonObject::fromVariantMap(reading.kept)},
                {QStringLiteral("ownSettings"), own}};
    }

    // What a file that vorlixctl export wrote holds: the settings, or none to keep, and the own
    // settings of mice by what they are kept for; `why` is empty, or says why it cannot be imported.
    struct Imported {
        std::optional<MouseSettings> settings;
        QString why;
        std::map<QString, MouseSettings> own;
    };

    static Imported imported(const QJsonObject& file) {
        const QJsonValue own = file.value(QStringLiteral("ownSettings"));
        if (file.value(QStringLiteral("version")) != QJsonValue(JSON_VERSION) ||
            !file.value(QStringLiteral("keptSettings")).isObject() || !(own.isUndefined() || own.isObject())) {
            return {std::nullopt, tr("it is not what vorlixctl export writes"), {}};
        }
        const QVariantMap kept = file.value(QStringLiteral("keptSettings")).toObject().toVariantMap();
        QString why;
        Imported imported{kept.isEmpty() ? std::nullopt : settingsFrom(kept, why), QString(), {}};
        const QJsonObject mice = own.toObject();
        for (auto mouse = mice.begin(); mouse != mice.end() && why.isEmpty(); ++mouse) {
            if (const std::optional<MouseSettings> settings = settingsFrom(mouse.value().toObject().toVariantMap(),
                                                                           why)) {
                imported.own.emplace(mouse.key(), *settings);
            }
        }
        return why.isEmpty() ? imported : Imported{std::nullopt, why, {}};
    }

    static QString notImported(const QString& identity) {
        return tr("No mouse with the identity %1 is plugged in: its own settings were not imported.")
            .arg(ClientSentences::printable(identity));
    }

private:
    static QString lastSent(const Mouse& mouse, const Reading& reading, const QDateTime& now) {
        return ClientSentences::lastSent(mouse, now, ClientSentences::settingsIn(reading.kept),
                                         ClientSentences::settingsIn(reading.administrator));
    }

    // All six settings of an imported map, or none and `why` says which are missing or refused.
    static std::optional<MouseSettings> settingsFrom(const QVariantMap& map, QString& why) {
        QStringList unreadable;
        const MouseSettings settings = BusSettings::fromMap(map, unreadable);
        if (!unreadable.isEmpty()) {
            why = tr("these settings are missing or refused: %1").arg(unreadable.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        return settings;
    }

    static QString whoIs(const Mouse& mouse) {
        return tr("%1, USB device %2").arg(ClientSentences::identity(mouse), mouse.usbDevice);
    }

    static QString optionLine(const MouseSettings& settings) {
        return QString::fromStdWString(settings.toOptionLine());
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
