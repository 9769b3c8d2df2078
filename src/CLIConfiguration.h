// SPDX-License-Identifier: MIT
#pragma once

#include "VorlixConfig.h"

// What the command line asked for: the run mode and the settings for one-shot mode.
class CLIConfiguration {
public:
    virtual ~CLIConfiguration() = default;

    bool daemon = false;
    VorlixConfig vorlixConfig;
};
