// The editor's rules without a window: what counts as a held input, Add, Save, Delete, read-back.
#include "core/editor.h"
#include "support/records.h"

#include <gtest/gtest.h>

using namespace vantaro;

namespace {

ActionRecord idle() {
    ActionRecord r;
    r.povDirection = kPovCentred;
    return r;
}

ActionRecord stored(std::int32_t buttons, std::int16_t low) {
    ActionRecord r = idle();
    r.buttonMask = buttons;
    r.channel = 4;
    r.dataNumber = 60;
    r.increment = 2.5;
    r.low = low;
    r.high = 100;
    r.delay = 30;
    r.wrap = 1;
    r.toggle = 1;
    r.messageKind = kNoteOn;
    r.recordVersion = kRecordVersion;
    r.currentValue = 77;
    r.lastButtonState = 1;
    return r;
}

} // namespace

TEST(HeldInput, EveryInputKindCountsButTheTopButtonAlone) {
    GloveState glove;
    ActionRecord c = idle();
    EXPECT_FALSE(inputHeld(c, glove));
    c.buttonMask = static_cast<std::int32_t>(0x80000000u); // button 32 alone
    EXPECT_FALSE(inputHeld(c, glove));
    c.buttonMask = 4;
    EXPECT_TRUE(inputHeld(c, glove));
    c = idle();
    c.axisMask = 2;
    EXPECT_TRUE(inputHeld(c, glove));
    c = idle();
    c.povDirection = 0; // hat up
    EXPECT_TRUE(inputHeld(c, glove));
    c = idle();
    glove.fingerBent[4] = 1;
    EXPECT_TRUE(inputHeld(c, glove));
    glove = GloveState{};
    glove.handDirection[3] = 0.5f; // rounds to 0: not moved
    EXPECT_FALSE(inputHeld(c, glove));
    glove.handDirection[3] = -1.0f;
    EXPECT_TRUE(inputHeld(c, glove));
}

TEST(AddAction, TakesTheTriggerFromTheCaptureAndTheRestFromTheControls) {
    ActionList list;
    GloveState glove;
    EditorState editor;
    editor.nextChannel = 3;
    editor.nextNumber = 127;
    EditorControls controls{.increment = 0.12,
                            .low = 5,
                            .high = 90,
                            .delay = 250,
                            .wrap = 1,
                            .toggle = 0,
                            .messageKind = kNoteOff};
    ActionRecord capture = idle();
    capture.buttonMask = 4;
    capture.currentValue = 9; // never carried into a new action

    ASSERT_EQ(addAction(list, capture, editor, controls, glove), AddOutcome::Added);
    ASSERT_EQ(list.actionCount, 1);
    const ActionRecord& a = list[1];
    EXPECT_EQ(a.buttonMask, 4);
    EXPECT_EQ(a.povDirection, kPovCentred);
    EXPECT_EQ(a.channel, 3);
    EXPECT_EQ(a.dataNumber, 127);
    EXPECT_DOUBLE_EQ(a.increment, 0.12);
    EXPECT_EQ(a.low, 5);
    EXPECT_EQ(a.high, 90);
    EXPECT_EQ(a.delay, 250);
    EXPECT_EQ(a.wrap, 1);
    EXPECT_EQ(a.messageKind, kNoteOff);
    EXPECT_EQ(a.recordVersion, kRecordVersion);
    EXPECT_EQ(a.isGlove, 0);
    EXPECT_EQ(a.currentValue, 0);

    // Nothing held: nothing added.
    capture = idle();
    EXPECT_EQ(addAction(list, capture, editor, controls, glove), AddOutcome::NothingHeld);
    EXPECT_EQ(list.actionCount, 1);
}

TEST(AddAction, GloveTriggersAndAFullList) {
    ActionList list;
    GloveState glove;
    glove.fingerBent[1] = 1;
    glove.handDirection[0] = -1.0f;
    EditorState editor;
    ActionRecord capture = idle();
    ASSERT_EQ(addAction(list, capture, editor, EditorControls{}, glove), AddOutcome::Added);
    EXPECT_EQ(list[1].isGlove, 1);
    EXPECT_EQ(list[1].fingerSelect[1], 1);
    EXPECT_EQ(list[1].handAxisSelect[0], -1);

    list.actionCount = kMaxActions;
    EXPECT_EQ(addAction(list, capture, editor, EditorControls{}, glove), AddOutcome::ListFull);
    EXPECT_EQ(list.actionCount, kMaxActions);
}

TEST(AdvanceNext, NumberStepsOnThenTheChannelWrapsRound) {
    EditorState e;
    e.nextChannel = 0;
    e.nextNumber = 126;
    advanceNext(e);
    EXPECT_EQ(e.nextNumber, 127);
    EXPECT_EQ(e.nextChannel, 0);
    advanceNext(e);
    EXPECT_EQ(e.nextNumber, 0);
    EXPECT_EQ(e.nextChannel, 1);
    e.nextChannel = 15;
    e.nextNumber = 127;
    advanceNext(e);
    EXPECT_EQ(e.nextNumber, 0);
    EXPECT_EQ(e.nextChannel, 0);
}

TEST(SaveAction, AppliesOnlyMarkedGroupsAndClearsTheirMarks) {
    ActionList list;
    list.actionCount = 1;
    list[1] = stored(8, 0);
    GloveState glove;
    EditorState editor;
    editor.nextChannel = 9;
    editor.nextNumber = 1;
    editor.marks.changedLow = 1;
    editor.marks.changedTrigger = 1; // set, but nothing is held: the stored trigger stays
    EditorControls controls{.increment = -3,
                            .low = 10,
                            .high = 20,
                            .delay = 0,
                            .wrap = 0,
                            .toggle = 0,
                            .messageKind = kControllerChange};
    ActionRecord capture = idle();

    saveAction(list, 1, capture, editor, controls, glove);
    ActionRecord expected = stored(8, 10);
    expected.currentValue = 0;
    expected.lastButtonState = 0;
    EXPECT_EQ(list[1], expected);
    EXPECT_EQ(editor.marks.changedLow, 0);
    EXPECT_EQ(editor.marks.changedTrigger, 1);
    // The live capture record is not touched by a save.
    EXPECT_EQ(capture, idle());
}

TEST(SaveAction, ANewlyHeldTriggerReplacesTheStoredOne) {
    ActionList list;
    list.actionCount = 1;
    list[1] = stored(8, 0);
    GloveState glove;
    EditorState editor;
    editor.marks.changedTrigger = 1;
    editor.marks.changedKind = 1;
    ActionRecord capture = idle();
    capture.axisMask = 1;
    saveAction(list, 1, capture, editor, EditorControls{.messageKind = kNoteOff}, glove);
    EXPECT_EQ(list[1].axisMask, 1);
    EXPECT_EQ(list[1].buttonMask, 0);
    EXPECT_EQ(list[1].messageKind, kNoteOff);
    EXPECT_EQ(list[1].low, 0);
    EXPECT_EQ(editor.marks.changedTrigger, 0);
    EXPECT_EQ(editor.marks.changedKind, 0);
}

TEST(RemoveAction, FollowingActionsMoveDownInOrder) {
    ActionList list;
    list.actionCount = 3;
    for (int i = 1; i <= 3; ++i)
        list[i] = stored(1 << i, static_cast<std::int16_t>(i));
    EXPECT_FALSE(removeAction(list, 0));
    EXPECT_FALSE(removeAction(list, 4));
    EXPECT_TRUE(removeAction(list, 1));
    ASSERT_EQ(list.actionCount, 2);
    EXPECT_EQ(list[1].low, 2);
    EXPECT_EQ(list[2].low, 3);
    EXPECT_EQ(list[3], ActionRecord{});
}

TEST(SliderValueFromText, RoundsHalfToEvenAndClampsToTheRange) {
    EXPECT_EQ(sliderValueFromText(".125", 100, -12700, 12700), 12);
    EXPECT_EQ(sliderValueFromText(" .135", 100, -12700, 12700), 14);
    EXPECT_EQ(sliderValueFromText("-1.5", 100, -12700, 12700), -150);
    EXPECT_EQ(sliderValueFromText("200", 1, 0, 127), 127);
    EXPECT_EQ(sliderValueFromText("-4", 1, 0, 15), 0);
    EXPECT_EQ(sliderValueFromText("1e300", 100, -12700, 12700), 12700);
    EXPECT_EQ(sliderValueFromText("abc", 1, 0, 127), 0);
    EXPECT_EQ(sliderValueFromText(" 6 4", 1, 0, 127), 64);
}
