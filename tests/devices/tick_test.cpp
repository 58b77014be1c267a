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
    rig.midi.names = {"Synth"}; // no folder: the stored choices read as 0, this device and this stick
    {
        VirtualStick stick("Stick");
        ASSERT_TRUE(rig->start().reports.empty());
        ASSERT_TRUE(rig->midiSender().isOpen());
        ActionList list;
        list[1] = test::buttonAction(1 << 2); // button 3, Note On 60
        list.actionCount = 1;
        rig->playActions(list);

        rig->tick();
        EXPECT_TRUE(rig.midi.sent.empty());
        stick.button(2, true);
        rig->tick();
        rig->tick(); // held: nothing more
        stick.button(2, false);
        rig->tick();
        const std::uint32_t on = packShortMessage(0x90, 60, 127), off = packShortMessage(0x90, 60, 0);
        EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on, off}));

        // Unplugged mid-run with the button held: the note is released at the device check, and
        // the ticks go on without a message box or a crash.
        stick.button(2, true);
        rig->tick();
        stick.unplug();
        EXPECT_TRUE(rig->tick());
        rig->checkDevices();
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
    rig->start(); // no stick yet
    EXPECT_TRUE(rig.views.joysticks.empty());
    EXPECT_FALSE(rig.views.calibrateShown);
    ActionList list;
    list[1] = test::buttonAction(1); // button 1, Note On 60
    list.actionCount = 1;
    rig->playActions(list);
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
    rig.stick.present = true;
    ASSERT_EQ(rig->start().outcome, StartupResult::Outcome::Running);
    ASSERT_EQ(rig->actionList().actionCount, 1);
    rig.stick.reading.dwPOV = kPovCentred;
    rig->tick();
    rig.stick.reading.dwButtons = 1;
    rig->tick();
    rig.stick.reading.dwButtons = 0;
    rig->tick();
    EXPECT_EQ(rig.midi.sent,
              (std::vector<std::uint32_t>{packShortMessage(0x90, 60, 127), packShortMessage(0x90, 60, 0)}));
}

} // namespace

namespace {

// Every joystick interface the program runs on, as the conformance test below drives it: a stick
// plugged in, holding button 1 and the hat up, and pulled out.
struct SdlSticks {
    SdlSticks() { vantaro::test::quietSdlHints(); }
    JoystickApi& api() { return sdl; }
    void plug() { stick = std::make_unique<VirtualStick>("Stage stick"); }
    void hold() {
        stick->button(0, true);
        stick->hat(SDL_HAT_UP);
    }
    void unplug() { stick.reset(); }

    SdlJoystickApi sdl;
    std::unique_ptr<VirtualStick> stick;
};

struct ScriptedSticks {
    JoystickApi& api() { return scripted; }
    void plug() {
        scripted.present = true;
        scripted.reading.dwPOV = kPovCentred;
        scripted.reading.dwButtons = 0;
    }
    void hold() {
        scripted.reading.dwButtons = 1;
        scripted.reading.dwPOV = 0;
    }
    // The reading stays as it was: the interface only stops answering.
    void unplug() { scripted.present = false; }

    ScriptedJoystick scripted;
};

template <typename Sticks> class Unplugging : public ::testing::Test {};
using JoystickInterfaces = ::testing::Types<SdlSticks, ScriptedSticks>;
TYPED_TEST_SUITE(Unplugging, JoystickInterfaces);

// The one place that lets go is the program's device check, whatever the interface reports.
TYPED_TEST(Unplugging, AStickPulledOutWhileHeldLetsGoOfItsButtonAndHat) {
    TypeParam sticks;
    sticks.plug();
    test::CoreRig rig({}, nullptr, &sticks.api());
    rig.midi.names = {"Synth"};
    ASSERT_TRUE(rig->start().reports.empty());
    ActionList list;
    list[1] = test::buttonAction(1);
    list[2] = test::joystickAction(kNoteOn, 0, 62);
    list[2].povDirection = 0; // the hat up
    list.actionCount = 2;
    rig->playActions(list);
    const std::uint32_t on60 = packShortMessage(0x90, 60, 127), off60 = packShortMessage(0x90, 60, 0);
    const std::uint32_t on62 = packShortMessage(0x90, 62, 127), off62 = packShortMessage(0x90, 62, 0);

    rig->tick();
    EXPECT_TRUE(rig.midi.sent.empty()) << "at rest";
    sticks.hold();
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on60, on62}));

    sticks.unplug();
    rig->checkDevices();
    rig->tick();
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on60, on62, off60, off62}));
    EXPECT_TRUE(rig.views.joysticks.empty());

    // Back and still held: chosen again by its name, and the held inputs play again.
    sticks.plug();
    sticks.hold();
    rig->checkDevices();
    rig->tick();
    EXPECT_EQ(rig.midi.sent, (std::vector<std::uint32_t>{on60, on62, off60, off62, on60, on62}));
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(rig.ui.midiErrors.empty());
}

} // namespace
