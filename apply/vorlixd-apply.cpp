// SPDX-License-Identifier: MIT
// Sends the settings again whenever a mouse comes back: udev runs it with the hidraw node of
// each mouse that appears (at boot too, when udev replays the devices), and
// vorlixd-apply.service runs it without one after every resume, when the kernel has reset
// every mouse without a word. It sends the administrator's settings while they are valid,
// else the kept settings, else nothing; no mouse is no failure. It reads no name string from
// the mouse, and the service alone writes the kept settings; what it sent each mouse, and each
// mouse's appearance, it records for the service to show.
#include "AdministratorSettings.h"
#include "ApplyEnvironment.h"
#include "ApplyLog.h"
#include "ApplySentences.h"
#include "CLI.h"
#include "CLIException.h"
#include "Confinement.h"
#include "HID.h"
#include "Mice.h"
#include "MouseRecord.h"
#include "OwnSettingsFile.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "Utf8.h"
#include "VorlixConfig.h"
#include "WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sent, or nothing to send, but a mouse's record could not be written.
constexpr int EXIT_CODE_NOT_RECORDED = 2;

// The administrator's settings while they are valid; says so, or why they are ignored.
std::optional<MouseSettings> administratorSettings(const ApplyEnvironment& environment, ApplyLog& log) {
    const ReadSettings administrator = AdministratorSettings::read(environment.administratorFile);
    const std::wstring file = Utf8::printable(environment.administratorFile);
    if (administrator.settings) {
        log.say(L"Sending the settings of " + file + L".");
    } else if (administrator.fault) {
        log.say(L"Ignored " + file + L": " + ApplySentences::administratorFileIgnored(*administrator.fault) + L".");
    }
    return administrator.settings;
}

// The family's kept settings, for the mice without their own; says which, or why none.
std::optional<MouseSettings> familySettings(const ApplyEnvironment& environment, ApplyLog& log) {
    const ReadSettings kept = environment.kept.load();
    if (kept.fault) {
        log.say(L"Ignored " + Utf8::printable(environment.kept.path()) + L": " +
                ApplySentences::keptFileIgnored(*kept.fault) + L". Nothing was sent.");
    } else {
        log.say(kept.settings ? L"Sending the kept settings." : L"No settings are kept: nothing was sent.");
    }
    return kept.settings;
}

// Each mouse's own settings, found by the identity it has among the mice present: for a mouse
// that appeared alone, the others decide whether its serial number is its own. A damaged file
// leaves every mouse to the family's settings, a damaged line only its own mouse.
std::vector<std::optional<MouseSettings>>
ownSettings(const ApplyEnvironment& environment, const std::vector<Mouse>& mice, bool appearedAlone, ApplyLog& log) {
    const OwnSettingsFile file = OwnSettingsFile::besideOf(environment.kept);
    const OwnSettingsFile::Read read = file.load();
    if (read.fault) {
        log.say(L"Ignored " + Utf8::printable(file.path()) + L": " + ApplySentences::ownFileIgnored(*read.fault) +
                L". Every mouse gets the kept settings.");
    } else if (read.refusedLines > 0) {
        log.say(L"Ignored " + std::to_wstring(read.refusedLines) + L" line(s) of " + Utf8::printable(file.path()) +
                L" that are not as the service writes them: those mice get the kept settings.");
    }
    std::vector<std::optional<MouseSettings>> own(mice.size());
    const bool alone = appearedAlone && mice.size() == 1 && !read.settings.empty();
    const std::vector<Mouse> present = alone ? Mice::ofModel(mice.front().productId) : mice;
    for (size_t i = 0; i < mice.size() && !read.settings.empty(); ++i) {
        own[i] = read.of(mice[i], present);
    }
    return own;
}

// What each mouse gets. A file is read, and said of, only while it may still decide something.
std::vector<SettingsChoice> choose(const ApplyEnvironment& environment, const std::vector<Mouse>& mice,
                                   bool appearedAlone, ApplyLog& log) {
    const std::optional<MouseSettings> administrator = administratorSettings(environment, log);
    const std::vector<std::optional<MouseSettings>> own = administrator
                                                              ? std::vector<std::optional<MouseSettings>>(mice.size())
                                                              : ownSettings(environment, mice, appearedAlone, log);
    const bool familyNeeded = !administrator &&
                              std::any_of(own.begin(), own.end(), [](const auto& settings) { return !settings; });
    const std::optional<MouseSettings> family = familyNeeded ? familySettings(environment, log) : std::nullopt;
    std::vector<SettingsChoice> choices;
    for (const std::optional<MouseSettings>& settings : own) {
        choices.push_back(SettingsChoice::of(administrator, settings, family));
    }
    return choices;
}

// A mouse that has only just appeared may not take a report yet; it gets a few more tries
// over about a second and a half before it counts as failed.
Outcome sendWithRetries(const Mouse& mouse, const Packet& report, ApplyLog& log) {
    std::chrono::milliseconds wait(100);
    for (int attempt = 1;; ++attempt) {
        const Outcome outcome = Mice::send(mouse, report);
        if (outcome == Outcome::Done) {
            log.say(L"Sent to " + ApplySentences::identity(mouse) + L".");
            return outcome;
        }
        if (attempt == 5) {
            log.say(L"Not sent to " + ApplySentences::identity(mouse) + L": " +
                    (outcome == Outcome::CannotOpen ? L"it cannot be opened." : L"it did not take the report."));
            return outcome;
        }
        std::this_thread::sleep_for(wait);
        wait *= 2;
    }
}

// Writes what the mouse was sent in its turn, or that it got nothing; says so when it could not.
// False when the record is missing.
bool record(const ApplyEnvironment& environment, const WholeFile::Lock& turn, const Mouse& mouse,
            const SettingsChoice& choice, Outcome outcome, std::optional<uint64_t> appearedAt, ApplyLog& log) {
    const MouseRecords::Write write = environment.records.sent(turn, mouse, choice.settings, environment.sender(),
                                                               choice.source, outcome, appearedAt);
    if (write != MouseRecords::Write::Done) {
        log.say(L"Could not record in " + Utf8::printable(environment.records.folder()) + L" what " +
                ApplySentences::identity(mouse) + L" was sent" +
                (write == MouseRecords::Write::OlderRemoved ? L", and removed its earlier record."
                                                            : L", nor remove its earlier record."));
    }
    return write == MouseRecords::Write::Done;
}

// Every mouse gets its try: after a resume, one that fails must not cost the rest theirs. A
// mouse's turn lasts from before its send until its record is written, so that of two senders at
// once, the record names the one that sent last; the settings should reach the mouse first. A
// mouse that appeared, or every mouse after a resume, is recorded as sent nothing when it gets
// nothing, since it has nothing of what it had.
int sendToEach(const ApplyEnvironment& environment, const std::vector<Mouse>& mice,
               const std::vector<SettingsChoice>& choices, std::optional<uint64_t> appearedAt, ApplyLog& log) {
    const bool reset = appearedAt || environment.sender() == MouseRecord::Sender::Resume;
    bool allSent = true;
    bool allRecorded = true;
    for (size_t i = 0; i < mice.size(); ++i) {
        if (!choices[i].settings && !reset) {
            continue;
        }
        const WholeFile::Lock turn = environment.records.turnAt(mice[i]);
        Outcome outcome = Outcome::Done;
        if (choices[i].settings) {
            if (choices[i].source == MouseRecord::Source::Own) {
                log.say(L"Sending its own settings to " + ApplySentences::identity(mice[i]) + L".");
            }
            outcome = sendWithRetries(mice[i], choices[i].settings->toVorlixConfig().serialize(), log);
        }
        allRecorded = record(environment, turn, mice[i], choices[i], outcome, appearedAt, log) && allRecorded;
        allSent = outcome == Outcome::Done && allSent;
    }
    return !allSent ? CLI::EXIT_CODE_UNEXPECTED_ERROR : allRecorded ? CLI::EXIT_CODE_SUCCESS : EXIT_CODE_NOT_RECORDED;
}

void sayUsage(const ApplyEnvironment& environment, ApplyLog& log) {
    log.say(L"Usage: vorlixd-apply [/dev/hidrawN]");
    log.say(L"Sends the settings of " + Utf8::printable(environment.administratorFile) +
            L" while they are valid, else the kept settings, to the supported mouse at that hidraw node, or without "
            L"one to every supported mouse. Exit status: 0 sent or nothing to send, 1 a mouse did not take them, 2 a "
            L"mouse's record could not be written, 6 a wrong argument.");
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

// What is wrong with the node it was given, if anything: udev names an existing hidraw node. The
// node is looked at without being opened, since opening a device may start what it does.
std::optional<std::wstring> notANode(const std::wstring& node) {
    const std::wstring prefix = L"/dev/hidraw";
    if (node.size() == prefix.size() || node.compare(0, prefix.size(), prefix) != 0 ||
        !std::all_of(node.begin() + prefix.size(), node.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return PrintableText::escape(node) + L" is not a hidraw node (/dev/hidrawN).";
    }
    const int path = open(Utf8::encode(node).c_str(), O_PATH | O_CLOEXEC);
    struct stat status {};
    const bool looked = path >= 0 && fstat(path, &status) == 0;
    const int error = errno;
    if (path >= 0) {
        close(path);
    }
    if (!looked) {
        return PrintableText::escape(node) + (error == ENOENT ? L" does not exist." : L" cannot be looked at.");
    }
    if (!S_ISCHR(status.st_mode)) {
        return PrintableText::escape(node) + L" is not a hidraw node: it is no character device.";
    }
    // The kernel's hidraw device of that name has the node's numbers.
    const WholeFile::Read numbers = WholeFile::read("/sys/class/hidraw/" + Utf8::encode(node.substr(5)) + "/dev", 32);
    const std::string expected = std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
    if (numbers.status != WholeFile::Read::Status::Read ||
        numbers.text.substr(0, numbers.text.find('\n')) != expected) {
        return PrintableText::escape(node) + L" is not a hidraw node: no hidraw device has its numbers.";
    }
    return std::nullopt;
}

// What the command line asks for: the mouse at a hidraw node, or every mouse; or, when it is
// wrong, the exit status, once it said why.
struct Request {
    std::optional<std::wstring> node;
    std::optional<int> refused;
};

Request readArguments(int argc, char* argv[], const ApplyEnvironment& environment, ApplyLog& log) {
    std::vector<std::wstring> arguments;
    try {
        arguments = CLI(argc, argv).arguments();
    } catch (const CLIException&) {
        log.say(L"An argument is not valid UTF-8.");
        sayUsage(environment, log);
        return {std::nullopt, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS};
    }
    if (const std::optional<std::wstring> wrong = wrongArguments(arguments)) {
        if (!wrong->empty()) {
            log.say(*wrong);
        }
        sayUsage(environment, log);
        return {std::nullopt, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS};
    }
    if (arguments.empty()) {
        return {};
    }
    if (const std::optional<std::wstring> wrong = notANode(arguments[0])) {
        log.say(*wrong);
        return {std::nullopt, CLI::EXIT_CODE_BAD_CLI_ARGUMENTS};
    }
    return {arguments[0], std::nullopt};
}

} // namespace

int main(int argc, char* argv[]) {
    const ApplyEnvironment environment = ApplyEnvironment::read();
    // Before anything is read, the locale included.
    const Confinement::Failures unconfined = Confinement::confineApply(environment);
    ApplyLog log(environment.runByUdev());
    if (!unconfined.empty()) {
        log.warn(ApplySentences::notFullyConfined(unconfined));
    }
    const Request request = readArguments(argc, argv, environment, log);
    if (request.refused) {
        return *request.refused;
    }
    const std::optional<std::wstring>& node = request.node;
    // A mouse that appeared: only it, at the interface discovery would open. Its other
    // interfaces appear too, and are left alone.
    const std::vector<Mouse> mice = node ? Mice::at(Utf8::encode(*node)) : Mice::list();
    if (mice.empty()) {
        log.say(node ? PrintableText::escape(*node) +
                           L" is not the first interface of a supported mouse: nothing to send."
                     : L"No supported mouse: nothing was sent.");
        return CLI::EXIT_CODE_SUCCESS;
    }
    // A mouse that appeared has nothing of what an earlier one there was sent.
    const bool appeared = node && environment.mouseAppeared();
    const std::optional<uint64_t> appearedAt = appeared ? std::optional<uint64_t>(MouseRecord::now()) : std::nullopt;
    return sendToEach(environment, mice, choose(environment, mice, node.has_value(), log), appearedAt, log);
}
