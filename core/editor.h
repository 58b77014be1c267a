#pragma once
// The action editor's rules, kept apart from the widgets so they can be checked without a window.
#include "engine/action_record.h"
#include "engine/input_state.h"

#include <cstdint>
#include <string_view>

namespace vantaro {

// One mark per field group: set when its control changes, cleared when Save applies it.
struct EditorMarks {
    bool changedController = false;
    bool changedChannel = false;
    bool changedIncrement = false;
    bool changedDelay = false;
    bool changedHigh = false;
    bool changedWrap = false;
    bool changedToggle = false;
    bool changedLow = false;
    bool changedKind = false;
    bool changedTrigger = false;
};

struct EditorState {
    std::int16_t nextChannel = 0; // follows Slider3
    std::int16_t nextNumber = 0;  // follows Slider4
    EditorMarks marks;
    bool deleteConfirmed = false;
    bool alwaysDelete = false; // set by "Always"; never stored
};

// The values of the editor's controls at the moment of Add or Save.
struct EditorControls {
    double increment = 0; // the number read from the increment box
    std::int16_t low = 0, high = 0, delay = 0;
    std::int16_t wrap = 0, toggle = 0;
    std::int16_t messageKind = 0;
};

// Is an input being held? Joystick buttons (bit 31 alone does not count), axes off centre,
// a hat direction, bent glove fingers or a moved glove hand.
bool inputHeld(const ActionRecord& capture, const GloveState& glove);

// A trigger without any joystick part is a glove trigger.
std::int16_t gloveTrigger(const ActionRecord& capture);

enum class AddOutcome { NothingHeld, ListFull, Added };

// Fills the capture record from the controls and appends it as the new last action.
// The caller then shows the line, writes the file and advances the editor.
AddOutcome addAction(ActionList& list, ActionRecord& capture, const EditorState& editor,
                     const EditorControls& controls, const GloveState& glove);

// Channel and number for the next Add: the number steps on, and past 127 the channel does.
void advanceNext(EditorState& editor);

// Rebuilds action `index` from the controls whose marks are set (clearing those marks) and
// the stored fields otherwise; the run-time fields start again from 0.
void saveAction(ActionList& list, int index, ActionRecord& capture, EditorState& editor,
                const EditorControls& controls, const GloveState& glove);

// Removes action `index`; the following ones move down. False when there is no such action.
bool removeAction(ActionList& list, int index);

// The slider value a value box's text stands for: the leading number times scale, rounded
// half to even and clamped to the slider's range (text without a number reads as 0).
int sliderValueFromText(std::string_view text, int scale, int minimum, int maximum);

} // namespace vantaro
