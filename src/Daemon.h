// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "Common.h"
#include "HID.h"
#include "PrintableText.h"
#include "VorlixConfig.h"

#include <QDBusContext>
#include <QDBusError>
#include <QObject>
#include <QString>

#include <cstdint>
#include <iostream>
#include <string>

// The object behind the D-Bus service. It keeps no state: every call finds and opens
// the mouse anew and closes it before returning, so an unplugged or replaced mouse is
// never served from a stale handle.
class Daemon : public QObject, public QDBusContext {
    Q_OBJECT
    Q_PROPERTY(bool devicePresent READ devicePresent)
    Q_PROPERTY(QString deviceName READ deviceName)

    void logException(const HIDException& e) { std::wcout << L"HID错误: " << e.getMessage() << std::endl; }

public:
    static constexpr uint16_t VENDOR_ID = 0x256F;
    static constexpr uint16_t PRODUCT_ID_WIRELESS = 0xC652;
    static constexpr uint16_t PRODUCT_ID_WIRED_PRO = 0xC656;
    static constexpr uint16_t PRODUCT_ID_WIRED_COMPACT = 0xC655;

    explicit Daemon(QObject* parent) : QObject(parent) {}

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

    // Both values are checked before the mouse is opened, so a refused call sends nothing.
    void configure(bool liftOffDetection, bool smartScrolling, bool remapWheelPress, bool remapGestureButton,
                   int frequency, int speed) {
        std::wcout << L"设置鼠标：" << L" liftOffDetection=" << liftOffDetection << L" smartScrolling="
                   << smartScrolling << L" remapWheelPress=" << remapWheelPress << L" remapGestureButton="
                   << remapGestureButton << L" frequency=" << frequency << L" speed=" << speed << std::endl;
        VorlixConfig settings;
        settings.setLiftOffDetection(liftOffDetection);
        settings.setSmartScrolling(smartScrolling);
        settings.setWheelPressRemapped(remapWheelPress);
        settings.setRemapGestureButton(remapGestureButton);
        try {
            settings.setFrequency(Common::parseFrequency(std::to_wstring(frequency)));
            settings.setSpeed(Common::parseSpeed(std::to_wstring(speed)));
            getMouse().sendFeatureReport(settings.serialize());
        } catch (const HIDException& e) {
            logException(e);
            sendErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
        } catch (const CLIException& e) {
            sendErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
        }
    }
};
