// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "Daemon.h"
#include "DeviceText.h"
#include "HID.h"
#include "KeptSettingsFile.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "Utf8.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <iostream>
#include <string>
#include <vector>

// The service object as the bus sees it: Daemon, which serves the first mouse as it always
// has, and beside it our own interface over every supported mouse and the kept settings. It
// only translates: what each call does is decided by the device layer and the kept file.
class MiceService : public Daemon {
    Q_OBJECT
    Q_PROPERTY(QList<QVariantMap> mice READ mice)
    Q_PROPERTY(QVariantMap keptSettings READ keptSettings)

public:
    MiceService(QObject* parent, KeptSettingsFile kept) : Daemon(parent), kept(std::move(kept)) {
        qDBusRegisterMetaType<QList<QVariantMap>>();
    }

    QList<QVariantMap> mice() {
        const std::vector<Mice::Mouse> present = Mice::list();
        std::wcout << L"列出鼠标： " << present.size() << std::endl;
        QList<QVariantMap> listed;
        for (const Mice::Mouse& mouse : present) {
            listed << describe(mouse);
        }
        return listed;
    }

    // A damaged file is reported here, in the log, and reads as nothing kept.
    QVariantMap keptSettings() {
        std::wcout << L"读取保存的设置： ";
        const ReadSettings read = kept.load();
        if (!read.result.done()) {
            std::wcout << std::endl << L"已忽略：" << PrintableText::escape(read.result.sentence) << std::endl;
            return QVariantMap();
        }
        std::wcout << (read.settings ? read.settings->toOptionLine() : std::wstring(L"无")) << std::endl;
        return read.settings ? BusSettings::toMap(*read.settings) : QVariantMap();
    }

    // The reply comes from keepAndSend, once polkit has answered.
    QList<QVariantMap> configureAndKeep(bool liftOffDetection, bool smartScrolling, bool remapWheelPress,
                                        bool remapGestureButton, int frequency, int speed) {
        const MouseSettings chosen(
            {liftOffDetection, smartScrolling, remapWheelPress, remapGestureButton, frequency, speed});
        std::wcout << L"设置并保存鼠标：" << chosen.toOptionLine() << std::endl;
        PolkitAuthority::whenAllowed(*this, errorName(Outcome::NotAllowed),
                                     [this, chosen](const QDBusMessage& call) { return keepAndSend(call, chosen); });
        return {};
    }

    void forgetKeptSettings() {
        std::wcout << L"忘记保存的设置" << std::endl;
        PolkitAuthority::whenAllowed(*this, errorName(Outcome::NotAllowed), [this](const QDBusMessage& call) {
            const Result forgotten = kept.forget();
            return forgotten.done() ? call.createReply() : errorReply(call, forgotten);
        });
    }

private:
    static QString errorName(Outcome outcome) { return QString::fromStdString(ServiceNames::errorName(outcome)); }

    static QDBusMessage errorReply(const QDBusMessage& call, const Result& failure) {
        return call.createErrorReply(errorName(failure.outcome), QString::fromStdWString(failure.sentence));
    }

    // Values are checked before any mouse is opened. The settings are kept once a mouse took
    // them, and the reply says of each mouse whether it did.
    QDBusMessage keepAndSend(const QDBusMessage& call, const MouseSettings& chosen) {
        Packet report;
        try {
            report = chosen.toVorlixConfig().serialize();
        } catch (const CLIException& e) {
            return errorReply(call, {Outcome::InvalidValue, e.getMessage()});
        }
        QList<QVariantMap> reached;
        std::vector<Result> results;
        for (const Mice::Mouse& mouse : Mice::list()) {
            results.push_back(Mice::send(mouse, report));
            QVariantMap described = describe(mouse);
            described.insert(QStringLiteral("error"), errorName(results.back().outcome));
            reached << described;
            if (!results.back().done()) {
                std::wcout << L"HID错误: " << results.back().sentence << L" " << label(mouse) << std::endl;
            }
        }
        const Result sent = Mice::overall(results);
        if (sent.outcome == Outcome::NoMouse) {
            std::wcout << L"HID错误: " << sent.sentence << std::endl;
        }
        if (!sent.done()) {
            return errorReply(call, sent);
        }
        const Result keeping = kept.save(chosen);
        if (!keeping.done()) {
            std::wcout << L"无法保存设置：" << Utf8::printable(kept.path()) << std::endl;
            return errorReply(call, keeping);
        }
        return call.createReply(QVariant::fromValue(reached));
    }

    static QVariantMap describe(const Mice::Mouse& mouse) {
        return {{QStringLiteral("usbDevice"), QString::fromStdString(mouse.usbDevice)},
                {QStringLiteral("productId"), QVariant::fromValue(mouse.productId)},
                {QStringLiteral("productName"), DeviceText::toQString(mouse.productName)},
                {QStringLiteral("serialNumber"), DeviceText::toQString(mouse.serialNumber)}};
    }

    // A mouse as the log names it; its name is the mouse's own, so it is escaped.
    static std::wstring label(const Mice::Mouse& mouse) {
        return L"(0x" + QString::number(mouse.productId, 16).toUpper().toStdWString() + L" " +
               PrintableText::escape(mouse.productName) + L" " + PrintableText::escape(mouse.serialNumber) + L")";
    }

    const KeptSettingsFile kept;
};
