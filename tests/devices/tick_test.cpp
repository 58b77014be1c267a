// The whole input path: an SDL virtual stick, the program core's tick and the engine.
#include "devices/sdl_joystick.h"
#include "engine/short_message.h"
#include "storage/action_file.h"
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/records.h"
#include "support/temp_folder.h"
#include "support/virtual_stick.h"

#include <gtest/gtest.h>

#include <memory>
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

namespace {

TEST(Tick, SticksThatComeAndGoUnderARunningTick) {
    vantaro::test::quietSdlHints();
    test::TempFolder folder;
    SdlJoystickApi sticks;
    test::CoreRig rig(folder.path(), nullptr, &sticks);
    rig.midi.names = {"Synth"};
    rig->listOutputs();
    rig->listJoysticks(); // no stick yet
    EXPECT_TRUE(rig.views.joysticks.empty());
    EXPECT_FALSE(rig.views.calibrateShown);
    rig->actionList()[1] = test::buttonAction(1); // button 1, Note On 60
    rig->actionList().actionCount = 1;
    const std::uint32_t on = packShortMessage(0x90, 60, 127), off = packShortMessage(0x90, 60, 0);

    auto pad = std::make_unique<test::VirtualStick>("Pad");
    rig->checkDevices();
    EXPECT_EQ(rig.views.joysticks, (std::vector<std::string>{"Pad"}));
    EXPECT_TRUE(rig.views.calibrateShown);
    rig->selectJoystick(0);
    EXPECT_EQ(readSetting(folder / "jmconfig.ini", "Joystick", "DeviceName"), "Pad");

    // A second stick changes the list but not the choice.
    test::VirtualStick other("Other");
    rig->checkDevices();
    EXPECT_EQ(rig.views.joysticks, (std::vector<std::string>{"Pad", "Other"}));
    EXPECT_EQ(rig.views.chosenJoystick, 0);

    // Unplugged with the button held: released at once, and the list loses it.
    pad->button(0, true);
    rig->tick();
    pad.reset();
    rig->checkDevices();
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on, off}));
    EXPECT_EQ(rig.views.joysticks, (std::vector<std::string>{"Other"}));
    EXPECT_EQ(rig->joystick().chosenPosition(), -1) << "the other stick is not chosen in its place";

    // Back: chosen again and polled without a click.
    pad = std::make_unique<test::VirtualStick>("Pad");
    rig->checkDevices();
    EXPECT_EQ(rig->joystick().chosenName(), "Pad");
    ASSERT_GE(rig->joystick().chosenPosition(), 0);
    pad->button(0, true);
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on, off, on}));
}

} // namespace

namespace {

TEST(Tick, AListSavedWhileItsButtonWasHeldPlaysTheFirstPressAfterAStart) {
    test::TempFolder folder;
    ActionList saved;
    saved[1] = test::buttonAction(1);
    saved[1].lastButtonState = 1; // the button was down when the list was saved
    saved.actionCount = 1;
    test::putBytes(folder / "jmconfig.dat", encodeActions(saved));

    test::CoreRig rig(folder.path());
    rig.midi.names = {"Synth"};
    rig->listOutputs();
    rig.stick.present = true;
    rig->listJoysticks();
    ASSERT_EQ(rig->loadActions().outcome, LoadOutcome::Loaded);
    rig.stick.reading.dwPOV = kPovCentred;
    rig->tick();
    rig.stick.reading.dwButtons = 1;
    rig->tick();
    rig.stick.reading.dwButtons = 0;
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{packShortMessage(0x90, 60, 127),
                                                         packShortMessage(0x90, 60, 0)}));
}

} // namespace
