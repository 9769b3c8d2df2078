// SPDX-License-Identifier: MIT
#pragma once

#include "BusSettings.h"
#include "ClientSentences.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "FileFault.h"
#include "SavedSettings.h"
#include "Utf8.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the settings window knows, and the sentences that say it: the mice and what each was
// last sent, whether this user may change their settings, which settings the controls show and
// where they came from, a call in flight and the last result. The widgets only show it, and it
// reads nothing itself, not even the clock: the service's answers, the files and the time come
// in as arguments. Each event replaces what it makes
// stale, so the lines never contradict one another.
class WindowState {
    Q_DECLARE_TR_FUNCTIONS(WindowState)

public:
    using Answer = MouseService::Answer;
    using Mouse = MouseService::Mouse;
    using Permission = MouseService::Permission;

    // A mouse as the window lists it: who it is, and what vorlixd last sent it.
    struct MouseRow {
        QString mouse;
        QString sentence;
    };

    // F5 asks again for everything: a result from before may no longer hold.
    void askingService() {
        askingMouse = true;
        clearResult();
    }

    // Each answer says anew which settings are saved: the settings the service keeps, else
    // those an earlier version saved (in `files`, read as the answer came), else the defaults.
    // Returns what the controls should show then: a control the person changed and has not
    // applied keeps its value, every other control shows what is saved now.
    std::optional<MouseSettings> serviceAnswered(const Answer& answer, const MouseService::Reading& reading,
                                                 const SavedSettings& files) {
        askingMouse = false;
        mice = reading.mice;
        mouseAnswer = answer;
        saved = files;
        if (result && result->outcome == Outcome::NoMouse && !mice.isEmpty()) { // a mouse came since
            clearResult();
        }
        if (answer.outcome != Outcome::Done) {
            if (source == Source::Unknown) {
                source = Source::Unread;
            }
            return std::nullopt;
        }
        const MouseSettings before = baseline;
        QStringList unreadable;
        kept.reset();
        if (!reading.kept.isEmpty()) {
            family = {BusSettings::fromMap(reading.kept, unreadable), Source::Kept};
            if (unreadable.isEmpty()) {
                kept = family.first;
            }
        } else if (!files.earlierVersion.isEmpty()) {
            family = {BusSettings::fromMap(files.earlierVersion, unreadable),
                      unreadable.isEmpty() ? Source::EarlierVersion : Source::DamagedEarlierVersion};
        } else {
            family = {MouseSettings(), Source::Defaults};
        }
        if (!targetMouse()) { // the mouse whose own settings were shown went away
            target.clear();
        }
        showTarget();
        if (defaultsShown) { // the person chose all six
            return std::nullopt;
        }
        choice = withChanges(baseline, before, choice);
        return choice;
    }

    // Which settings the controls are for: every mouse's, the family's (an empty `usbDevice`), or
    // the own settings of the mouse on `usbDevice`. Returns what the controls show then: its own
    // settings, or the family's that it follows.
    MouseSettings targetChosen(const QString& usbDevice) {
        target = targetMouse(usbDevice) ? usbDevice : QString();
        defaultsShown = false;
        clearResult();
        showTarget();
        choice = baseline;
        return choice;
    }

    // Whom Apply sends to: the mouse on this USB device alone, or every mouse when empty.
    const QString& applyTarget() const { return target; }

    // Each mouse that may be chosen, by its USB device, and how the window names it; every mouse first.
    QVector<QPair<QString, QString>> targets() const {
        QVector<QPair<QString, QString>> named{{QString(), tr("Every mouse")}};
        for (const Mouse& mouse : mice) {
            named.append(
                {mouse.usbDevice, tr("%1, USB device %2").arg(ClientSentences::identity(mouse), mouse.usbDevice)});
        }
        return named;
    }

    QString settingsTitle() const {
        if (!target.isEmpty()) {
            return tr("Its own settings");
        }
        const bool anyOwn = std::any_of(mice.begin(), mice.end(),
                                        [](const Mouse& mouse) { return !mouse.own.isEmpty(); });
        return anyOwn ? tr("Sent to every mouse without its own settings") : tr("Sent to every mouse");
    }

    void permissionAnswered(Permission answer) { permission = answer; }

    void choose(const MouseSettings& settings) {
        if (settings != choice) {
            choice = settings;
            defaultsShown = false;
        }
    }

    void defaultsChosen() {
        choice = MouseSettings();
        defaultsShown = true;
        clearResult();
    }

    // The settings to send: those the controls show now.
    MouseSettings applyStarted() {
        applying = true;
        sending = choice;
        clearResult();
        return sending;
    }
    // Whether the service should let polkit ask for a password before it sends.
    bool askPassword() const { return permission == Permission::AfterPassword; }

    // `miceReached`: each mouse with what it did, when the service kept the settings. True when
    // the service should be asked about the mice again: it reached them, and mice may have come
    // or gone since they were last listed, so the rows must show the mice there now and what
    // each of them was sent.
    bool applyAnswered(const Answer& answer, const QVector<Mouse>& miceReached) {
        applying = false;
        result = answer;
        // A mouse that keeps its own settings was left as it is, as it should be.
        everyMouseTookThem = std::all_of(miceReached.begin(), miceReached.end(), [](const Mouse& mouse) {
            return mouse.outcome == Outcome::Done || mouse.outcome == Outcome::OwnSettings;
        });
        switch (answer.outcome) {
        case Outcome::Done:
            showSent(Source::Kept);
            return true;
        case Outcome::NotKept: // asking again would read "nothing kept" over what was sent
            showSent(Source::Sent);
            return false;
        case Outcome::NoAnswer: // what the service keeps is unknown until it is asked again
            showSent(Source::Unsure);
            return false;
        case Outcome::CannotOpen:
        case Outcome::SendFailed:
            return true;
        case Outcome::NoMouse:
            mouseAnswer = {};
            mice.clear();
            return false;
        default:
            return false;
        }
    }

    // What came of giving the chosen mouse its own settings: kept once it took them. True when the
    // service should be asked again, as after every Apply that reached a mouse.
    bool applyToMouseAnswered(const Answer& answer, const Mouse& reached) {
        applying = false;
        result = answer.outcome == Outcome::Done ? Answer{reached.outcome, QString()} : answer;
        everyMouseTookThem = reached.outcome == Outcome::Done;
        if (result->outcome == Outcome::Done) {
            showSent(Source::Own);
        }
        return answer.outcome == Outcome::Done;
    }

    // Setting the chosen mouse back to the family's settings.
    void followStarted() {
        applying = true;
        clearResult();
    }

    bool followAnswered(const Answer& answer) {
        applying = false;
        result = answer;
        followed = answer.outcome == Outcome::Done;
        return followed;
    }

    // Whether the chosen mouse can be set back to the family's settings: it has its own.
    bool followEnabled() const {
        const Mouse* mouse = targetMouse();
        return applyEnabled() && mouse && !mouse->own.isEmpty();
    }

    bool controlsEnabled() const { return permission != Permission::NotAllowed; }
    bool applyEnabled() const { return controlsEnabled() && !applying; }

    // Why no mouse is listed; empty while the mice are.
    QString miceLine() const {
        if (askingMouse) {
            return tr("Asking the service…");
        }
        switch (mouseAnswer.outcome) {
        case Outcome::Done:
            return mice.isEmpty() ? tr("No supported mouse was found.") : QString();
        case Outcome::NoAnswer:
            return tr("The service did not answer.");
        case Outcome::ServiceMissing:
            return tr("The mouse service is not installed or not reachable.");
        case Outcome::NoBus:
            return tr("The system bus cannot be reached, so the mouse service cannot be asked.");
        default:
            return tr("The service could not say which mouse is plugged in.");
        }
    }

    // One row for each mouse listed; `now` tells which times are today's.
    QVector<MouseRow> mouseRows(const QDateTime& now) const {
        QVector<MouseRow> rows;
        if (miceLine().isEmpty()) {
            for (const Mouse& mouse : mice) {
                const QString sent = ClientSentences::lastSent(mouse, now, kept, saved.administrator.settings,
                                                               applyEnabled() ? tr("Apply to try again.") : QString());
                rows.append({ClientSentences::identity(mouse),
                             mouse.own.isEmpty() ? sent : tr("Has its own settings. %1").arg(sent)});
            }
        }
        return rows;
    }

    QString accessLine() const {
        switch (permission.value_or(Permission::Unknown)) {
        case Permission::AfterPassword:
            return tr("You will be asked for a password when you apply.");
        case Permission::NotAllowed:
            return tr("You may not change the mouse settings. An administrator can allow it, for example "
                      "by adding you to the group plugdev.");
        default:
            return QString();
        }
    }

    // A line asks for Apply only while it can be pressed.
    QString sourceLine() const {
        if (defaultsShown) {
            return applyEnabled() ? tr("Showing the defaults: press Apply to send and keep them.")
                                  : tr("Showing the defaults; they are not sent yet.");
        }
        if (source == Source::Unsure && choice == baseline) {
            return tr("Whether the service kept the settings shown is unknown: press F5 to see what it keeps.");
        }
        if (choice != baseline) {
            return applyEnabled() ? tr("Changed, not applied yet: press Apply to send and keep what is shown.")
                                  : tr("Changed, not applied yet.");
        }
        if (!target.isEmpty() && source != Source::Own && source != Source::Sent && source != Source::Unsure) {
            return applyEnabled() ? tr("It follows the kept settings, shown here: press Apply to give it these as its "
                                       "own.")
                                  : tr("It follows the kept settings, shown here.");
        }
        switch (source) {
        case Source::Unknown:
            return tr("Asking the service for the settings it keeps…");
        case Source::Own:
            return tr("Showing its own settings, which it gets wherever it is plugged in.");
        case Source::Kept:
            return tr("Showing the settings the service keeps for the mouse.");
        case Source::Sent:
            return tr("Showing the settings last sent; the service did not keep them.");
        case Source::EarlierVersion:
            return applyEnabled()
                       ? tr("Showing the settings you saved with an earlier version: press Apply to keep them.")
                       : tr("Showing the settings you saved with an earlier version; the service does not keep them.");
        case Source::DamagedEarlierVersion:
            return tr("Showing what could be read of the settings you saved with an earlier version in %1; "
                      "the defaults stand in for the rest. That file is left as it is.")
                .arg(saved.earlierVersionFile);
        case Source::Defaults:
            return tr("Showing the defaults: the service keeps no settings yet.");
        case Source::Unread:
        case Source::Unsure:
            break;
        }
        return tr("Showing the defaults: the settings the service keeps could not be read.");
    }

    QString administratorLine() const {
        if (saved.administrator.settings) {
            return tr("The administrator's settings in %1 are sent whenever a mouse comes back, in place of the "
                      "settings kept here.")
                .arg(saved.administratorFile);
        }
        if (saved.administrator.fault) {
            return tr("The administrator's file %1 is invalid and ignored: the kept settings are sent instead.")
                .arg(saved.administratorFile);
        }
        return QString();
    }

    QString resultLine() const {
        if (applying) {
            return tr("Sending the settings…");
        }
        if (!result) {
            return QString();
        }
        if (result->outcome != Outcome::Done) {
            return ClientSentences::failureLine(result->outcome);
        }
        if (followed) {
            return tr("It follows the kept settings again.");
        }
        if (!target.isEmpty()) {
            return tr("Its own settings were applied and kept.");
        }
        // Which mouse did not take them, each mouse's row says.
        return everyMouseTookThem ? tr("The settings were applied and kept.")
                                  : tr("The settings were kept, but not every mouse took them.");
    }

    // Why the administrator's file is invalid: a detail beside the line, not the line itself.
    QString administratorDetail() const {
        return saved.administrator.fault ? tr("Reason: %1").arg(administratorFault(*saved.administrator.fault))
                                         : QString();
    }

    // The service's or the bus's own words about the last failure, offered as a detail.
    QString resultDetail() const {
        return result && !result->words.isEmpty() ? tr("Details: %1").arg(result->words) : QString();
    }

private:
    // `savedNow`, except where `chosen` differs from what was saved before.
    static MouseSettings withChanges(const MouseSettings& savedNow, const MouseSettings& before,
                                     const MouseSettings& chosen) {
        MouseSettings shown = savedNow;
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            if (chosen[i] != before[i]) {
                shown[i] = chosen[i];
            }
        }
        return shown;
    }

    void clearResult() {
        result.reset();
        followed = false;
    }

    // Why the administrator's file is ignored, with the line it is about, as vorlixd-apply says
    // it in the journal. Its words are the file's, so they are escaped.
    static QString administratorFault(const FileFault& fault) {
        const QString line = QString::number(fault.line);
        switch (fault.why) {
        case FileFault::Why::NotRegular:
            return tr("it is not a regular file");
        case FileFault::Why::CannotRead:
            return tr("it cannot be read");
        case FileFault::Why::TooLarge:
            return tr("it is larger than 64 KiB");
        case FileFault::Why::NamedNotAssigned:
            return tr("VORLIXD_OPTIONS is named without being assigned (line %1)").arg(line);
        case FileFault::Why::QuoteOpen:
            return tr("a quote is never closed (line %1)").arg(line);
        case FileFault::Why::InsideOtherValue:
            return tr("VORLIXD_OPTIONS is inside the value of another variable (line %1)").arg(line);
        case FileFault::Why::NotUtf8:
            return tr("%1 is not UTF-8 (line %2)").arg(QString::fromStdWString(Utf8::printable(fault.word)), line);
        case FileFault::Why::NulByte:
            return tr("it holds a NUL byte (line %1)").arg(line);
        default:
            return refused(fault.options, line);
        }
    }

    // Where the command line's grammar stops in the file's options.
    static QString refused(const std::vector<std::wstring>& options, const QString& line) {
        const std::optional<OptionRefusal> refusal = MouseSettings::refusal(options);
        if (!refusal) {
            return tr("the options are refused (line %1)").arg(line);
        }
        const Setting& setting = MouseSettings::settings()[refusal->setting];
        const QString word = ClientSentences::printable(QString::fromStdWString(refusal->word));
        const QString option = QString::fromStdWString(setting.option);
        switch (refusal->why) {
        case OptionRefusal::Why::UnknownOption:
            return tr("unknown option %1 (line %2)").arg(word, line);
        case OptionRefusal::Why::MissingValue:
            return tr("%1 needs a value: %2 (line %3)").arg(option, accepted(setting), line);
        case OptionRefusal::Why::RefusedValue:
            break;
        }
        return tr("%1 takes %2, not %3 (line %4)").arg(option, accepted(setting), word, line);
    }

    // The values a setting takes, as "1, 2, 3, 4 or 5".
    static QString accepted(const Setting& setting) {
        QStringList values;
        for (const int value : setting.values) {
            values << QString::fromStdWString(setting.text(value));
        }
        const QString last = values.takeLast();
        return values.isEmpty() ? last : tr("%1 or %2").arg(values.join(tr(", ")), last);
    }

    enum class Source { Unknown, Kept, Own, Sent, EarlierVersion, DamagedEarlierVersion, Defaults, Unread, Unsure };

    // The mouse listed on `usbDevice`, by default the one whose settings are shown; none for every mouse.
    const Mouse* targetMouse(const QString& usbDevice) const { return MouseService::on(mice, usbDevice); }
    const Mouse* targetMouse() const { return targetMouse(target); }

    // The settings of whom the controls are for, and where they come from: the chosen mouse's own,
    // or the family's that it follows.
    void showTarget() {
        const Mouse* mouse = targetMouse();
        const std::optional<MouseSettings> own = mouse ? ClientSentences::settingsIn(mouse->own) : std::nullopt;
        baseline = own ? *own : family.first;
        source = own ? Source::Own : family.second;
    }

    // The controls now stand for what was just sent, which is `where` as far as the window knows.
    void showSent(Source where) {
        baseline = sending;
        source = where;
        defaultsShown = false;
    }

    bool askingMouse = true;
    Answer mouseAnswer;
    QVector<Mouse> mice;
    std::optional<Permission> permission;
    SavedSettings saved;
    Source source = Source::Unknown;
    MouseSettings baseline;
    std::pair<MouseSettings, Source> family{MouseSettings(), Source::Unknown}; // every mouse's, as last read
    QString target; // the USB device of the mouse whose own settings the controls show; empty: every mouse's
    std::optional<MouseSettings> kept; // as the service last said, when it keeps settings it can read
    MouseSettings choice;
    MouseSettings sending;
    bool defaultsShown = false;
    bool applying = false;
    std::optional<Answer> result;
    bool everyMouseTookThem = true; // of the last settings kept
    bool followed = false;          // the last result: the chosen mouse follows the family's settings again
};
