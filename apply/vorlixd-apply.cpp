// SPDX-License-Identifier: MIT
// Sends the settings again whenever a mouse comes back: udev runs it with the hidraw node of
// each mouse that appears (at boot too, when udev replays the devices), and
// vorlixd-apply.service runs it without one after every resume, when the kernel has reset
// every mouse without a word. It sends the administrator's settings while they are valid,
// else the kept settings, else nothing; no mouse is no failure. It reads no name string from
// the mouse, and the service alone writes the kept settings; what it sent each mouse, and each
// mouse's appearance, it records for the service to show.
#include "AdministratorSettings.h"
#include "CLI.h"
#include "CLIException.h"
#include "Confinement.h"
#include "HID.h"
#include "KeptSettingsFile.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "Utf8.h"

#include <sys/stat.h>
#include <syslog.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Lines for the system log, written when the process ends: each line wakes the log's reader,
// which on a machine with one processor would take its turn before the mouse has its report.
struct HeldLines {
    std::vector<std::string> lines;
    ~HeldLines() {
        for (const std::string& line : lines) {
            syslog(LOG_NOTICE, "%s", line.c_str());
        }
    }
};

// One line of what it did, in UTF-8. udev, which gives every program it runs the event's ACTION,
// throws their output away, so run by udev it says it in the system log instead (journalctl -t
// vorlixd-apply), once it is done; a unit's or a shell's output is read as it comes.
void say(const std::wstring& line) {
    static const bool runByUdev = std::getenv("ACTION") != nullptr;
    static HeldLines held;
    if (runByUdev) {
        held.lines.push_back(Utf8::encode(line));
    } else {
        std::fputs((Utf8::encode(line) + "\n").c_str(), stdout);
        std::fflush(stdout);
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
        say(L"Ignored " + file + L": " + administrator.result.sentence + L".");
    }
    const KeptSettingsFile keptFile = KeptSettingsFile::system();
    std::wstring why;
    const ReadSettings kept = keptFile.load(&why);
    if (!kept.result.done()) {
        say(L"Ignored " + Utf8::printable(keptFile.path()) + L": " + why + L". Nothing was sent.");
    } else {
        say(kept.settings ? L"Sending the kept settings." : L"No settings are kept: nothing was sent.");
    }
    return kept.settings;
}

// Which mouse: two of one model share a name, so the USB device it is and its node say which;
// a mouse without a name is called so rather than left a gap.
std::wstring identity(const Mice::Mouse& mouse) {
    const bool named = mouse.productName.find_first_not_of(L' ') != std::wstring::npos;
    const std::wstring usb = mouse.usbDevice != mouse.path ? L"USB " + Utf8::printable(mouse.usbDevice) + L", " : L"";
    return (named ? PrintableText::escape(mouse.productName) : L"an unnamed mouse") + L" (" + usb +
           Utf8::printable(mouse.path) + L")";
}

// Why it runs, as its records say: udev, which sets ACTION, runs it when a mouse appears (at boot
// too); its unit after a resume; anything else is a person's doing.
MouseRecord::Sender cause() {
    if (std::getenv("ACTION") != nullptr) {
        return MouseRecord::Sender::PlugIn;
    }
    const char* cause = std::getenv("VORLIXD_APPLY_CAUSE");
    return cause != nullptr && std::string(cause) == "resume" ? MouseRecord::Sender::Resume
                                                              : MouseRecord::Sender::ByHand;
}

void sayNotRecorded(const Mice::Mouse& mouse, bool recorded, const MouseRecords& records) {
    if (!recorded) {
        say(L"Could not record in " + Utf8::printable(records.folder()) + L" what " + identity(mouse) + L" was sent.");
    }
}

// A mouse that has only just appeared may not take a report yet; it gets a few more tries
// over about a second and a half before it counts as failed.
Outcome sendWithRetries(const Mice::Mouse& mouse, const Packet& report) {
    std::chrono::milliseconds wait(100);
    for (int attempt = 1;; ++attempt) {
        const Result result = Mice::send(mouse, report);
        if (result.done()) {
            say(L"Sent to " + identity(mouse) + L".");
            return result.outcome;
        }
        if (attempt == 5) {
            say(L"Not sent to " + identity(mouse) + L": " +
                (result.outcome == Outcome::CannotOpen ? L"it cannot be opened." : L"it did not take the report."));
            return result.outcome;
        }
        std::this_thread::sleep_for(wait);
        wait *= 2;
    }
}

void sayUsage() {
    say(L"Usage: vorlixd-apply [/dev/hidrawN]");
    say(L"Sends the settings of " + Utf8::printable(AdministratorSettings::filePath()) +
        L" while they are valid, else the kept settings, to the supported mouse at that hidraw node, or without one "
        L"to every supported mouse. Exit status: 0 sent or nothing to send, 1 a mouse did not take them, 6 a wrong "
        L"argument.");
}

// What is wrong with the arguments, if anything: it takes at most one, and no option; empty for
// --help, which asks for the usage alone.
std::optional<std::wstring> wrongArguments(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments) {
        if (argument == L"--help") {
            return std::wstring();
        }
        if (!argument.empty() && argument[0] == L'-') {
            return L"Unknown option " + PrintableText::escape(argument) + L".";
        }
    }
    if (arguments.size() > 1) {
        return std::wstring(L"Too many arguments: it takes at most one hidraw node.");
    }
    return std::nullopt;
}

// What is wrong with the node it was given, if anything: udev names an existing hidraw node.
std::optional<std::wstring> notANode(const std::wstring& node) {
    const std::wstring prefix = L"/dev/hidraw";
    struct stat status {};
    if (node.size() == prefix.size() || node.compare(0, prefix.size(), prefix) != 0 ||
        !std::all_of(node.begin() + prefix.size(), node.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return PrintableText::escape(node) + L" is not a hidraw node (/dev/hidrawN).";
    }
    if (stat(Utf8::encode(node).c_str(), &status) != 0) {
        const bool missing = errno == ENOENT;
        return PrintableText::escape(node) + (missing ? L" does not exist." : L" cannot be looked at.");
    }
    if (!S_ISCHR(status.st_mode)) {
        return PrintableText::escape(node) + L" is not a hidraw node: it is no character device.";
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    // Before anything is read, the locale included.
    Confinement::confineApply();
    try {
        const std::vector<std::wstring> arguments = CLI(argc, argv).arguments();
        if (const std::optional<std::wstring> wrong = wrongArguments(arguments)) {
            if (!wrong->empty()) {
                say(*wrong);
            }
            sayUsage();
            return CLI::EXIT_CODE_BAD_CLI_ARGUMENTS;
        }
        if (const std::optional<std::wstring> wrong = arguments.empty() ? std::nullopt : notANode(arguments[0])) {
            say(*wrong);
            return CLI::EXIT_CODE_BAD_CLI_ARGUMENTS;
        }
        // A mouse that appeared: only it, at the interface discovery would open. Its other
        // interfaces appear too, and are left alone.
        const std::vector<Mice::Mouse> mice = arguments.empty() ? Mice::list() : Mice::at(Utf8::encode(arguments[0]));
        if (!arguments.empty() && mice.empty()) {
            say(PrintableText::escape(arguments[0]) +
                L" is not the first interface of a supported mouse: nothing to send.");
            return CLI::EXIT_CODE_SUCCESS;
        }
        if (mice.empty()) {
            say(L"No supported mouse: nothing was sent.");
            return CLI::EXIT_CODE_SUCCESS;
        }
        const MouseRecords records = MouseRecords::system();
        const MouseRecord::Sender sender = cause();
        // A mouse that appeared has nothing of what an earlier one there was sent. Its record is
        // written once it got its settings, which should reach it first.
        const bool appeared = !arguments.empty() && sender == MouseRecord::Sender::PlugIn &&
                              std::string(std::getenv("ACTION")) == "add";
        const std::optional<uint64_t> appearedAt = appeared ? std::optional<uint64_t>(MouseRecord::now())
                                                            : std::nullopt;
        const std::optional<MouseSettings> settings = chooseSettings();
        if (!settings) {
            // A mouse that appeared has nothing yet, and a resume reset every mouse.
            if (appeared || sender == MouseRecord::Sender::Resume) {
                for (const Mice::Mouse& mouse : mice) {
                    sayNotRecorded(mouse, records.sent(mouse, std::nullopt, sender, Outcome::Done, appearedAt),
                                   records);
                }
            }
            return CLI::EXIT_CODE_SUCCESS;
        }
        const Packet report = settings->toVorlixConfig().serialize();
        // Every mouse gets its try: after a resume, one that fails must not cost the rest theirs.
        bool allSent = true;
        for (const Mice::Mouse& mouse : mice) {
            const Outcome outcome = sendWithRetries(mouse, report);
            sayNotRecorded(mouse, records.sent(mouse, settings, sender, outcome, appearedAt), records);
            allSent = outcome == Outcome::Done && allSent;
        }
        return allSent ? CLI::EXIT_CODE_SUCCESS : CLI::EXIT_CODE_UNEXPECTED_ERROR;
    } catch (const CLIException&) {
        // Only decoding the arguments throws here: the settings sent were all read as valid.
        say(L"An argument is not valid UTF-8.");
        sayUsage();
        return CLI::EXIT_CODE_BAD_CLI_ARGUMENTS;
    }
}
