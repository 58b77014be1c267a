// The glove through the whole core: start-up over the real bridge library and the
// simulated glove, the per-tick poll feeding the action engine, the real send path out to
// a JACK receiver, and shut-down.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "engine/action_engine.h"
#include "engine/poll_cycle.h"
#include "engine/texts.h"
#include "midi/jack_peer.h"
#include "midi/midi_send.h"
#include "midi/rtmidi_output.h"
#include "palmlet/sdk/p5sim.h"

#include "glove_sim.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantaro {
namespace {

using test::binFolder;
using test::sdkCalls;

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

// The live texts as the main window would show them.
struct ShownStatus final : StatusView, LagView {
    void setLiveText(LiveText box, std::string_view text) override {
        if (box == LiveText::Hand) hand = text;
        if (box == LiveText::Fingers) fingers = text;
    }
    void setValueLabel(int, std::string_view) override {}
    void setLagCaption(std::string_view) override {}
    std::string hand, fingers;
};

// The main window's state and its tick, as far as the glove and the engine need them.
struct Core final : TickSteps {
    Core(const std::filesystem::path& folder, MidiOutApi& output, std::uint32_t deviceId)
        : bridge(folder), sender(output, ui) {
        capture.povDirection = kPovCentred;
        EXPECT_EQ(output.midiOutOpen(&sender.midiOutHandle(), deviceId), MMSYSERR_NOERROR);
    }
    ~Core() override { sender.api().midiOutClose(sender.midiOutHandle()); }

    ActionRecord& add(ActionRecord a) {
        a.povDirection = kPovCentred;
        a.isGlove = 1;
        a.high = 127;
        a.recordVersion = kRecordVersion;
        (*list)[++list->actionCount] = a;
        return (*list)[list->actionCount];
    }

    // One timer tick.
    void tick() {
        clock.advanceMs(1);
        EXPECT_TRUE(cycle.tick());
    }

    void readJoystick() override {}
    void doP5() override { vantaro::doP5(bridge, glove, capture); }
    void actions() override { engine->actions(io); }
    void updateStatus() override { vantaro::updateStatus(status, shown, capture, false, glove, false); }

    GloveBridge bridge;
    SilentUi ui;
    MidiSender sender;
    std::unique_ptr<ActionList> list = std::make_unique<ActionList>();
    ActionRecord capture;
    JoystickState joystick;
    GloveState glove;
    std::int16_t expandedView = 0;
    MessageLog log;
    ManualClock clock{100.0};
    std::unique_ptr<ActionEngine> engine = std::make_unique<ActionEngine>();
    EngineIo io{*list, capture, joystick, glove, expandedView, log, clock, sender};
    ShownStatus status;
    ShownTexts shown;
    PollCycle cycle{*this, status, clock, glove};
};

class GloveEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        p5sim_reset();
        p5sim_attach(1);
    }
    // One tick of core; returns what reached the recording output.
    std::vector<std::uint32_t> tick(Core& core) {
        recorder.received.clear();
        core.tick();
        return recorder.received;
    }
    RecordingOutput recorder;
};

// Device id of the output whose name contains part, or -1.
int findDevice(MidiOutApi& out, const std::string& part) {
    const auto n = out.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        out.midiOutGetDevCaps(id, name);
        if (name.find(part) != std::string::npos) return static_cast<int>(id);
    }
    return -1;
}

TEST_F(GloveEndToEnd, BendingAFingerPastTheThresholdSendsItsControllerToAJackReceiver) {
    ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
    setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
    test::ServerLock lock; // device ids are list positions: no other test's ports may come and go
    const std::string client = "vt-glove-" + std::to_string(::getpid());
    test::JackPeer receiver(client, 1, 0);
    RtMidiOutput output;
    const int id = findDevice(output, client + ":in0");
    ASSERT_GE(id, 0) << "the receiver is not among the output devices";

    Core core(binFolder(), output, static_cast<std::uint32_t>(id));
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
    core.tick();
    p5sim_set_bends(0, 0, 63, 0, 0);
    core.tick();
    core.tick(); // a held bend sends nothing new
    p5sim_set_bends(0, 0, 38, 0, 0);
    core.tick();
    EXPECT_EQ(core.capture.fingerSelect, (std::array<std::int16_t, 5>{0, 0, 1, 0, 0}));
    EXPECT_EQ(core.status.fingers, "Ring");

    ASSERT_TRUE(receiver.waitFor(2));
    // Anything sent after the two would be delivered by now too.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(receiver.received(), (std::vector<test::Bytes>{{0xB2, 7, 127}, {0xB2, 7, 64}}));
    EXPECT_EQ(core.sender.lastSendError(), 0);
    EXPECT_TRUE(core.ui.shown.empty());

    p5sim_clear_calls();
    gloveShutDown(core.bridge, core.glove);
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_SetMouseState 0 1", "P5_Close"}));
}

TEST_F(GloveEndToEnd, HandActionMovesOnlyWhileItsClutchFingerIsBent) {
    Core core(binFolder(), recorder, 0);
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
    EXPECT_TRUE(tick(core).empty()) << "clutch released";
    p5sim_set_pose(-250.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(tick(core).empty()) << "clutch released";

    p5sim_set_bends(0, 40, 0, 0, 0);
    EXPECT_EQ(tick(core), (std::vector<std::uint32_t>{controlChange(0, 1, 32)})); // 31.75 at X = -250
    EXPECT_EQ(core.status.hand, "X");
    EXPECT_EQ(core.status.fingers, "Middle");
    p5sim_set_pose(250.0f, 0, 0, 0, 0, 0);
    EXPECT_EQ(tick(core), (std::vector<std::uint32_t>{controlChange(0, 1, 95)})); // 95.25 at X = 250

    p5sim_set_bends(0, 20, 0, 0, 0); // back at the threshold: released
    p5sim_set_pose(500.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(tick(core).empty());

    // Centring makes the present position the middle of the range.
    EXPECT_TRUE(centreGlove(core.bridge));
    p5sim_set_bends(0, 63, 0, 0, 0);
    EXPECT_EQ(tick(core), (std::vector<std::uint32_t>{controlChange(0, 1, 64)})); // 63.5 halves to even
}

TEST_F(GloveEndToEnd, WithoutTheLibraryTheProgramRunsWithoutTheGlove) {
    const auto empty =
        std::filesystem::temp_directory_path() / ("vantaro-no-palmlet-" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    Core core(empty, recorder, 0);
    const GloveWidgets shown = gloveStartUp(core.bridge, core.glove, core.ui);
    EXPECT_TRUE(shown.noGloveLabel);
    EXPECT_TRUE(shown.getGloveButton);
    EXPECT_EQ(core.glove.glovePresent, 0);

    ActionRecord index;
    index.fingerSelect[0] = 1;
    index.dataNumber = 5;
    core.add(index);
    p5sim_set_bends(63, 0, 0, 0, 0);
    EXPECT_TRUE(tick(core).empty()) << "an unread glove stays straight";
    EXPECT_EQ(core.status.fingers, "") << "without a glove its boxes are never written";

    gloveShutDown(core.bridge, core.glove);
    EXPECT_EQ(p5sim_call_count(), 0);
    EXPECT_TRUE(core.ui.shown.empty());
    std::filesystem::remove_all(empty);
}

} // namespace
} // namespace vantaro
