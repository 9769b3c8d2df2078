// SPDX-License-Identifier: MIT
#include "OwnSettingsFile.h"

#include "Utf8.h"
#include "WholeFile.h"

#include <algorithm>
#include <cstdio>

namespace {

bool plain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == ':';
}

// The bytes of `text` as written in an identity.
std::string escaped(const std::string& text) {
    std::string written;
    for (const unsigned char c : text) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%%%02X", c);
        written += plain(c) ? std::string(1, static_cast<char>(c)) : std::string(byte);
    }
    return written;
}

std::string model(uint16_t productId) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%04x", productId);
    return hex;
}

// An identity as identityOf() writes it: the model, the kind, and a name of plain bytes or %XX.
bool isIdentity(const std::string& identity) {
    const size_t kind = identity.find('/');
    const size_t name = identity.find('/', kind + 1);
    if (kind != 4 || name == std::string::npos || name + 1 == identity.size() ||
        !std::all_of(identity.begin(), identity.begin() + 4,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); })) {
        return false;
    }
    const std::string what = identity.substr(5, name - 5);
    const std::string rest = identity.substr(name + 1);
    // Written as escaped() writes it: a byte as %XX only when it is not plain.
    std::string bytes;
    for (size_t i = 0; i < rest.size(); ++i) {
        unsigned int byte = static_cast<unsigned char>(rest[i]);
        if (rest[i] == '%' && (i + 2 >= rest.size() || std::sscanf(rest.c_str() + i + 1, "%2X", &byte) != 1)) {
            return false;
        }
        i += rest[i] == '%' ? 2 : 0;
        bytes += static_cast<char>(byte);
    }
    return (what == "serial" || what == "port") && escaped(bytes) == rest;
}

} // namespace

OwnSettingsFile OwnSettingsFile::besideOf(const KeptSettingsFile& kept) {
    const std::string& path = kept.path();
    return OwnSettingsFile(path.substr(0, path.rfind('/') + 1) + "own-settings", kept.makesFolder());
}

std::string OwnSettingsFile::identityOf(const Mouse& mouse, const std::vector<Mouse>& present) {
    const auto twin = [&mouse](const Mouse& other) {
        return other.usbDevice != mouse.usbDevice && other.productId == mouse.productId &&
               other.serialNumber == mouse.serialNumber;
    };
    const bool bySerial = !mouse.serialNumber.empty() && std::none_of(present.begin(), present.end(), twin);
    return model(mouse.productId) +
           (bySerial ? "/serial/" + escaped(Utf8::encode(mouse.serialNumber)) : "/port/" + escaped(mouse.usbDevice));
}

std::optional<MouseSettings> OwnSettingsFile::Read::of(const Mouse& mouse, const std::vector<Mouse>& present) const {
    const auto found = settings.find(identityOf(mouse, present));
    return found != settings.end() ? std::optional<MouseSettings>(found->second) : std::nullopt;
}

OwnSettingsFile::Read OwnSettingsFile::load() const {
    const WholeFile::Read read = WholeFile::read(filePath, LONGEST_FILE);
    if (read.status != WholeFile::Read::Status::Read) {
        return {{}, 0, WholeFile::faultOf(read.status)};
    }
    return fromText(read.text);
}

OwnSettingsFile::Read OwnSettingsFile::fromText(const std::string& text) {
    Read read;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string line = text.substr(at, end - at);
        at = end;
        const size_t space = line.find(' ');
        const std::string identity = line.substr(0, space);
        const ReadSettings settings = space == std::string::npos ? ReadSettings{}
                                                                 : KeptSettingsFile::fromLine(line.substr(space + 1));
        // A mouse's settings come once, or its line is not one that keep() writes.
        if (!isIdentity(identity) || !settings.settings || read.settings.count(identity) != 0 ||
            read.settings.size() == MOST_MICE) {
            ++read.refusedLines;
            continue;
        }
        read.settings.emplace(identity, *settings.settings);
    }
    return read;
}

OwnSettingsFile::Write OwnSettingsFile::keep(const std::string& identity,
                                             const std::optional<MouseSettings>& settings) const {
    const WholeFile::Lock turn(filePath, makeFolder);
    std::map<std::string, MouseSettings> kept = load().settings;
    if (settings) {
        kept.insert_or_assign(identity, *settings);
    } else {
        kept.erase(identity);
    }
    if (kept.size() > MOST_MICE) {
        return Write::TooManyMice;
    }
    return WholeFile::replace(turn, text(kept)) ? Write::Done : Write::Failed;
}

std::string OwnSettingsFile::text(const std::map<std::string, MouseSettings>& settings) {
    std::string text;
    for (const auto& [identity, own] : settings) {
        text += identity + " " + KeptSettingsFile::line(own);
    }
    return text;
}
