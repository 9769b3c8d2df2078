// SPDX-License-Identifier: MIT
// Sends the settings again whenever a mouse comes back: udev runs it with the hidraw node of
// each mouse that appears (at boot too, when udev replays the devices), and
// vorlixd-apply.service runs it without one after every resume, when the kernel has reset
// every mouse without a word. It sends the administrator's settings while they are valid,
// else the kept settings, else nothing; no mouse is no failure. It reads no name string from
// the mouse and keeps nothing: the service alone writes the kept settings.
#include "AdministratorSettings.h"
#include "CLI.h"
#include "CLIException.h"
#include "HID.h"
#include "KeptSettingsFile.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "Utf8.h"

#include <syslog.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// One line of what it did. udev, which gives every program it runs the event's ACTION, throws
// their output away, so run by udev it says it in the system log instead (journalctl -t
// vorlixd-apply); a unit's or a shell's output is read as it is.
void say(const std::wstring& line) {
    static const bool runByUdev = std::getenv("ACTION") != nullptr;
    if (runByUdev) {
        syslog(LOG_NOTICE, "%s", Utf8::encode(line).c_str());
    } else {
        std::wcout << line << std::endl;
    }
}

// The settings to send, or none; says which and why on the way.
std::optional<MouseSettings> chooseSettings() {
    const ReadSettings administrator = AdministratorSettings::read();
    const std::wstring file = Utf8::printable(AdministratorSettings::filePath());
    if (administrator.settings) {
        say(L"Sending the settings of " + file + L".");
        return administrator.settings;
    }
    if (!administrator.result.done()) {
        say(L"Ignored " + file + L": " + PrintableText::escape(administrator.result.sentence));
    }
    const ReadSettings kept = KeptSettingsFile::system().load();
    if (!kept.result.done()) {
        say(L"Ignored: " + PrintableText::escape(kept.result.sentence) + L" Nothing was sent.");
    } else {
        say(kept.settings ? L"Sending the kept settings." : L"No settings are kept: nothing was sent.");
    }
    return kept.settings;
}

// A mouse that has only just appeared may not take a report yet; it gets a few more tries
// over about a second and a half before it counts as failed.
bool sendWithRetries(const Mice::Mouse& mouse, const Packet& report) {
    const std::wstring name = PrintableText::escape(mouse.productName) + L" (" + Utf8::printable(mouse.path) + L")";
    std::chrono::milliseconds wait(100);
    for (int attempt = 1;; ++attempt) {
        const Result result = Mice::send(mouse, report);
        if (result.done()) {
            say(L"Sent to " + name + L".");
            return true;
        }
        if (attempt == 5) {
            say(L"Not sent to " + name + L": " + result.sentence);
            return false;
        }
        std::this_thread::sleep_for(wait);
        wait *= 2;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    try {
        const std::vector<std::wstring> arguments = CLI(argc, argv).arguments();
        if (arguments.size() > 1) {
            say(L"Usage: vorlixd-apply [/dev/hidrawN]");
            return CLI::EXIT_CODE_BAD_CLI_ARGUMENTS;
        }
        std::vector<Mice::Mouse> mice = Mice::list();
        // A mouse that appeared: only it, at the interface discovery would open. Its other
        // interfaces appear too, and are left alone.
        if (!arguments.empty()) {
            const std::string node = Utf8::encode(arguments[0]);
            mice.erase(
                std::remove_if(mice.begin(), mice.end(), [&node](const Mice::Mouse& m) { return m.path != node; }),
                mice.end());
            if (mice.empty()) {
                say(PrintableText::escape(arguments[0]) +
                    L" is not the first interface of a supported mouse: nothing to send.");
                return CLI::EXIT_CODE_SUCCESS;
            }
        }
        if (mice.empty()) {
            say(L"No supported mouse: nothing was sent.");
            return CLI::EXIT_CODE_SUCCESS;
        }
        const std::optional<MouseSettings> settings = chooseSettings();
        if (!settings) {
            return CLI::EXIT_CODE_SUCCESS;
        }
        const Packet report = settings->toVorlixConfig().serialize();
        bool allSent = true;
        for (const Mice::Mouse& mouse : mice) {
            allSent = sendWithRetries(mouse, report) && allSent;
        }
        return allSent ? CLI::EXIT_CODE_SUCCESS : CLI::EXIT_CODE_UNEXPECTED_ERROR;
    } catch (const CLIException& e) {
        say(PrintableText::escape(e.getMessage()));
        return e.getExitCode();
    }
}
