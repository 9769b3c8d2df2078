// SPDX-License-Identifier: MIT
#pragma once

#include "FileFault.h"
#include "KeptSettingsFile.h"
#include "Mouse.h"
#include "MouseSettings.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The settings a mouse keeps as its own, over the family's kept settings: one file beside the
// kept settings, one line per mouse, "IDENTITY OPTIONS", the options as the kept file writes
// them. A mouse is found again by its identity:
// - a mouse with a serial number that no other present mouse of its model shares, by its model
//   and serial number, on any port: "c652/serial/A1B2";
// - any other mouse, by its model and the port it is on: "c652/port/1-2". Without a serial
//   number nothing tells a mouse from another of its model that takes its place, and a mouse's
//   identity must not change when a second one of its model is plugged in.
// Bytes of a serial number other than letters, digits and "-._:" are written as %XX.
class OwnSettingsFile {
public:
    // Own settings for more mice than this are refused rather than kept.
    static constexpr size_t MOST_MICE = 64;
    // A serial number of a USB string descriptor (126 characters) written as %XX, and the options.
    static constexpr size_t LONGEST_LINE = 20 + 126 * 3 * 3 + KeptSettingsFile::LONGEST_FILE;
    static constexpr size_t LONGEST_FILE = MOST_MICE * LONGEST_LINE;

    explicit OwnSettingsFile(std::string path, bool makeFolder = false)
        : filePath(std::move(path)), makeFolder(makeFolder) {}

    // The one beside the kept file, in the same folder.
    static OwnSettingsFile besideOf(const KeptSettingsFile& kept);

    const std::string& path() const { return filePath; }

    // The identity of `mouse` among the mice `present`, which include it.
    static std::string identityOf(const Mouse& mouse, const std::vector<Mouse>& present);

    // The own settings by identity. A file that cannot be read as ours gives none, and why; a line
    // that is not exactly as written gives none for its mouse alone, and is counted.
    struct Read {
        std::map<std::string, MouseSettings> settings;
        size_t refusedLines = 0;
        std::optional<FileFault> fault;

        // The own settings of `mouse` among the mice `present`, found by its identity there.
        std::optional<MouseSettings> of(const Mouse& mouse, const std::vector<Mouse>& present) const;
    };
    Read load() const;
    static Read fromText(const std::string& text);

    // Keeps `settings` as the own settings of the mouse with `identity`; none: it follows the
    // family's again. The file is replaced whole, with the lines that could be read.
    enum class Write { Done, TooManyMice, Failed };
    Write keep(const std::string& identity, const std::optional<MouseSettings>& settings) const;

    static std::string text(const std::map<std::string, MouseSettings>& settings);

private:
    std::string filePath;
    bool makeFolder;
};
