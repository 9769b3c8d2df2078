// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "Daemon.h"
#include "DeviceText.h"
#include "KeptSettingsFile.h"
#include "Mice.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <iostream>
#include <optional>
#include <string>

// The service object as the bus sees it: Daemon, which serves the first mouse as it always
// has, and beside it our own interface over every supported mouse and the kept settings.
// Failures come with error names of their own, so that clients tell them apart by name.
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
        std::optional<MouseSettings> settings;
        try {
            settings = kept.load();
        } catch (const CLIException& e) {
            std::wcout << std::endl << L"已忽略：" << PrintableText::escape(e.getMessage()) << std::endl;
            return QVariantMap();
        }
        std::wcout << (settings ? settings->toOptionLine() : std::wstring(L"无")) << std::endl;
        return settings ? toVariantMap(*settings) : QVariantMap();
    }

    // The reply comes from keepAndSend, once polkit has answered.
    QList<QVariantMap> configureAndKeep(bool liftOffDetection, bool smartScrolling, bool remapWheelPress,
                                        bool remapGestureButton, int frequency, int speed) {
        const MouseSettings chosen{liftOffDetection,   smartScrolling, remapWheelPress,
                                   remapGestureButton, frequency,      speed};
        std::wcout << L"设置并保存鼠标：" << chosen.toOptionLine() << std::endl;
        PolkitAuthority::whenAllowed(*this, error("NotAllowed"),
                                     [this, chosen](const QDBusMessage& call) { return keepAndSend(call, chosen); });
        return {};
    }

    void forgetKeptSettings() {
        std::wcout << L"忘记保存的设置" << std::endl;
        PolkitAuthority::whenAllowed(*this, error("NotAllowed"), [this](const QDBusMessage& call) {
            return kept.forget() ? call.createReply()
                                 : call.createErrorReply(error("NotForgotten"), QStringLiteral("无法删除保存的设置。"));
        });
    }

private:
    static QString error(const char* name) { return QStringLiteral("org.vorlix.mouse.vorlixd.Error.") + name; }

    // Values are checked before any mouse is opened. The settings are kept once a mouse took
    // them, and the reply says of each mouse whether it did.
    QDBusMessage keepAndSend(const QDBusMessage& call, const MouseSettings& chosen) {
        Packet report;
        try {
            report = chosen.toVorlixConfig().serialize();
        } catch (const CLIException& e) {
            return call.createErrorReply(error("InvalidValue"), QString::fromStdWString(e.getMessage()));
        }
        const std::vector<Mice::Mouse> present = Mice::list();
        if (present.empty()) {
            std::wcout << L"HID错误: " << Mice::NO_MOUSE << std::endl;
            return call.createErrorReply(error("NoMouse"), QString::fromStdWString(Mice::NO_MOUSE));
        }
        QList<QVariantMap> results;
        bool anySent = false;
        std::optional<Mice::Result> failure; // a send failure outweighs an open failure
        for (const Mice::Mouse& mouse : present) {
            const Mice::Result result = Mice::send(mouse, report);
            QVariantMap described = describe(mouse);
            described.insert(QStringLiteral("error"), errorOf(result.outcome));
            results << described;
            anySent = anySent || result.outcome == Mice::Outcome::Sent;
            if (result.outcome != Mice::Outcome::Sent) {
                std::wcout << L"HID错误: " << result.message << L" " << label(mouse) << std::endl;
                if (!failure || result.outcome == Mice::Outcome::SendFailed) {
                    failure = result;
                }
            }
        }
        if (!anySent) {
            return call.createErrorReply(errorOf(failure->outcome), QString::fromStdWString(failure->message));
        }
        if (!kept.save(chosen)) {
            std::wcout << L"无法保存设置：" << QString::fromStdString(kept.path()).toStdWString() << std::endl;
            return call.createErrorReply(error("NotKept"), QStringLiteral("鼠标已设置，但无法保存设置。"));
        }
        return call.createReply(QVariant::fromValue(results));
    }

    static QString errorOf(Mice::Outcome outcome) {
        switch (outcome) {
        case Mice::Outcome::CannotOpen:
            return error("CannotOpen");
        case Mice::Outcome::SendFailed:
            return error("SendFailed");
        default:
            return QString();
        }
    }

    static QVariantMap describe(const Mice::Mouse& mouse) {
        return {{QStringLiteral("productId"), QVariant::fromValue(mouse.productId)},
                {QStringLiteral("productName"), DeviceText::toQString(mouse.productName)},
                {QStringLiteral("serialNumber"), DeviceText::toQString(mouse.serialNumber)}};
    }

    // A mouse as the log names it; its name is the mouse's own, so it is escaped.
    static std::wstring label(const Mice::Mouse& mouse) {
        return L"(0x" + QString::number(mouse.productId, 16).toUpper().toStdWString() + L" " +
               PrintableText::escape(mouse.productName) + L" " + PrintableText::escape(mouse.serialNumber) + L")";
    }

    // The names are those of configureAndKeep's arguments.
    static QVariantMap toVariantMap(const MouseSettings& settings) {
        return {{QStringLiteral("liftOffDetection"), settings.liftOffDetection},
                {QStringLiteral("smartScrolling"), settings.smartScrolling},
                {QStringLiteral("remapWheelPress"), settings.remapWheelPress},
                {QStringLiteral("remapGestureButton"), settings.remapGestureButton},
                {QStringLiteral("frequency"), settings.frequency},
                {QStringLiteral("speed"), settings.speed}};
    }

    const KeptSettingsFile kept;
};
