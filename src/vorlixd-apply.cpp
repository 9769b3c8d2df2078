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
#include "KeptSettingsFile.h"
#include "Mice.h"
#include "MouseSettings.h"
#include "PrintableText.h"

#include <syslog.h>

#include <algorithm>
#include <chrono>
#include <codecvt>
#include <cstdlib>
#include <iostream>
#include <locale>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// One line of what it did. udev, which gives every program it runs the event's ACTION, throws
// their output away, so run by udev it says it in the system log instead (journalctl -t
// vorlixd-apply); a unit's or a shell's output is read as it is.
void say(const std::wstring& line) {
    static const bool runByUdev = std::getenv("ACTION") != nullptr;
    if (runByUdev) {
        syslog(LOG_NOTICE, "%s", std::wstring_convert<std::codecvt_utf8<wchar_t>>().to_bytes(line).c_str());
    } else {
        std::wcout << line << std::endl;
    }
}

// The settings to send, or none; says which and why on the way.
std::optional<MouseSettings> chooseSettings() {
    const AdministratorSettings administrator = AdministratorSettings::read();
    const std::wstring file = wide(AdministratorSettings::filePath());
    if (administrator.state == AdministratorSettings::State::Valid) {
        say(L"Sending the settings of " + file + L".");
        return administrator.settings;
    }
    if (administrator.state == AdministratorSettings::State::Invalid) {
        say(L"Ignored " + file + L": " + PrintableText::escape(administrator.problem));
    }
    const KeptSettingsFile kept = KeptSettingsFile::system();
    try {
        const std::optional<MouseSettings> settings = kept.load();
        say(settings ? L"Sending the kept settings." : L"No settings are kept: nothing was sent.");
        return settings;
    } catch (const CLIException& e) {
        say(L"Ignored: " + PrintableText::escape(e.getMessage()) + L" Nothing was sent.");
        return std::nullopt;
    }
}

// A mouse that has only just appeared may not take a report yet; it gets a few more tries
// over about a second and a half before it counts as failed.
bool sendWithRetries(const Mice::Mouse& mouse, const Packet& report) {
    const std::wstring name = PrintableText::escape(mouse.productName) + L" (" + wide(mouse.path) + L")";
    std::chrono::milliseconds wait(100);
    for (int attempt = 1;; ++attempt) {
        const Mice::Result result = Mice::send(mouse, report);
        if (result.outcome == Mice::Outcome::Sent) {
            say(L"Sent to " + name + L".");
            return true;
        }
        if (attempt == 5) {
            say(L"Not sent to " + name + L": " + result.message);
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
            const std::string node(arguments[0].begin(), arguments[0].end());
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
