// The whole path with real parts: an SDL virtual joystick, the tick, the engine, the output
// port and sendShortMessage, into a JACK receiver.
#include "devices/virtual_stick.h"
#include "jack_peer.h"
#include "test_ui.h"

#include "devices/joystick.h"
#include "devices/sdl_joystick.h"
#include "engine/action_engine.h"
#include "engine/poll_cycle.h"
#include "midi/midi_send.h"
#include "midi/output_port.h"
#include "midi/rtmidi_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace vantaro {
namespace {

struct Views final : JoystickView, LagView, OutputListView {
    void addJoystickEntry(std::string_view) override {}
    void showSelectedEntry(int) override {}
    void hideCalibrationPrompt() override {}
    void hideCalibrateButton() override {}
    void setRawLabel(RawLabels, int, std::string_view) override {}
    void setLagCaption(std::string_view) override {}
    void clear() override { outputs.clear(); }
    void addItem(const std::string& text) override { outputs.push_back(text); }
    int count() const override { return static_cast<int>(outputs.size()); }
    void setCurrentIndex(int index) override { current = index; }
    int currentIndex() const override { return current; }
    std::vector<std::string> outputs;
    int current = -1;
};

// What the main window wires together for its tick.
struct Program final : TickSteps {
    explicit Program(const std::filesystem::path& ini)
        : joystick(joystickApi, views, ini), port(sender, views, ui, ini) {}

    void readJoystick() override { joystick.readJoystick(state, capture, expandedView != 0); }
    void doP5() override {}
    void actions() override { engine.actions(io); }
    void updateStatus() override {}

    SdlJoystickApi joystickApi;
    RtMidiOutput midiApi;
    test::RecordingUi ui;
    Views views;
    Joystick joystick;
    MidiSender sender{midiApi, ui};
    OutputPort port;
    std::unique_ptr<ActionList> list = std::make_unique<ActionList>();
    ActionRecord capture;
    JoystickState state;
    GloveState glove;
    std::int16_t expandedView = 0;
    MessageLog log;
    ManualClock clock{10.0};
    ActionEngine engine;
    EngineIo io{*list, capture, state, glove, expandedView, log, clock, sender};
    PollCycle cycle{*this, views, clock, glove};
};

TEST(EndToEnd, AVirtualButtonPressReachesAJackReceiverAsANoteOn) {
    ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
    setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
    test::ServerLock lock;
    test::quietSdlHints();
    const auto ini =
        std::filesystem::temp_directory_path() / ("vantaro-e2e-" + std::to_string(::getpid()) + ".ini");
    std::filesystem::remove(ini);

    test::JackPeer synth("vt-e2e-synth", 1, 0);
    Program program(ini);
    test::VirtualStick stick("E2E Stick");
    program.joystick.listJoysticks();
    program.port.listDevices();
    const auto it = std::find(program.views.outputs.begin(), program.views.outputs.end(), "vt-e2e-synth:in0");
    ASSERT_NE(it, program.views.outputs.end()) << ::testing::PrintToString(program.views.outputs);
    program.port.select(static_cast<int>(it - program.views.outputs.begin()));
    ASSERT_NE(program.sender.midiOutHandle(), 0u);

    ActionRecord note;
    note.buttonMask = 1 << 2; // button 3
    note.povDirection = kPovCentred;
    note.messageKind = kNoteOn;
    note.channel = 2;
    note.dataNumber = 60;
    note.high = 100;
    (*program.list)[1] = note;
    program.list->actionCount = 1;
    program.state.autoCentre = 1;

    program.cycle.tick(); // the resting stick: nothing to send
    stick.button(2, true);
    program.cycle.tick();
    ASSERT_TRUE(synth.waitFor(1));
    EXPECT_EQ(synth.received(), (std::vector<test::Bytes>{{0x92, 60, 100}}));
    EXPECT_TRUE(program.ui.midiErrors.empty());

    program.port.close();
    std::filesystem::remove(ini);
}

} // namespace
} // namespace vantaro
