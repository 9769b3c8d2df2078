// SPDX-License-Identifier: MIT
#pragma once

#include "HID.h"
#include "Mouse.h"
#include "ServiceNames.h"
#include "Utf8.h"
#include "WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Every supported mouse present, and sending one report to each. A mouse is reached at the first
// of its hidraw interfaces as the system lists them (in the order of their sysfs paths), the one
// discovery opens; listing reads no name string from the mouse itself.
class Mice {
public:
    static constexpr uint16_t VENDOR_ID = 0x256F;
    static constexpr uint16_t PRODUCT_ID_WIRELESS = 0xC652;
    static constexpr uint16_t PRODUCT_ID_WIRED_PRO = 0xC656;
    static constexpr uint16_t PRODUCT_ID_WIRED_COMPACT = 0xC655;
    // In the order discovery prefers them.
    static constexpr std::array<uint16_t, 3> PRODUCT_IDS = {PRODUCT_ID_WIRELESS, PRODUCT_ID_WIRED_PRO,
                                                            PRODUCT_ID_WIRED_COMPACT};

    // In discovery's order: by product ID first, then as the system lists them.
    static std::vector<Mouse> list() {
        std::vector<Mouse> mice;
        const std::shared_ptr<hid_device_info> listed(hid_enumerate(VENDOR_ID, 0), hid_free_enumeration);
        for (uint16_t productId : PRODUCT_IDS) {
            for (const hid_device_info* entry = listed.get(); entry != nullptr; entry = entry->next) {
                // Each interface's USB device is looked up in sysfs, so only once, for its own product.
                if (entry->product_id != productId) {
                    continue;
                }
                const std::string path = entry->path != nullptr ? entry->path : "";
                const std::optional<UsbDevice> usb = usbDeviceOf(path);
                const std::string usbDevice = usb ? usb->name : path;
                const auto same = [&usbDevice](const Mouse& other) { return other.usbDevice == usbDevice; };
                if (std::none_of(mice.begin(), mice.end(), same)) {
                    mice.push_back({usbDevice, usb ? attribute(usb->folder, "devnum") : "", productId,
                                    text(entry->product_string), text(entry->serial_number),
                                    usb ? firstNodeOf(*usb) : path});
                }
            }
        }
        return mice;
    }

    // The mouse reached at the hidraw node `node`, alone; none when the node is another interface
    // of a mouse, or no supported mouse's. A mouse that has just appeared waits for its settings
    // while this runs, so it looks in sysfs at that one USB device rather than listing every HID
    // device. A node with no USB device above it is looked for in the whole list.
    static std::vector<Mouse> at(const std::string& node) {
        const std::optional<UsbDevice> usb = usbDeviceOf(node);
        if (!usb) {
            std::vector<Mouse> mice = list();
            mice.erase(std::remove_if(mice.begin(), mice.end(), [&node](const Mouse& m) { return m.path != node; }),
                       mice.end());
            return mice;
        }
        const std::optional<uint16_t> vendorId = hexAttribute(*usb, "idVendor");
        const std::optional<uint16_t> productId = hexAttribute(*usb, "idProduct");
        if (vendorId != VENDOR_ID || !productId ||
            std::find(PRODUCT_IDS.begin(), PRODUCT_IDS.end(), *productId) == PRODUCT_IDS.end() ||
            firstNodeOf(*usb) != node) {
            return {};
        }
        return {Mouse{usb->name, attribute(usb->folder, "devnum"), *productId,
                      Utf8::decode(attribute(usb->folder, "product")).value_or(L""),
                      Utf8::decode(attribute(usb->folder, "serial")).value_or(L""), node}};
    }

    // Every mouse of the model `productId` present, each found in sysfs as at() finds it: what
    // tells whether a mouse that has just appeared shares its serial number, without listing
    // every HID device while it waits for its settings.
    static std::vector<Mouse> ofModel(uint16_t productId) {
        std::vector<Mouse> mice;
        for (const std::string& node : entries("/sys/class/hidraw", DT_LNK)) {
            // A node with no USB device above it is no such mouse, and at() would list every device for it.
            const std::vector<Mouse> found = usbDeviceOf(node) ? at("/dev/" + node) : std::vector<Mouse>();
            if (!found.empty() && found.front().productId == productId) {
                mice.push_back(found.front());
            }
        }
        return mice;
    }

    // The hidraw node this process holds open, such as /dev/hidraw0: the HID library opens a
    // mouse without saying which node it opened, and asking it costs as much as the send. It is
    // the node whose device number, as sysfs gives it, one of this process's open descriptors
    // has. Empty when no hidraw node, or more than one, is open.
    static std::string heldNode() {
        std::vector<std::string> open;
        for (const std::string& descriptor : entries("/proc/self/fd", DT_LNK)) {
            struct stat opened {};
            if (fstat(std::atoi(descriptor.c_str()), &opened) == 0 && S_ISCHR(opened.st_mode)) {
                open.push_back(std::to_string(major(opened.st_rdev)) + ":" + std::to_string(minor(opened.st_rdev)));
            }
        }
        std::vector<std::string> held;
        for (const std::string& name : entries("/sys/class/hidraw", DT_LNK)) {
            if (std::find(open.begin(), open.end(), attribute("/sys/class/hidraw/" + name, "dev")) != open.end()) {
                held.push_back("/dev/" + name);
            }
        }
        return held.size() == 1 ? held.front() : std::string();
    }

    // Sends the report to one mouse: Done when it took the whole report, else CannotOpen or
    // SendFailed (a mouse that took part of the report did not take it). Never throws.
    static Outcome send(const Mouse& mouse, const Packet& report) {
        if (hid_init() != 0) {
            return Outcome::CannotOpen;
        }
        const std::shared_ptr<hid_device> device(hid_open_path(mouse.path.c_str()), [](hid_device* opened) {
            if (opened != nullptr) {
                hid_close(opened);
            }
        });
        if (!device) {
            return Outcome::CannotOpen;
        }
        const int taken = hid_send_feature_report(device.get(), report.data(), report.size());
        return taken == static_cast<int>(report.size()) ? Outcome::Done : Outcome::SendFailed;
    }

    // What a send to several mice comes to: done when any mouse took the report; otherwise the
    // failure that says most, a failed send over a mouse that could not be opened, since the
    // former reached a mouse; NoMouse without any mouse.
    static Outcome overall(const std::vector<Outcome>& outcomes) {
        for (const Outcome said : {Outcome::Done, Outcome::SendFailed, Outcome::CannotOpen}) {
            if (std::find(outcomes.begin(), outcomes.end(), said) != outcomes.end()) {
                return said;
            }
        }
        return Outcome::NoMouse;
    }

private:
    static std::wstring text(const wchar_t* listed) { return listed != nullptr ? listed : L""; }

    // The USB device a hidraw node belongs to: its folder in sysfs and its name there, such as
    // "1-2", the port it is plugged into.
    struct UsbDevice {
        std::string folder;
        std::string name;
    };

    // The USB device of the hidraw node at `path`; none for a node with no USB device above it,
    // which is then a mouse of its own. sysfs links each node's class entry to its device:
    // ../../devices/…/1-2/1-2:1.0/0003:256F:C652.0001/hidraw/hidraw0, where the interface
    // (1-2:1.0) is named after its USB device.
    static std::optional<UsbDevice> usbDeviceOf(const std::string& path) {
        const std::string node = path.substr(path.rfind('/') + 1);
        char target[4096];
        const ssize_t length = readlinkat(AT_FDCWD, ("/sys/class/hidraw/" + node).c_str(), target, sizeof target);
        const std::string link(target, length > 0 ? static_cast<size_t>(length) : 0);
        std::vector<std::string> parts;
        for (size_t start = 0; start < link.size();) {
            const size_t end = std::min(link.find('/', start), link.size());
            if (link.compare(start, end - start, "..") != 0) {
                parts.push_back(link.substr(start, end - start));
            }
            start = end + 1;
        }
        const size_t n = parts.size();
        if (n < 6 || parts[0] != "devices" || parts[n - 1] != node || parts[n - 2] != "hidraw" ||
            parts[n - 4].compare(0, parts[n - 5].size() + 1, parts[n - 5] + ":") != 0) {
            return std::nullopt;
        }
        std::string folder = "/sys";
        for (size_t i = 0; i < n - 4; ++i) {
            folder += "/" + parts[i];
        }
        return UsbDevice{folder, parts[n - 5]};
    }

    // The node of the USB device's first hidraw interface in the order of their sysfs paths.
    static std::string firstNodeOf(const UsbDevice& usb) {
        std::string first;
        for (const std::string& interface : entries(usb.folder, DT_DIR)) {
            if (interface.compare(0, usb.name.size() + 1, usb.name + ":") != 0) {
                continue;
            }
            for (const std::string& hid : entries(usb.folder + "/" + interface, DT_DIR)) {
                for (const std::string& node : entries(usb.folder + "/" + interface + "/" + hid + "/hidraw", DT_DIR)) {
                    const std::string hidraw = interface + "/" + hid + "/hidraw/" + node;
                    if (first.empty() || hidraw < first) {
                        first = hidraw;
                    }
                }
            }
        }
        return first.empty() ? first : "/dev/" + first.substr(first.rfind('/') + 1);
    }

    // The entries of one type in `folder`, such as its folders (DT_DIR): in sysfs every device is
    // a folder, and a class lists its devices as links.
    static std::vector<std::string> entries(const std::string& folder, unsigned char type) {
        std::vector<std::string> names;
        const std::shared_ptr<DIR> listing(opendir(folder.c_str()), [](DIR* opened) {
            if (opened != nullptr) {
                closedir(opened);
            }
        });
        while (const dirent* entry = listing ? readdir(listing.get()) : nullptr) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && entry->d_type == type) {
                names.push_back(name);
            }
        }
        return names;
    }

    // A device's attribute in sysfs as the kernel gives it, without its line end; empty when there is none.
    static std::string attribute(const std::string& device, const std::string& name) {
        WholeFile::Read read = WholeFile::read(device + "/" + name, 4096);
        std::string& value = read.text;
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
            value.pop_back();
        }
        return read.status == WholeFile::Read::Status::Read ? value : std::string();
    }

    // A four-digit hexadecimal ID, such as idVendor's 256f.
    static std::optional<uint16_t> hexAttribute(const UsbDevice& usb, const std::string& name) {
        const std::string value = attribute(usb.folder, name);
        if (value.size() != 4 ||
            !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
            return std::nullopt;
        }
        return static_cast<uint16_t>(std::stoul(value, nullptr, 16));
    }
};
