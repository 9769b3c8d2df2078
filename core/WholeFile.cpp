// SPDX-License-Identifier: MIT
#include "WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace {

// A replace cut short by a crash or a power cut leaves its new file behind, named as mkstemp
// names it; the next replace, holding the file's lock, removes those. Nothing else in the folder
// is touched: only regular files with exactly such a name, and a link is never followed.
void removeLeftovers(const std::string& folder, const std::string& name) {
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    const auto ours = [&name](const std::string& entry) {
        return entry.size() == name.size() + 7 && entry.compare(0, name.size() + 1, name + ".") == 0 &&
               std::all_of(entry.end() - 6, entry.end(), [](char c) {
                   return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
               });
    };
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(directory)) {
        if (ours(entry->d_name)) {
            leftovers.emplace_back(entry->d_name);
        }
    }
    for (const std::string& leftover : leftovers) {
        struct stat status {};
        if (fstatat(dirfd(directory), leftover.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)) {
            unlinkat(dirfd(directory), leftover.c_str(), 0);
        }
    }
    closedir(directory);
}

} // namespace

WholeFile::Read WholeFile::read(const std::string& path, size_t longest) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return {errno == ENOENT ? Read::Status::Missing : Read::Status::Unreadable, {}};
    }
    if (!S_ISREG(status.st_mode)) {
        return {Read::Status::NotRegular, {}};
    }
    const int file = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return {Read::Status::Unreadable, {}};
    }
    std::string text(longest + 1, '\0');
    ssize_t length = -1;
    // The file may have been swapped for something else since lstat looked at it.
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        length = ::read(file, text.data(), text.size());
    }
    close(file);
    if (length < 0) {
        return {Read::Status::Unreadable, {}};
    }
    if (static_cast<size_t>(length) > longest) {
        return {Read::Status::TooLong, {}};
    }
    text.resize(static_cast<size_t>(length));
    return {Read::Status::Read, text};
}

std::optional<FileFault> WholeFile::faultOf(Read::Status status) {
    switch (status) {
    case Read::Status::NotRegular:
        return FileFault{FileFault::Why::NotRegular, 0, {}, {}};
    case Read::Status::Unreadable:
        return FileFault{FileFault::Why::CannotRead, 0, {}, {}};
    case Read::Status::TooLong:
        return FileFault{FileFault::Why::NotWritten, 0, {}, {}};
    case Read::Status::Missing:
    case Read::Status::Read:
        break;
    }
    return std::nullopt;
}

WholeFile::Lock::Lock(const std::string& path, bool makeFolders) : filePath(path) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (makeFolders) {
        for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
            mkdir(folder.substr(0, slash).c_str(), 0700);
        }
        mkdir(folder.c_str(), 0700);
    }
    descriptor = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    // Another writer's turn ends when it lets go, or when its process ends.
    while (descriptor >= 0 && flock(descriptor, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(descriptor);
            descriptor = -1;
        }
    }
}

WholeFile::Lock::Lock(Lock&& other) noexcept : filePath(std::move(other.filePath)), descriptor(other.descriptor) {
    other.descriptor = -1;
}

WholeFile::Lock::~Lock() {
    if (descriptor >= 0) {
        close(descriptor);
    }
}

bool WholeFile::replace(const Lock& lock, const std::string& text) {
    const std::string& path = lock.path();
    if (path.empty()) {
        return false;
    }
    const std::string folder = path.substr(0, path.rfind('/'));
    std::string temporary = path + ".XXXXXX";
    const int file = mkstemp(temporary.data());
    if (file < 0) {
        return false;
    }
    const bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                         fchmod(file, 0644) == 0 && fsync(file) == 0;
    if (close(file) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    if (lock.held()) {
        removeLeftovers(folder, path.substr(path.rfind('/') + 1));
    }
    return true;
}

bool WholeFile::remove(const Lock& lock) {
    return !lock.path().empty() && (unlink(lock.path().c_str()) == 0 || errno == ENOENT);
}
