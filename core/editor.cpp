#include "core/editor.h"

#include "engine/numbers.h"

#include <algorithm>
#include <cmath>

namespace vantaro {

namespace {

bool handMoved(const GloveState& glove) {
    return std::any_of(glove.handDirection.begin(), glove.handDirection.end(),
                       [](float d) { return roundHalfEven(d) != 0; });
}

bool fingerBent(const GloveState& glove) {
    return std::any_of(glove.fingerBent.begin(), glove.fingerBent.end(),
                       [](std::uint8_t f) { return f != 0; });
}

std::int16_t roundedDirection(float d) {
    // The glove reports -1, 0 or +1; anything else is clamped so the stored field stays sane.
    return static_cast<std::int16_t>(std::clamp(roundHalfEven(d), -1.0, 1.0));
}

void clearRunTimeFields(ActionRecord& r) {
    r.currentValue = 0;
    r.lastButtonState = 0;
    r.reservedA = r.reservedB = r.reservedD = r.reservedE = 0;
    r.reservedC = 0;
}

} // namespace

bool inputHeld(const ActionRecord& capture, const GloveState& glove) {
    return handMoved(glove) || fingerBent(glove) || capture.axisMask > 0 ||
           capture.povDirection != kPovCentred || capture.buttonMask > 0;
}

std::int16_t gloveTrigger(const ActionRecord& capture) {
    return capture.buttonMask == 0 && capture.axisMask == 0 && capture.povDirection == kPovCentred ? 1 : 0;
}

AddOutcome addAction(ActionList& list, ActionRecord& capture, const EditorState& editor,
                     const EditorControls& controls, const GloveState& glove) {
    if (!inputHeld(capture, glove)) return AddOutcome::NothingHeld;
    if (list.actionCount >= kMaxActions) return AddOutcome::ListFull;

    capture.channel = editor.nextChannel;
    capture.dataNumber = editor.nextNumber;
    capture.recordVersion = kRecordVersion;
    capture.increment = controls.increment;
    capture.low = controls.low;
    capture.high = controls.high;
    capture.delay = controls.delay;
    capture.wrap = controls.wrap;
    capture.toggle = controls.toggle;
    for (std::size_t k = 0; k < capture.fingerSelect.size(); ++k)
        capture.fingerSelect[k] = glove.fingerBent[k] != 0 ? 1 : 0;
    for (std::size_t k = 0; k < capture.handAxisSelect.size(); ++k)
        capture.handAxisSelect[k] = roundedDirection(glove.handDirection[k]);
    capture.isGlove = gloveTrigger(capture);
    capture.messageKind = controls.messageKind;

    ActionRecord added = capture;
    clearRunTimeFields(added);
    list.actionCount = static_cast<std::int16_t>(list.actionCount + 1);
    list[list.actionCount] = added;
    return AddOutcome::Added;
}

void advanceNext(EditorState& editor) {
    int number = editor.nextNumber + 1;
    int channel = editor.nextChannel;
    if (number > 127) {
        number = 0;
        channel = channel + 1 > 15 ? 0 : channel + 1;
    }
    editor.nextNumber = static_cast<std::int16_t>(number);
    editor.nextChannel = static_cast<std::int16_t>(channel);
}

void saveAction(ActionList& list, int index, ActionRecord& capture, EditorState& editor,
                const EditorControls& controls, const GloveState& glove) {
    if (index < 1 || index > list.actionCount) return;
    const ActionRecord& stored = list[index];
    EditorMarks& m = editor.marks;
    // Built apart from the capture record: that record is the live trigger the engine and the
    // next Add read, so stored trigger fields must never leak into it.
    ActionRecord r{};
    auto take = [](bool& mark, auto fromControl, auto fromStored) {
        if (mark) {
            mark = false;
            return fromControl;
        }
        return fromStored;
    };
    r.low = take(m.changedLow, controls.low, stored.low);
    r.high = take(m.changedHigh, controls.high, stored.high);
    r.delay = take(m.changedDelay, controls.delay, stored.delay);
    r.wrap = take(m.changedWrap, controls.wrap, stored.wrap);
    r.toggle = take(m.changedToggle, controls.toggle, stored.toggle);
    r.channel = take(m.changedChannel, editor.nextChannel, stored.channel);
    r.dataNumber = take(m.changedController, editor.nextNumber, stored.dataNumber);
    r.increment = take(m.changedIncrement, controls.increment, stored.increment);

    // The trigger is the held input when it changed and something is held, else the stored one.
    const bool newTrigger = m.changedTrigger && inputHeld(capture, glove);
    const ActionRecord& trigger = newTrigger ? capture : stored;
    r.axisMask = trigger.axisMask;
    r.buttonMask = trigger.buttonMask;
    r.povDirection = trigger.povDirection;
    r.fingerSelect = trigger.fingerSelect;
    r.handAxisSelect = trigger.handAxisSelect;
    r.isGlove = newTrigger ? gloveTrigger(capture) : stored.isGlove;
    if (newTrigger) m.changedTrigger = false;
    r.recordVersion = kRecordVersion;
    r.messageKind = take(m.changedKind, controls.messageKind, stored.messageKind);
    list[index] = r;
}

bool removeAction(ActionList& list, int index) {
    if (index < 1 || index > list.actionCount) return false;
    for (int n = index; n < list.actionCount; ++n)
        list[n] = list[n + 1];
    list[list.actionCount] = ActionRecord{};
    list.actionCount = static_cast<std::int16_t>(list.actionCount - 1);
    return true;
}

int sliderValueFromText(std::string_view text, int scale, int minimum, int maximum) {
    const double v = readNumber(text) * scale;
    if (std::isnan(v)) return std::clamp(0, minimum, maximum);
    const double clamped = std::clamp(v, static_cast<double>(minimum), static_cast<double>(maximum));
    return static_cast<int>(roundHalfEven(clamped));
}

} // namespace vantaro
