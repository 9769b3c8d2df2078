// SPDX-License-Identifier: MIT
#pragma once

#include "FileFault.h"
#include "Mouse.h"
#include "MouseSettings.h"
#include "ServiceNames.h"
#include "WholeFile.h"

#include <cstdint>
#include <optional>
#include <string>

// What vorlixd last sent one mouse since it appeared, and when it appeared: the mouse cannot be
// read back, so this is all anyone can know of what it has. Times are microseconds since the
// Unix epoch, 0 for never.
struct MouseRecord {
    enum class Sender { None, PlugIn, Resume, ByHand, Service };
    // Whose settings were sent: the mouse's own, the family's kept ones, the administrator's, or
    // those a caller of configure gave.
    enum class Source { None, Own, Family, Administrator, Configure };

    std::string usbAddress;  // the appearance of the mouse it is about (Mouse::usbAddress)
    uint64_t appearedAt = 0; // 0: vorlixd did not see it appear
    std::optional<MouseSettings> sent;
    uint64_t sentAt = 0;
    Sender sentBy = Sender::None;
    Source sentFrom = Source::None;
    Outcome sendError = Outcome::Done; // CannotOpen or SendFailed when the mouse did not take the whole report

    // "plug-in", "resume", "by-hand", "service", or empty for None: as the bus and the file name them.
    static std::string senderName(Sender sender);
    // The sender with that name; None for any other.
    static Sender senderNamed(const std::string& name);
    // "own", "family", "administrator", "configure", or empty for None.
    static std::string sourceName(Source source);
    static Source sourceNamed(const std::string& name);
    static uint64_t now();
};

// What one mouse gets, and whose settings they are: the administrator's while they are valid,
// else its own, else the family's kept ones, else nothing.
struct SettingsChoice {
    std::optional<MouseSettings> settings;
    MouseRecord::Source source = MouseRecord::Source::None;

    static SettingsChoice of(const std::optional<MouseSettings>& administrator, const std::optional<MouseSettings>& own,
                             const std::optional<MouseSettings>& family) {
        return administrator ? SettingsChoice{administrator, MouseRecord::Source::Administrator}
               : own         ? SettingsChoice{own, MouseRecord::Source::Own}
               : family      ? SettingsChoice{family, MouseRecord::Source::Family}
                             : SettingsChoice{};
    }
};

// A mouse's record as read: an empty one when there is none, or when the file there was refused,
// and then why.
struct ReadRecord {
    MouseRecord record;
    std::optional<FileFault> fault;
};

// The records of every mouse, one file each in a folder of the runtime directory, so a reboot
// resets mice and records together. Whoever sends writes it: vorlixd-apply and the service,
// each replacing the file whole. A record of an earlier appearance of the mouse, or one that is
// not exactly what is written here, reads as nothing known.
class MouseRecords {
public:
    static constexpr size_t LONGEST_FILE = 1024;

    explicit MouseRecords(std::string folder, bool makeFolder = false)
        : folderPath(std::move(folder)), makeFolder(makeFolder) {}

    // The system's: $RUNTIME_DIRECTORY where systemd names the unit's runtime folder, else /run/vorlixd.
    static MouseRecords system();
    // A user's own service keeps hers under $XDG_RUNTIME_DIR/vorlixd, unless systemd names the folder.
    static MouseRecords user();
    // The system's for root, else the user's own.
    static MouseRecords forThisUser();

    const std::string& folder() const { return folderPath; }

    // The record of this appearance of the mouse.
    ReadRecord of(const Mouse& mouse) const;

    // A sender's turn at the mouse, held from before the send until its record is written: of two
    // senders at once, the one that sent last is the one the record names. The next sender waits.
    WholeFile::Lock turnAt(const Mouse& mouse) const;

    // What became of a record: written; or not, and then the older one removed, so that it never
    // stands for a send it does not tell of; or neither.
    enum class Write { Done, OlderRemoved, Failed };

    // What `sender` sent the mouse in its `turn`, from `source`, and what came of it; none: it got
    // nothing, as a mouse that appeared while no settings are kept, or after a resume with none
    // to send. `appearedAt`: when the mouse appeared, when it has just done so; else the
    // appearance stays as recorded.
    Write sent(const WholeFile::Lock& turn, const Mouse& mouse, const std::optional<MouseSettings>& settings,
               MouseRecord::Sender sender, MouseRecord::Source source, Outcome outcome,
               std::optional<uint64_t> appearedAt = std::nullopt) const;

    // The text of a record, and the record in a text that is exactly such.
    static std::string text(const MouseRecord& record);
    static std::optional<MouseRecord> fromText(const std::string& text);

private:
    std::string pathOf(const Mouse& mouse) const;

    std::string folderPath;
    bool makeFolder;
};
