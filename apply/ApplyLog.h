// SPDX-License-Identifier: MIT
#pragma once

#include "Utf8.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

// Where vorlixd-apply says what it did, one line at a time, in UTF-8. udev throws away the output
// of the programs it runs, so run by udev it says it in the system log (journalctl -t
// vorlixd-apply), once it is done: each line wakes the log's reader, which on a machine with one
// processor would take its turn before the mouse has its report. A unit's or a shell's output is
// read as it comes.
class ApplyLog {
public:
    explicit ApplyLog(bool toSystemLog) : toSystemLog(toSystemLog) {}

    ApplyLog(const ApplyLog&) = delete;
    ApplyLog& operator=(const ApplyLog&) = delete;

    ~ApplyLog() {
        for (const std::string& line : held) {
            syslog(LOG_NOTICE, "%s", line.c_str());
        }
    }

    void say(const std::wstring& line) {
        if (toSystemLog) {
            held.push_back(Utf8::encode(line));
        } else {
            std::fputs((Utf8::encode(line) + "\n").c_str(), stdout);
            std::fflush(stdout);
        }
    }

    // At once, and apart from the lines of what it did: on standard error where it has one.
    void warn(const std::string& line) const {
        if (toSystemLog) {
            syslog(LOG_WARNING, "%s", line.c_str());
        } else {
            const std::string ended = line + "\n";
            [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, ended.data(), ended.size());
        }
    }

private:
    bool toSystemLog;
    std::vector<std::string> held;
};
