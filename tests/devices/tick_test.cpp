// The whole input path: an SDL virtual stick, the joystick poll, the tick and the engine.
#include "devices/joystick.h"
#include "devices/sdl_joystick.h"
#include "engine/action_engine.h"
#include "engine/poll_cycle.h"
#include "virtual_stick.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

using namespace vantaro;
using vantaro::test::VirtualStick;

namespace {

struct NoView final : JoystickView, LagView {
    void addJoystickEntry(std::string_view) override {}
    void showSelectedEntry(int) override {}
    void hideCalibrationPrompt() override {}
    void hideCalibrateButton() override {}
    void setRawLabel(RawLabels, int, std::string_view) override {}
    void setLagCaption(std::string_view) override {}
};

struct Sent final : ShortMessageSender {
    std::int16_t sendShortMessage(std::uint32_t message) override {
        messages.push_back(message);
        return 0;
    }
    std::vector<std::uint32_t> messages;
};

// What the main window's tick handler wires together.
struct Program final : TickSteps {
    explicit Program(const std::filesystem::path& ini) : joystick(api, view, ini) {}

    void readJoystick() override { joystick.readJoystick(state, capture, expandedView != 0); }
    void doP5() override {}
    void actions() override { engine.actions(io); }
    void updateStatus() override {}

    SdlJoystickApi api;
    NoView view;
    Joystick joystick;
    std::unique_ptr<ActionList> list = std::make_unique<ActionList>();
    ActionRecord capture;
    JoystickState state;
    GloveState glove;
    std::int16_t expandedView = 0;
    MessageLog log;
    ManualClock clock{10.0};
    Sent sender;
    ActionEngine engine;
    EngineIo io{*list, capture, state, glove, expandedView, log, clock, sender};
    PollCycle cycle{*this, view, clock, glove};
};

TEST(Tick, AVirtualButtonPressBecomesANoteOnAndItsReleaseANoteOff) {
    vantaro::test::quietSdlHints();
    const auto ini = std::filesystem::temp_directory_path() / "vantaro-tick-test.ini";
    std::filesystem::remove(ini);
    Program program(ini);
    {
        VirtualStick stick("Stick");
        program.joystick.listJoysticks();
        ActionRecord note;
        note.buttonMask = 1 << 2; // button 3
        note.povDirection = kPovCentred;
        note.messageKind = kNoteOn;
        note.dataNumber = 60;
        note.high = 127;
        (*program.list)[1] = note;
        program.list->actionCount = 1;
        program.state.autoCentre = 1; // a first run: the resting stick is the centre

        program.cycle.tick();
        EXPECT_TRUE(program.sender.messages.empty());
        stick.button(2, true);
        program.cycle.tick();
        program.cycle.tick(); // held: nothing more
        stick.button(2, false);
        program.cycle.tick();
        EXPECT_EQ(program.sender.messages, (std::vector<std::uint32_t>{packShortMessage(0x90, 60, 127),
                                                                       packShortMessage(0x90, 60, 0)}));

        // Unplugged mid-run with the button held: the note is released, and the ticks go on
        // without a message box or a crash.
        stick.button(2, true);
        program.cycle.tick();
        stick.unplug();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(program.cycle.tick());
        EXPECT_EQ(
            program.sender.messages,
            (std::vector<std::uint32_t>{packShortMessage(0x90, 60, 127), packShortMessage(0x90, 60, 0),
                                        packShortMessage(0x90, 60, 127), packShortMessage(0x90, 60, 0)}));
    }
    std::filesystem::remove(ini);
}

} // namespace
