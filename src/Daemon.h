// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "DeviceText.h"
#include "HID.h"
#include "KeptSettingsFile.h"
#include "Mice.h"
#include "MiceService.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "ServiceSentences.h"
#include "VorlixConfig.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

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
        throw HIDException(HID_NO_MOUSE);
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
        PolkitAuthority::whenAllowed(*this, QDBusError::errorString(QDBusError::AccessDenied),
                                     [this, chosen](const QDBusMessage& call) { return sendToMouse(call, chosen); });
    }

private:
    // configure's reply once the caller may. The first mouse's record says what it was sent and
    // whether it took the whole report, though configure answers success for a short send too.
    QDBusMessage sendToMouse(const QDBusMessage& call, const MouseSettings& chosen) {
        VorlixConfig settings;
        try {
            settings = chosen.toVorlixConfig();
        } catch (const CLIException& e) {
            return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(e.getMessage()));
        }
        const Packet report = settings.serialize();
        // The mouse's turn is taken before the send, so that its record tells of the last send to it.
        const MouseRecords records = MouseRecords::forThisUser();
        std::optional<Mouse> opened;
        std::optional<WholeFile::Lock> turn;
        Outcome outcome = Outcome::CannotOpen;
        std::optional<HIDException> failure;
        try {
            HIDDevice mouse = getMouse();
            opened = mouseAt(Mice::heldNode());
            turn.emplace(opened ? records.turnAt(*opened) : WholeFile::Lock());
            outcome = Outcome::SendFailed;
            mouse.sendFeatureReport(report);
            outcome = mouse.bytesTaken() == static_cast<int>(report.size()) ? Outcome::Done : Outcome::SendFailed;
        } catch (const HIDException& e) {
            failure = e;
        }
        if (!turn) { // none could be opened: that is discovery's first mouse's record
            opened = mouseAt(std::string());
            turn.emplace(opened ? records.turnAt(*opened) : WholeFile::Lock());
        }
        const MouseRecords::Write write = opened ? records.sent(*turn, *opened, chosen, MouseRecord::Sender::Service,
                                                                MouseRecord::Source::Configure, outcome)
                                                 : MouseRecords::Write::Done;
        if (write != MouseRecords::Write::Done) {
            std::wcout << ServiceSentences::notRecorded(write, records.folder()) << std::endl;
        }
        if (failure) {
            logException(*failure);
            return call.createErrorReply(QDBusError::Failed, QString::fromStdWString(failure->getMessage()));
        }
        return call.createReply();
    }

    // The mouse at the node `path`, looked for in sysfs alone; without a node, discovery's first
    // mouse, the first one listed.
    static std::optional<Mouse> mouseAt(const std::string& path) {
        const std::vector<Mouse> mice = path.empty() ? Mice::list() : Mice::at(path);
        return mice.empty() ? std::nullopt : std::optional<Mouse>(mice.front());
    }
};

// The service's one object on the bus: the first mouse's interface as Daemon serves it, and beside
// it ours, whose work MiceService does. Qt serves one object at a path, and a generated adaptor
// calls the object it is attached to, so this object only hands our interface on.
class ServiceObject : public Daemon {
    Q_OBJECT
    Q_PROPERTY(QList<QVariantMap> mice READ mice)
    Q_PROPERTY(QVariantMap keptSettings READ keptSettings)
    Q_PROPERTY(QVariantMap administratorSettings READ administratorSettings)

public:
    // Root's settings and records are the system's; a user's own service keeps hers in her own folders.
    ServiceObject(QObject* parent, const QDBusConnection& connection)
        : Daemon(parent), service(*this, KeptSettingsFile::forThisUser(), MouseRecords::forThisUser(), connection) {}

    QList<QVariantMap> mice() const { return service.mice(); }
    QVariantMap keptSettings() const { return service.keptSettings(); }
    QVariantMap administratorSettings() const { return service.administratorSettings(); }
    QList<QVariantMap> configureAndKeep(bool liftOffDetection, bool smartScrolling, bool remapWheelPress,
                                        bool remapGestureButton, int frequency, int speed) {
        return service.configureAndKeep(liftOffDetection, smartScrolling, remapWheelPress, remapGestureButton,
                                        frequency, speed);
    }
    void forgetKeptSettings() { service.forgetKeptSettings(); }
    QVariantMap configureMouseAndKeep(const QString& usbDevice, bool liftOffDetection, bool smartScrolling,
                                      bool remapWheelPress, bool remapGestureButton, int frequency, int speed) {
        return service.configureMouseAndKeep(usbDevice, liftOffDetection, smartScrolling, remapWheelPress,
                                             remapGestureButton, frequency, speed);
    }
    void forgetMouseSettings(const QString& usbDevice) { service.forgetMouseSettings(usbDevice); }

private:
    MiceService service;
};
