// SPDX-License-Identifier: MIT
#pragma once

#include "ServiceNames.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <iostream>

#include <unistd.h>

// Asks polkit whether the sender of a call may change the mouse settings, as system services
// that act for desktop users do. The subject is the caller's unique bus name, so the answer
// concerns the very process that sent the call; a caller that allows interactive
// authorization lets the desktop's polkit agent ask for a password. Who may is the action's
// and the rules' to say (see the .policy and .rules files), never this program's.
class PolkitAuthority {
public:
    inline static const QString ACTION_ID = QLatin1String(ServiceNames::POLKIT_ACTION);

    // Answers the call being served with change's reply once its sender may make the change, or
    // with refusalError and the reason. Only a service on the system bus asks polkit: it runs
    // as root, and a user's own service on her session bus is reached by nobody but her. The
    // reply is always sent from here, since polkit may take minutes to ask for a password.
    static void whenAllowed(const QDBusContext& context, const QString& refusalError,
                            const std::function<QDBusMessage(const QDBusMessage& call)>& change) {
        context.setDelayedReply(true);
        const QDBusMessage call = context.message();
        QDBusConnection bus = context.connection();
        if (getuid() != 0) {
            bus.send(change(call));
            return;
        }
        check(bus, call, [bus, call, change, refusalError](const QString& refusal) mutable {
            if (refusal.isEmpty()) {
                bus.send(change(call));
                return;
            }
            std::wcout << L"已拒绝 " << call.service().toStdWString() << L"： " << refusal.toStdWString() << std::endl;
            bus.send(call.createErrorReply(refusalError, refusal));
        });
    }

    // Calls decide with an empty text when the sender may, else with a sentence saying why not.
    // Answers later, from the event loop, since a password prompt may take minutes.
    static void check(const QDBusConnection& bus, const QDBusMessage& call,
                      const std::function<void(const QString& refusal)>& decide) {
        // Root needs nobody's leave, not even when polkit cannot be asked. A caller that has
        // left the bus can no longer be told apart from anyone else.
        const std::optional<uint> uid = uidOf(bus, call.service());
        if (!uid || *uid == 0) {
            decide(uid ? QString() : QStringLiteral("无法确认调用者的身份。"));
            return;
        }
        const bool interactive = call.isInteractiveAuthorizationAllowed();
        auto* answer = new QDBusPendingCallWatcher(
            bus.asyncCall(question(call.service(), interactive), interactive ? PROMPT_TIMEOUT_MS : -1));
        QObject::connect(answer, &QDBusPendingCallWatcher::finished, [decide](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            decide(refusal(permission(finished->reply())));
        });
    }

    enum class Permission { Allowed, AfterPassword, NotAllowed, Unknown };

    // polkit's question whether the process behind busName may change the mouse settings;
    // with interactive, its agent may first ask the person for a password.
    static QDBusMessage question(const QString& busName, bool interactive) {
        QDBusArgument subject;
        subject.beginStructure();
        subject << QStringLiteral("system-bus-name") << QVariantMap{{QStringLiteral("name"), busName}};
        subject.endStructure();
        QDBusArgument details;
        details.beginMap(QMetaType::QString, QMetaType::QString);
        details.endMap();
        QDBusMessage question = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.PolicyKit1"), QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
            QStringLiteral("org.freedesktop.PolicyKit1.Authority"), QStringLiteral("CheckAuthorization"));
        question << QVariant::fromValue(subject) << ACTION_ID << QVariant::fromValue(details)
                 << uint(interactive ? ALLOW_USER_INTERACTION : 0) << QString();
        return question;
    }

    // What polkit's reply to question() says; Unknown when it gave none that can be read.
    static Permission permission(const QDBusMessage& answer) {
        if (answer.type() != QDBusMessage::ReplyMessage || answer.signature() != QLatin1String("(bba{ss})")) {
            return Permission::Unknown;
        }
        bool authorized = false;
        bool challenge = false;
        QMap<QString, QString> details;
        const QDBusArgument result = answer.arguments().constFirst().value<QDBusArgument>();
        result.beginStructure();
        result >> authorized >> challenge >> details;
        result.endStructure();
        return authorized ? Permission::Allowed : challenge ? Permission::AfterPassword : Permission::NotAllowed;
    }

private:
    static constexpr uint ALLOW_USER_INTERACTION = 1;
    static constexpr int KNOWN_CALLERS = 64;

    // The user behind a caller's unique bus name, which the bus never gives another connection,
    // so it is asked once per caller; none when the caller has left.
    static std::optional<uint> uidOf(const QDBusConnection& bus, const QString& caller) {
        static QHash<QString, uint> known;
        if (const auto found = known.constFind(caller); found != known.constEnd()) {
            return *found;
        }
        const QDBusReply<uint> uid = bus.interface()->serviceUid(caller);
        if (!uid.isValid()) {
            return std::nullopt;
        }
        if (known.size() >= KNOWN_CALLERS) {
            known.clear();
        }
        known.insert(caller, uid.value());
        return uid.value();
    }
    // Long enough for a person to type a password; the caller's own timeout may be shorter.
    static constexpr int PROMPT_TIMEOUT_MS = 5 * 60 * 1000;

    // Anything but a clear yes refuses: without polkit's answer only root may change the mouse.
    static QString refusal(Permission permission) {
        switch (permission) {
        case Permission::Allowed:
            return QString();
        case Permission::AfterPassword:
            return QStringLiteral("更改鼠标设置需要先通过身份认证。");
        case Permission::NotAllowed:
            return QStringLiteral("无权更改鼠标设置。");
        default:
            return QStringLiteral("无法询问 polkit：只有 root 可以更改鼠标设置。");
        }
    }
};
