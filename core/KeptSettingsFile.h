// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"

#include <string>

// The file of the settings sent again whenever a mouse comes back: one line, the six settings
// as the command-line options that send them. The service writes it; the service and
// vorlixd-apply read it, both through here, so what the window shows is what the mice get.
class KeptSettingsFile {
public:
    // Never more than one line of options; a larger file is not ours.
    static constexpr size_t LONGEST_FILE = 256;

    // makeFolder: create the folder on save, for a user's own state folder that may not exist yet.
    explicit KeptSettingsFile(std::string path, bool makeFolder = false)
        : filePath(std::move(path)), makeFolder(makeFolder) {}

    // The system's: $STATE_DIRECTORY/kept-settings, where systemd names the unit's state folder.
    static KeptSettingsFile system();
    // A user's own service keeps under $XDG_STATE_HOME/vorlixd, by default ~/.local/state/vorlixd,
    // unless systemd names its state folder.
    static KeptSettingsFile user();
    // The system's for root, else the user's own.
    static KeptSettingsFile forThisUser();

    const std::string& path() const { return filePath; }
    bool makesFolder() const { return makeFolder; }

    // The kept settings, or none when nothing is kept. Anything but exactly the line save()
    // writes is refused with the reason: half a set, or a set read another way than it was
    // written, must never be sent. Only a regular file is opened, so a pipe, a device or a link
    // put there can neither block the reader nor lead it elsewhere.
    ReadSettings load() const;

    // The settings in the text of the file, when it is exactly the line save() writes.
    static ReadSettings fromLine(const std::string& text);

    // Replaces the file whole: a new file in the same folder, synced, renamed over the old one,
    // so a crash or power cut leaves the old settings or the new ones, never a mix; a link in
    // the way is replaced, not followed. Such a new file that a crash left behind is removed by
    // the next save. False when it failed.
    bool save(const MouseSettings& settings) const;

    // False while settings are still kept. A link there is removed, not followed.
    bool forget() const;

    // The one line save() writes.
    static std::string line(const MouseSettings& settings);

private:
    std::string filePath;
    bool makeFolder;
};
