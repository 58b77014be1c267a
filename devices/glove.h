#pragma once
// The P5 glove side of the program: the per-tick poll, the gesture state derived from it,
// the centre button, and the glove's share of start-up and shut-down.
#include "engine/action_record.h"
#include "engine/input_state.h"

#include <string>
#include <vector>

namespace vantaro {

class GloveBridge;

// From the raw readings in glove (bends, pose) and its two thresholds, sets fingerBent and
// handDirection and copies them into capture.fingerSelect / capture.handAxisSelect.
// Touches nothing else. Pure: no bridge calls, so scripted replays use it too.
void deriveGloveGesture(GloveState& glove, ActionRecord& capture);

// The per-tick glove poll: reads the fourteen values through the bridge into glove, then
// derives the gesture state. Call only while glove.glovePresent is set. Should the bridge
// lose an export mid-run, the poll turns glove.glovePresent off instead of failing every tick.
void doP5(GloveBridge& bridge, GloveState& glove, ActionRecord& capture);

// The "Ce&nter" button: the glove takes the hand's current position as its reference.
// Returns false when the bridge could not make the call.
bool centreGlove(GloveBridge& bridge);

// Which of the glove widgets the main window shows after start-up.
struct GloveWidgets {
    bool noGloveLabel = true;   // Label2 "No P5 Glove Detected"
    bool getGloveButton = true; // Command12 "&Get a P5 Glove"
    bool centreButton = false;  // Command13 "Ce&nter"
    bool gloveLabels = false;   // Label11 elements 0..27
};

// A glove call that failed: its description and number, as start-up reports them.
struct GloveFailure {
    std::string description;
    int number = 0;
};

struct GloveStart {
    GloveWidgets widgets;
    std::vector<GloveFailure> failures; // in the order they happened
};

// Start-up's glove step: initialise the glove, set glove.glovePresent when exactly one
// glove answered and switch its mouse mode off. Each failing call is returned, a missing bridge
// library or export among them (start-up passes over those without a word).
GloveStart gloveStartUp(GloveBridge& bridge, GloveState& glove);

// Shut-down's glove step: only when a glove was found, mouse mode back on, then close.
// Never reports anything.
void gloveShutDown(GloveBridge& bridge, const GloveState& glove);

} // namespace vantaro
