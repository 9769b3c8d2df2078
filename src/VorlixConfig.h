// SPDX-License-Identifier: MIT
#pragma once

#include "HID.h"

#include <cstdint>

// Polling rate. Each code is the polling interval in milliseconds, as the mouse expects it.
using FrequencyType = uint8_t;
enum class Frequency : FrequencyType {
    Hz_0125 = 8,
    Hz_0250 = 4,
    Hz_0500 = 2,
    Hz_1000 = 1,
};

// Pointer speed in the five steps users choose from; the codes are the mouse's own.
enum class Speed : uint8_t {
    Speed_1 = 0x0A,
    Speed_2 = 0x0E,
    Speed_3 = 0x1C,
    Speed_4 = 0x2C,
    Speed_5 = 0x54,
};

// All six settings the mouse takes. They always travel together in one report,
// so every record starts from the defaults and only what the user chose changes.
class VorlixConfig {
public:
    void setFrequency(Frequency value) { frequency = value; }
    void setLiftOffDetection(bool value) { liftOffDetection = value; }
    void setSmartScrolling(bool value) { smartScrolling = value; }
    void setRemapGestureButton(bool value) { remapGestureButton = value; }
    void setWheelPressRemapped(bool value) { remapWheelPress = value; }
    void setSpeed(Speed value) { speed = value; }

    // The 32-byte settings feature report, report ID first.
    Packet serialize() const {
        Packet packet;
        packet.reserve(32);
        auto append = [&packet](std::initializer_list<uint8_t> bytes) { packet.insert(packet.end(), bytes); };
        append({0x10, 0x00, static_cast<uint8_t>(speed)});
        append({static_cast<uint8_t>(liftOffDetection ? 0x00 : 0x1F)});
        if (smartScrolling) {
            append({0x00, 0x00, 0x00, 0x01});
        } else {
            append({0x01, 0xFF, 0x00, 0x00});
        }
        append({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        append({0x00, 0x03, 0x00, 0x0A, 0x0B, 0x0C});
        // Wheel press and gesture button sit in one block of button codes.
        append({static_cast<uint8_t>(remapWheelPress ? 0x0F : 0x0C)});
        append({0x0E, 0x0D});
        append({static_cast<uint8_t>(remapGestureButton ? 0x10 : 0x2F)});
        append({0x00, 0x1E, 0x00, 0x00, 0x00});
        append({static_cast<FrequencyType>(frequency)});
        return packet;
    }

private:
    bool liftOffDetection = true;
    bool smartScrolling = false;
    Frequency frequency = Frequency::Hz_1000;
    bool remapWheelPress = true;
    bool remapGestureButton = true;
    Speed speed = Speed::Speed_3;
};
