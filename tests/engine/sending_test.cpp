// What the engine composes, sends and logs, and how it copes with damaged records.
#include "engine_harness.h"
#include "midi/midi_send.h"
#include "support/core_rig.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>

using namespace vantaro;
using namespace vantaro::testing;

namespace {

std::string firstLine(const MessageLog& log) {
    return log.text().substr(0, log.text().find("\r\n"));
}

} // namespace

TEST(Composing, MessageKindsGiveTheirStatusBytes) {
    EngineHarness h;
    h.add(buttonAction(1, kNoteOn, 2, 60));
    h.add(buttonAction(1, kNoteOff, 3, 61));
    h.add(buttonAction(1, kControllerChange, 15, 127));
    h.buttons(1);
    EXPECT_EQ(h.tick(), (std::vector<std::uint32_t>{0x7F3C92, 0x7F3D83, 0x7F7FBF}));
}

TEST(Composing, UnknownKindSendsThePreviousMessageAgain) {
    EngineHarness h;
    h.add(buttonAction(1, kNoteOn, 0, 60));
    h.add(buttonAction(2, static_cast<MessageKind>(7), 0, 61));
    h.buttons(1);
    h.tick();
    h.buttons(2);
    // Button 1 goes up (Note On 60 velocity 0), then the unknown kind repeats that message.
    EXPECT_EQ(h.tick(), (std::vector<std::uint32_t>{noteOn(0, 60, 0), noteOn(0, 60, 0)}));
}

TEST(Logging, ExpandedViewPutsTheNewestLineFirst) {
    EngineHarness h;
    h.expandedView = 1;
    h.add(buttonAction(1, kNoteOn, 0, 60));
    h.buttons(1);
    h.tick();
    EXPECT_EQ(h.log.text(), "Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\r\n");
    h.buttons(0);
    h.sender.result = 67;
    h.tick();
    EXPECT_EQ(firstLine(h.log), "Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 67");
    EXPECT_EQ(h.log.caret(), MessageLog::Caret::Start);
}

TEST(Logging, ControllerAndNoteOffWording) {
    EngineHarness h;
    h.expandedView = 1;
    h.add(buttonAction(1, kControllerChange, 9, 7));
    h.add(buttonAction(2, kNoteOff, 1, 5));
    h.buttons(1);
    h.tick();
    EXPECT_EQ(firstLine(h.log), "Value: 127 Channel: 9 Controller: 7  Data: 8325049 Result: 0");
    h.buttons(2);
    h.tick();
    EXPECT_EQ(firstLine(h.log), "Value: 127 Channel: 1 Note Off: 5  Data: 8324481 Result: 0");
}

TEST(Logging, NothingIsLoggedInTheCompactView) {
    EngineHarness h;
    h.add(buttonAction(1));
    h.buttons(1);
    EXPECT_EQ(h.tick().size(), 1u);
    EXPECT_TRUE(h.log.text().empty());
}

TEST(Logging, TheLogNeverExceeds3000Characters) {
    EngineHarness h;
    h.expandedView = 1;
    h.add(buttonAction(1));
    for (int i = 0; i < 100; ++i) {
        h.buttons(i % 2);
        h.tick();
    }
    EXPECT_EQ(h.log.text().size(), MessageLog::kLimit);
    EXPECT_EQ(h.log.text().rfind("Value:", 0), 0u) << "the cut keeps the newest lines at the front";
}

TEST(DamagedRecords, OutOfRangeChannelOrNumberIsSkipped) {
    EngineHarness h;
    h.add(buttonAction(1, kNoteOn, 16, 60));
    h.add(buttonAction(1, kNoteOn, -1, 60));
    h.add(buttonAction(1, kNoteOn, 0, 128));
    h.add(buttonAction(1, kNoteOn, 0, -32768));
    h.add(buttonAction(1, kNoteOn, 0, 60));
    h.buttons(1);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(0, 60, 127)});
}

TEST(DamagedRecords, AHugeCountNeverReadsPastTheList) {
    EngineHarness h;
    h.add(buttonAction(1));
    h.list.actionCount = std::numeric_limits<std::int16_t>::max();
    h.buttons(1);
    EXPECT_EQ(h.tick().size(), 1u); // the other 999 slots are empty records on channel 0 number 0
}

TEST(DamagedRecords, AnUnrepresentableValueIsNotSent) {
    EngineHarness h;
    h.glove.glovePresent = 1;
    h.glove.fingerThreshold = 63; // a full bend then divides by zero
    ActionRecord a = gloveAction(20);
    a.fingerSelect[0] = 1;
    h.add(a);
    h.add(buttonAction(1));
    h.glove.gloveBends[0] = 64;
    h.buttons(1);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(0, 60, 127)}) << "the other actions still run";
}

TEST(DamagedRecords, EntryZeroIsNeverEvaluated) {
    EngineHarness h;
    h.list[0] = buttonAction(1);
    h.buttons(1);
    EXPECT_TRUE(h.tick().empty());
}

// The engine in front of the program's send path: a failing output opens the error window once.
namespace {
// An open output whose every send fails, as a busy driver's does.
struct FailingSend {
    FailingSend() {
        rig.midi.names = {"Busy synth"};
        rig->start();
        rig.midi.sendResult = MIDIERR_NOTREADY;
    }
    test::CoreRig rig;
    test::FakeMidiOut& out = rig.midi;
    test::ScriptedUi& ui = rig.ui;
    ProgramCore& sender = *rig.core;
};
} // namespace

TEST(SendFailures, ErrorWindowShowsTheCodeAndStopWarningsSilencesIt) {
    FailingSend f;
    auto [out, ui, sender] = std::tie(f.out, f.ui, f.sender);
    ASSERT_TRUE(sender.midiSender().isOpen());
    EXPECT_EQ(sender.sendShortMessage(0x90), 67);
    ASSERT_EQ(ui.midiErrors.size(), 1u);
    EXPECT_EQ(ui.midiErrors[0], " 67 : Hardware is still busy.");
    EXPECT_EQ(sender.lastSendError(), 67);

    ui.choice = MidiErrorChoice::StopWarnings;
    out.sendResult = 3;
    EXPECT_EQ(sender.sendShortMessage(0x90), 3);
    EXPECT_EQ(ui.midiErrors.back(), " 3 : Hardware is still busy.");
    EXPECT_EQ(sender.sendShortMessage(0x90), 3) << "failures still return their code";
    EXPECT_EQ(ui.midiErrors.size(), 2u) << "no window after Stop Warnings";
}

TEST(SendFailures, NoSecondWindowOverTheFirst) {
    FailingSend f;
    auto [out, ui, sender] = std::tie(f.out, f.ui, f.sender);
    int nestedResult = 0;
    ui.whileOpen = [&] {
        nestedResult = sender.sendShortMessage(0x80);
    }; // e.g. routing during the modal loop
    sender.sendShortMessage(0x90);
    EXPECT_EQ(nestedResult, 67);
    EXPECT_EQ(ui.midiErrors.size(), 1u);
}

TEST(SendFailures, ErrorTextsForEveryKnownCode) {
    EXPECT_EQ(midiErrorText(2), " 2 : Device ID out of range.");
    EXPECT_EQ(midiErrorText(3), " 3 : Hardware is still busy.");
    EXPECT_EQ(midiErrorText(5), " 5 : Device handle is invalid.");
    EXPECT_EQ(midiErrorText(6), " 6 : No device driver present.");
    EXPECT_EQ(midiErrorText(7), " 7 : Memory allocation error.");
    EXPECT_EQ(midiErrorText(11), " 11 : Invalid parameter passed.");
    EXPECT_EQ(midiErrorText(65), " 65 : Something is still playing.  The midi port was busy.");
    EXPECT_EQ(midiErrorText(67), " 67 : Hardware is still busy.");
    EXPECT_EQ(midiErrorText(70), " 70 : Operation unsupported with open mode.");
    EXPECT_EQ(midiErrorText(4), " 4 : You suck");
    EXPECT_EQ(midiErrorText(-1), "-1 : You suck");
}

TEST(SendFailures, EngineKeepsTheNewValueWhenTheSendFails) {
    FailingSend f;
    auto [out, ui, sender] = std::tie(f.out, f.ui, f.sender);
    EngineHarness h;
    EngineIo io{h.list, h.capture, h.joystick, h.glove, h.expandedView, h.log, h.clock, sender};
    h.add(buttonAction(1, kControllerChange, 0, 7)).increment = 10;
    h.capture.buttonMask = 1;
    h.engine.actions(io);
    EXPECT_EQ(h.engine.valueAt(0, 7), 10);
    EXPECT_EQ(ui.midiErrors.size(), 1u);
}
