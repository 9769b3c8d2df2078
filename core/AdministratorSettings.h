// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"

#include <string>

// The administrator's settings file, /etc/default/vorlixd: while its VORLIXD_OPTIONS sets any
// option, those settings are sent whenever a mouse comes back, in place of the kept ones.
// Earlier versions had systemd read it as an environment file, and people's files are written
// for that, so it is read as systemd reads one. Its options are then read with the command
// line's grammar. Whatever cannot be read is ignored as a whole, with the reason, so a typo
// never leaves the mice with a guess nor without the kept settings.
class AdministratorSettings {
public:
    // A file of a few lines is far smaller; a larger one is refused whole, never read in part.
    static constexpr size_t LONGEST_FILE = 64 * 1024;

    // VORLIXD_DEFAULTS_FILE names another file, for tests.
    static std::string filePath();

    // The settings that the file sets: none when it sets none (a missing file sets nothing), and
    // the reason when it cannot be read.
    static ReadSettings read(const std::string& path);

    // The same, from the file's bytes. The last assignment of VORLIXD_OPTIONS decides, as in an
    // environment file; a line that names it but is no assignment systemd would read, a quote
    // never closed, a word that is not UTF-8 or an option refused makes the file ignored.
    static ReadSettings fromText(const std::string& text);
};
