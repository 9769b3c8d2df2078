// SPDX-License-Identifier: MIT
#pragma once

#include <libudev.h>

#include <memory>

// Tells when a hidraw node comes or goes, once udev has set it up, so that a service learns of
// mice coming and going without asking over and over: it wakes only when something happened.
class MiceEvents {
public:
    MiceEvents()
        : context(udev_new(), udev_unref),
          monitor(context ? udev_monitor_new_from_netlink(context.get(), "udev") : nullptr, udev_monitor_unref) {
        if (monitor && (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) != 0 ||
                        udev_monitor_enable_receiving(monitor.get()) != 0)) {
            monitor.reset();
        }
    }

    // What to wait on for the next event; -1 when udev cannot be listened to.
    int descriptor() const { return monitor ? udev_monitor_get_fd(monitor.get()) : -1; }

    // Takes every event that has arrived, so that the descriptor is quiet again.
    void take() {
        while (udev_device* device = monitor ? udev_monitor_receive_device(monitor.get()) : nullptr) {
            udev_device_unref(device);
        }
    }

private:
    std::shared_ptr<udev> context;
    std::shared_ptr<udev_monitor> monitor;
};
