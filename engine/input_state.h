#pragma once
// Live input state written by the device polls and read by the engine, the live texts and the editor.
#include <array>
#include <cstdint>

namespace vantaro {

// The joystick position record, laid out like the platform's extended joystick reading.
struct JoyInfoEx {
    std::uint32_t dwSize = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwXpos = 0;
    std::uint32_t dwYpos = 0;
    std::uint32_t dwZpos = 0;
    std::uint32_t dwRpos = 0;
    std::uint32_t dwUpos = 0;
    std::uint32_t dwVpos = 0;
    std::uint32_t dwButtons = 0;
    std::uint32_t dwButtonNumber = 0;
    std::uint32_t dwPOV = 0;
    std::uint32_t dwReserved1 = 0;
    std::uint32_t dwReserved2 = 0;

    // Axis k (0..5 = X, Y, Z, R, U, V) as the signed 32-bit number the program compares.
    std::int32_t axis(int k) const {
        const std::uint32_t v[6] = {dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos};
        return static_cast<std::int32_t>(v[k]);
    }
};
static_assert(sizeof(JoyInfoEx) == 52);

struct JoystickState {
    JoyInfoEx joystickReading{};
    JoyInfoEx calibrationCentre{}; // only the six axis fields are used
    std::int32_t centreWidth = 0;  // Slider1: dead-zone half-width
    bool autoCentre = false;       // a first run until Calibrate: every poll makes the reading the centre
    // offCentreAxes, currentButtons and currentPov live in the capture record's
    // axisMask, buttonMask and povDirection.
};

struct GloveState {
    bool glovePresent = false;                // set once by start-up
    std::array<std::uint8_t, 5> gloveBends{}; // Index, Middle, Ring, Pinky, Thumb; 0..63
    std::array<std::uint8_t, 3> gloveButtons{};
    std::array<float, 6> glovePose{};         // X, Y, Z, Yaw, Pitch, Roll
    std::array<std::uint8_t, 5> fingerBent{}; // bent past fingerThreshold
    std::array<float, 6> handDirection{};     // -1, 0, +1 past handThreshold
    std::int32_t handThreshold = 0;           // Slider8, 0..100
    std::int32_t fingerThreshold = 0;         // Slider9, 0..63
};

} // namespace vantaro
