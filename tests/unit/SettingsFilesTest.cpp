// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"
#include "KeptSettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

const MouseSettings SPEED_2 = MouseSettings::fromOptions({L"--speed", L"2"});
const MouseSettings BOTH = MouseSettings::fromOptions({L"--speed", L"2", L"--frequency", L"500"});
const std::string ASSIGNED = "\nVORLIXD_OPTIONS=--speed 2\n";

// `size` bytes: comments, then the line.
std::string padded(size_t size, const std::string& line) {
    return std::string(size - line.size(), '#') + line;
}

struct FileCase {
    const char* name;
    std::string text;
    std::optional<MouseSettings> sent;
    std::wstring said; // the reason in English; empty: nothing is said
};

// The administrator's file as people write it for an environment file, and what comes of it.
const std::vector<FileCase> ADMINISTRATOR_FILES = {
    {"plain line", "VORLIXD_OPTIONS=\"--speed 2 --frequency 500\"\n", BOTH, L""},
    {"blanks around the key and =", " \tVORLIXD_OPTIONS = \"--speed 2 --frequency 500\"  \n", BOTH, L""},
    {"export, unquoted", "export VORLIXD_OPTIONS=--speed 2 --frequency 500 \n", BOTH, L""},
    {"single quotes", "VORLIXD_OPTIONS='--speed 2 --frequency 500'", BOTH, L""},
    {"escapes in double quotes", R"x(VORLIXD_OPTIONS="--speed \"\$\`\\\q")x", std::nullopt,
     LR"x(--speed takes 1, 2, 3, 4 or 5, not "$`\\q (line 1))x"},
    {"an escaped blank, a trailing backslash", "VORLIXD_OPTIONS=--speed\\ 2 \\\n--frequency 500\n", BOTH, L""},
    {"comments, one ending in a backslash", "# VORLIXD_OPTIONS=--speed 5 \\\n; VORLIXD_OPTIONS=--speed 4" + ASSIGNED,
     SPEED_2, L""},
    {"CRLF, continued in quotes", "VORLIXD_OPTIONS=\"--speed \\\r\n2\"\r\n", SPEED_2, L""},
    {"CR only", "# old Mac\rVORLIXD_OPTIONS=--speed 2\r", SPEED_2, L""},
    {"byte-order mark", "\xEF\xBB\xBFVORLIXD_OPTIONS=--speed 2", SPEED_2, L""},
    {"the last assignment wins", "VORLIXD_OPTIONS=--speed 9" + ASSIGNED, SPEED_2, L""},
    {"the last assignment empties it", "VORLIXD_OPTIONS=--speed 2\nVORLIXD_OPTIONS=\n", std::nullopt, L""},
    {"named in another variable", "OTHER=\"see VORLIXD_OPTIONS\"" + ASSIGNED, SPEED_2, L""},
    {"no assignment", "# nothing\n\nOTHER=1\n", std::nullopt, L""},
    {"named without =", "VORLIXD_OPTIONS=--speed 2\nVORLIXD_OPTIONS --speed 3\n", std::nullopt,
     L"VORLIXD_OPTIONS is named without being assigned (line 2)"},
    {"a quote never closed", "VORLIXD_OPTIONS=\"--speed 2\n", std::nullopt, L"a quote is never closed (line 1)"},
    {"inside another variable's value", "OTHER=\"x\nVORLIXD_OPTIONS=--speed 2\"\n", std::nullopt,
     L"VORLIXD_OPTIONS is inside the value of another variable (line 2)"},
    {"a value refused", "VORLIXD_OPTIONS='--speed 9'\n", std::nullopt,
     L"--speed takes 1, 2, 3, 4 or 5, not 9 (line 1)"},
    {"a value missing", "\nVORLIXD_OPTIONS=--frequency\n", std::nullopt,
     L"--frequency needs a value: 125, 250, 500 or 1000 (line 2)"},
    {"a control character", "VORLIXD_OPTIONS=\"--smart-scrolling \x1b[2J\"\n", std::nullopt,
     L"--smart-scrolling takes false or true, not \\x1b[2J (line 1)"},
    {"a word not UTF-8", "VORLIXD_OPTIONS=\"--speed 2 --frequency \xff\"\n", std::nullopt,
     L"\\xff is not UTF-8 (line 1)"},
    {"as large as it may be", padded(AdministratorSettings::LONGEST_FILE, ASSIGNED), SPEED_2, L""},
    {"over the limit", padded(AdministratorSettings::LONGEST_FILE + 1, ASSIGNED), std::nullopt,
     L"it is larger than 64 KiB"},
};

TEST(AdministratorFileTest, WhatIsSentAndWhatIsSaid) {
    for (const FileCase& row : ADMINISTRATOR_FILES) {
        SCOPED_TRACE(row.name);
        const ReadSettings read = AdministratorSettings::fromText(row.text);
        EXPECT_EQ(read.settings, row.sent);
        EXPECT_EQ(read.result.sentence, row.said);
        EXPECT_EQ(read.result.done(), row.said.empty());
    }
}

// A save removes the new files that a save cut short left behind, and nothing else there.
TEST(KeptSettingsFileTest, SaveRemovesOnlyItsOwnLeftovers) {
    char made[] = "/tmp/vorlixd-unit-XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    const std::filesystem::path folder = made;
    // Planted beside the kept file: 'f' a file, 'l' a link to one, 'd' a folder; and whether it is left.
    const std::vector<std::tuple<std::string, char, bool>> planted = {
        {"other.Ab12Cd", 'f', true},         {"kept-settings.Ab12Cd", 'f', false}, {"kept-settings.Ab12C", 'f', true},
        {"kept-settings.Ab-2Cd", 'f', true}, {"kept-settings.Lk12Cd", 'l', true},  {"kept-settings.Dir123", 'd', true},
    };
    std::set<std::string> left = {"kept-settings"};
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
    EXPECT_TRUE(KeptSettingsFile((folder / "kept-settings").string()).save(MouseSettings()).done());
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        found.insert(entry.path().filename().string());
    }
    EXPECT_EQ(found, left);
    std::filesystem::remove_all(folder);
}

} // namespace
