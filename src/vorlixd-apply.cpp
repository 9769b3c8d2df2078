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

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The settings to send, or none; says which and why on the way.
std::optional<MouseSettings> chooseSettings() {
    const AdministratorSettings administrator = AdministratorSettings::read();
    const std::wstring file = wide(AdministratorSettings::filePath());
    if (administrator.state == AdministratorSettings::State::Valid) {
        std::wcout << L"Sending the settings of " << file << L"." << std::endl;
        return administrator.settings;
    }
    if (administrator.state == AdministratorSettings::State::Invalid) {
        std::wcout << L"Ignored " << file << L": " << PrintableText::escape(administrator.problem) << std::endl;
    }
    const KeptSettingsFile kept = KeptSettingsFile::system();
    try {
        const std::optional<MouseSettings> settings = kept.load();
        std::wcout << (settings ? L"Sending the kept settings." : L"No settings are kept: nothing was sent.")
                   << std::endl;
        return settings;
    } catch (const CLIException& e) {
        std::wcout << L"Ignored: " << PrintableText::escape(e.getMessage()) << L" Nothing was sent." << std::endl;
        return std::nullopt;
    }
}

// A mouse that has only just appeared may not take a report yet; it gets a few more tries
// over about a second and a half before it counts as failed.
bool sendWithRetries(const Mice::Mouse& mouse, const Packet& report) {
    std::chrono::milliseconds wait(100);
    for (int attempt = 1;; ++attempt) {
        const Mice::Result result = Mice::send(mouse, report);
        const std::wstring name = PrintableText::escape(mouse.productName) + L" (" + wide(mouse.path) + L")";
        if (result.outcome == Mice::Outcome::Sent) {
            std::wcout << L"Sent to " << name << L"." << std::endl;
            return true;
        }
        if (attempt == 5) {
            std::wcout << L"Not sent to " << name << L": " << result.message << std::endl;
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
            std::wcout << L"Usage: vorlixd-apply [/dev/hidrawN]" << std::endl;
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
                std::wcout << PrintableText::escape(arguments[0])
                           << L" is not the first interface of a supported mouse: nothing to send." << std::endl;
                return CLI::EXIT_CODE_SUCCESS;
            }
        }
        if (mice.empty()) {
            std::wcout << L"No supported mouse: nothing was sent." << std::endl;
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
        std::wcout << PrintableText::escape(e.getMessage()) << std::endl;
        return e.getExitCode();
    }
}
