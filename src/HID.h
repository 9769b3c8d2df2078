// SPDX-License-Identifier: MIT
#pragma once

#include <hidapi/hidapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One HID report, report ID in the first byte.
using Packet = std::vector<uint8_t>;

// The failures of finding, opening and sending, which the service also gives for our interface's.
inline const std::wstring HID_NO_MOUSE = L"没有识别到适配的鼠标。";
inline const std::wstring HID_INIT_FAILED = L"无法初始化 HID API.";
inline const std::wstring HID_OPEN_FAILED = L"无法打开HID设备。是否以root权限运行？是否连接了设备？";
inline const std::wstring HID_SEND_FAILED = L"无法发送功能报文。";

class HIDException {
public:
    explicit HIDException(const std::wstring& message) : message(message) {}
    virtual ~HIDException() = default;

    std::wstring getMessage() const { return message; }

private:
    std::wstring message;
};

// One open device. Each object brackets its life with hid_init()/hid_exit(), so no
// global library set-up is needed; the hidraw back end tolerates repeated init/exit.
class HIDDevice {
public:
    // A null serialNumber opens the first device with the two IDs.
    HIDDevice(uint16_t vendorId, uint16_t productId, const wchar_t* serialNumber) {
        if (hid_init() != 0) {
            throw HIDException(HID_INIT_FAILED);
        }
        hid_device* device = hid_open(vendorId, productId, serialNumber);
        if (device == nullptr) {
            throw HIDException(HID_OPEN_FAILED);
        }
        handle.reset(device, hid_close);
    }

    virtual ~HIDDevice() { hid_exit(); }

    std::wstring getManufacturerName() const {
        return readString(hid_get_manufacturer_string, L"无法获取制造商名称。");
    }

    std::wstring getProductName() const { return readString(hid_get_product_string, L"无法获取产品名称。"); }

    // Sends the packet unchanged; the library takes its first byte as the report ID.
    // A short count is not an error: the device decides how much it takes. A count of
    // nothing at all means nothing reached the mouse, which is no success.
    void sendFeatureReport(const Packet& data) {
        taken = hid_send_feature_report(handle.get(), data.data(), data.size());
        if (taken <= 0) {
            throw HIDException(HID_SEND_FAILED);
        }
    }

    // How many bytes of the last packet sent the device took: a record of the send must not
    // call a short one taken.
    int bytesTaken() const { return taken; }

private:
    using StringQuery = int (*)(hid_device*, wchar_t*, size_t);

    std::wstring readString(StringQuery query, const wchar_t* failure) const {
        constexpr size_t capacity = 200;
        wchar_t buffer[capacity] = {};
        if (query(handle.get(), buffer, capacity) != 0) {
            throw HIDException(failure);
        }
        // The library terminates the text; the last slot guards against one that does not.
        buffer[capacity - 1] = L'\0';
        return buffer;
    }

    std::shared_ptr<hid_device> handle;
    int taken = 0;
};

// What the library lists about one HID interface; holds no library resource.
class HIDDeviceInfo {
public:
    HIDDeviceInfo(uint16_t vendorId, uint16_t productId, const std::wstring& serialNumber)
        : vendorId(vendorId), productId(productId), serialNumber(serialNumber) {}
    virtual ~HIDDeviceInfo() = default;

    // 0 in either argument matches any value. A failing library yields an empty list.
    static std::vector<HIDDeviceInfo> enumerate(uint16_t vendorId, uint16_t productId) {
        std::vector<HIDDeviceInfo> result;
        std::shared_ptr<hid_device_info> list(hid_enumerate(vendorId, productId), hid_free_enumeration);
        for (const hid_device_info* entry = list.get(); entry != nullptr; entry = entry->next) {
            result.emplace_back(entry->vendor_id, entry->product_id,
                                entry->serial_number != nullptr ? entry->serial_number : L"");
        }
        return result;
    }

    bool matches(uint16_t vendorId, uint16_t productId) const {
        return this->vendorId == vendorId && this->productId == productId;
    }

    // Opens by serial number so that the listed device itself is opened, not merely the
    // first with its IDs; without a serial number the library's first match is all we have.
    HIDDevice open() const {
        return HIDDevice(vendorId, productId, serialNumber.empty() ? nullptr : serialNumber.c_str());
    }

private:
    uint16_t vendorId;
    uint16_t productId;
    std::wstring serialNumber;
};
