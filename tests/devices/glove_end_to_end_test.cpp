// The glove through the whole core: start-up over the real bridge library and the
// simulated glove, the per-tick poll feeding the action engine, the real send path,
// and shut-down.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "engine/action_engine.h"
#include "midi/midi_send.h"
#include "palmlet/sdk/p5sim.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vantaro {
namespace {

std::filesystem::path binFolder() {
    const char* bin = std::getenv("VANTARO_BIN");
    return bin ? std::filesystem::path(bin) : programFolder();
}

std::vector<std::string> sdkCalls() {
    std::vector<std::string> calls;
    for (int i = 0; i < p5sim_call_count(); ++i)
        calls.emplace_back(p5sim_call(i));
    return calls;
}

// The output device at the end of the send path: keeps what reaches an open port.
class RecordingOutput final : public MidiOutApi {
  public:
    std::uint32_t midiOutGetNumDevs() override { return 1; }
    MmResult midiOutGetDevCaps(std::uint32_t id, std::string& name) override {
        if (id != 0) return MMSYSERR_BADDEVICEID;
        name = "Recorder";
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t id) override {
        if (id != 0) return MMSYSERR_BADDEVICEID;
        *handle = 1;
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutClose(MidiOutHandle) override { return MMSYSERR_NOERROR; }
    MmResult midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) override {
        if (handle != 1) return MMSYSERR_INVALHANDLE;
        received.push_back(message);
        return MMSYSERR_NOERROR;
    }
    std::vector<std::uint32_t> received;
};

class SilentUi final : public UiPort {
  public:
    bool askYesNo(const std::string& text) override {
        shown.push_back(text);
        return false;
    }
    void showMessage(const std::string& text) override { shown.push_back(text); }
    MidiErrorChoice showMidiError(const std::string& text) override {
        shown.push_back(text);
        return MidiErrorChoice::Okay;
    }
    void endProgram() override {}
    std::vector<std::string> shown;
};

constexpr std::uint32_t controlChange(int channel, int number, int value) {
    return 0xB0u + static_cast<std::uint32_t>(channel) + (static_cast<std::uint32_t>(number) << 8) +
           (static_cast<std::uint32_t>(value) << 16);
}

// The main window's state, as far as the glove and the engine need it.
struct Core {
    explicit Core(const std::filesystem::path& folder) : bridge(folder) {
        capture.povDirection = kPovCentred;
        EXPECT_EQ(output.midiOutOpen(&sender.midiOutHandle(), 0), MMSYSERR_NOERROR);
    }

    ActionRecord& add(ActionRecord a) {
        a.povDirection = kPovCentred;
        a.isGlove = 1;
        a.high = 127;
        a.recordVersion = kRecordVersion;
        list[++list.actionCount] = a;
        return list[list.actionCount];
    }

    // One polling tick: the glove when present, then every action.
    std::vector<std::uint32_t> tick() {
        output.received.clear();
        clock.advanceMs(1);
        if (glove.glovePresent != 0) doP5(bridge, glove, capture);
        engine.actions(io);
        return output.received;
    }

    GloveBridge bridge;
    SilentUi ui;
    RecordingOutput output;
    MidiSender sender{output, ui};
    ActionList list;
    ActionRecord capture;
    JoystickState joystick;
    GloveState glove;
    std::int16_t expandedView = 0;
    MessageLog log;
    ManualClock clock{100.0};
    ActionEngine engine;
    EngineIo io{list, capture, joystick, glove, expandedView, log, clock, sender};
};

class GloveEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        p5sim_reset();
        p5sim_attach(1);
    }
};

TEST_F(GloveEndToEnd, BendingAFingerPastTheThresholdSendsItsController) {
    Core core(binFolder());
    gloveStartUp(core.bridge, core.glove, core.ui);
    ASSERT_EQ(core.glove.glovePresent, 1);
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_Init", "P5_SetMouseState 0 0"}));
    core.glove.fingerThreshold = 13;

    ActionRecord ring;
    ring.channel = 2;
    ring.dataNumber = 7;
    ring.fingerSelect[2] = 1;
    core.add(ring);

    p5sim_set_bends(63, 63, 13, 63, 63); // every other finger bent, the ring finger at the threshold
    EXPECT_TRUE(core.tick().empty());
    p5sim_set_bends(0, 0, 63, 0, 0);
    EXPECT_EQ(core.tick(), (std::vector<std::uint32_t>{controlChange(2, 7, 127)}));
    EXPECT_TRUE(core.tick().empty()) << "a held bend sends nothing new";
    p5sim_set_bends(0, 0, 38, 0, 0);
    EXPECT_EQ(core.tick(), (std::vector<std::uint32_t>{controlChange(2, 7, 64)}));
    EXPECT_EQ(core.capture.fingerSelect, (std::array<std::int16_t, 5>{0, 0, 1, 0, 0}));
    EXPECT_TRUE(core.ui.shown.empty());

    p5sim_clear_calls();
    gloveShutDown(core.bridge, core.glove);
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_SetMouseState 0 1", "P5_Close"}));
}

TEST_F(GloveEndToEnd, HandActionMovesOnlyWhileItsClutchFingerIsBent) {
    Core core(binFolder());
    gloveStartUp(core.bridge, core.glove, core.ui);
    ASSERT_EQ(core.glove.glovePresent, 1);
    core.glove.fingerThreshold = 20;
    core.glove.handThreshold = 10;

    ActionRecord hand;
    hand.dataNumber = 1;
    hand.handAxisSelect[0] = 1; // X
    hand.fingerSelect[1] = 1;   // clutch: the middle finger
    core.add(hand);

    p5sim_set_pose(250.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(core.tick().empty()) << "clutch released";
    p5sim_set_pose(-250.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(core.tick().empty()) << "clutch released";

    p5sim_set_bends(0, 40, 0, 0, 0);
    EXPECT_EQ(core.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 32)})); // 31.75 at X = -250
    p5sim_set_pose(250.0f, 0, 0, 0, 0, 0);
    EXPECT_EQ(core.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 95)})); // 95.25 at X = 250

    p5sim_set_bends(0, 20, 0, 0, 0); // back at the threshold: released
    p5sim_set_pose(500.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(core.tick().empty());

    // Centring makes the present position the middle of the range.
    EXPECT_TRUE(centreGlove(core.bridge));
    p5sim_set_bends(0, 63, 0, 0, 0);
    EXPECT_EQ(core.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 64)})); // 63.5 halves to even
}

TEST_F(GloveEndToEnd, WithoutTheLibraryTheProgramRunsWithoutTheGlove) {
    const auto empty =
        std::filesystem::temp_directory_path() / ("vantaro-no-palmlet-" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    Core core(empty);
    const GloveWidgets shown = gloveStartUp(core.bridge, core.glove, core.ui);
    EXPECT_TRUE(shown.noGloveLabel);
    EXPECT_TRUE(shown.getGloveButton);
    EXPECT_EQ(core.glove.glovePresent, 0);

    ActionRecord index;
    index.fingerSelect[0] = 1;
    index.dataNumber = 5;
    core.add(index);
    p5sim_set_bends(63, 0, 0, 0, 0);
    EXPECT_TRUE(core.tick().empty()) << "an unread glove stays straight";

    gloveShutDown(core.bridge, core.glove);
    EXPECT_EQ(p5sim_call_count(), 0);
    EXPECT_TRUE(core.ui.shown.empty());
    std::filesystem::remove_all(empty);
}

} // namespace
} // namespace vantaro
