// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"
#include "ApplySentences.h"
#include "KeptSettingsFile.h"
#include "MouseRecord.h"
#include "OwnSettingsFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Written = MouseRecords::Write;

const MouseSettings SPEED_2 = MouseSettings::fromOptions({L"--speed", L"2"});
const MouseSettings BOTH = MouseSettings::fromOptions({L"--speed", L"2", L"--frequency", L"500"});
const std::string ASSIGNED = "\nVORLIXD_OPTIONS=--speed 2\n";
const Mouse MOUSE{"1-1", "7", 0xC652, L"", L"", "/dev/hidraw0"};
const std::optional<MouseSettings> NOTHING;

// `size` bytes: comments, then the line.
std::string padded(size_t size, const std::string& line) {
    return std::string(size - line.size(), '#') + line;
}

struct FileCase {
    const char* name;
    std::string text;
    std::optional<MouseSettings> sent;
    std::wstring said; // the reason as vorlixd-apply says it; empty: nothing is said
};

// The administrator's file as people write it for an environment file, and what comes of it.
const std::vector<FileCase> ADMINISTRATOR_FILES = {
    {"plain line", "VORLIXD_OPTIONS=\"--speed 2 --frequency 500\"\n", BOTH, L""},
    {"blanks around the key and =", " \tVORLIXD_OPTIONS = \"--speed 2 --frequency 500\"  \n", BOTH, L""},
    {"export, unquoted", "export VORLIXD_OPTIONS=--speed 2 --frequency 500 \n", BOTH, L""},
    {"single quotes", "VORLIXD_OPTIONS='--speed 2 --frequency 500'", BOTH, L""},
    {"escapes in double quotes", R"x(VORLIXD_OPTIONS="--speed \"\$\`\\\q")x", NOTHING,
     LR"x(--speed takes 1, 2, 3, 4 or 5, not "$`\\q (line 1))x"},
    {"an escaped blank, a trailing backslash", "VORLIXD_OPTIONS=--speed\\ 2 \\\n--frequency 500\n", BOTH, L""},
    {"comments, one ending in a backslash", "# VORLIXD_OPTIONS=--speed 5 \\\n; VORLIXD_OPTIONS=--speed 4" + ASSIGNED,
     SPEED_2, L""},
    {"CRLF, continued in quotes", "VORLIXD_OPTIONS=\"--speed \\\r\n2\"\r\n", SPEED_2, L""},
    {"CR only", "# old Mac\rVORLIXD_OPTIONS=--speed 2\r", SPEED_2, L""},
    {"byte-order mark", "\xEF\xBB\xBFVORLIXD_OPTIONS=--speed 2", SPEED_2, L""},
    {"the last assignment wins", "VORLIXD_OPTIONS=--speed 9" + ASSIGNED, SPEED_2, L""},
    {"the last assignment empties it", "VORLIXD_OPTIONS=--speed 2\nVORLIXD_OPTIONS=\n", NOTHING, L""},
    {"named in another variable", "OTHER=\"see VORLIXD_OPTIONS\"" + ASSIGNED, SPEED_2, L""},
    {"no assignment", "# nothing\n\nOTHER=1\n", NOTHING, L""},
    {"named without =", "VORLIXD_OPTIONS=--speed 2\nVORLIXD_OPTIONS --speed 3\n", NOTHING,
     L"VORLIXD_OPTIONS is named without being assigned (line 2)"},
    {"a quote never closed", "VORLIXD_OPTIONS=\"--speed 2\n", NOTHING, L"a quote is never closed (line 1)"},
    {"inside another variable's value", "OTHER=\"x\nVORLIXD_OPTIONS=--speed 2\"\n", NOTHING,
     L"VORLIXD_OPTIONS is inside the value of another variable (line 2)"},
    {"a value refused", "VORLIXD_OPTIONS='--speed 9'\n", NOTHING, L"--speed takes 1, 2, 3, 4 or 5, not 9 (line 1)"},
    {"a value missing", "\nVORLIXD_OPTIONS=--frequency\n", NOTHING,
     L"--frequency needs a value: 125, 250, 500 or 1000 (line 2)"},
    {"a control character", "VORLIXD_OPTIONS=\"--smart-scrolling \x1b[2J\"\n", NOTHING,
     L"--smart-scrolling takes false or true, not \\x1b[2J (line 1)"},
    {"a word not UTF-8", "VORLIXD_OPTIONS=\"--speed 2 --frequency \xff\"\n", NOTHING, L"\\xff is not UTF-8 (line 1)"},
    {"an assignment inside another variable's value", "OTHER=\"VORLIXD_OPTIONS=--speed 2\"\n", NOTHING,
     L"VORLIXD_OPTIONS is inside the value of another variable (line 1)"},
    {"a NUL byte outside the value", ASSIGNED + std::string("# \0\n", 4), NOTHING, L"it holds a NUL byte (line 3)"},
    {"a no-break space, escaped", "VORLIXD_OPTIONS=--speed\u00A02\n", NOTHING,
     L"unknown option --speed\\u00a02 (line 1)"},
    {"as large as it may be", padded(AdministratorSettings::LONGEST_FILE, ASSIGNED), SPEED_2, L""},
    {"over the limit", padded(AdministratorSettings::LONGEST_FILE + 1, ASSIGNED), NOTHING, L"it is larger than 64 KiB"},
};

TEST(AdministratorFileTest, WhatIsSentAndWhatIsSaid) {
    for (const FileCase& row : ADMINISTRATOR_FILES) {
        SCOPED_TRACE(row.name);
        const ReadSettings read = AdministratorSettings::fromText(row.text);
        EXPECT_EQ(read.settings, row.sent);
        EXPECT_EQ(read.fault ? ApplySentences::administratorFileIgnored(*read.fault) : L"", row.said);
    }
}

// A save removes the new files that a save cut short left behind, and nothing else there.
TEST(KeptSettingsFileTest, SaveRemovesOnlyItsOwnLeftovers) {
    const QTemporaryDir made("/tmp/vorlixd-unit-XXXXXX");
    ASSERT_TRUE(made.isValid());
    const std::filesystem::path folder = made.path().toStdString();
    // Planted beside the kept file: 'f' a file, 'l' a link to one, 'd' a folder; and whether it is left.
    const std::vector<std::tuple<std::string, char, bool>> planted = {
        {"other.Ab12Cd", 'f', true},         {"kept-settings.Ab12Cd", 'f', false}, {"kept-settings.Ab12C", 'f', true},
        {"kept-settings.Ab-2Cd", 'f', true}, {"kept-settings.Lk12Cd", 'l', true},  {"kept-settings.Dir123", 'd', true},
    };
    std::set<std::string> left = {"kept-settings", "kept-settings.lock"};
    for (const auto& [name, kind, stays] : planted) {
        if (kind == 'f') {
            std::ofstream(folder / name) << "--speed 2\n";
        } else if (kind == 'l') {
            std::filesystem::create_symlink(folder / "other.Ab12Cd", folder / name);
        } else {
            std::filesystem::create_directory(folder / name);
        }
        if (stays) {
            left.insert(name);
        }
    }
    EXPECT_TRUE(KeptSettingsFile((folder / "kept-settings").string()).save(MouseSettings()));
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        found.insert(entry.path().filename().string());
    }
    EXPECT_EQ(found, left);
}

// Which mouse is "this mouse" after a replug: its serial number while no other present mouse of
// its model shares it, else its port; and what a serial number may hold stays inside its line.
TEST(OwnSettingsFileTest, AMouseIsFoundByItsSerialNumberOrElseItsPort) {
    const auto mouse = [](const char* port, uint16_t model, const wchar_t* serial) {
        return Mouse{port, "7", model, L"", serial, "/dev/hidraw0"};
    };
    const Mouse lone = mouse("1-1", 0xC652, L"A");
    const std::vector<std::tuple<const char*, Mouse, std::vector<Mouse>, std::string>> cases = {
        {"a serial number of its own", lone, {lone, mouse("1-2", 0xC656, L"A")}, "c652/serial/A"},
        {"a twin shares it", lone, {lone, mouse("1-2", 0xC652, L"A")}, "c652/port/1-1"},
        {"no serial number", mouse("1-1.4", 0xC655, L""), {}, "c655/port/1-1.4"},
        {"odd bytes", mouse("1-1", 0xC652, L"a b/\u00e9%"), {}, "c652/serial/a%20b%2F%C3%A9%25"},
    };
    for (const auto& [name, which, present, identity] : cases) {
        EXPECT_EQ(OwnSettingsFile::identityOf(which, present), identity) << name;
    }
}

// A line that is not exactly as written costs its own mouse alone its settings; the file is
// rewritten from what could be read, and never holds more mice than it may.
TEST(OwnSettingsFileTest, ADamagedLineCostsOnlyItsMouse) {
    const std::string good = "c652/serial/A " + KeptSettingsFile::line(SPEED_2);
    const std::vector<std::tuple<const char*, std::string, size_t>> lines = {
        {"as written", good, 0},
        {"settings refused", "c656/port/1-2 --speed 9\n", 1},
        {"no settings", "c656/port/1-2\n", 1},
        {"a kind of its own", "c656/usb/1-2 " + KeptSettingsFile::line(BOTH), 1},
        {"a plain byte escaped", "c656/serial/%41 " + KeptSettingsFile::line(BOTH), 1},
        {"the same mouse twice", good, 1},
        {"no line end", "c656/port/1-3 --speed 2", 1},
    };
    std::string text;
    size_t refused = 0;
    for (const auto& [name, line, refusals] : lines) {
        text += line;
        refused += refusals;
        const OwnSettingsFile::Read read = OwnSettingsFile::fromText(text);
        EXPECT_EQ(read.refusedLines, refused) << name;
        EXPECT_EQ(read.settings, (std::map<std::string, MouseSettings>{{"c652/serial/A", SPEED_2}})) << name;
    }
    const QTemporaryDir made("/tmp/vorlixd-unit-XXXXXX");
    ASSERT_TRUE(made.isValid());
    const OwnSettingsFile file(made.filePath("own-settings").toStdString());
    std::ofstream(file.path()) << text;
    ASSERT_EQ(file.keep("c655/port/1-4", BOTH), OwnSettingsFile::Write::Done);
    EXPECT_EQ(file.load().refusedLines, 0U);
    EXPECT_EQ(file.load().settings.size(), 2U);
    for (size_t i = 0; i < OwnSettingsFile::MOST_MICE - 2; ++i) {
        ASSERT_EQ(file.keep("c655/port/2-" + std::to_string(i), BOTH), OwnSettingsFile::Write::Done);
    }
    EXPECT_EQ(file.keep("c655/port/3-1", BOTH), OwnSettingsFile::Write::TooManyMice);
    EXPECT_EQ(file.keep("c655/port/1-4", std::nullopt), OwnSettingsFile::Write::Done);
    EXPECT_EQ(file.load().settings.size(), OwnSettingsFile::MOST_MICE - 1);
}

// A mouse's record is used only when it is exactly what vorlixd writes, about this appearance of
// the mouse, in a regular file of its own; anything else reads as nothing known, with a reason.
TEST(MouseRecordsTest, OnlyWhatWasWrittenIsUsed) {
    const QTemporaryDir made("/tmp/vorlixd-unit-XXXXXX");
    ASSERT_TRUE(made.isValid());
    const std::filesystem::path file = made.filePath("mouse-1-1").toStdString();
    const std::string elsewhere = made.filePath("elsewhere").toStdString();
    const MouseRecords records(made.path().toStdString());
    const Mouse& mouse = MOUSE;
    ASSERT_EQ(records.sent(records.turnAt(mouse), mouse, std::nullopt, MouseRecord::Sender::PlugIn,
                           MouseRecord::Source::Family, Outcome::Done, MouseRecord::now()),
              Written::Done);
    ASSERT_EQ(records.sent(records.turnAt(mouse), mouse, SPEED_2, MouseRecord::Sender::Resume,
                           MouseRecord::Source::Family, Outcome::SendFailed),
              Written::Done);
    const std::string written = MouseRecords::text(records.of(mouse).record);
    const auto replaced = [&written](const std::string& from, const std::string& to) {
        std::string text = written;
        return text.replace(text.find(from), from.size(), to);
    };
    const auto writes = [&file](const std::string& text) { return [&file, text] { std::ofstream(file) << text; }; };
    // What is put there, and why it is refused: none when the record is used or simply not about this mouse.
    using Why = FileFault::Why;
    const std::optional<Why> none;
    const std::vector<std::tuple<const char*, std::function<void()>, std::optional<Why>>> planted = {
        {"as written", [] {}, none},
        {"of an earlier appearance", writes(replaced("usbAddress=7", "usbAddress=6")), none},
        {"cut short", writes(written.substr(0, 60)), Why::NotWritten},
        {"a field misnamed", writes(replaced("sentAt=", "sentat=")), Why::NotWritten},
        {"a time with a sign", writes(replaced("sentAt=", "sentAt=+")), Why::NotWritten},
        {"sent by nobody", writes(replaced("sentBy=resume", "sentBy=")), Why::NotWritten},
        {"sent from nowhere", writes(replaced("sentFrom=family", "sentFrom=")), Why::NotWritten},
        {"an error not of a send", writes(replaced("SendFailed", "NotKept")), Why::NotWritten},
        {"settings refused", writes(replaced("--speed 2", "--speed 9")), Why::NotWritten},
        {"a trailing blank", writes(written + " "), Why::NotWritten},
        {"too long", writes(written + std::string(MouseRecords::LONGEST_FILE, '\n')), Why::NotWritten},
        {"a pipe", [&] { mkfifo(file.c_str(), 0600); }, Why::NotRegular},
        {"a link", [&] { std::filesystem::create_symlink(elsewhere, file); }, Why::NotRegular},
    };
    std::ofstream(elsewhere) << written;
    for (const auto& [name, plant, why] : planted) {
        SCOPED_TRACE(name);
        if (std::string(name) != "as written") {
            std::filesystem::remove(file);
            plant();
        }
        const ReadRecord found = records.of(mouse);
        const MouseRecord& read = found.record;
        EXPECT_EQ(found.fault ? std::optional<Why>(found.fault->why) : none, why);
        EXPECT_EQ(read.sent.has_value(), std::string(name) == "as written");
        EXPECT_EQ(read.appearedAt != 0, std::string(name) == "as written");
        EXPECT_EQ(read.usbAddress, "7");
    }
}

// A sender in a process of its own: takes its turn at the mouse, says in `log` that it sent
// `speed`, records it; its exit status is 0 when the record came out as `expected`. `largest`
// caps the files it may write, as a full folder would.
pid_t sender(const MouseRecords& records, const std::string& log, int speed, Written expected,
             rlim_t largest = RLIM_INFINITY) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{largest, largest};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        const WholeFile::Lock turn = records.turnAt(MOUSE);
        std::ofstream(log, std::ios::app) << speed;
        const MouseSettings sent = MouseSettings::fromOptions({L"--speed", std::to_wstring(speed)});
        _exit(records.sent(turn, MOUSE, sent, MouseRecord::Sender::PlugIn, MouseRecord::Source::Family,
                           Outcome::Done) == expected
                  ? 0
                  : 1);
    }
    return child;
}

bool succeeded(pid_t child) {
    int status = -1;
    return waitpid(child, &status, 0) == child && status == 0;
}

// Five senders at one mouse at once, fifteen rounds: no record is lost, and it names the one that
// sent last. A record that cannot be written leaves no older one to tell of a send it does not.
TEST(MouseRecordsTest, TheRecordTellsOfTheLastSendOrOfNothing) {
    const QTemporaryDir made("/tmp/vorlixd-unit-XXXXXX");
    ASSERT_TRUE(made.isValid());
    const MouseRecords records(made.path().toStdString());
    const std::string log = made.filePath("sends").toStdString();
    const auto speedRecorded = [&records] {
        const auto sent = records.of(MOUSE).record.sent;
        return sent ? (*sent)[5] : 0;
    };
    for (int round = 0; round < 15; ++round) {
        std::vector<pid_t> senders;
        for (int speed = 1; speed <= 5; ++speed) {
            senders.push_back(sender(records, log, speed, Written::Done));
        }
        for (const pid_t each : senders) {
            EXPECT_TRUE(succeeded(each)) << "a record was lost in round " << round;
        }
        std::ifstream sends(log);
        const std::string sent((std::istreambuf_iterator<char>(sends)), std::istreambuf_iterator<char>());
        EXPECT_EQ(speedRecorded(), sent.back() - '0') << "round " << round;
    }
    EXPECT_TRUE(succeeded(sender(records, log, 4, Written::OlderRemoved, 8)));
    EXPECT_EQ(speedRecorded(), 0);
}

} // namespace
