// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "MouseRecord.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "ServiceNames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// What the service's clients, the window and vorlixctl, say of a mouse and of a failed change, in
// the person's language. A mouse's name and serial number are its own: they are escaped, never
// obeyed.
class ClientSentences {
    Q_DECLARE_TR_FUNCTIONS(ClientSentences)

public:
    using Mouse = MouseService::Mouse;

    // What a person tells a mouse by from another of the same kind.
    static QString identity(const Mouse& mouse) {
        const QString name = mouse.name.isEmpty() ? tr("A supported mouse without a name") : printable(mouse.name);
        const QString productId = QStringLiteral("0x") + QString::number(mouse.productId, 16).toUpper();
        return mouse.serialNumber.isEmpty()
                   ? tr("%1 (%2)").arg(name, productId)
                   : tr("%1 (%2, serial number %3)").arg(name, productId, printable(mouse.serialNumber));
    }

    // What vorlixd last sent this mouse since it appeared, when, why, and whether it took them,
    // `now` telling which times are today's. Only what was recorded for this mouse is said: a
    // mouse nobody saw appear may have anything. The settings are named for where they come from
    // (`kept`, `administrator`) only when they are exactly those. `retry`: how to try again, said
    // after a send that failed.
    static QString lastSent(const Mouse& mouse, const QDateTime& now, const std::optional<MouseSettings>& kept,
                            const std::optional<MouseSettings>& administrator, const QString& retry = QString()) {
        if (mouse.sent.isEmpty()) {
            if (mouse.appearedAt == 0) {
                return tr("Not seen by vorlixd since it was plugged in.");
            }
            const QString at = when(mouse.appearedAt, now);
            return kept || administrator
                       ? tr("Nothing sent since it was plugged in at %1.").arg(at)
                       : tr("Nothing sent since it was plugged in at %1: no settings are kept.").arg(at);
        }
        const QString which = whichSettings(mouse, kept, administrator);
        const QString why = mouse.sentBy == MouseRecord::Sender::PlugIn    ? tr("when plugged in")
                            : mouse.sentBy == MouseRecord::Sender::Resume  ? tr("after resume")
                            : mouse.sentBy == MouseRecord::Sender::ByHand  ? tr("when sent by hand")
                            : mouse.sentBy == MouseRecord::Sender::Service ? tr("through the service")
                                                                           : tr("when vorlixd sent them");
        const QString at = when(mouse.sentAt, now);
        if (mouse.sendError == Outcome::Done) {
            return tr("Took %1 %2, %3.").arg(which, why, at);
        }
        const QString reason = mouse.sendError == Outcome::CannotOpen   ? tr("it could not be opened")
                               : mouse.sendError == Outcome::SendFailed ? tr("it took only part of the report, or none")
                                                                        : tr("the send failed");
        const QString failed = tr("Did not take %1 %2, %3: %4.").arg(which, why, at, reason);
        return retry.isEmpty() ? failed : failed + QLatin1Char(' ') + retry;
    }

    // A change that did not come about, and what the mice may have of it.
    static QString failureLine(Outcome outcome) {
        switch (outcome) {
        case Outcome::NoMouse:
            return tr("No supported mouse was found: nothing was sent.");
        case Outcome::CannotOpen:
            return tr("No mouse could be opened: nothing was sent.");
        case Outcome::SendFailed:
            return tr("No mouse took the settings.");
        case Outcome::NotKept:
            return tr("The settings were sent, but the service could not keep them: they are lost when the "
                      "mouse goes away.");
        case Outcome::InvalidValue:
            return tr("The service refused these settings: nothing was sent.");
        case Outcome::NotAllowed:
            return tr("You may not change the mouse settings: nothing was sent.");
        case Outcome::NoAnswer:
            return tr("The service did not answer: the mouse may or may not have the settings.");
        case Outcome::ServiceMissing:
            return tr("The mouse service is not installed or not reachable: nothing was sent.");
        case Outcome::NoBus:
            return tr("The system bus cannot be reached: nothing was sent.");
        default:
            return tr("The service did not take the settings.");
        }
    }

    // All six settings of a map by name, or none.
    static std::optional<MouseSettings> settingsIn(const QVariantMap& map) {
        QStringList unreadable;
        const MouseSettings settings = BusSettings::fromMap(map, unreadable);
        return unreadable.isEmpty() ? std::optional<MouseSettings>(settings) : std::nullopt;
    }

    static QString printable(const QString& text) {
        return QString::fromStdWString(PrintableText::escape(text.toStdWString()));
    }

private:
    // Whose settings the mouse was sent, as its record says, while they are still those; the
    // settings sent through the first mouse's interface, or kept before, are other settings.
    static QString whichSettings(const Mouse& mouse, const std::optional<MouseSettings>& kept,
                                 const std::optional<MouseSettings>& administrator) {
        const std::optional<MouseSettings> sent = settingsIn(mouse.sent);
        switch (mouse.sentFrom) {
        case MouseRecord::Source::Own:
            return sent && settingsIn(mouse.own) == sent ? tr("its own settings") : tr("other settings");
        case MouseRecord::Source::Family:
            return sent && kept == sent ? tr("the kept settings") : tr("other settings");
        case MouseRecord::Source::Administrator:
            return sent && administrator == sent ? tr("the administrator's settings") : tr("other settings");
        default:
            return tr("other settings");
        }
    }

    // Local time; the date too unless it is today.
    static QString when(quint64 microseconds, const QDateTime& now) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(microseconds / 1000));
        return at.toString(at.date() == now.toLocalTime().date() ? QStringLiteral("HH:mm")
                                                                 : QStringLiteral("yyyy-MM-dd HH:mm"));
    }
};
