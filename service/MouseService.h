// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "ServiceNames.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <QVector>

#include <cstddef>
#include <cstring>
#include <functional>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The vorlixd service on the system bus, and polkit, which decides for it who may change
// the mice. No question waits for its answer: each answer comes later, from the event loop,
// as an outcome for the caller to put into words, and only while `context` still exists.
// The service says when its mice or the settings it keeps change, so nothing needs to poll.
class MouseService {
public:
    // What came of a question to the service: Done, or the failure with the service's or the
    // bus's own words about it, which are for people, never to decide by.
    struct Answer {
        Outcome outcome = Outcome::Done;
        QString words;
    };

    // A supported mouse as the service lists it. Its name and serial number are the mouse's
    // own. After an Apply, `outcome` says whether it took the settings (Done) or why not.
    // The rest is the service's record of the mouse: the settings last sent to it since it
    // appeared, by name as the kept ones (empty when none were), when (microseconds since the
    // epoch), why ("plug-in", "resume", "by-hand" or "service") and whether it took the whole
    // report; and when vorlixd saw it appear (0 when it did not).
    struct Mouse {
        QString usbDevice;
        uint productId = 0;
        QString name;
        QString serialNumber;
        Outcome outcome = Outcome::Done;
        QVariantMap sent;
        quint64 sentAt = 0;
        MouseRecord::Sender sentBy = MouseRecord::Sender::None;
        MouseRecord::Source sentFrom = MouseRecord::Source::None;
        Outcome sendError = Outcome::Done;
        quint64 appearedAt = 0;
        QString identity;  // what its own settings are kept under
        QVariantMap own;   // its own settings by name; empty while it follows the family's
        QVariantMap entry; // all of it, by the bus's own keys, for clients that hand it on
    };

    // What the service knows, read in one call: the mice, the settings it keeps, and those of the
    // administrator's file, which win over them; each by name, empty when there are none.
    struct Reading {
        QVector<Mouse> mice;
        QVariantMap kept;
        QVariantMap administrator;
    };

    using Permission = PolkitAuthority::Permission;

    // The mouse listed on `usbDevice`; none for an empty one or one not listed.
    static const Mouse* on(const QVector<Mouse>& mice, const QString& usbDevice) {
        for (const Mouse& mouse : mice) {
            if (!usbDevice.isEmpty() && mouse.usbDevice == usbDevice) {
                return &mouse;
            }
        }
        return nullptr;
    }

    // Has `slot` of `receiver` called whenever the service's mice or kept settings change, for
    // as long as the receiver lives. Any sender is heard: a signal only makes the window ask the
    // service itself, so learning the name's owner first, which would wait on the bus, buys nothing.
    static void follow(QObject* receiver, const char* slot) {
        if (busAnswers()) {
            QDBusConnection::systemBus().connect(QString(), PATH, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                 QStringLiteral("PropertiesChanged"), {MICE_INTERFACE}, QString(),
                                                 receiver, slot);
        }
    }

    static void ask(QObject* context, const std::function<void(const Answer&, const Reading&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            SERVICE, PATH, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        call << MICE_INTERFACE;
        send(call, context, [answered](const QDBusMessage& reply) {
            const Answer answer = answerTo(reply);
            Reading reading;
            if (answer.outcome == Outcome::Done) {
                const auto properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
                reading.mice = miceIn(properties.value(QStringLiteral("mice")));
                reading.kept = qdbus_cast<QVariantMap>(properties.value(QStringLiteral("keptSettings")));
                reading.administrator = qdbus_cast<QVariantMap>(
                    properties.value(QStringLiteral("administratorSettings")));
            }
            answered(answer, reading);
        });
    }

    // Sends the settings to every supported mouse and keeps them; the answer lists each mouse
    // with what it did. askPassword: the desktop's polkit agent may ask for a password first,
    // which may take minutes.
    static void apply(const MouseSettings& settings, bool askPassword, QObject* context,
                      const std::function<void(const Answer&, const QVector<Mouse>&)>& answered) {
        QDBusMessage call = withArguments(
            QDBusMessage::createMethodCall(SERVICE, PATH, MICE_INTERFACE, QStringLiteral("configureAndKeep")),
            settings);
        call.setInteractiveAuthorizationAllowed(askPassword);
        send(call, context, [answered](const QDBusMessage& reply) {
            const Answer answer = answerTo(reply);
            answered(answer, answer.outcome == Outcome::Done ? miceIn(reply.arguments().value(0)) : QVector<Mouse>());
        });
    }

    // Sends the settings to the mouse on `usbDevice` alone and keeps them as its own; the answer
    // is that mouse with what it did.
    static void applyToMouse(const QString& usbDevice, const MouseSettings& settings, bool askPassword,
                             QObject* context, const std::function<void(const Answer&, const Mouse&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, MICE_INTERFACE,
                                                           QStringLiteral("configureMouseAndKeep"));
        call.setArguments(QVariantList{usbDevice} + BusSettings::toArguments(settings));
        call.setInteractiveAuthorizationAllowed(askPassword);
        send(call, context, [answered](const QDBusMessage& reply) {
            const Answer answer = answerTo(reply);
            answered(answer, answer.outcome == Outcome::Done
                                 ? mouseIn(qdbus_cast<QVariantMap>(reply.arguments().value(0)))
                                 : Mouse());
        });
    }

    // The mouse on `usbDevice` follows the family's settings again.
    static void forgetMouse(const QString& usbDevice, bool askPassword, QObject* context,
                            const std::function<void(const Answer&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, MICE_INTERFACE,
                                                           QStringLiteral("forgetMouseSettings"));
        call << usbDevice;
        call.setInteractiveAuthorizationAllowed(askPassword);
        send(call, context, [answered](const QDBusMessage& reply) { answered(answerTo(reply)); });
    }

    // Keeps no settings any more.
    static void forget(bool askPassword, QObject* context, const std::function<void(const Answer&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, MICE_INTERFACE,
                                                           QStringLiteral("forgetKeptSettings"));
        call.setInteractiveAuthorizationAllowed(askPassword);
        send(call, context, [answered](const QDBusMessage& reply) { answered(answerTo(reply)); });
    }

    // Sends the settings to the first mouse only, through the interface every client of the
    // service knows, and keeps nothing.
    static void applyToFirstMouse(const MouseSettings& settings, QObject* context,
                                  const std::function<void(const Answer&)>& answered) {
        send(withArguments(
                 QDBusMessage::createMethodCall(SERVICE, PATH, FIRST_MOUSE_INTERFACE, QStringLiteral("configure")),
                 settings),
             context, [answered](const QDBusMessage& reply) { answered(answerTo(reply)); });
    }

    // Whether this process may change the settings, asked of polkit for its own bus name as
    // the service asks about each change, but without touching the service or the mouse.
    static void mayChange(QObject* context, const std::function<void(Permission)>& answered) {
        if (getuid() == 0) { // the service never asks about root
            answered(Permission::Allowed);
            return;
        }
        if (!busAnswers()) { // nobody to ask; the service cannot be asked either, and the window says so
            answered(Permission::Unknown);
            return;
        }
        const bool noPasswordPrompt = false;
        send(PolkitAuthority::question(QDBusConnection::systemBus().baseService(), noPasswordPrompt), context,
             // Unknown leaves the decision to the service, which then says what it decided.
             [answered](const QDBusMessage& reply) { answered(PolkitAuthority::permission(reply)); });
    }

    // Waits until Qt's D-Bus thread has let go of every answer already handed over. That thread
    // drops its share of an answer only after the answer reached us; a process that ends at once
    // would destroy its statics under it. A round trip to the bus, which that thread answers after
    // the earlier ones, is the wait.
    static void settle() {
        if (busAnswers() && QDBusConnection::systemBus().isConnected()) {
            QDBusConnection::systemBus().call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                                             QStringLiteral("/org/freedesktop/DBus"),
                                                                             QStringLiteral("org.freedesktop.DBus"),
                                                                             QStringLiteral("GetId")),
                                              QDBus::Block, SETTLE_TIMEOUT_MS);
        }
    }

private:
    inline static const QString SERVICE = QLatin1String(ServiceNames::SERVICE);
    inline static const QString PATH = QLatin1String(ServiceNames::PATH);
    inline static const QString MICE_INTERFACE = QLatin1String(ServiceNames::MICE_INTERFACE);
    inline static const QString FIRST_MOUSE_INTERFACE = QLatin1String(ServiceNames::FIRST_MOUSE_INTERFACE);
    // Our own name for a system bus that could not be reached, so that no call is sent.
    inline static const QString NO_BUS = QString::fromStdString(ServiceNames::errorName(Outcome::NoBus));
    // A live service answers well within this, even when each USB transfer stalls until the
    // kernel gives up on it (5 s).
    static constexpr int ANSWER_TIMEOUT_MS = 30 * 1000;
    // The service allows a password prompt five minutes, then still has to send.
    static constexpr int PASSWORD_TIMEOUT_MS = 6 * 60 * 1000;

    // A call that lets polkit ask for a password is given the prompt's time, whichever call it
    // is: cut short, it would say "did not answer" to a person still typing the password.
    static void send(const QDBusMessage& call, QObject* context, const std::function<void(const QDBusMessage&)>& done) {
        // Without a bus a pending call never finishes, so that is answered here, though
        // still from the event loop like every other answer.
        if (!busAnswers() || !QDBusConnection::systemBus().isConnected()) {
            const QDBusMessage noBus = call.createErrorReply(
                NO_BUS, busAnswers() ? QDBusConnection::systemBus().lastError().message() : QString());
            QTimer::singleShot(0, context, [done, noBus] { done(noBus); });
            return;
        }
        const int timeout = call.isInteractiveAuthorizationAllowed() ? PASSWORD_TIMEOUT_MS : ANSWER_TIMEOUT_MS;
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, timeout), context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                         [done](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             done(finished->reply());
                         });
    }

    // Whether the system bus greets a client back. One that takes the connection and never
    // answers would hold Qt's first connection to it, and the whole window with it, for good;
    // so the bus is greeted once, as every client first does, and given a few seconds. Only a
    // unix socket is greeted; Qt connects to any other address by itself.
    static bool busAnswers() {
        static const bool answers = [] {
            const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS",
                                                         QStringLiteral("unix:path=/var/run/dbus/system_bus_socket"))
                                        .section(QLatin1Char(';'), 0, 0);
            sockaddr_un socketAddress{};
            socketAddress.sun_family = AF_UNIX;
            socklen_t length = 0;
            for (const QString& part : address.mid(5).split(QLatin1Char(','))) {
                const QByteArray value = QByteArray::fromPercentEncoding(part.section(QLatin1Char('='), 1).toUtf8());
                const bool abstract = part.startsWith(QLatin1String("abstract="));
                if ((abstract || part.startsWith(QLatin1String("path="))) &&
                    value.size() + 1 < static_cast<int>(sizeof socketAddress.sun_path)) {
                    std::memcpy(socketAddress.sun_path + (abstract ? 1 : 0), value.constData(), value.size());
                    length = offsetof(sockaddr_un, sun_path) + value.size() + 1;
                }
            }
            const int connection = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (!address.startsWith(QLatin1String("unix:")) || length == 0 || connection < 0 ||
                ::connect(connection, reinterpret_cast<const sockaddr*>(&socketAddress), length) != 0) {
                if (connection >= 0) {
                    ::close(connection);
                }
                return true; // Qt tells a bus it cannot reach at once
            }
            const QByteArray greeting = QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(getuid()).toHex() +
                                        "\r\n";
            pollfd reply{connection, POLLIN, 0};
            const bool greeted = ::send(connection, greeting.constData(), greeting.size(),
                                        MSG_NOSIGNAL | MSG_DONTWAIT) == greeting.size() &&
                                 ::poll(&reply, 1, GREETING_TIMEOUT_MS) == 1;
            ::close(connection);
            return greeted;
        }();
        return answers;
    }

    static constexpr int GREETING_TIMEOUT_MS = 5 * 1000;
    static constexpr int SETTLE_TIMEOUT_MS = 1000;

    static QDBusMessage withArguments(QDBusMessage call, const MouseSettings& settings) {
        call.setArguments(BusSettings::toArguments(settings));
        return call;
    }

    // The mice property, or configureAndKeep's reply, where `error` names why a mouse did not
    // take the settings.
    static QVector<Mouse> miceIn(const QVariant& listed) {
        QVector<Mouse> mice;
        for (const QVariantMap& mouse : qdbus_cast<QList<QVariantMap>>(listed)) {
            mice.append(mouseIn(mouse));
        }
        return mice;
    }

    // One mouse of those, or configureMouseAndKeep's reply. What a service without a record leaves
    // out counts as never sent or seen.
    static Mouse mouseIn(QVariantMap mouse) {
        for (const QString& key : {QStringLiteral("sentSettings"), QStringLiteral("ownSettings")}) {
            mouse.insert(key, qdbus_cast<QVariantMap>(mouse.value(key)));
        }
        const auto text = [&mouse](const char* key) { return mouse.value(QLatin1String(key)).toString(); };
        const auto outcome = [&text](const char* key) {
            return text(key).isEmpty() ? Outcome::Done : failure(text(key));
        };
        return {text("usbDevice"),
                mouse.value(QStringLiteral("productId")).toUInt(),
                text("productName"),
                text("serialNumber"),
                outcome("error"),
                mouse.value(QStringLiteral("sentSettings")).toMap(),
                mouse.value(QStringLiteral("sentAt")).toULongLong(),
                MouseRecord::senderNamed(text("sentBy").toStdString()),
                MouseRecord::sourceNamed(text("sentFrom").toStdString()),
                outcome("sendError"),
                mouse.value(QStringLiteral("appearedAt")).toULongLong(),
                text("identity"),
                mouse.value(QStringLiteral("ownSettings")).toMap(),
                mouse};
    }

    // Failures are told apart by their names alone; their messages are for people.
    static Outcome failure(const QString& errorName) {
        static const QMap<QString, Outcome> named = {
            // polkit's refusal on the interface every client knows
            {QDBusError::errorString(QDBusError::AccessDenied), Outcome::NotAllowed},
            // The call may have reached the service and the mouse: nobody can tell.
            {QDBusError::errorString(QDBusError::NoReply), Outcome::NoAnswer},
            {QDBusError::errorString(QDBusError::Timeout), Outcome::NoAnswer},
            {QDBusError::errorString(QDBusError::TimedOut), Outcome::NoAnswer},
            {QDBusError::errorString(QDBusError::ServiceUnknown), Outcome::ServiceMissing},
            {QDBusError::errorString(QDBusError::NoServer), Outcome::ServiceMissing},
            {QDBusError::errorString(QDBusError::Disconnected), Outcome::NoAnswer}}; // the bus went away meanwhile
        return named.value(errorName, ServiceNames::outcomeOf(errorName.toStdString()));
    }

    static Answer answerTo(const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ErrorMessage) {
            return {};
        }
        return {failure(reply.errorName()), reply.errorMessage()};
    }
};
