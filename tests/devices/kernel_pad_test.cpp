// A game pad of the kernel's own (uinput and evdev in the virtual machine), found by SDL as it finds
// one plugged in, without udev: its buttons, stick and hat play through the ALSA sequencer; it is
// let go of when unplugged and chosen again when back; two pads of one name are told apart.
#include "devices/sdl_joystick.h"
#include "storage/settings.h"
#include "support/alsa_seq.h"
#include "support/midi_program.h"
#include "support/records.h"
#include "support/temp_folder.h"
#include "support/uinput_pad.h"
#include "support/virtual_stick.h"
#include "support/vm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace vantaro {
namespace {

using test::SeqClient;
using test::UinputPad;
using Bytes = SeqClient::Bytes;

constexpr const char* kPad = "Vantaro kernel pad";

TEST(KernelPad, PlaysIsLetGoOfWhenUnpluggedIsChosenAgainAndIsToldApartFromItsTwin) {
    VANTARO_REQUIRE_VM();
    setenv("SDL_JOYSTICK_DISABLE_UDEV", "1", 1); // no udev runs: SDL watches /dev/input itself
    test::quietSdlHints();
    auto twin = std::make_unique<UinputPad>(kPad, 1);
    auto pad = std::make_unique<UinputPad>(kPad, 2);
    SeqClient synth("vt-synth");
    test::TempFolder folder;
    // Configured before (no first run, whose polls make every position the centre).
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "config", " 1"));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Joystick", "DeviceName", kPad));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Joystick", "DeviceNumber", " 1"));
    SdlJoystickApi sticks;
    test::MidiProgram p(folder.path(), &sticks);
    // Start-up lists the sticks once SDL has found both pads.
    ASSERT_TRUE(
        test::waitUntil([&] { return sticks.joyGetNumDevs() >= 2 && SDL_NumJoysticks() == 2; }, 30000));
    p.rig->start();
    ASSERT_TRUE(p.rig->selectOutput(p.outputPosition(synth.inputName())));
    ActionList list;
    list[++list.actionCount] = test::buttonAction(1);                         // note 60
    list[++list.actionCount] = test::joystickAction(kControllerChange, 0, 1); // stick: CC 1
    list[list.actionCount].axisMask = 1;
    list[++list.actionCount] = test::joystickAction(kControllerChange, 0, 64); // hat up: CC 64
    list[list.actionCount].povDirection = 0;
    list[++list.actionCount] = test::buttonAction(2, kNoteOn, 0, 61); // note 61
    p.rig->playActions(list);
    JoyInfoEx centre;
    centre.dwXpos = centre.dwYpos = centre.dwZpos = centre.dwRpos = centre.dwUpos = centre.dwVpos = 32768;
    p.rig->setCentres(centre);
    p.rig->setCentreWidth(7000, false);

    ASSERT_EQ(p.rig->joystick().chosenPosition(), 1) << "two of one name: the stored position";
    const auto play = [&] {
        p.rig->tick();
        p.poster.runPending();
    };
    // m arrived at the synth, as the message at `from` or after it.
    const auto heard = [&](const Bytes& m, std::size_t from = 0) {
        return test::waitUntil(
            [&] {
                const auto& r = synth.received();
                return std::find(r.begin() + static_cast<std::ptrdiff_t>(std::min(from, r.size())), r.end(),
                                 m) != r.end();
            },
            30000, play);
    };

    // The twin's button is read by SDL but plays nothing: only the chosen pad is polled.
    twin->button(1, true);
    JoyInfoEx twinReading{};
    twinReading.dwSize = sizeof twinReading;
    twinReading.dwFlags = JoystickApi::JOY_RETURNBUTTONS;
    ASSERT_TRUE(test::waitUntil([&] {
        return sticks.joyGetPosEx(static_cast<std::uint32_t>(p.rig->joystick().joystickIds()[0]),
                                  &twinReading) == 0 &&
               twinReading.dwButtons == 2;
    }));
    play();
    EXPECT_EQ(p.rig->captureRecord().buttonMask, 0);
    twin.reset();

    pad->button(0, true);
    EXPECT_TRUE(heard({0x90, 60, 127}));
    pad->button(0, false);
    EXPECT_TRUE(heard({0x90, 60, 0}));
    pad->axis(0, 32767);
    EXPECT_TRUE(heard({0xB0, 1, 127}));
    pad->hat(0, -1);
    EXPECT_TRUE(heard({0xB0, 64, 127}));
    EXPECT_EQ(std::count(synth.received().begin(), synth.received().end(), Bytes{0x90, 61, 127}), 0);

    // Pulled out while the button is held and the hat pushed: both are let go of.
    pad->button(0, true);
    ASSERT_TRUE(heard({0x90, 60, 127}, synth.received().size()));
    const std::size_t held = synth.received().size();
    pad.reset();
    ASSERT_TRUE(p.settle([&] { return p.rig->joystick().chosenPosition() < 0; }, 30000));
    EXPECT_TRUE(heard({0x90, 60, 0}, held));
    EXPECT_TRUE(heard({0xB0, 64, 0}, held));

    // Plugged back: chosen again without a click, and it plays.
    pad = std::make_unique<UinputPad>(kPad, 2);
    ASSERT_TRUE(p.settle([&] { return p.rig->joystick().chosenPosition() >= 0; }, 30000));
    const std::size_t before = synth.received().size();
    pad->button(0, true);
    EXPECT_TRUE(heard({0x90, 60, 127}, before));
    p.rig->shutDown();
}

} // namespace
} // namespace vantaro
