#pragma once
// The program's joystick: the list of sticks, the chosen one, the per-tick poll with its
// dead zones, and calibration. What it shows, the program core shows.
#include "devices/joystick_api.h"
#include "engine/action_record.h"
#include "engine/input_state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vantaro {

class Joystick {
public:
    static constexpr int kListSize = 101;

    explicit Joystick(JoystickApi& api) : api_(api) {}

    // Fills the list anew with every id whose capabilities can be read, then selects the stored
    // device number when it names a list entry. Returns 0, or kOverflowError when the stored
    // number did not fit 16 bits (nullopt; nothing is selected then). The caller stores the
    // choice (chosenPosition()) as it stores any other.
    // With a stored name (storedName), that entry is chosen instead, wherever it is; when it is
    // not in the list nothing is chosen and it is waited for.
    int listJoysticks(std::optional<std::int16_t> storedPosition,
                      const std::optional<std::string>& storedName = {});

    // What a fresh look at the sticks found.
    struct Presence {
        bool listChanged = false;
        bool chosenLeft = false; // the chosen stick went away (it stays wanted)
        bool chosenBack = false; // the wanted stick is back and chosen again
    };
    // Lists the sticks again when they changed; a present stick keeps its id, and the wanted
    // one is chosen again, without a click, when it comes back.
    Presence refresh();

    // The user (or start-up) picked list entry position. False when position is not in the
    // list (nothing changes); the caller then has nothing to store.
    bool selectJoystick(int position);

    // Which readings of a poll succeeded: the basic one (taken only for the expanded view) and
    // the extended one.
    struct Polled {
        bool basic = false;
        bool extended = false;
    };
    // The per-tick poll. Leaves the reading in state and the off-centre axes, buttons and
    // hat in captureRecord's axisMask, buttonMask and povDirection. A failed reading (a stick
    // that is gone) leaves the record as it was; letting go of what a stick that left held is
    // the device check's.
    Polled readJoystick(JoystickState& state, ActionRecord& captureRecord, bool expandedView);

    // Makes the last reading the centre of all six axes; the caller stores X, Y, Z, R and
    // "calibrated". It also ends a first run's centring, which would otherwise keep every axis
    // centred, and so uncapturable, until the next start.
    static void calibrate(JoystickState& state) {
        state.calibrationCentre = state.joystickReading;
        state.autoCentre = false;
    }

    std::int16_t joystickCount() const { return listing_.count; }
    std::int32_t joystickId() const { return joystickId_; }
    // The list position of the chosen stick; -1 when none is chosen or it is away.
    int chosenPosition() const { return chosenPosition_; }
    // The name of the stick the user wants, present or not; empty when none was chosen.
    const std::string& chosenName() const { return wantedName_; }
    const std::array<std::int16_t, kListSize>& joystickIds() const { return listing_.ids; }
    // The product name at each list position, 0..joystickCount()-1.
    const std::string& nameAt(int position) const {
        return listing_.names[static_cast<std::size_t>(position)];
    }
    // The basic reading of the last poll in the expanded view (X, Y, Z and four buttons).
    const JoyInfo& basicReading() const { return basicReading_; }

private:
    struct Listing {
        std::array<std::int16_t, kListSize> ids{};
        std::array<std::string, kListSize> names;
        std::int16_t count = 0;
        bool operator==(const Listing&) const = default;
    };
    Listing scan();
    // The entry of that name: among several, the one at `preferred` when it is one of them, else
    // the first. With `before`, only sticks that were not listed in it count.
    int positionOf(const std::string& name, int preferred, const Listing* before = nullptr) const;

    JoystickApi& api_;
    Listing listing_;
    std::string wantedName_;
    std::int32_t joystickId_ = 0;
    int chosenPosition_ = -1;
    int wantedPosition_ = -1; // where the wanted stick was last, or the stored position
    JoyInfo basicReading_{};
};

// The dead-zone test for all six axes: bit k set when axis k lies outside centre ± width.
// Formed in 64 bits, so centres and widths from a hand-edited file cannot overflow.
std::int16_t offCentreMask(const JoyInfoEx& reading, const JoyInfoEx& centre, std::int32_t width);

} // namespace vantaro
