// SPDX-License-Identifier: MIT
// vorlixctl's command line and the files it imports: what is taken, and what is refused.
#include "CtlRequest.h"
#include "CtlText.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <vector>

namespace {

using Command = CtlRequest::Command;

TEST(CtlTest, CommandLines) {
    struct Row {
        QStringList arguments;
        Command command;
        bool wrong;
    };
    const std::vector<Row> rows = {
        {{}, Command::List, false},
        {{"--json"}, Command::List, false},
        {{"keep", "--speed", "2", "--no-ask-password", "--json"}, Command::Keep, false},
        {{"forget", "--json"}, Command::Forget, true},        // JSON only where it answers with something
        {{"list", "--no-ask-password"}, Command::List, true}, // nothing to ask a password for
        {{"import"}, Command::Import, true},
        {{"import", "a", "b"}, Command::Import, true},
        {{"export", "--help"}, Command::Help, false},
        {{"--help", "extra"}, Command::Help, true},
        {{"fetch"}, Command::List, true},
        {{"keep", "--mouse", "1-2", "--speed", "2"}, Command::Keep, false},
        {{"forget", "--no-ask-password", "--mouse", "1-2"}, Command::Forget, false},
        {{"forget", "--mouse"}, Command::Forget, true}, // which mouse, it does not say
        {{"list", "--mouse", "1-2"}, Command::List, true},
    };
    for (const Row& row : rows) {
        const CtlRequest request = CtlRequest::parse(row.arguments);
        EXPECT_EQ(request.command, row.command) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(request.wrong, row.wrong) << row.arguments.join(' ').toStdString();
    }
    EXPECT_EQ(CtlRequest::parse({"keep", "--json", "--speed", "2"}).options,
              (std::vector<std::wstring>{L"--speed", L"2"}));
    const CtlRequest one = CtlRequest::parse({"keep", "--speed", "2", "--mouse", "Glide"});
    EXPECT_EQ(one.options, (std::vector<std::wstring>{L"--speed", L"2"}));
    EXPECT_EQ(one.mouse, QString("Glide"));
}

// Only what export writes is imported: all six settings, or none to keep nothing.
TEST(CtlTest, ImportedFiles) {
    const QByteArray six = R"("liftOffDetection": true, "smartScrolling": false, "remapWheelPress": true,
                             "remapGestureButton": true, "frequency": 500)";
    struct Row {
        QByteArray file;
        bool settings;
        bool refused;
    };
    const std::vector<Row> rows = {
        {R"({"version": 1, "keptSettings": {)" + six + R"(, "speed": 2}})", true, false},
        {R"({"version": 1, "keptSettings": {}})", false, false},
        {R"({"version": 2, "keptSettings": {}})", false, true},
        {R"({"version": 1})", false, true},
        {R"({"version": 1, "keptSettings": {)" + six + R"(}})", false, true},
        {R"({"version": 1, "keptSettings": {)" + six + R"(, "speed": 2.5}})", false, true},
        {"not JSON", false, true},
    };
    for (const Row& row : rows) {
        const CtlText::Imported imported = CtlText::imported(QJsonDocument::fromJson(row.file).object());
        EXPECT_EQ(imported.settings.has_value(), row.settings) << row.file.toStdString();
        EXPECT_EQ(!imported.why.isEmpty(), row.refused) << row.file.toStdString();
    }
}

} // namespace
