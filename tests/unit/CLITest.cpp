// SPDX-License-Identifier: MIT
#include "CLI.h"
#include "CLIException.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Builds a CLI from narrow arguments, as the process would receive them.
CLI makeCLI(std::vector<std::string> argv) {
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return CLI(static_cast<int>(argv.size()), pointers.data());
}

TEST(CLITest, DecodesOneCharacterPerCodePoint) {
    const CLI cli = makeCLI({"/usr/bin/vorlixd", "--speed", "速度", "\xF0\x9F\x96\xB1", ""});
    EXPECT_EQ(cli.arguments(), (std::vector<std::wstring>{L"--speed", L"速度", L"\U0001F5B1", L""}));
}

TEST(CLITest, EmptyArgumentVectorIsNoArguments) {
    char* argv[] = {nullptr};
    EXPECT_TRUE(CLI(0, argv).arguments().empty());
}

TEST(CLITest, MalformedUtf8IsACommandLineError) {
    const std::vector<std::vector<std::string>> cases = {
        {"vorlixd", "\xFF"},
        {"vorlixd", "--speed", "3\xE9\x80"},   // truncated sequence: must not pass as "3"
        {"vorlixd", "\xC0\xAF"},               // overlong encoding
        {"vorlixd", "\xF4\x90\x80\x80"},       // beyond U+10FFFF
        {"vorlixd", "ok", "\x80"},             // stray continuation byte
        {"vorlixd", "\xED\xA0\x80"},           // first surrogate
        {"vorlixd", "\xED\xBF\xBF"},           // last surrogate
        {"/opt/\xFE/vorlixd", "--speed", "3"}, // the program path too
    };
    for (const std::vector<std::string>& argv : cases) {
        try {
            makeCLI(argv);
            ADD_FAILURE() << "decoded " << argv.back();
        } catch (const CLIException& e) {
            EXPECT_EQ(e.getMessage(), L"无法解码命令行参数。");
            EXPECT_EQ(e.getExitCode(), CLI::EXIT_CODE_BAD_CLI_ARGUMENTS);
        }
    }
}

// Without a locale in the environment the wide output would turn Chinese into "?".
TEST(CLITest, CharacterLocaleFallsBackToUtf8OnlyFromC) {
    struct Case {
        const char* lcAll; // nullptr: unset
        const char* expectedCtype;
        const char* expectedMessages; // the other categories stay as the environment says
    };
    const Case cases[] = {
        {nullptr, "C.UTF-8", "C"}, {"C", "C.UTF-8", "C"}, {"POSIX", "C.UTF-8", "C"}, {"C.utf8", "C.utf8", "C.utf8"}};
    for (const char* variable : {"LANG", "LANGUAGE", "LC_CTYPE", "LC_MESSAGES"}) {
        unsetenv(variable);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lcAll ? c.lcAll : "(unset)");
        if (c.lcAll) {
            setenv("LC_ALL", c.lcAll, 1);
        } else {
            unsetenv("LC_ALL");
        }
        makeCLI({"vorlixd"});
        EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), c.expectedCtype);
        EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), c.expectedMessages);
        std::setlocale(LC_ALL, "C");
    }
}

} // namespace
