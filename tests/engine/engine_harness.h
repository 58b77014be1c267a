#pragma once
// Drives the action engine with hand-set inputs and records what it sends.
#include "engine/action_engine.h"
#include "support/records.h"

#include <cstdint>
#include <vector>

namespace vantaro::testing {

// The output at the end of the send path; returns a chosen result code.
class RecordingSender final : public ShortMessageSender {
public:
    std::int16_t sendShortMessage(std::uint32_t message) override {
        sent.push_back(message);
        return result;
    }
    std::vector<std::uint32_t> sent;
    std::int16_t result = 0;
};

inline constexpr std::uint32_t noteOn(int channel, int note, int value) {
    return 0x90u + static_cast<std::uint32_t>(channel) + static_cast<std::uint32_t>(note) * 256u +
           static_cast<std::uint32_t>(value) * 65536u;
}
inline constexpr std::uint32_t controller(int channel, int number, int value) {
    return 0xB0u + static_cast<std::uint32_t>(channel) + static_cast<std::uint32_t>(number) * 256u +
           static_cast<std::uint32_t>(value) * 65536u;
}
inline int dataValue(std::uint32_t message) {
    return static_cast<int>((message >> 16) & 0xFF);
}

struct EngineHarness {
    ActionList list;
    ActionRecord capture;
    JoystickState joystick;
    GloveState glove;
    std::int16_t expandedView = 0;
    MessageLog log;
    ManualClock clock{1000.0};
    RecordingSender sender;
    ActionEngine engine;
    EngineIo io{list, capture, joystick, glove, expandedView, log, clock, sender};

    EngineHarness() {
        capture.povDirection = kPovCentred;
        // Sticks rest at the middle, which is also the calibrated centre.
        for (std::uint32_t* axis : {&joystick.joystickReading.dwXpos, &joystick.joystickReading.dwYpos,
                                    &joystick.joystickReading.dwZpos, &joystick.joystickReading.dwRpos,
                                    &joystick.joystickReading.dwUpos, &joystick.joystickReading.dwVpos})
            *axis = 32768;
        joystick.calibrationCentre = joystick.joystickReading;
        joystick.centreWidth = 7000;
    }

    ActionRecord& add(const ActionRecord& record) {
        list[++list.actionCount] = record;
        return list[list.actionCount];
    }

    // One tick 1 ms after the last; returns what it sent.
    std::vector<std::uint32_t> tick() {
        clock.advanceMs(1);
        sender.sent.clear();
        engine.actions(io);
        return sender.sent;
    }
    // Data values of what one tick sent.
    std::vector<int> values() {
        std::vector<int> out;
        for (std::uint32_t m : tick())
            out.push_back(dataValue(m));
        return out;
    }

    void buttons(std::int32_t word) { capture.buttonMask = word; }
    void pov(std::int32_t direction) { capture.povDirection = direction; }
    void axis(int k, std::uint32_t value) {
        std::uint32_t* axes[6] = {&joystick.joystickReading.dwXpos, &joystick.joystickReading.dwYpos,
                                  &joystick.joystickReading.dwZpos, &joystick.joystickReading.dwRpos,
                                  &joystick.joystickReading.dwUpos, &joystick.joystickReading.dwVpos};
        *axes[k] = value;
    }
};

using test::buttonAction;
using test::gloveAction;
using test::joystickAction;

} // namespace vantaro::testing
