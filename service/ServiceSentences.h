// SPDX-License-Identifier: MIT
#pragma once

#include "CLIException.h"
#include "FileFault.h"
#include "HID.h"
#include "MouseRecord.h"
#include "MouseSettings.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "Utf8.h"

#include <optional>
#include <string>

// What the service says, in its own language, of what the core and the device layer report: the
// messages of its error replies and its log lines. Sends fail with the device layer's own words,
// which the first mouse's interface has always given.
namespace ServiceSentences {

// The message of our error for `outcome`; empty for Done and for what is not a failure of ours.
inline std::wstring of(Outcome outcome) {
    switch (outcome) {
    case Outcome::NoMouse:
        return HID_NO_MOUSE;
    case Outcome::CannotOpen:
        return HID_OPEN_FAILED;
    case Outcome::SendFailed:
        return HID_SEND_FAILED;
    case Outcome::NotKept:
        return L"鼠标已设置，但无法保存设置。";
    case Outcome::NotForgotten:
        return L"无法删除保存的设置。";
    case Outcome::NoSuchMouse:
        return L"这个 USB 设备上没有适配的鼠标。";
    case Outcome::OwnSettings:
        return L"这个鼠标保存了自己的设置，未更改。";
    case Outcome::TooManyMice:
        return L"已为太多鼠标保存了各自的设置。";
    default:
        return std::wstring();
    }
}

// Why the kept file at `path` is ignored. Options the grammar refuses are said as the command line
// says them.
inline std::wstring keptFileIgnored(const FileFault& fault, const std::string& path) {
    if (fault.why == FileFault::Why::NotRegular) {
        return L"保存的设置不是普通文件，已拒绝：" + Utf8::printable(path);
    }
    if (fault.why == FileFault::Why::OptionsRefused) {
        try {
            MouseSettings::fromOptions(fault.options);
        } catch (const CLIException& e) {
            return e.getMessage();
        }
    }
    return L"保存的设置无法读取或不完整：" + Utf8::printable(path);
}

// Why the file of the mice's own settings at `path` is ignored, as a whole or `lines` of it.
inline std::wstring ownFileIgnored(const std::optional<FileFault>& fault, size_t lines, const std::string& path) {
    if (fault) {
        return (fault->why == FileFault::Why::NotRegular ? L"鼠标自己的设置不是普通文件，已拒绝："
                                                         : L"鼠标自己的设置无法读取：") +
               Utf8::printable(path);
    }
    return L"鼠标自己的设置中有 " + std::to_wstring(lines) + L" 行不完整：" + Utf8::printable(path);
}

// Why a mouse's record is ignored.
inline std::wstring recordIgnored(const FileFault& fault) {
    switch (fault.why) {
    case FileFault::Why::NotRegular:
        return L"不是普通文件";
    case FileFault::Why::CannotRead:
        return L"无法读取";
    default:
        return L"不是 vorlixd 写的记录";
    }
}

// What became of a record that could not be written in `folder`.
inline std::wstring notRecorded(MouseRecords::Write write, const std::string& folder) {
    return (write == MouseRecords::Write::OlderRemoved ? L"无法记录发送的设置，已删除旧记录："
                                                       : L"无法记录发送的设置：") +
           Utf8::printable(folder);
}

} // namespace ServiceSentences
