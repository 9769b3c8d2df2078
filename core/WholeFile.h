// SPDX-License-Identifier: MIT
#pragma once

#include "FileFault.h"

#include <optional>
#include <string>

// Small files of ours, read and written whole. Only a regular file is read, so a pipe, a device
// or a link put there can neither block the reader nor lead it elsewhere; a write replaces the
// file, so a crash or a power cut leaves the old text or the new one, never a mix.
namespace WholeFile {

struct Read {
    enum class Status { Missing, Read, NotRegular, Unreadable, TooLong };
    Status status;
    std::string text; // when Read
};

// At most `longest` bytes.
Read read(const std::string& path, size_t longest);

// Why a file of ours that was not read cannot be used: one longer than we write is none we wrote.
// None for a file that was read, or that is missing.
std::optional<FileFault> faultOf(Read::Status status);

// A new file in the same folder, synced, renamed over the old one; a link in the way is
// replaced, not followed. Such a new file that a crash left behind is removed by the next
// replace. `makeFolders` creates the missing folders on the way (mode 0700), for a user's own
// folders that may not exist yet. False when it failed.
bool replace(const std::string& path, const std::string& text, bool makeFolders);

} // namespace WholeFile
