// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"
#include "PolkitAuthority.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

#include <unistd.h>

// The vorlixd service on the system bus, and polkit, which decides for it who may change
// the mouse. No question waits for its answer: each answer comes later, from the event loop,
// as an outcome for the caller to put into words, and only while `context` still exists.
class MouseService {
public:
    enum class Outcome { Done, NoMouse, CannotOpen, SendFailed, NotKept, NotAllowed, NoAnswer, ServiceMissing, Failed };

    struct Answer {
        Outcome outcome = Outcome::Done;
        QString detail; // the service's or the bus's own words about a failure
    };

    // What the service knows, read in one call.
    struct Mouse {
        bool present = false;
        QString name;
        QVariantMap kept;
    };

    using Permission = PolkitAuthority::Permission;

    static void ask(QObject* context, const std::function<void(const Answer&, const Mouse&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            SERVICE, PATH, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        call << INTERFACE;
        send(call, ANSWER_TIMEOUT_MS, context, [answered](const QDBusMessage& reply) {
            const Answer answer = answerTo(reply);
            Mouse mouse;
            if (answer.outcome == Outcome::Done) {
                const auto properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
                mouse.present = properties.value(QStringLiteral("devicePresent")).toBool();
                mouse.name = properties.value(QStringLiteral("deviceName")).toString();
                mouse.kept = qdbus_cast<QVariantMap>(properties.value(QStringLiteral("keptSettings")));
            }
            answered(answer, mouse);
        });
    }

    // keep: the service sends the settings again whenever the mouse comes back. askPassword:
    // the desktop's polkit agent may ask for a password first, which may take minutes.
    static void apply(const MouseSettings& settings, bool keep, bool askPassword, QObject* context,
                      const std::function<void(const Answer&)>& answered) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            SERVICE, PATH, INTERFACE, keep ? QStringLiteral("configureAndKeep") : QStringLiteral("configure"));
        call << settings.liftOffDetection << settings.smartScrolling << settings.remapWheelPress
             << settings.remapGestureButton << settings.frequency << settings.speed;
        call.setInteractiveAuthorizationAllowed(askPassword);
        send(call, askPassword ? PASSWORD_TIMEOUT_MS : ANSWER_TIMEOUT_MS, context,
             [answered](const QDBusMessage& reply) { answered(answerTo(reply)); });
    }

    // Whether this process may change the settings, asked of polkit for its own bus name as
    // the service asks about each change, but without touching the service or the mouse.
    static void mayChange(QObject* context, const std::function<void(Permission)>& answered) {
        if (getuid() == 0) { // the service never asks about root
            answered(Permission::Allowed);
            return;
        }
        const bool noPasswordPrompt = false;
        send(PolkitAuthority::question(QDBusConnection::systemBus().baseService(), noPasswordPrompt), ANSWER_TIMEOUT_MS,
             context,
             // Unknown leaves the decision to the service, which then says what it decided.
             [answered](const QDBusMessage& reply) { answered(PolkitAuthority::permission(reply)); });
    }

private:
    inline static const QString SERVICE = QStringLiteral("org.vorlix.mouse.vorlixd");
    inline static const QString PATH = QStringLiteral("/org/vorlix/mouse/vorlixd");
    inline static const QString INTERFACE = QStringLiteral("org.vorlix.mouse.vorlixd");
    // A live service answers well within this, even when each USB transfer stalls until the
    // kernel gives up on it (5 s).
    static constexpr int ANSWER_TIMEOUT_MS = 30 * 1000;
    // The service allows a password prompt five minutes, then still has to send.
    static constexpr int PASSWORD_TIMEOUT_MS = 6 * 60 * 1000;

    static void send(const QDBusMessage& call, int timeout, QObject* context,
                     const std::function<void(const QDBusMessage&)>& done) {
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, timeout), context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                         [done](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             done(finished->reply());
                         });
    }

    // The service tells its failures apart only by their messages.
    static Outcome failure(const QString& message) {
        static const QMap<QString, Outcome> known = {
            {QStringLiteral("没有识别到适配的鼠标。"), Outcome::NoMouse},
            {QStringLiteral("无法打开HID设备。是否以root权限运行？是否连接了设备？"), Outcome::CannotOpen},
            {QStringLiteral("无法发送功能报文。"), Outcome::SendFailed},
            {QStringLiteral("鼠标已设置，但无法保存设置。"), Outcome::NotKept}};
        return known.value(message, Outcome::Failed);
    }

    static Answer answerTo(const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ErrorMessage) {
            return {};
        }
        switch (QDBusError(reply).type()) {
        case QDBusError::AccessDenied:
            return {Outcome::NotAllowed, reply.errorMessage()};
        case QDBusError::Failed:
            return {failure(reply.errorMessage()), reply.errorMessage()};
        // The call may have reached the service and the mouse: nobody can tell.
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return {Outcome::NoAnswer, reply.errorMessage()};
        case QDBusError::ServiceUnknown:
        case QDBusError::NoServer:
        case QDBusError::Disconnected:
            return {Outcome::ServiceMissing, reply.errorMessage()};
        default:
            return {Outcome::Failed, reply.errorMessage()};
        }
    }
};
