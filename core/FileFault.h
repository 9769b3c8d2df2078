// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Why a file of settings, or a mouse's record, was not used, and what it is about. Nothing of
// such a file is used; each program says why in its own words.
struct FileFault {
    enum class Why {
        NotRegular,       // a link, a pipe or a device: never opened
        CannotRead,       //
        TooLarge,         // larger than such a file may be
        NotWritten,       // not exactly what vorlixd writes
        OptionsRefused,   // the command line's grammar refuses `options`
        NamedNotAssigned, // VORLIXD_OPTIONS is named on `line` without being assigned
        QuoteOpen,        // a quote opened on `line` is never closed
        InsideOtherValue, // VORLIXD_OPTIONS on `line` is inside the value of another variable
        NotUtf8,          // `word` is not UTF-8
        NulByte,          // a NUL byte on `line`, which no environment file may hold
    };

    Why why;
    size_t line = 0; // in the administrator's file, the line it is about
    std::vector<std::wstring> options;
    std::string word;
};
