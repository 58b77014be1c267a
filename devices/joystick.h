#pragma once
// The program's joystick: the list of sticks, the chosen one, the per-tick poll with its
// dead zones, and calibration. The window it shows in is reached through JoystickView.
#include "devices/joystick_api.h"
#include "engine/action_record.h"
#include "engine/input_state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

// The raw-value label arrays of the expanded view.
enum class RawLabels { Label1, Label3 };

class JoystickView {
public:
    virtual ~JoystickView() = default;
    // Empties the joystick list (Combo2), before it is filled again.
    virtual void clearJoystickEntries() = 0;
    // Appends a product name to the joystick list.
    virtual void addJoystickEntry(std::string_view productName) = 0;
    // Shows position as the chosen entry. Must not call back into Joystick::selectJoystick:
    // the caller does that itself.
    virtual void showSelectedEntry(int position) = 0;
    virtual void hideCalibrationPrompt() = 0; // Label13
    virtual void hideCalibrateButton() = 0;   // Command4
    // A stick came while none was listed: the button again, and the prompt when not calibrated.
    virtual void showCalibrateButton(bool withPrompt) = 0;
    virtual void setRawLabel(RawLabels labels, int index, std::string_view caption) = 0;
};

class Joystick {
public:
    static constexpr int kListSize = 101;

    Joystick(JoystickApi& api, JoystickView& view);

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

    // The per-tick poll. Leaves the reading in state and the off-centre axes, buttons and
    // hat in captureRecord's axisMask, buttonMask and povDirection.
    void readJoystick(JoystickState& state, ActionRecord& captureRecord, bool expandedView);

    // Makes the last reading the centre of all six axes; the caller stores X, Y, Z, R and
    // "calibrated".
    void calibrate(JoystickState& state);

    // Forget what the raw-value labels show, so the next poll writes them all again
    // (for a view that was rebuilt or cleared).
    void invalidateRawLabels();

    std::int16_t joystickCount() const { return listing_.count; }
    std::int32_t joystickId() const { return joystickId_; }
    // The list position of the chosen stick; -1 when none is chosen or it is away.
    int chosenPosition() const { return chosenPosition_; }
    // The name of the stick the user wants, present or not; empty when none was chosen.
    const std::string& chosenName() const { return wantedName_; }
    const std::array<std::int16_t, kListSize>& joystickIds() const { return listing_.ids; }

private:
    struct Listing {
        std::array<std::int16_t, kListSize> ids{};
        std::array<std::string, kListSize> names;
        std::int16_t count = 0;
        bool operator==(const Listing&) const = default;
    };
    Listing scan();
    void show();
    // The entry of that name: among several, the one at `preferred` when it is one of them, else
    // the first. With `before`, only sticks that were not listed in it count.
    int positionOf(const std::string& name, int preferred, const Listing* before = nullptr) const;
    void showRaw(RawLabels labels, int index, const char* prefix, std::uint32_t value);

    JoystickApi& api_;
    JoystickView& view_;
    Listing listing_;
    std::string wantedName_;
    std::int32_t joystickId_ = 0;
    int chosenPosition_ = -1;
    int wantedPosition_ = -1; // where the wanted stick was last, or the stored position
    JoyInfo basicReading_{};
    // What each raw label shows; a value above 32 bits means "not written yet".
    std::array<std::uint64_t, 4> shownLabel1_{};
    std::array<std::uint64_t, 6> shownLabel3_{};
};

// The dead-zone test for all six axes: bit k set when axis k lies outside centre ± width.
// Formed in 64 bits, so centres and widths from a hand-edited file cannot overflow.
std::int16_t offCentreMask(const JoyInfoEx& reading, const JoyInfoEx& centre, std::int32_t width);

} // namespace vantaro
