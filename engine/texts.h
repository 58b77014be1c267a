#pragma once
// The texts that name inputs and actions: the live input boxes of the main window and the one-line
// description of each action in the action list box. Texts only: the program core shows them.
#include "engine/action_record.h"
#include "engine/input_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantaro {

// Which glove fingers are bent (Index, Middle, Ring, Pinky, Thumb; non-zero = bent) and which hand
// axes moved (X, Y, Z, Yaw, Pitch, Roll; non-zero = moved, the sign is the direction).
struct GloveSelection {
    std::array<std::uint8_t, 5> fingers{};
    std::array<float, 6> hand{};
};

// " 1, 3" for buttons 1 and 3; button 32 is never shown.
std::string buttonStr(std::int32_t buttons);
// "x,z" for X and Z.
std::string axisStr(std::int16_t axis);
// "Up", "Up-Right", ... for the eight standard directions; empty for anything else.
std::string povStr(std::int32_t pov);
std::string handStr(const GloveSelection& selection);
std::string fingerStr(const GloveSelection& selection);

// The action's line in the action list box.
std::string describeAction(const ActionRecord& record);

// The widest line of the action list box so far grows to a line measured at measuredWidth pixels
// (rounded, halves to even) when that is wider and leaves room for the 25 spare pixels the list
// scrolls beyond it. True when it grew. It never shrinks, also when the list is cleared.
bool widenListExtent(std::int32_t& widest, double measuredWidth);

// The live input boxes and the glove value labels of the main window.
enum class LiveText { Button, Axis, Pov, Hand, Fingers }; // Text1, Text2, Text7, Text11, Text12

inline constexpr int kFirstValueLabel = 14; // 14..18 finger bends, 19..21 glove buttons, 22..27 hand values
inline constexpr int kLastValueLabel = 27;

// What the status widgets show, so that a widget is written only when its text changes. Starts
// with every text unknown: the first refresh changes each text it covers once. The boxes must be
// read-only for the user, since an unchanged text is not written again.
class ShownTexts {
public:
    static constexpr std::size_t kCapacity = 128; // longest: all 31 buttons, 114 characters

    struct Slot {
        std::array<char, kCapacity> text{};
        std::size_t length = 0;
        bool known = false;
        bool changed = false; // not written to its widget yet
        std::string_view view() const { return {text.data(), length}; }
    };

    // Forget what is shown, e.g. after the widgets were made anew.
    void forget() { *this = ShownTexts(); }

    Slot& box(LiveText which) { return boxes_[static_cast<std::size_t>(which)]; }
    Slot& label(int element) { return labels_[static_cast<std::size_t>(element - kFirstValueLabel)]; }

    // Hands every text that changed since the last call to box(LiveText, text) or
    // label(element, text), boxes first, and marks it written.
    template <typename Box, typename Label> void takeChanged(Box&& box, Label&& label) {
        for (std::size_t i = 0; i < boxes_.size(); ++i)
            if (boxes_[i].changed) {
                boxes_[i].changed = false;
                box(static_cast<LiveText>(i), boxes_[i].view());
            }
        for (std::size_t i = 0; i < labels_.size(); ++i)
            if (labels_[i].changed) {
                labels_[i].changed = false;
                label(kFirstValueLabel + static_cast<int>(i), labels_[i].view());
            }
    }

private:
    std::array<Slot, 5> boxes_{};
    std::array<Slot, kLastValueLabel - kFirstValueLabel + 1> labels_{};
};

// Refreshes the live texts at the end of a tick: the joystick boxes when a joystick is listed
// (from the capture record's axisMask, buttonMask and povDirection), the glove boxes when the glove
// is present, and the glove value labels too in the expanded view. Allocates nothing.
void updateStatus(ShownTexts& shown, const ActionRecord& captureRecord, bool joystickListed,
                  const GloveState& glove, bool expandedView);

} // namespace vantaro
