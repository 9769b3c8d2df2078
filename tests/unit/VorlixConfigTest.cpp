// SPDX-License-Identifier: MIT
#include "VorlixConfig.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

const Packet DEFAULT_REPORT = {0x10, 0x00, 0x1C, 0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x0A, 0x0B, 0x0C,
                               0x0F, 0x0E, 0x0D, 0x10, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x01};

TEST(VorlixConfigTest, DefaultReport) {
    const VorlixConfig config;
    EXPECT_EQ(config.serialize(), DEFAULT_REPORT);
    EXPECT_EQ(config.serialize(), config.serialize());
}

// Each setting moves only its own bytes; everything else stays as in the default report.
TEST(VorlixConfigTest, EachSettingMovesOnlyItsBytes) {
    struct Case {
        const char* name;
        std::function<void(VorlixConfig&)> apply;
        std::map<size_t, uint8_t> changed;
    };
    const Case cases[] = {
        {"speed 1", [](VorlixConfig& c) { c.setSpeed(Speed::Speed_1); }, {{2, 0x0A}}},
        {"speed 2", [](VorlixConfig& c) { c.setSpeed(Speed::Speed_2); }, {{2, 0x0E}}},
        {"speed 4", [](VorlixConfig& c) { c.setSpeed(Speed::Speed_4); }, {{2, 0x2C}}},
        {"speed 5", [](VorlixConfig& c) { c.setSpeed(Speed::Speed_5); }, {{2, 0x54}}},
        {"lift-off detection off", [](VorlixConfig& c) { c.setLiftOffDetection(false); }, {{3, 0x1F}}},
        {"smart scrolling on", [](VorlixConfig& c) { c.setSmartScrolling(true); }, {{4, 0x00}, {5, 0x00}, {7, 0x01}}},
        {"wheel press not remapped", [](VorlixConfig& c) { c.setWheelPressRemapped(false); }, {{22, 0x0C}}},
        {"gesture button not remapped", [](VorlixConfig& c) { c.setRemapGestureButton(false); }, {{25, 0x2F}}},
        {"125 Hz", [](VorlixConfig& c) { c.setFrequency(Frequency::Hz_0125); }, {{31, 0x08}}},
        {"250 Hz", [](VorlixConfig& c) { c.setFrequency(Frequency::Hz_0250); }, {{31, 0x04}}},
        {"500 Hz", [](VorlixConfig& c) { c.setFrequency(Frequency::Hz_0500); }, {{31, 0x02}}},
        {"last setter call wins",
         [](VorlixConfig& c) {
             c.setSpeed(Speed::Speed_5);
             c.setSpeed(Speed::Speed_2);
         },
         {{2, 0x0E}}},
    };
    // One setting at a time, then all of them on one record, where none may disturb another.
    VorlixConfig everything;
    Packet expectedForEverything = DEFAULT_REPORT;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VorlixConfig config;
        c.apply(config);
        c.apply(everything);
        Packet expected = DEFAULT_REPORT;
        for (const auto& [offset, value] : c.changed) {
            expected[offset] = value;
            expectedForEverything[offset] = value;
        }
        EXPECT_EQ(config.serialize(), expected);
    }
    EXPECT_EQ(everything.serialize(), expectedForEverything);
}

} // namespace
