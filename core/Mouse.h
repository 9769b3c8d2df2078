// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// One supported mouse present. A mouse is a physical device: the USB device its interfaces belong
// to, so two mice of one model are two mice whatever their serial numbers say. It is reached at
// the interface discovery opens, by that interface's node, so a send meant for one mouse never
// lands on another.
struct Mouse {
    std::string usbDevice;  // its USB device as sysfs names it, such as "1-2": the port it is plugged into
    std::string usbAddress; // the address the bus gave it: a new one each time it is plugged in
    uint16_t productId;
    std::wstring productName;
    std::wstring serialNumber;
    std::string path; // the hidraw node of the interface it is reached at
};
