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

// The right to write the file at `path`, held by one writer at a time: a writer on another
// process waits until it is let go. It is a lock on a file beside it, `path` with ".lock" added,
// which stays. One that could not be taken (its folder is missing, full or not ours) is not held.
class Lock {
public:
    // `makeFolders` creates the missing folders on the way (mode 0700), for a user's own folders
    // that may not exist yet.
    Lock(const std::string& path, bool makeFolders);
    Lock() = default; // of no file: nothing can be written with it
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    Lock(Lock&& other) noexcept;
    Lock& operator=(Lock&&) = delete;
    ~Lock();

    const std::string& path() const { return filePath; }
    bool held() const { return descriptor >= 0; }

private:
    std::string filePath;
    int descriptor = -1;
};

// A new file in the same folder, synced, renamed over the old one; a link in the way is replaced,
// not followed. While the lock is held no other writer of the file is at work, so a new file of
// its name that is still there was left by a crash, and is removed. False when it failed.
bool replace(const Lock& lock, const std::string& text);

// Removes the file, so that an older text never stands for a newer one that could not be
// written; a link there is removed, not followed. False when the file is still there.
bool remove(const Lock& lock);

} // namespace WholeFile
