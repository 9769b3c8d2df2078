// SPDX-License-Identifier: MIT
#pragma once

#include "FileFault.h"
#include "Mouse.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "Utf8.h"

#include <optional>
#include <string>
#include <vector>

// What vorlixd-apply says, in English, of what the core reports. Text that others wrote (a file's
// words, a mouse's name, a path) is escaped, so a line can neither drive a terminal nor forge
// another line of the log.
namespace ApplySentences {

// The values a setting takes, as "1, 2, 3, 4 or 5".
inline std::wstring accepted(const Setting& setting) {
    std::wstring list;
    for (size_t i = 0; i < setting.values.size(); ++i) {
        const bool last = i + 1 == setting.values.size();
        list += (i == 0 ? L"" : last ? L" or " : L", ") + setting.text(setting.values[i]);
    }
    return list;
}

// Why the command line's grammar refuses these options.
inline std::wstring refused(const std::vector<std::wstring>& options) {
    const std::optional<OptionRefusal> refusal = MouseSettings::refusal(options);
    if (!refusal) {
        return L"the options are refused";
    }
    const Setting& setting = MouseSettings::settings()[refusal->setting];
    switch (refusal->why) {
    case OptionRefusal::Why::UnknownOption:
        return L"unknown option " + PrintableText::escape(refusal->word);
    case OptionRefusal::Why::MissingValue:
        return setting.option + L" needs a value: " + accepted(setting);
    case OptionRefusal::Why::RefusedValue:
        break;
    }
    return setting.option + L" takes " + accepted(setting) + L", not " + PrintableText::escape(refusal->word);
}

// Why a file is not used, as far as the reason needs no line of it.
inline std::wstring unread(const FileFault& fault) {
    switch (fault.why) {
    case FileFault::Why::NotRegular:
        return L"it is not a regular file";
    case FileFault::Why::CannotRead:
        return L"it cannot be read";
    case FileFault::Why::TooLarge:
        return L"it is larger than 64 KiB";
    default:
        return L"it is not the line the service writes";
    }
}

// Why the administrator's file is ignored, with the line it is about.
inline std::wstring administratorFileIgnored(const FileFault& fault) {
    const std::wstring line = L" (line " + std::to_wstring(fault.line) + L")";
    switch (fault.why) {
    case FileFault::Why::OptionsRefused:
        return refused(fault.options) + line;
    case FileFault::Why::NamedNotAssigned:
        return L"VORLIXD_OPTIONS is named without being assigned" + line;
    case FileFault::Why::QuoteOpen:
        return L"a quote is never closed" + line;
    case FileFault::Why::InsideOtherValue:
        return L"VORLIXD_OPTIONS is inside the value of another variable" + line;
    case FileFault::Why::NotUtf8:
        return Utf8::printable(fault.word) + L" is not UTF-8" + line;
    case FileFault::Why::NulByte:
        return L"it holds a NUL byte" + line;
    default:
        return unread(fault);
    }
}

// Why the kept file is ignored: anything but the service's own line is not used.
inline std::wstring keptFileIgnored(const FileFault& fault) {
    if (fault.why == FileFault::Why::OptionsRefused) {
        return unread(fault) + L" (" + refused(fault.options) + L")";
    }
    return unread(fault);
}

// Why the file of the mice's own settings is ignored as a whole.
inline std::wstring ownFileIgnored(const FileFault& fault) {
    return fault.why == FileFault::Why::TooLarge ? L"it is larger than the service writes it" : unread(fault);
}

// Which mouse: two of one model share a name, so the USB device it is and its node say which;
// a mouse without a name is called so rather than left a gap.
inline std::wstring identity(const Mouse& mouse) {
    const bool named = mouse.productName.find_first_not_of(L' ') != std::wstring::npos;
    const std::wstring usb = mouse.usbDevice != mouse.path ? L"USB " + Utf8::printable(mouse.usbDevice) + L", " : L"";
    return (named ? PrintableText::escape(mouse.productName) : L"an unnamed mouse") + L" (" + usb +
           Utf8::printable(mouse.path) + L")";
}

// What could not be applied of the confinement, each as "what (why)".
inline std::string notFullyConfined(const std::vector<std::string>& failures) {
    std::string line = "Not fully confined: could not apply ";
    for (size_t i = 0; i < failures.size(); ++i) {
        line += (i == 0 ? "" : ", ") + failures[i];
    }
    return line + ".";
}

} // namespace ApplySentences
