// SPDX-License-Identifier: MIT
#pragma once

#include "AdministratorSettings.h"
#include "BusSettings.h"
#include "CLIException.h"
#include "DeviceText.h"
#include "FolderEvents.h"
#include "KeptSettingsFile.h"
#include "Mice.h"
#include "MiceEvents.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "OwnSettingsFile.h"
#include "PolkitAuthority.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "ServiceSentences.h"
#include "VorlixConfig.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QList>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Our interface over every supported mouse: what each was last sent, and the settings kept for
// all of them. It only translates: what each call does is decided by the device layer, the
// records and the kept file. It tells its clients when a mouse comes or goes or its record
// changes, as udev and the records' folder tell it, and sleeps while nothing happens. Its calls
// arrive at the service's object, and are answered through that object's call context, `calls`.
class MiceService {
public:
    MiceService(const QDBusContext& calls, KeptSettingsFile kept, MouseRecords records,
                const QDBusConnection& connection)
        : calls(calls), kept(std::move(kept)), own(OwnSettingsFile::besideOf(this->kept)), records(std::move(records)),
          connection(connection) {
        qDBusRegisterMetaType<QList<QVariantMap>>();
        // A burst of events, such as a mouse's interfaces appearing one by one and then its
        // record, comes out as one change.
        settle.setSingleShot(true);
        settle.setInterval(SETTLE_MS);
        QObject::connect(&settle, &QTimer::timeout, &settle, [this] { announceMice(); });
        // Without udev to listen to, clients still read the mice whenever they ask; nothing is
        // printed, since the start-up lines are what they always were.
        if (events.descriptor() >= 0) {
            notifier = std::make_unique<QSocketNotifier>(events.descriptor(), QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, &settle, [this] {
                events.take();
                settle.start();
            });
        }
        // Others write the records too (vorlixd-apply at each plug-in and resume); each record
        // is replaced whole, so the folder changes with it. A user's own folder may not exist yet;
        // without a runtime folder at all nothing is recorded, so there is nothing to watch.
        if (!this->records.folder().empty()) {
            mkdir(this->records.folder().c_str(), 0700);
            recordEvents = std::make_unique<FolderEvents>(this->records.folder());
        }
        if (recordEvents && recordEvents->descriptor() >= 0) {
            recordsNotifier = std::make_unique<QSocketNotifier>(recordEvents->descriptor(), QSocketNotifier::Read);
            QObject::connect(recordsNotifier.get(), &QSocketNotifier::activated, &settle, [this] {
                recordEvents->take();
                settle.start();
            });
        }
        // What clients see before any change, so that only a change is announced.
        announced = listed(false);
    }

    QList<QVariantMap> mice() const {
        const QList<QVariantMap> present = listed(true);
        std::wcout << L"列出鼠标： " << present.size() << std::endl;
        return present;
    }

    // A damaged file is reported here, in the log, and reads as nothing kept.
    QVariantMap keptSettings() const {
        std::wcout << L"读取保存的设置： ";
        const ReadSettings read = kept.load();
        if (read.fault) {
            std::wcout << std::endl
                       << L"已忽略："
                       << PrintableText::escape(ServiceSentences::keptFileIgnored(*read.fault, kept.path()))
                       << std::endl;
            return QVariantMap();
        }
        std::wcout << (read.settings ? read.settings->toOptionLine() : std::wstring(L"无")) << std::endl;
        return read.settings ? BusSettings::toMap(*read.settings) : QVariantMap();
    }

    // What the administrator's file sets, as vorlixd-apply reads it; empty when it sets nothing
    // that would be sent. Why it is ignored is vorlixd-apply's to say.
    QVariantMap administratorSettings() const {
        const ReadSettings read = AdministratorSettings::read(AdministratorSettings::filePath());
        return read.settings ? BusSettings::toMap(*read.settings) : QVariantMap();
    }

    // The reply comes from keepAndSend, once polkit has answered.
    QList<QVariantMap> configureAndKeep(bool liftOffDetection, bool smartScrolling, bool remapWheelPress,
                                        bool remapGestureButton, int frequency, int speed) {
        const MouseSettings chosen(
            {liftOffDetection, smartScrolling, remapWheelPress, remapGestureButton, frequency, speed});
        std::wcout << L"设置并保存鼠标：" << chosen.toOptionLine() << std::endl;
        PolkitAuthority::whenAllowed(calls, errorName(Outcome::NotAllowed),
                                     [this, chosen](const QDBusMessage& call) { return keepAndSend(call, chosen); });
        return {};
    }

    void forgetKeptSettings() {
        std::wcout << L"忘记保存的设置" << std::endl;
        PolkitAuthority::whenAllowed(calls, errorName(Outcome::NotAllowed), [this](const QDBusMessage& call) {
            const bool wasKept = kept.load().settings.has_value();
            if (!kept.forget()) {
                return errorReply(call, Outcome::NotForgotten);
            }
            if (wasKept) {
                announce(QStringLiteral("keptSettings"), QVariantMap());
            }
            return call.createReply();
        });
    }

    // The reply comes from keepOwn, once polkit has answered.
    QVariantMap configureMouseAndKeep(const QString& usbDevice, bool liftOffDetection, bool smartScrolling,
                                      bool remapWheelPress, bool remapGestureButton, int frequency, int speed) {
        const MouseSettings chosen(
            {liftOffDetection, smartScrolling, remapWheelPress, remapGestureButton, frequency, speed});
        std::wcout << L"设置并保存鼠标自己的设置：" << usbDevice.toStdWString() << L" " << chosen.toOptionLine()
                   << std::endl;
        PolkitAuthority::whenAllowed(calls, errorName(Outcome::NotAllowed),
                                     [this, usbDevice, chosen](const QDBusMessage& call) {
                                         return keepOwn(call, usbDevice.toStdString(), chosen);
                                     });
        return {};
    }

    // The mouse follows the family's settings again, and is sent what it now gets.
    void forgetMouseSettings(const QString& usbDevice) {
        std::wcout << L"忘记鼠标自己的设置：" << usbDevice.toStdWString() << std::endl;
        PolkitAuthority::whenAllowed(
            calls, errorName(Outcome::NotAllowed),
            [this, usbDevice](const QDBusMessage& call) { return forgetOwn(call, usbDevice.toStdString()); });
    }

private:
    static constexpr int SETTLE_MS = 100;

    // The mice present, and the own settings each of them has by its identity among them.
    struct Present {
        std::vector<Mouse> mice;
        OwnSettingsFile::Read own;

        std::optional<MouseSettings> ownOf(const Mouse& mouse) const { return own.of(mouse, mice); }
        std::optional<Mouse> on(const std::string& usbDevice) const {
            const auto found = std::find_if(mice.begin(), mice.end(),
                                            [&usbDevice](const Mouse& mouse) { return mouse.usbDevice == usbDevice; });
            return found != mice.end() ? std::optional<Mouse>(*found) : std::nullopt;
        }
    };

    Present present(bool sayIgnored) const {
        const OwnSettingsFile::Read read = own.load();
        if (sayIgnored && (read.fault || read.refusedLines > 0)) {
            std::wcout << L"已忽略：" << ServiceSentences::ownFileIgnored(read.fault, read.refusedLines, own.path())
                       << std::endl;
        }
        return {Mice::list(), read};
    }

    QList<QVariantMap> listed(bool sayIgnored) const {
        const Present mice = present(sayIgnored);
        QList<QVariantMap> listed;
        for (const Mouse& mouse : mice.mice) {
            listed << describe(mouse, mice, sayIgnored);
        }
        return listed;
    }

    // Once a burst of events is over: the service goes back to sleep, and gives back the memory
    // that the mice's listings and records took meanwhile.
    void announceMice() {
        const QList<QVariantMap> present = listed(true);
        if (present != announced) {
            announced = present;
            announce(QStringLiteral("mice"), QVariant::fromValue(present));
        }
        malloc_trim(0);
    }

    // The standard signal of a property that changed, with its new value.
    void announce(const QString& property, const QVariant& value) {
        QDBusMessage changed = QDBusMessage::createSignal(QLatin1String(ServiceNames::PATH),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << QLatin1String(ServiceNames::MICE_INTERFACE) << QVariantMap{{property, value}} << QStringList();
        connection.send(changed);
    }

    static QString errorName(Outcome outcome) { return QString::fromStdString(ServiceNames::errorName(outcome)); }

    static QDBusMessage errorReply(const QDBusMessage& call, Outcome outcome,
                                   const std::wstring& sentence = std::wstring()) {
        return call.createErrorReply(
            errorName(outcome), QString::fromStdWString(sentence.empty() ? ServiceSentences::of(outcome) : sentence));
    }

    // Values are checked before any mouse is opened. The settings are kept once a mouse that
    // follows them took them, or when every mouse keeps its own; the reply says of each mouse
    // whether it took them, or was left as it is.
    QDBusMessage keepAndSend(const QDBusMessage& call, const MouseSettings& chosen) {
        Packet report;
        try {
            report = chosen.toVorlixConfig().serialize();
        } catch (const CLIException& e) {
            return errorReply(call, Outcome::InvalidValue, e.getMessage());
        }
        const Present mice = present(true);
        QList<QVariantMap> reached;
        std::vector<Outcome> outcomes;
        for (const Mouse& mouse : mice.mice) {
            const Outcome outcome = mice.ownOf(mouse) ? Outcome::OwnSettings
                                                      : sendAndRecord(mouse, chosen, MouseRecord::Source::Family);
            if (outcome != Outcome::OwnSettings) {
                outcomes.push_back(outcome);
            }
            reached << answered(mouse, mice, outcome);
        }
        const Outcome sent = Mice::overall(outcomes);
        const bool noneFollow = outcomes.empty() && !mice.mice.empty();
        if (sent == Outcome::NoMouse && !noneFollow) {
            std::wcout << L"HID错误: " << ServiceSentences::of(sent) << std::endl;
        }
        if (sent != Outcome::Done && !noneFollow) {
            return errorReply(call, sent);
        }
        const std::optional<MouseSettings> before = kept.load().settings;
        if (!kept.save(chosen)) {
            std::wcout << L"无法保存设置：" << Utf8::printable(kept.path()) << std::endl;
            return errorReply(call, Outcome::NotKept);
        }
        if (before != chosen) {
            announce(QStringLiteral("keptSettings"), BusSettings::toMap(chosen));
        }
        return call.createReply(QVariant::fromValue(reached));
    }

    // Sends to the mouse on `usbDevice` alone and, once it took them, keeps them as its own. The
    // reply is the mouse as the mice property lists it, with "error".
    QDBusMessage keepOwn(const QDBusMessage& call, const std::string& usbDevice, const MouseSettings& chosen) {
        try {
            chosen.toVorlixConfig();
        } catch (const CLIException& e) {
            return errorReply(call, Outcome::InvalidValue, e.getMessage());
        }
        const Present before = present(true);
        const std::optional<Mouse> mouse = before.on(usbDevice);
        if (!mouse) {
            return errorReply(call, Outcome::NoSuchMouse);
        }
        const Outcome outcome = sendAndRecord(*mouse, chosen, MouseRecord::Source::Own);
        if (outcome == Outcome::Done) {
            const OwnSettingsFile::Write write = own.keep(OwnSettingsFile::identityOf(*mouse, before.mice), chosen);
            if (write != OwnSettingsFile::Write::Done) {
                std::wcout << L"无法保存设置：" << Utf8::printable(own.path()) << std::endl;
                return errorReply(call, write == OwnSettingsFile::Write::TooManyMice ? Outcome::TooManyMice
                                                                                     : Outcome::NotKept);
            }
            settle.start();
        }
        return call.createReply(QVariant::fromValue(answered(*mouse, {before.mice, own.load()}, outcome)));
    }

    // The mouse follows the family's settings again, and gets now what it would get when plugged
    // in: the administrator's settings while they are valid, else the family's, else nothing.
    QDBusMessage forgetOwn(const QDBusMessage& call, const std::string& usbDevice) {
        const Present before = present(true);
        const std::optional<Mouse> mouse = before.on(usbDevice);
        if (!mouse) {
            return errorReply(call, Outcome::NoSuchMouse);
        }
        if (own.keep(OwnSettingsFile::identityOf(*mouse, before.mice), std::nullopt) != OwnSettingsFile::Write::Done) {
            return errorReply(call, Outcome::NotForgotten);
        }
        const SettingsChoice gets = SettingsChoice::of(
            AdministratorSettings::read(AdministratorSettings::filePath()).settings, std::nullopt,
            kept.load().settings);
        if (gets.settings) {
            sendAndRecord(*mouse, *gets.settings, gets.source);
        }
        settle.start();
        return call.createReply();
    }

    // Sends the settings to one mouse in its turn and records what came of it.
    Outcome sendAndRecord(const Mouse& mouse, const MouseSettings& settings, MouseRecord::Source source) const {
        const WholeFile::Lock turn = records.turnAt(mouse);
        const Outcome outcome = Mice::send(mouse, settings.toVorlixConfig().serialize());
        record(turn, mouse, settings, source, outcome);
        if (outcome != Outcome::Done) {
            std::wcout << L"HID错误: " << ServiceSentences::of(outcome) << L" " << label(mouse) << std::endl;
        }
        return outcome;
    }

    // A mouse in a reply: as the mice property lists it, with "error" saying what came of the call.
    QVariantMap answered(const Mouse& mouse, const Present& mice, Outcome outcome) const {
        QVariantMap described = describe(mouse, mice, false);
        described.insert(QStringLiteral("error"), errorName(outcome));
        return described;
    }

    void record(const WholeFile::Lock& turn, const Mouse& mouse, const MouseSettings& sent, MouseRecord::Source source,
                Outcome outcome) const {
        const MouseRecords::Write write = records.sent(turn, mouse, sent, MouseRecord::Sender::Service, source,
                                                       outcome);
        if (write != MouseRecords::Write::Done) {
            std::wcout << ServiceSentences::notRecorded(write, records.folder()) << std::endl;
        }
    }

    // The mouse and what it was last sent since it appeared. A record that cannot be used is
    // shown as nothing known, and said in the log when `sayIgnored`.
    QVariantMap describe(const Mouse& mouse, const Present& mice, bool sayIgnored) const {
        const ReadRecord read = records.of(mouse);
        if (read.fault && sayIgnored) {
            std::wcout << L"已忽略记录：" << label(mouse) << L" " << ServiceSentences::recordIgnored(*read.fault)
                       << std::endl;
        }
        const MouseRecord& record = read.record;
        const std::optional<MouseSettings> ownSettings = mice.ownOf(mouse);
        return {{QStringLiteral("usbDevice"), QString::fromStdString(mouse.usbDevice)},
                {QStringLiteral("productId"), QVariant::fromValue(mouse.productId)},
                {QStringLiteral("productName"), DeviceText::toQString(mouse.productName)},
                {QStringLiteral("serialNumber"), DeviceText::toQString(mouse.serialNumber)},
                {QStringLiteral("sentSettings"), record.sent ? BusSettings::toMap(*record.sent) : QVariantMap()},
                {QStringLiteral("sentAt"), QVariant::fromValue<qulonglong>(record.sentAt)},
                {QStringLiteral("sentBy"), QString::fromStdString(MouseRecord::senderName(record.sentBy))},
                {QStringLiteral("sentFrom"), QString::fromStdString(MouseRecord::sourceName(record.sentFrom))},
                {QStringLiteral("identity"), QString::fromStdString(OwnSettingsFile::identityOf(mouse, mice.mice))},
                {QStringLiteral("ownSettings"), ownSettings ? BusSettings::toMap(*ownSettings) : QVariantMap()},
                {QStringLiteral("sendError"), errorName(record.sendError)},
                {QStringLiteral("appearedAt"), QVariant::fromValue<qulonglong>(record.appearedAt)}};
    }

    // A mouse as the log names it; its name is the mouse's own, so it is escaped.
    static std::wstring label(const Mouse& mouse) {
        return L"(0x" + QString::number(mouse.productId, 16).toUpper().toStdWString() + L" " +
               PrintableText::escape(mouse.productName) + L" " + PrintableText::escape(mouse.serialNumber) + L")";
    }

    const QDBusContext& calls;
    const KeptSettingsFile kept;
    const OwnSettingsFile own;
    const MouseRecords records;
    QDBusConnection connection;
    MiceEvents events;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<FolderEvents> recordEvents;
    std::unique_ptr<QSocketNotifier> recordsNotifier;
    QTimer settle;
    QList<QVariantMap> announced; // the mice as last announced, or as they were at start-up
};
