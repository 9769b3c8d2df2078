// SPDX-License-Identifier: MIT
#pragma once

#include "HID.h"

#include <hidapi.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Every supported mouse present, and sending one report to each. A mouse is what discovery
// opens: the first listed interface with its product ID and serial number; its other
// interfaces are the same mouse and get nothing. It is reached by that interface's path, so
// a send meant for one mouse never lands on another with the same IDs, and listing reads
// no name string from the mouse itself.
class Mice {
public:
    static constexpr uint16_t VENDOR_ID = 0x256F;
    static constexpr uint16_t PRODUCT_ID_WIRELESS = 0xC652;
    static constexpr uint16_t PRODUCT_ID_WIRED_PRO = 0xC656;
    static constexpr uint16_t PRODUCT_ID_WIRED_COMPACT = 0xC655;
    // In the order discovery prefers them.
    static constexpr std::array<uint16_t, 3> PRODUCT_IDS = {PRODUCT_ID_WIRELESS, PRODUCT_ID_WIRED_PRO,
                                                            PRODUCT_ID_WIRED_COMPACT};

    inline static const std::wstring NO_MOUSE = L"没有识别到适配的鼠标。";

    struct Mouse {
        uint16_t productId;
        std::wstring productName;
        std::wstring serialNumber;
        std::string path;
    };

    enum class Outcome { Sent, CannotOpen, SendFailed };

    struct Result {
        Mouse mouse;
        Outcome outcome;
        std::wstring message; // the service's sentence for a failure
    };

    // In discovery's order: by product ID first, then as the system lists them.
    static std::vector<Mouse> list() {
        std::vector<Mouse> mice;
        std::shared_ptr<hid_device_info> listed(hid_enumerate(VENDOR_ID, 0), hid_free_enumeration);
        for (uint16_t productId : PRODUCT_IDS) {
            for (const hid_device_info* entry = listed.get(); entry != nullptr; entry = entry->next) {
                const Mouse mouse{productId, text(entry->product_string), text(entry->serial_number),
                                  entry->path != nullptr ? entry->path : ""};
                const auto same = [&mouse](const Mouse& other) {
                    return other.productId == mouse.productId && other.serialNumber == mouse.serialNumber;
                };
                if (entry->product_id == productId && std::none_of(mice.begin(), mice.end(), same)) {
                    mice.push_back(mouse);
                }
            }
        }
        return mice;
    }

    // Sends the report to one mouse; never throws.
    static Result send(const Mouse& mouse, const Packet& report) {
        if (hid_init() != 0) {
            return {mouse, Outcome::CannotOpen, HID_INIT_FAILED};
        }
        const std::shared_ptr<hid_device> device(hid_open_path(mouse.path.c_str()), [](hid_device* opened) {
            if (opened != nullptr) {
                hid_close(opened);
            }
        });
        if (!device) {
            return {mouse, Outcome::CannotOpen, HID_OPEN_FAILED};
        }
        // A count of nothing at all means nothing reached the mouse.
        if (hid_send_feature_report(device.get(), report.data(), report.size()) <= 0) {
            return {mouse, Outcome::SendFailed, HID_SEND_FAILED};
        }
        return {mouse, Outcome::Sent, std::wstring()};
    }

private:
    static std::wstring text(const wchar_t* listed) { return listed != nullptr ? listed : L""; }
};
