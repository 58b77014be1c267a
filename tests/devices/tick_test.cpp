// The whole input path: an SDL virtual stick, the program core's tick and the engine.
#include "devices/sdl_joystick.h"
#include "engine/short_message.h"
#include "support/core_rig.h"
#include "support/records.h"
#include "support/virtual_stick.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vantaro;
using vantaro::test::VirtualStick;

namespace {

TEST(Tick, AVirtualButtonPressBecomesANoteOnAndItsReleaseANoteOff) {
    vantaro::test::quietSdlHints();
    SdlJoystickApi sticks;
    test::CoreRig rig({}, nullptr, &sticks);
    rig.midi.names = {"Synth"}; // no folder: the stored choice reads as 0, this device
    ASSERT_EQ(rig->listOutputs(), 0);
    ASSERT_TRUE(rig->midiSender().isOpen());
    {
        VirtualStick stick("Stick");
        rig->listJoysticks();
        rig->actionList()[1] = test::buttonAction(1 << 2); // button 3, Note On 60
        rig->actionList().actionCount = 1;
        rig->joystickState().autoCentre = 1; // a first run: the resting stick is the centre

        rig->tick();
        EXPECT_TRUE(rig.midi.sent.empty());
        stick.button(2, true);
        rig->tick();
        rig->tick(); // held: nothing more
        stick.button(2, false);
        rig->tick();
        const std::uint32_t on = packShortMessage(0x90, 60, 127), off = packShortMessage(0x90, 60, 0);
        EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on, off}));

        // Unplugged mid-run with the button held: the note is released, and the ticks go on
        // without a message box or a crash.
        stick.button(2, true);
        rig->tick();
        stick.unplug();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(rig->tick());
        EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on, off, on, off}));
        EXPECT_TRUE(rig.ui.messages.empty());
        EXPECT_TRUE(rig.ui.midiErrors.empty());
    }
}

} // namespace
