// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "Common.h"
#include "HID.h"
#include "KeptSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "VorlixConfig.h"

#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

// The object behind the D-Bus service. It holds no mouse: every call finds and opens the
// mouse anew and closes it before returning, so an unplugged or replaced mouse is never
// served from a stale handle. The only state is the file of kept settings.
class Daemon : public QObject, public QDBusContext {
    Q_OBJECT
    Q_PROPERTY(bool devicePresent READ devicePresent)
    Q_PROPERTY(QString deviceName READ deviceName)
    Q_PROPERTY(QVariantMap keptSettings READ keptSettings)

    void logException(const HIDException& e) { std::wcout << L"HID错误: " << e.getMessage() << std::endl; }

    void logSettings(const wchar_t* label, const KeptSettings& settings) {
        std::wcout << label << L" liftOffDetection=" << settings.liftOffDetection << L" smartScrolling="
                   << settings.smartScrolling << L" remapWheelPress=" << settings.remapWheelPress
                   << L" remapGestureButton=" << settings.remapGestureButton << L" frequency=" << settings.frequency
                   << L" speed=" << settings.speed << std::endl;
    }

    // Runs change once the caller may make it and answers the call with its reply. On the
    // system bus polkit decides, and may take its time asking for a password, so the reply
    // is always sent from here rather than when the call returns.
    void whenAllowed(const std::function<QDBusMessage(const QDBusMessage& call)>& change) {
        setDelayedReply(true);
        const QDBusMessage call = message();
        QDBusConnection bus = connection();
        if (!askPolkit) {
            bus.send(change(call));
            return;
        }
        PolkitAuthority::check(bus, call, [bus, call, change](const QString& refusal) mutable {
            if (!refusal.isEmpty()) {
                std::wcout << L"已拒绝 " << call.service().toStdWString() << L"： " << refusal.toStdWString()
                           << std::endl;
                bus.send(call.createErrorReply(QDBusError::AccessDenied, refusal));
                return;
            }
            bus.send(change(call));
        });
    }

    // Both values are checked before the mouse is opened, so a refused call sends nothing.
    QDBusMessage send(const QDBusMessage& call, const KeptSettings& chosen) {
        VorlixConfig settings;
        settings.setLiftOffDetection(chosen.liftOffDetection);
        settings.setSmartScrolling(chosen.smartScrolling);
        settings.setWheelPressRemapped(chosen.remapWheelPress);
        settings.setRemapGestureButton(chosen.remapGestureButton);
        try {
            settings.setFrequency(Common::parseFrequency(std::to_wstring(chosen.frequency)));
            settings.setSpeed(Common::parseSpeed(std::to_wstring(chosen.speed)));
            getMouse().sendFeatureReport(settings.serialize());
        } catch (const HIDException& e) {
            logException(e);
            return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
        } catch (const CLIException& e) {
            return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
        }
        return call.createReply();
    }

    const bool askPolkit;

public:
    static constexpr uint16_t VENDOR_ID = 0x256F;
    static constexpr uint16_t PRODUCT_ID_WIRELESS = 0xC652;
    static constexpr uint16_t PRODUCT_ID_WIRED_PRO = 0xC656;
    static constexpr uint16_t PRODUCT_ID_WIRED_COMPACT = 0xC655;

    // askPolkit: on the system bus, changes are polkit's to allow; on a user's own session
    // bus, everyone who can reach the bus is that user.
    Daemon(QObject* parent, bool askPolkit) : QObject(parent), askPolkit(askPolkit) {}

    // The first supported mouse, opened. Product IDs rank before list order, so a
    // wireless receiver wins over a wired mouse that happens to be listed first.
    // An open failure is final: silently configuring some other mouse would surprise.
    static HIDDevice getMouse() {
        const std::vector<HIDDeviceInfo> devices = HIDDeviceInfo::enumerate(0, 0);
        for (uint16_t productId : {PRODUCT_ID_WIRELESS, PRODUCT_ID_WIRED_PRO, PRODUCT_ID_WIRED_COMPACT}) {
            for (const HIDDeviceInfo& device : devices) {
                if (device.matches(VENDOR_ID, productId)) {
                    return device.open();
                }
            }
        }
        throw HIDException(L"没有识别到适配的鼠标。");
    }

    bool devicePresent() {
        std::wcout << L"checking mouse presence: ";
        try {
            getMouse();
        } catch (const HIDException& e) {
            std::wcout << std::endl;
            logException(e);
            return false;
        }
        std::wcout << L"present" << std::endl;
        return true;
    }

    QString deviceName() {
        std::wcout << L"读取鼠标名称： ";
        std::wstring name;
        try {
            name = getMouse().getProductName();
        } catch (const HIDException& e) {
            std::wcout << std::endl;
            logException(e);
            return QString();
        }
        // Clients get the name as the mouse gave it; only the log line is made safe.
        std::wcout << PrintableText::escape(name) << std::endl;
        return QString::fromStdWString(name);
    }

    void configure(bool liftOffDetection, bool smartScrolling, bool remapWheelPress, bool remapGestureButton,
                   int frequency, int speed) {
        const KeptSettings chosen{liftOffDetection,   smartScrolling, remapWheelPress,
                                  remapGestureButton, frequency,      speed};
        logSettings(L"设置鼠标：", chosen);
        whenAllowed([this, chosen](const QDBusMessage& call) { return send(call, chosen); });
    }

    // Configures exactly as configure does and, when the mouse took the settings, keeps them
    // to be sent again whenever the mouse comes back.
    void configureAndKeep(bool liftOffDetection, bool smartScrolling, bool remapWheelPress, bool remapGestureButton,
                          int frequency, int speed) {
        const KeptSettings chosen{liftOffDetection,   smartScrolling, remapWheelPress,
                                  remapGestureButton, frequency,      speed};
        logSettings(L"设置并保存鼠标：", chosen);
        whenAllowed([this, chosen](const QDBusMessage& call) {
            const QDBusMessage reply = send(call, chosen);
            if (reply.type() == QDBusMessage::ErrorMessage || chosen.save()) {
                return reply;
            }
            std::wcout << L"无法保存设置：" << KeptSettings::filePath().toStdWString() << std::endl;
            return call.createErrorReply(QDBusError::Failed, QStringLiteral("鼠标已设置，但无法保存设置。"));
        });
    }

    void forgetKeptSettings() {
        std::wcout << L"忘记保存的设置" << std::endl;
        whenAllowed([](const QDBusMessage& call) {
            return KeptSettings::forget()
                       ? call.createReply()
                       : call.createErrorReply(QDBusError::Failed, QStringLiteral("无法删除保存的设置。"));
        });
    }

    // A damaged file is reported here, in the log, and reads as nothing kept.
    QVariantMap keptSettings() {
        std::wcout << L"读取保存的设置： ";
        std::optional<KeptSettings> kept;
        try {
            kept = KeptSettings::load();
        } catch (const CLIException& e) {
            std::wcout << std::endl << L"已忽略：" << PrintableText::escape(e.getMessage()) << std::endl;
            return QVariantMap();
        }
        std::wcout << (kept ? kept->toOptions().toStdWString() : std::wstring(L"无")) << std::endl;
        return kept ? kept->toVariantMap() : QVariantMap();
    }
};
