// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"
#include "VorlixdProxy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingReply>
#include <QString>

// The vorlixd service on the system bus, where the installed service lives, and what its
// answers mean to a person at the desktop. Each question gets a proxy of its own, so no
// error of an earlier one is read as the answer to a later one.
class MouseService {
    Q_DECLARE_TR_FUNCTIONS(MouseService)

public:
    // The product name of the mouse the service found, or a sentence saying why there is none.
    static QString describeMouse() {
        VorlixdProxy proxy = connect();
        const bool present = proxy.devicePresent();
        if (proxy.lastError().isValid()) {
            return explain(proxy.lastError());
        }
        if (!present) {
            return noMouse();
        }
        const QString name = proxy.deviceName();
        if (proxy.lastError().isValid()) {
            return explain(proxy.lastError());
        }
        return name.isEmpty() ? tr("A supported mouse without a name") : name;
    }

    // Why this user may not change the settings, or an empty text when they may. The bus
    // decides before the service sees the call, so a rate the service refuses without
    // opening the mouse asks the question while nothing reaches the mouse.
    static QString checkAccess() {
        QDBusPendingReply<> reply = connect().configure(true, false, true, true, REFUSED_FREQUENCY, 3);
        reply.waitForFinished();
        return reply.error().type() == QDBusError::AccessDenied ? explain(reply.error()) : QString();
    }

    // Sends all six settings in one call; returns why they were not applied, or an empty text.
    static QString apply(const MouseSettings& settings) {
        QDBusPendingReply<> reply = connect().configure(settings.liftOffDetection, settings.smartScrolling,
                                                        settings.remapWheelPress, settings.remapGestureButton,
                                                        settings.frequency, settings.speed);
        reply.waitForFinished();
        return reply.isError() ? explain(reply.error()) : QString();
    }

private:
    static constexpr int REFUSED_FREQUENCY = 0;
    // The service tells "no mouse" from other mouse failures only by its message.
    static inline const QString NO_MOUSE_MESSAGE = QStringLiteral("没有识别到适配的鼠标。");

    static VorlixdProxy connect() {
        return VorlixdProxy(QStringLiteral("org.vorlix.mouse.vorlixd"), QStringLiteral("/org/vorlix/mouse/vorlixd"),
                            QDBusConnection::systemBus());
    }

    static QString noMouse() { return tr("No supported mouse was found."); }

    static QString explain(const QDBusError& error) {
        switch (error.type()) {
        case QDBusError::AccessDenied:
            return tr("You may not change the mouse settings. Ask an administrator to add you to the "
                      "group plugdev, then log in again.");
        case QDBusError::Failed:
            return error.message() == NO_MOUSE_MESSAGE
                       ? noMouse()
                       : tr("The service could not configure the mouse: %1").arg(error.message());
        default:
            return tr("The mouse service is not installed or not reachable.");
        }
    }
};
