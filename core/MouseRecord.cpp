// SPDX-License-Identifier: MIT
#include "MouseRecord.h"

#include "KeptSettingsFile.h"
#include "WholeFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace {

const std::array<std::pair<MouseRecord::Sender, const char*>, 4> SENDERS = {{
    {MouseRecord::Sender::PlugIn, "plug-in"},
    {MouseRecord::Sender::Resume, "resume"},
    {MouseRecord::Sender::ByHand, "by-hand"},
    {MouseRecord::Sender::Service, "service"},
}};

const std::array<std::pair<MouseRecord::Source, const char*>, 4> SOURCES = {{
    {MouseRecord::Source::Own, "own"},
    {MouseRecord::Source::Family, "family"},
    {MouseRecord::Source::Administrator, "administrator"},
    {MouseRecord::Source::Configure, "configure"},
}};

// The fields in the order they are written, one line each as "name=value".
const std::array<const char*, 7> FIELDS = {"usbAddress", "appearedAt", "sentAt",      "sentBy",
                                           "sentFrom",   "sendError",  "sentSettings"};

// The name of `value` in `names`, or empty; and the value of a name, or the first value for none.
template <typename Value, size_t N>
std::string nameOf(const std::array<std::pair<Value, const char*>, N>& names, Value value) {
    for (const auto& [named, name] : names) {
        if (named == value) {
            return name;
        }
    }
    return std::string();
}

template <typename Value, size_t N>
Value valueNamed(const std::array<std::pair<Value, const char*>, N>& names, const std::string& name) {
    for (const auto& [value, named] : names) {
        if (name == named) {
            return value;
        }
    }
    return Value::None;
}

bool digits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A time as written: digits that fit. Whether they are written as they would be is checked by
// comparing the whole text again.
std::optional<uint64_t> time(const std::string& text) {
    if (text.empty() || text.size() > 19 || !digits(text)) {
        return std::nullopt;
    }
    return std::strtoull(text.c_str(), nullptr, 10);
}

} // namespace

std::string MouseRecord::senderName(Sender sender) {
    return nameOf(SENDERS, sender);
}

MouseRecord::Sender MouseRecord::senderNamed(const std::string& name) {
    return valueNamed(SENDERS, name);
}

std::string MouseRecord::sourceName(Source source) {
    return nameOf(SOURCES, source);
}

MouseRecord::Source MouseRecord::sourceNamed(const std::string& name) {
    return valueNamed(SOURCES, name);
}

uint64_t MouseRecord::now() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

MouseRecords MouseRecords::system() {
    const char* folder = std::getenv("RUNTIME_DIRECTORY");
    return MouseRecords(folder != nullptr && folder[0] == '/' ? folder : VORLIXD_RUNTIME_DIRECTORY);
}

MouseRecords MouseRecords::user() {
    if (std::getenv("RUNTIME_DIRECTORY") != nullptr) {
        return system();
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    // Without one there is no folder that a reboot empties and only she can write.
    return MouseRecords(runtime != nullptr && runtime[0] == '/' ? std::string(runtime) + "/vorlixd" : std::string(),
                        true);
}

MouseRecords MouseRecords::forThisUser() {
    return getuid() == 0 ? system() : user();
}

ReadRecord MouseRecords::of(const Mouse& mouse) const {
    const WholeFile::Read read = folderPath.empty() ? WholeFile::Read{WholeFile::Read::Status::Missing, {}}
                                                    : WholeFile::read(pathOf(mouse), LONGEST_FILE);
    ReadRecord found;
    found.record.usbAddress = mouse.usbAddress;
    found.fault = WholeFile::faultOf(read.status);
    if (read.status != WholeFile::Read::Status::Read) {
        return found;
    }
    const std::optional<MouseRecord> record = fromText(read.text);
    if (!record) {
        found.fault = FileFault{FileFault::Why::NotWritten, 0, {}, {}};
    } else if (record->usbAddress == mouse.usbAddress) { // else about an earlier appearance
        found.record = *record;
    }
    return found;
}

WholeFile::Lock MouseRecords::turnAt(const Mouse& mouse) const {
    return folderPath.empty() ? WholeFile::Lock() : WholeFile::Lock(pathOf(mouse), makeFolder);
}

MouseRecords::Write MouseRecords::sent(const WholeFile::Lock& turn, const Mouse& mouse,
                                       const std::optional<MouseSettings>& settings, MouseRecord::Sender sender,
                                       MouseRecord::Source source, Outcome outcome,
                                       std::optional<uint64_t> appearedAt) const {
    if (folderPath.empty()) {
        return Write::Failed;
    }
    MouseRecord record;
    record.usbAddress = mouse.usbAddress;
    record.appearedAt = appearedAt ? *appearedAt : of(mouse).record.appearedAt;
    if (settings) {
        record.sent = settings;
        record.sentAt = MouseRecord::now();
        record.sentBy = sender;
        record.sentFrom = source;
        record.sendError = outcome;
    }
    if (WholeFile::replace(turn, text(record))) {
        return Write::Done;
    }
    return WholeFile::remove(turn) ? Write::OlderRemoved : Write::Failed;
}

std::string MouseRecords::text(const MouseRecord& record) {
    const std::array<std::string, FIELDS.size()> values = {
        record.usbAddress,
        std::to_string(record.appearedAt),
        std::to_string(record.sentAt),
        MouseRecord::senderName(record.sentBy),
        MouseRecord::sourceName(record.sentFrom),
        ServiceNames::errorName(record.sendError),
        record.sent ? KeptSettingsFile::line(*record.sent) : "\n",
    };
    std::string text;
    for (size_t i = 0; i < FIELDS.size(); ++i) {
        text += std::string(FIELDS[i]) + "=" + values[i] + (i + 1 < FIELDS.size() ? "\n" : "");
    }
    return text;
}

std::optional<MouseRecord> MouseRecords::fromText(const std::string& text) {
    std::array<std::string, FIELDS.size()> values;
    size_t at = 0;
    for (size_t i = 0; i < FIELDS.size(); ++i) {
        const std::string name = std::string(FIELDS[i]) + "=";
        const size_t end = i + 1 < FIELDS.size() ? text.find('\n', at) : text.size();
        if (end == std::string::npos || text.compare(at, name.size(), name) != 0) {
            return std::nullopt;
        }
        values[i] = text.substr(at + name.size(), end - at - name.size());
        at = end + 1;
    }
    MouseRecord record;
    record.usbAddress = values[0];
    const std::optional<uint64_t> appearedAt = time(values[1]);
    const std::optional<uint64_t> sentAt = time(values[2]);
    record.sendError = values[5].empty() ? Outcome::Done : ServiceNames::outcomeOf(values[5]);
    if (!digits(record.usbAddress) || !appearedAt || !sentAt ||
        (record.sendError != Outcome::Done && record.sendError != Outcome::CannotOpen &&
         record.sendError != Outcome::SendFailed)) {
        return std::nullopt;
    }
    record.appearedAt = *appearedAt;
    record.sentAt = *sentAt;
    record.sentBy = MouseRecord::senderNamed(values[3]);
    record.sentFrom = MouseRecord::sourceNamed(values[4]);
    if (values[6] != "\n") {
        const ReadSettings read = KeptSettingsFile::fromLine(values[6]);
        if (!read.settings) {
            return std::nullopt;
        }
        record.sent = read.settings;
    }
    // Something sent has a sender, a source and a time, and nothing sent has none; and the text
    // is exactly the one written, so nothing is read another way than it was meant.
    const bool sent = record.sent.has_value();
    if (sent != (record.sentBy != MouseRecord::Sender::None) || sent != (record.sentAt != 0) ||
        sent != (record.sentFrom != MouseRecord::Source::None) || (!sent && record.sendError != Outcome::Done) ||
        text != MouseRecords::text(record)) {
        return std::nullopt;
    }
    return record;
}

std::string MouseRecords::pathOf(const Mouse& mouse) const {
    // A mouse without a USB device is named by its node, whose slashes cannot be in a file name.
    std::string name = mouse.usbDevice;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) {
            return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == ':');
        },
        '_');
    return folderPath + "/mouse-" + name;
}
