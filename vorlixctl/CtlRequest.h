// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

// What the command line asks vorlixctl to do: a command, the first word (list when none is given),
// then its options. keep takes vorlixd's six setting options, in vorlixd's own grammar; the rest
// are vorlixctl's own, wherever they stand.
struct CtlRequest {
    enum class Command { List, Keep, Forget, Monitor, Export, Import, Help };

    // The exit statuses, few and documented.
    static constexpr int SUCCESS = 0;
    static constexpr int FAILED = 1;      // a mouse did not take the settings, or the service failed
    static constexpr int NOT_ALLOWED = 4; // polkit refused
    static constexpr int BAD_COMMAND_LINE = 6;

    Command command = Command::List;
    bool json = false;
    bool askPassword = true;
    std::vector<std::wstring> options; // keep's setting options, as given
    QString mouse;                     // keep's and forget's --mouse: the one mouse meant, else every mouse
    QString file;                      // import's file, "-" for standard input
    bool wrong = false;                // the usage applies, not the command

    static CtlRequest parse(const QStringList& arguments) {
        static const QStringList COMMANDS = {QStringLiteral("list"),   QStringLiteral("keep"),
                                             QStringLiteral("forget"), QStringLiteral("monitor"),
                                             QStringLiteral("export"), QStringLiteral("import")};
        CtlRequest request;
        QStringList rest = arguments;
        if (!rest.isEmpty() && COMMANDS.contains(rest.first())) {
            request.command = static_cast<Command>(COMMANDS.indexOf(rest.takeFirst()));
        }
        request.json = rest.removeAll(QStringLiteral("--json")) > 0;
        request.askPassword = rest.removeAll(QStringLiteral("--no-ask-password")) == 0;
        if (rest.removeAll(QStringLiteral("--help")) > 0) {
            request.command = Command::Help;
            request.wrong = !rest.isEmpty();
            return request;
        }
        const bool changes = request.command == Command::Keep || request.command == Command::Forget ||
                             request.command == Command::Import;
        const auto mouse = rest.indexOf(QStringLiteral("--mouse"));
        if (mouse >= 0) {
            request.mouse = rest.value(mouse + 1);
            request.wrong = request.mouse.isEmpty() ||
                            (request.command != Command::Keep && request.command != Command::Forget);
            rest.erase(rest.begin() + mouse, rest.begin() + std::min<decltype(mouse)>(mouse + 2, rest.size()));
        }
        const bool jsonAsked = request.command == Command::List || request.command == Command::Keep ||
                               request.command == Command::Monitor;
        request.wrong = request.wrong || (request.json && !jsonAsked) || (!request.askPassword && !changes);
        if (request.command == Command::Keep) {
            for (const QString& word : rest) {
                request.options.push_back(word.toStdWString());
            }
        } else if (request.command == Command::Import) {
            request.file = rest.value(0);
            request.wrong = request.wrong || rest.size() != 1;
        } else {
            request.wrong = request.wrong || !rest.isEmpty();
        }
        return request;
    }
};
