// SPDX-License-Identifier: MIT
#pragma once

#include "FileFault.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class VorlixConfig;

// One of the six settings as people and clients give it: a switch, the polling rate in hertz
// or the speed step, never the mouse's own codes.
struct Setting {
    enum class Kind { Flag, Rate, Step };

    const std::wstring& option; // the command line's word for it
    const char* name;           // its argument's name on the bus, and its key wherever it is saved
    Kind kind;
    std::vector<int> values; // those the mouse takes, in order; a flag's are 0 (false) and 1 (true)
    int byDefault;
    void (*store)(VorlixConfig& record, int value); // throws CLIException for a value the mouse would not take

    // As the command line writes it: "true", "false" or the number.
    std::wstring text(int value) const;
    // The value that `text` names exactly, if the mouse takes it.
    std::optional<int> valueOf(const std::wstring& text) const;
};

// Where the command line's grammar stops in a list of setting options, and why.
struct OptionRefusal {
    enum class Why { UnknownOption, MissingValue, RefusedValue };
    Why why;
    std::wstring word;  // the option, or the value refused
    size_t setting = 0; // in MouseSettings::settings(), the one the option names, unless it is unknown
};

// The six settings together, as they are kept, read from the administrator's file, shown in
// the window and sent. Everything that lists them goes through settings(), so each setting
// is described in one place.
class MouseSettings {
public:
    static constexpr size_t COUNT = 6;
    // In the order of configure's arguments.
    static const std::array<Setting, COUNT>& settings();
    // Where the setting with this option word, or this name, stands in settings(), if any.
    static std::optional<size_t> withOption(const std::wstring& option);
    static std::optional<size_t> withName(const std::string& name);

    MouseSettings(); // the defaults
    explicit MouseSettings(const std::array<int, COUNT>& values) : values(values) {}

    int operator[](size_t setting) const { return values[setting]; }
    int& operator[](size_t setting) { return values[setting]; }
    bool operator==(const MouseSettings& other) const { return values == other.values; }
    bool operator!=(const MouseSettings& other) const { return values != other.values; }

    // The record the report is made from. A value the mouse would not take throws CLIException
    // with the service's sentence for it.
    VorlixConfig toVorlixConfig() const;

    // All six as command-line options, in the order of configure's arguments, as one line.
    std::wstring toOptionLine() const;

    // Setting options in the command line's grammar: any of the six, in any order, the last one
    // winning, the rest as in `base`. Throws CLIException with the command line's own message for
    // anything else, --daemon included: these words never start a service.
    static MouseSettings fromOptions(const std::vector<std::wstring>& words,
                                     const MouseSettings& base = MouseSettings());

    // Where and why the command line's grammar refuses these options; none when it takes them.
    static std::optional<OptionRefusal> refusal(const std::vector<std::wstring>& words);

private:
    std::array<int, COUNT> values;
};

// Settings as read from a file: none when the file sets none; when it cannot be read, why, and
// nothing of it is used.
struct ReadSettings {
    std::optional<MouseSettings> settings;
    std::optional<FileFault> fault;
};
