// SPDX-License-Identifier: MIT
// The settings window's state, fed the answers a window gets, in the order it gets them, and
// read back as the lines and controls the window would show.
#include "WindowState.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Mouse = WindowState::Mouse;
using Permission = WindowState::Permission;

// The window around the state: its controls show what the last answer returned, or what the
// person chose since.
struct Window {
    WindowState state;
    MouseSettings shown;
    bool asksAgain = false;
};
using Event = std::function<void(Window&)>;

// The service's answer to "which mice, and which settings do you keep?", and the files as read then.
Event listed(const QVector<Mouse>& mice, const QVariantMap& kept = {}, const SavedSettings& files = {}) {
    return [=](Window& window) {
        if (const std::optional<MouseSettings> shown = window.state.serviceAnswered({}, {mice, kept, {}}, files)) {
            window.shown = *shown;
        }
    };
}
Event permitted(Permission permission) {
    return [=](Window& window) { window.state.permissionAnswered(permission); };
}
Event chosen(const MouseSettings& settings) {
    return [=](Window& window) { window.state.choose(window.shown = settings); };
}
Event defaults() {
    return [](Window& window) {
        window.state.choose(window.shown = MouseSettings());
        window.state.defaultsChosen();
    };
}
Event refreshed() {
    return [](Window& window) { window.state.askingService(); };
}
// Apply, and the answer to it.
Event applied(const WindowState::Answer& answer, const QVector<Mouse>& reached = {}) {
    return [=](Window& window) {
        EXPECT_EQ(window.state.applyStarted(), window.shown) << "Apply sends what the controls show";
        window.asksAgain = window.state.applyAnswered(answer, reached);
    };
}

// A mouse chosen to be given its own settings (empty: every mouse), Apply to it, and setting it back.
Event targeted(const QString& usbDevice) {
    return [=](Window& window) { window.shown = window.state.targetChosen(usbDevice); };
}
Event appliedToMouse(const WindowState::Answer& answer, const Mouse& reached) {
    return [=](Window& window) {
        EXPECT_EQ(window.state.applyStarted(), window.shown) << "Apply sends what the controls show";
        window.asksAgain = window.state.applyToMouseAnswered(answer, reached);
    };
}
Event followed(const WindowState::Answer& answer) {
    return [=](Window& window) {
        window.state.followStarted();
        window.asksAgain = window.state.followAnswered(answer);
    };
}

QString enabled(bool on) {
    return on ? "enabled" : "disabled";
}

// Each mouse's row as far as `part`, one a line, at 12:30 UTC (see the test); else why there is none.
QString mice(const Window& w, QString WindowState::MouseRow::*part) {
    QStringList lines;
    for (const WindowState::MouseRow& row :
         w.state.mouseRows(QDateTime::fromString("2026-12-08T12:30Z", Qt::ISODate))) {
        lines << row.*part;
    }
    return lines.isEmpty() ? w.state.miceLine() : lines.join('\n');
}

// What the rows can look at, by name; the settings shown as the service takes them.
const std::map<std::string, std::function<QString(const Window&)>> SHOWN = {
    {"mouse", [](const Window& w) { return mice(w, &WindowState::MouseRow::mouse); }},
    {"last sent", [](const Window& w) { return mice(w, &WindowState::MouseRow::sentence); }},
    {"access", [](const Window& w) { return w.state.accessLine(); }},
    {"source", [](const Window& w) { return w.state.sourceLine(); }},
    {"administrator", [](const Window& w) { return w.state.administratorLine(); }},
    {"administrator detail", [](const Window& w) { return w.state.administratorDetail(); }},
    {"result", [](const Window& w) { return w.state.resultLine(); }},
    {"result detail", [](const Window& w) { return w.state.resultDetail(); }},
    {"controls", [](const Window& w) { return enabled(w.state.controlsEnabled()); }},
    {"apply", [](const Window& w) { return enabled(w.state.applyEnabled()); }},
    {"asks again", [](const Window& w) { return QString(w.asksAgain ? "yes" : "no"); }},
    {"title", [](const Window& w) { return w.state.settingsTitle(); }},
    {"follow", [](const Window& w) { return enabled(w.state.followEnabled()); }},
    {"settings",
     [](const Window& w) {
         QStringList values;
         for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
             values << QString::fromStdWString(MouseSettings::settings()[i].text(w.shown[i]));
         }
         return values.join(' ');
     }},
};

struct Row {
    const char* name;
    std::vector<Event> events;
    std::vector<std::pair<std::string, std::string>> expected; // what SHOWN names, and its text
};

Mouse mouse(const char* name, uint productId, const char* serial = "", Outcome outcome = Outcome::Done) {
    return {
        QString(),     productId, name, serial, outcome, {}, 0, MouseRecord::Sender::None, MouseRecord::Source::None,
        Outcome::Done, 0,         {},   {},     {}};
}
quint64 microseconds(const char* at) {
    return at ? QDateTime::fromString(at, Qt::ISODate).toMSecsSinceEpoch() * 1000 : 0;
}
// M3 as the service records it: seen to appear (null: not seen), sent `settings` (none: nothing)
// from `from`'s, with its `own` settings.
Mouse recorded(const char* appeared, const QVariantMap& settings = {}, const char* at = nullptr, const char* by = "",
               Outcome error = Outcome::Done, const char* from = "family", const QVariantMap& own = {}) {
    Mouse m3 = mouse("Glide M3", 0xC652);
    m3.sent = settings;
    m3.sentAt = microseconds(at);
    m3.sentBy = MouseRecord::senderNamed(by);
    m3.sentFrom = MouseRecord::sourceNamed(settings.isEmpty() ? "" : from);
    m3.sendError = error;
    m3.appearedAt = microseconds(appeared);
    m3.own = own;
    return m3;
}
// M3 on a USB port, with its own settings (none: it follows the family's) and what it did after Apply.
Mouse onPort(const char* port, const QVariantMap& own = {}, Outcome outcome = Outcome::Done) {
    Mouse m3 = mouse("Glide M3", 0xC652, "", outcome);
    m3.usbDevice = port;
    m3.own = own;
    return m3;
}
const Mouse M3 = mouse("Glide M3", 0xC652);
const MouseSettings CHOSEN({0, 1, 0, 1, 500, 2});
const MouseSettings EARLIER({0, 1, 1, 0, 250, 4});
const char* const ADMINISTRATOR_FILE = "/etc/default/vorlixd";
const char* const EARLIER_FILE = "/home/someone/.config/vorlixd/vorlixd-settings.conf";
const char* const KEPT = "Showing the settings the service keeps for the mouse.";
const char* const NO_SETTINGS_YET = "Showing the defaults: the service keeps no settings yet.";

SavedSettings earlierVersion(QVariantMap values) {
    return {{}, ADMINISTRATOR_FILE, values, EARLIER_FILE};
}
SavedSettings administrator(const ReadSettings& read) {
    return {read, ADMINISTRATOR_FILE, {}, EARLIER_FILE};
}

std::vector<Row> rows() {
    const QVariantMap earlier = BusSettings::toMap(EARLIER);
    QVariantMap damaged = earlier;
    damaged.insert("frequency", "0");
    damaged.insert("speed", "0");
    const QVariantMap kept = BusSettings::toMap(CHOSEN);
    QVariantMap keptButOne = kept; // what is left out must not be read as the kept value, here the default
    keptButOne.remove("remapGestureButton");
    const MouseSettings byAdministrator({1, 1, 1, 1, 125, 5});
    const char* const TODAY = "2026-12-08T12:03:00Z";
    return {
        {"what each mouse was last sent",
         {listed({recorded(TODAY, kept, TODAY, "plug-in"),
                  recorded(TODAY, kept, "2026-12-07T23:50:00Z", "resume", Outcome::CannotOpen),
                  recorded(TODAY, BusSettings::toMap(byAdministrator), TODAY, "by-hand", Outcome::SendFailed,
                           "administrator"),
                  recorded(nullptr, earlier, TODAY, "service"),
                  recorded(TODAY, earlier, TODAY, "plug-in", Outcome::Done, "own", earlier),
                  recorded(TODAY, kept, TODAY, "service", Outcome::Done, "configure"),
                  recorded(TODAY, keptButOne, TODAY, "", Outcome::Failed), recorded(TODAY), recorded(nullptr)},
                 kept, administrator({byAdministrator, {}}))},
         {{"last sent", "Took the kept settings when plugged in, 12:03.\n"
                        "Did not take the kept settings after resume, 2026-12-07 23:50: it could not be opened. "
                        "Apply to try again.\n"
                        "Did not take the administrator's settings when sent by hand, 12:03: it took only part of the "
                        "report, or none. Apply to try again.\n"
                        "Took other settings through the service, 12:03.\n"
                        "Has its own settings. Took its own settings when plugged in, 12:03.\n"
                        "Took other settings through the service, 12:03.\n"
                        "Did not take other settings when vorlixd sent them, 12:03: the send failed. Apply to try "
                        "again.\n"
                        "Nothing sent since it was plugged in at 12:03.\n"
                        "Not seen by vorlixd since it was plugged in."}}},
        {"kept settings, none sent yet",
         {listed({recorded(TODAY)}, kept)},
         {{"last sent", "Nothing sent since it was plugged in at 12:03."}}},
        {"nothing kept, and Apply not offered while it cannot be pressed",
         {permitted(Permission::NotAllowed),
          listed({recorded(TODAY), recorded(TODAY, kept, TODAY, "resume", Outcome::CannotOpen)})},
         {{"last sent", "Nothing sent since it was plugged in at 12:03: no settings are kept.\n"
                        "Did not take other settings after resume, 12:03: it could not be opened."}}},
        {"no mouse",
         {listed({}), applied({Outcome::NoMouse, {}})},
         {{"mouse", "No supported mouse was found."},
          {"result", "No supported mouse was found: nothing was sent."},
          {"source", NO_SETTINGS_YET}}},
        {"the mouse went away before Apply",
         {listed({M3}), applied({Outcome::NoMouse, {}})},
         {{"mouse", "No supported mouse was found."}, {"asks again", "no"}}},
        {"two mice",
         {listed({mouse("Glide M3", 0xC652, "0042"), mouse("Glide Pro", 0xC656)}),
          applied({}, {mouse("Glide M3", 0xC652, "0042"), mouse("Glide Pro", 0xC656)})},
         {{"mouse", "Glide M3 (0xC652, serial number 0042)\nGlide Pro (0xC656)"},
          {"result", "The settings were applied and kept."},
          {"source", KEPT},
          {"asks again", "yes"}}},
        {"mice that did not all take them",
         {listed({M3}), applied({}, {M3, mouse("Glide Pro", 0xC656, "", Outcome::CannotOpen),
                                     mouse("Glide Mini", 0xC655, "", Outcome::SendFailed)})},
         {{"result", "The settings were kept, but not every mouse took them."}, {"source", KEPT}}},
        // The mice that failed may have gone: they are listed again, not shown as they were.
        {"mouse not openable",
         {listed({M3}), applied({Outcome::CannotOpen, {}})},
         {{"mouse", "Glide M3 (0xC652)"},
          {"result", "No mouse could be opened: nothing was sent."},
          {"source", NO_SETTINGS_YET},
          {"asks again", "yes"}}},
        {"no mouse took them",
         {listed({M3}), applied({Outcome::SendFailed, {}})},
         {{"result", "No mouse took the settings."}, {"asks again", "yes"}}},
        // Asking the service again would show "nothing kept" over the settings just sent.
        {"not kept",
         {listed({M3}), chosen(CHOSEN), applied({Outcome::NotKept, QStringLiteral("状态目录不可写。")})},
         {{"mouse", "Glide M3 (0xC652)"},
          {"result", "The settings were sent, but the service could not keep them: they are lost when the mouse "
                     "goes away."},
          {"result detail", "Details: 状态目录不可写。"},
          {"source", "Showing the settings last sent; the service did not keep them."},
          {"asks again", "no"}}},
        {"names and a serial number with format and control characters",
         {listed({mouse("Glide \u202eM3 evil\u202c end", 0xC652), mouse("\u200f\u061c\u2066Glide", 0xC652),
                  mouse("Glide\u2028M3\u2029", 0xC652, "0042\x1b[2J")})},
         {{"mouse", "Glide \\u202eM3 evil\\u202c end (0xC652)\n\\u200f\\u061c\\u2066Glide (0xC652)\n"
                    "Glide\\u2028M3\\u2029 (0xC652, serial number 0042\\x1b[2J)"}}},
        {"administrator's file invalid",
         {listed({M3}, {},
                 administrator(
                     {std::nullopt, FileFault{FileFault::Why::OptionsRefused, 1, {L"--\x1b[2Jspeed", L"2"}, {}}}))},
         {{"administrator", "The administrator's file /etc/default/vorlixd is invalid and ignored: the kept settings "
                            "are sent instead."},
          {"administrator detail", "Reason: unknown option --\\x1b[2Jspeed (line 1)"}}},
        {"earlier version's settings",
         {listed({M3}, {}, earlierVersion(earlier))},
         {{"settings", "false true true false 250 4"},
          {"source", "Showing the settings you saved with an earlier version: press Apply to keep them."}}},
        {"earlier version's settings, not allowed to change them",
         {permitted(Permission::NotAllowed), listed({M3}, {}, earlierVersion(earlier))},
         {{"access", "You may not change the mouse settings. An administrator can allow it, for example by adding "
                     "you to the group plugdev."},
          {"controls", "disabled"},
          {"apply", "disabled"},
          {"source", "Showing the settings you saved with an earlier version; the service does not keep them."}}},
        {"earlier version's settings damaged",
         {listed({M3}, {}, earlierVersion(damaged))},
         {{"settings", "false true true false 1000 3"},
          {"source", "Showing what could be read of the settings you saved with an earlier version in "
                     "/home/someone/.config/vorlixd/vorlixd-settings.conf; the defaults stand in for the rest. "
                     "That file is left as it is."}}},
        // Only the control changed here keeps its value; the others show what is kept now.
        {"a mouse came since \"no mouse\", and another client kept settings",
         {listed({}), applied({Outcome::NoMouse, {}}), chosen(MouseSettings({1, 0, 1, 1, 1000, 2})),
          listed({M3}, BusSettings::toMap(MouseSettings({1, 0, 1, 0, 250, 4})))},
         {{"settings", "true false true false 250 2"},
          {"result", ""},
          {"source", "Changed, not applied yet: press Apply to send and keep what is shown."}}},
        // A mouse chosen shows its own settings, or the family's it follows; Apply gives it its own, and
        // it can be set back. The rows and the title say who has what.
        {"a mouse given its own settings",
         {listed({onPort("1-2"), onPort("1-3", earlier)}, kept), targeted("1-2")},
         {{"settings", "false true false true 500 2"},
          {"title", "Its own settings"},
          {"follow", "disabled"},
          {"source", "It follows the kept settings, shown here: press Apply to give it these as its own."}}},
        {"a mouse with its own settings",
         {listed({onPort("1-2"), onPort("1-3", earlier)}, kept), targeted("1-3")},
         {{"settings", "false true true false 250 4"},
          {"follow", "enabled"},
          {"source", "Showing its own settings, which it gets wherever it is plugged in."}}},
        {"own settings applied",
         {listed({onPort("1-2")}), targeted("1-2"), chosen(EARLIER), appliedToMouse({}, onPort("1-2"))},
         {{"result", "Its own settings were applied and kept."}, {"asks again", "yes"}}},
        {"own settings not taken",
         {listed({onPort("1-2")}), targeted("1-2"), appliedToMouse({}, onPort("1-2", {}, Outcome::SendFailed))},
         {{"result", "No mouse took the settings."}, {"asks again", "yes"}}},
        {"back to the family's",
         {listed({onPort("1-3", earlier)}), targeted("1-3"), followed({})},
         {{"result", "It follows the kept settings again."}, {"asks again", "yes"}}},
        {"every mouse again, and the chosen one gone",
         {listed({onPort("1-2"), onPort("1-3", earlier)}, kept), targeted("1-3"), listed({onPort("1-2")}, kept)},
         {{"settings", "false true false true 500 2"}, {"title", "Sent to every mouse"}, {"source", KEPT}}},
        {"every mouse without its own",
         {listed({onPort("1-2"), onPort("1-3", earlier)}, kept), targeted("")},
         {{"title", "Sent to every mouse without its own settings"}, {"settings", "false true false true 500 2"}}},
        // The person chose all six, even one that another client has changed since.
        {"defaults chosen, then Refresh",
         {listed({M3}, kept), defaults(), refreshed(),
          listed({M3}, BusSettings::toMap(MouseSettings({0, 1, 0, 0, 500, 2})))},
         {{"settings", "true false true true 1000 3"},
          {"source", "Showing the defaults: press Apply to send and keep them."}}},
    };
}

TEST(WindowStateTest, ShowsWhatTheAnswersMean) {
    qputenv("TZ", "UTC"); // the rows' times are local times
    for (const Row& row : rows()) {
        Window window;
        for (const Event& event : row.events) {
            event(window);
        }
        for (const auto& [what, text] : row.expected) {
            EXPECT_EQ(SHOWN.at(what)(window).toStdString(), text) << row.name << ": " << what;
        }
    }
}

} // namespace
