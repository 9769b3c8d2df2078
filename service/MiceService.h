// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "Daemon.h"
#include "DeviceText.h"
#include "HID.h"
#include "KeptSettingsFile.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "Utf8.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <sys/stat.h>

#include <iostream>
#include <string>
#include <vector>

// The service object as the bus sees it: Daemon, which serves the first mouse as it always
// has, and beside it our own interface over every supported mouse, what each was last sent,
// and the kept settings. It only translates: what each call does is decided by the device
// layer, the records and the kept file. It tells its clients when a mouse comes or goes or its
// record changes, as udev and the records' folder tell it, and sleeps while nothing happens.
class MiceService : public Daemon {
    Q_OBJECT
    Q_PROPERTY(QList<QVariantMap> mice READ mice)
    Q_PROPERTY(QVariantMap keptSettings READ keptSettings)

public:
    MiceService(QObject* parent, KeptSettingsFile kept, MouseRecords records, const QDBusConnection& connection)
        : Daemon(parent), kept(std::move(kept)), records(std::move(records)), connection(connection) {
        qDBusRegisterMetaType<QList<QVariantMap>>();
        // A burst of events, such as a mouse's interfaces appearing one by one and then its
        // record, comes out as one change.
        settle.setSingleShot(true);
        settle.setInterval(SETTLE_MS);
        connect(&settle, &QTimer::timeout, this, &MiceService::announceMice);
        // Without udev to listen to, clients still read the mice whenever they ask; nothing is
        // printed, since the start-up lines are what they always were.
        if (events.descriptor() >= 0) {
            auto* notifier = new QSocketNotifier(events.descriptor(), QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, [this] {
                events.take();
                settle.start();
            });
        }
        // Others write the records too (vorlixd-apply at each plug-in and resume); each record
        // is replaced whole, so the folder changes with it. A user's own folder may not exist yet;
        // without a runtime folder at all nothing is recorded, so there is nothing to watch.
        if (!this->records.folder().empty()) {
            mkdir(this->records.folder().c_str(), 0700);
            watcher.addPath(QString::fromStdString(this->records.folder()));
            connect(&watcher, &QFileSystemWatcher::directoryChanged, &settle, QOverload<>::of(&QTimer::start));
        }
    }

    QList<QVariantMap> mice() {
        const QList<QVariantMap> present = listed();
        std::wcout << L"列出鼠标： " << present.size() << std::endl;
        return present;
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
            const bool wasKept = kept.load().settings.has_value();
            const Result forgotten = kept.forget();
            if (wasKept && forgotten.done()) {
                announce(QStringLiteral("keptSettings"), QVariantMap());
            }
            return forgotten.done() ? call.createReply() : errorReply(call, forgotten);
        });
    }

protected:
    void sentToFirstMouse(const MouseSettings& sent, Outcome outcome) override {
        const std::vector<Mice::Mouse> present = Mice::list();
        if (!present.empty()) {
            record(present.front(), sent, outcome);
        }
    }

private:
    static constexpr int SETTLE_MS = 100;

    QList<QVariantMap> listed() const {
        QList<QVariantMap> present;
        for (const Mice::Mouse& mouse : Mice::list()) {
            present << describe(mouse);
        }
        return present;
    }

    void announceMice() {
        const QList<QVariantMap> present = listed();
        if (present != announced) {
            announced = present;
            announce(QStringLiteral("mice"), QVariant::fromValue(present));
        }
    }

    // The standard signal of a property that changed, with its new value.
    void announce(const QString& property, const QVariant& value) {
        QDBusMessage changed = QDBusMessage::createSignal(QLatin1String(ServiceNames::PATH),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << QLatin1String(ServiceNames::MICE_INTERFACE) << QVariantMap{{property, value}} << QStringList();
        connection.send(changed);
    }

    void record(const Mice::Mouse& mouse, const MouseSettings& sent, Outcome outcome) {
        if (!records.sent(mouse, sent, MouseRecord::Sender::Service, outcome)) {
            std::wcout << L"无法记录发送的设置：" << Utf8::printable(records.folder()) << std::endl;
        }
    }

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
            record(mouse, chosen, results.back().outcome);
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
        const std::optional<MouseSettings> before = kept.load().settings;
        const Result keeping = kept.save(chosen);
        if (!keeping.done()) {
            std::wcout << L"无法保存设置：" << Utf8::printable(kept.path()) << std::endl;
            return errorReply(call, keeping);
        }
        if (before != chosen) {
            announce(QStringLiteral("keptSettings"), BusSettings::toMap(chosen));
        }
        return call.createReply(QVariant::fromValue(reached));
    }

    // The mouse and what it was last sent since it appeared. A record that cannot be used is
    // said in the log and shown as nothing known.
    QVariantMap describe(const Mice::Mouse& mouse) const {
        std::wstring why;
        const MouseRecord record = records.of(mouse, &why);
        if (!why.empty()) {
            std::wcout << L"已忽略记录：" << label(mouse) << L" " << why << std::endl;
        }
        return {{QStringLiteral("usbDevice"), QString::fromStdString(mouse.usbDevice)},
                {QStringLiteral("productId"), QVariant::fromValue(mouse.productId)},
                {QStringLiteral("productName"), DeviceText::toQString(mouse.productName)},
                {QStringLiteral("serialNumber"), DeviceText::toQString(mouse.serialNumber)},
                {QStringLiteral("sentSettings"), record.sent ? BusSettings::toMap(*record.sent) : QVariantMap()},
                {QStringLiteral("sentAt"), QVariant::fromValue<qulonglong>(record.sentAt)},
                {QStringLiteral("sentBy"), QString::fromStdString(MouseRecord::senderName(record.sentBy))},
                {QStringLiteral("sendError"), errorName(record.sendError)},
                {QStringLiteral("appearedAt"), QVariant::fromValue<qulonglong>(record.appearedAt)}};
    }

    // A mouse as the log names it; its name is the mouse's own, so it is escaped.
    static std::wstring label(const Mice::Mouse& mouse) {
        return L"(0x" + QString::number(mouse.productId, 16).toUpper().toStdWString() + L" " +
               PrintableText::escape(mouse.productName) + L" " + PrintableText::escape(mouse.serialNumber) + L")";
    }

    const KeptSettingsFile kept;
    const MouseRecords records;
    QDBusConnection connection;
    MiceEvents events;
    QFileSystemWatcher watcher;
    QTimer settle;
    QList<QVariantMap> announced; // the mice as last announced; none before the first change
};
