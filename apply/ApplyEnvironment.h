// SPDX-License-Identifier: MIT
#pragma once

#include "AdministratorSettings.h"
#include "KeptSettingsFile.h"
#include "MouseRecord.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

// What vorlixd-apply is told by whoever starts it, read once, before it confines itself: udev
// gives every program it runs the event's ACTION, its unit says when it runs after a resume, and
// the tests' testbed and valgrind show in the environment they set. With it come the files it
// reads and writes, which systemd and the tests may put elsewhere.
struct ApplyEnvironment {
    std::optional<std::string> action; // udev's event, when udev runs it
    bool afterResume = false;
    std::optional<std::string> testbed; // umockdev's, where the tests' emulated mice are
    bool underValgrind = false;
    std::string administratorFile;
    KeptSettingsFile kept;
    MouseRecords records;

    static ApplyEnvironment read() {
        const char* preload = std::getenv("LD_PRELOAD");
        return {text(std::getenv("ACTION")), text(std::getenv("VORLIXD_APPLY_CAUSE")) == std::string("resume"),
                text(std::getenv("UMOCKDEV_DIR")),
                // valgrind puts its preload in front of the program's.
                preload != nullptr && std::strstr(preload, "/vgpreload_core-") != nullptr,
                AdministratorSettings::filePath(), KeptSettingsFile::system(), MouseRecords::system()};
    }

    // udev keeps no output, so what a program it runs says goes to the system log.
    bool runByUdev() const { return action.has_value(); }

    // Why it runs, as its records say: udev runs it when a mouse appears (at boot too), its unit
    // after a resume; anything else is a person's doing.
    MouseRecord::Sender sender() const {
        return runByUdev()   ? MouseRecord::Sender::PlugIn
               : afterResume ? MouseRecord::Sender::Resume
                             : MouseRecord::Sender::ByHand;
    }

    // A mouse that udev says was added, not one that changed.
    bool mouseAppeared() const { return action == std::string("add"); }

private:
    static std::optional<std::string> text(const char* value) {
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
};
