// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "DeviceText.h"
#include "HID.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "VorlixConfig.h"

#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <iostream>
#include <string>

// The object behind the D-Bus service. It holds no mouse: every call finds and opens the
// mouse anew and closes it before returning, so an unplugged or replaced mouse is never
// served from a stale handle.
class Daemon : public QObject, public QDBusContext {
    Q_OBJECT
    Q_PROPERTY(bool devicePresent READ devicePresent)
    Q_PROPERTY(QString deviceName READ deviceName)

    void logException(const HIDException& e) { std::wcout << L"HID错误: " << e.getMessage() << std::endl; }

public:
    static constexpr uint16_t VENDOR_ID = Mice::VENDOR_ID;
    static constexpr uint16_t PRODUCT_ID_WIRELESS = Mice::PRODUCT_ID_WIRELESS;
    static constexpr uint16_t PRODUCT_ID_WIRED_PRO = Mice::PRODUCT_ID_WIRED_PRO;
    static constexpr uint16_t PRODUCT_ID_WIRED_COMPACT = Mice::PRODUCT_ID_WIRED_COMPACT;

    explicit Daemon(QObject* parent) : QObject(parent) {}

    // The first supported mouse, opened. Product IDs rank before list order, so a
    // wireless receiver wins over a wired mouse that happens to be listed first.
    // An open failure is final: silently configuring some other mouse would surprise.
    static HIDDevice getMouse() {
        const std::vector<HIDDeviceInfo> devices = HIDDeviceInfo::enumerate(0, 0);
        for (uint16_t productId : Mice::PRODUCT_IDS) {
            for (const HIDDeviceInfo& device : devices) {
                if (device.matches(VENDOR_ID, productId)) {
                    return device.open();
                }
            }
        }
        throw HIDException(Mice::NO_MOUSE);
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
        return DeviceText::toQString(name);
    }

    // Both values are checked before the mouse is opened, so a refused call sends nothing.
    // On the system bus polkit decides first whether the caller may change the mouse.
    void configure(bool liftOffDetection, bool smartScrolling, bool remapWheelPress, bool remapGestureButton,
                   int frequency, int speed) {
        std::wcout << L"设置鼠标：" << L" liftOffDetection=" << liftOffDetection << L" smartScrolling="
                   << smartScrolling << L" remapWheelPress=" << remapWheelPress << L" remapGestureButton="
                   << remapGestureButton << L" frequency=" << frequency << L" speed=" << speed << std::endl;
        const MouseSettings chosen(
            {liftOffDetection, smartScrolling, remapWheelPress, remapGestureButton, frequency, speed});
        const auto send = [this, chosen](const QDBusMessage& call) {
            try {
                const VorlixConfig settings = chosen.toVorlixConfig();
                Outcome outcome = Outcome::CannotOpen;
                try {
                    HIDDevice mouse = getMouse();
                    outcome = Outcome::SendFailed;
                    const Packet report = settings.serialize();
                    mouse.sendFeatureReport(report);
                    outcome = mouse.bytesTaken() == static_cast<int>(report.size()) ? Outcome::Done
                                                                                    : Outcome::SendFailed;
                } catch (const HIDException&) {
                    sentToFirstMouse(chosen, outcome);
                    throw;
                }
                sentToFirstMouse(chosen, outcome);
            } catch (const HIDException& e) {
                logException(e);
                return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
            } catch (const CLIException& e) {
                return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
            }
            return call.createReply();
        };
        PolkitAuthority::whenAllowed(*this, QDBusError::errorString(QDBusError::AccessDenied), send);
    }

protected:
    // What configure sent the first mouse, and what came of it: Done when it took the whole
    // report, though configure answers success for a short send too; CannotOpen when no mouse
    // could be opened.
    virtual void sentToFirstMouse(const MouseSettings& /*sent*/, Outcome /*outcome*/) {}
};
