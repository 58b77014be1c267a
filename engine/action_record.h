#pragma once
// One user-made mapping from an input to a MIDI message, and the list that holds them.
#include <array>
#include <cstdint>

namespace vantaro {

inline constexpr std::int32_t kPovCentred = 65535;
inline constexpr std::int16_t kRecordVersion = 3;
inline constexpr int kMaxActions = 999;   // live actions the editor allows
inline constexpr int kActionSlots = 1001; // entries 0..1000; entry 0 is never used
inline constexpr int kMaxFileRecords = 1000;

enum MessageKind : std::int16_t { kControllerChange = 0, kNoteOn = 1, kNoteOff = 2 };

// Field order and widths are those of the stored record (see storage/action_file.h).
struct ActionRecord {
    std::int16_t axisMask = 0;   // 1 X, 2 Y, 4 Z, 8 R, 16 U, 32 V
    std::int32_t buttonMask = 0; // bit n-1 = button n
    std::int16_t channel = 0;    // 0..15
    std::int16_t dataNumber = 0; // note or controller 0..127
    double increment = 0;        // 0 = absolute mode; the engine may flip its sign
    double currentValue = 0;     // reloaded from the shared value table on every evaluation
    std::int32_t lastButtonState = 0;
    std::int16_t reservedA = 0;
    std::int32_t povDirection = 0; // hundredths of a degree, kPovCentred = no hat trigger
    std::int16_t wrap = 0;
    std::int16_t low = 0;
    std::int16_t high = 0;
    std::int16_t delay = 0; // ms between repeated steps while held
    std::int16_t reservedB = 0;
    std::int32_t reservedC = 0;
    std::int16_t toggle = 0;
    std::int16_t reservedD = 0;
    std::int16_t reservedE = 0;
    std::int16_t recordVersion = 0;
    std::array<std::int16_t, 5> fingerSelect{}; // Index, Middle, Ring, Pinky, Thumb
    std::int16_t isGlove = 0;
    std::array<std::int16_t, 6> handAxisSelect{}; // X, Y, Z, Yaw, Pitch, Roll
    std::int16_t messageKind = 0;

    bool operator==(const ActionRecord&) const = default;
};

// Entries 1..actionCount are live, in evaluation and display order.
struct ActionList {
    std::array<ActionRecord, kActionSlots> entries{};
    std::int16_t actionCount = 0;

    ActionRecord& operator[](int position) { return entries[static_cast<std::size_t>(position)]; }
    const ActionRecord& operator[](int position) const { return entries[static_cast<std::size_t>(position)]; }
};

} // namespace vantaro
