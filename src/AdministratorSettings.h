// SPDX-License-Identifier: MIT
#pragma once

#include "MouseSettings.h"

#include <string>

// The administrator's settings file, /etc/default/vorlixd: while its VORLIXD_OPTIONS line sets
// any option, those settings are sent whenever a mouse comes back, in place of the kept ones.
// Its options are read with the command line's grammar; an invalid line is ignored as a whole,
// so a typo never leaves the mice with a guess nor without the kept settings.
class AdministratorSettings {
public:
    // VORLIXD_DEFAULTS_FILE names another file, for tests.
    static std::string filePath();

    // The settings that the file sets: none when it sets none (a missing or unreadable file
    // sets nothing), Unreadable with the reason for a line that is invalid. The last
    // VORLIXD_OPTIONS= line decides, as for an environment file.
    static ReadSettings read();

    // The same, from the file's text.
    static ReadSettings fromText(const std::string& text);
};
