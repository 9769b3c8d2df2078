// SPDX-License-Identifier: MIT
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <string>

// Tells when a file in a folder is made, replaced or removed, also after the folder itself was
// removed and made anew, so that a service learns of others' writes without looking over and over.
// While the folder is missing, the folder it would be made in is followed instead; only then,
// since that one may be busy with files of others.
class FolderEvents {
public:
    explicit FolderEvents(std::string folder)
        : folder(std::move(folder)), parent(this->folder.substr(0, this->folder.rfind('/'))),
          events(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        follow();
    }

    ~FolderEvents() {
        if (events >= 0) {
            close(events);
        }
    }

    FolderEvents(const FolderEvents&) = delete;
    FolderEvents& operator=(const FolderEvents&) = delete;

    // What to wait on for the next event; -1 when the kernel cannot tell.
    int descriptor() const { return events; }

    // Takes every event that has arrived, so that the descriptor is quiet again, and follows the
    // folder again should it have been removed or made anew meanwhile.
    void take() {
        alignas(inotify_event) char buffer[4096];
        while (events >= 0 && read(events, buffer, sizeof buffer) > 0) {
        }
        follow();
    }

private:
    static constexpr uint32_t CHANGES = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR;

    void follow() {
        if (events < 0) {
            return;
        }
        // Adding a watch that is there already keeps it; one whose folder went is gone by itself.
        inFolder = inotify_add_watch(events, folder.c_str(), CHANGES);
        if (inFolder >= 0 && inParent >= 0) {
            inotify_rm_watch(events, inParent);
            inParent = -1;
        } else if (inFolder < 0 && inParent < 0) {
            inParent = inotify_add_watch(events, parent.c_str(), CHANGES);
        }
    }

    const std::string folder;
    const std::string parent;
    const int events;
    int inFolder = -1;
    int inParent = -1;
};
