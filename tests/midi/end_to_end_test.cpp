// The whole path with real parts: an SDL virtual joystick or the simulated glove over the real
// bridge library, the program core's tick, the engine, the output choice and the send, into a
// JACK receiver.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "devices/sdl_joystick.h"
#include "midi/rtmidi_output.h"
#include "palmlet/sdk/p5sim.h"
#include "support/core_rig.h"
#include "support/glove_sim.h"
#include "support/jack.h"
#include "support/records.h"
#include "support/virtual_stick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantaro {
namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
        setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
    }
    // Starts the program and chooses the output whose entry is name, as a user does in the list.
    static void startAndChoose(test::CoreRig& rig, RtMidiOutput& out, const std::string& name) {
        rig->start();
        const int n = static_cast<int>(out.midiOutGetNumDevs());
        for (int id = 0; id < n; ++id) {
            std::string entry;
            out.midiOutGetDevCaps(static_cast<std::uint32_t>(id), entry);
            if (entry == name) {
                rig->selectOutput(id);
                return;
            }
        }
        ADD_FAILURE() << name << " is not among the outputs";
    }
    // Device ids are list positions: no other test's ports may come and go meanwhile.
    test::ServerLock lock;
};

TEST_F(EndToEnd, AVirtualButtonPressReachesAJackReceiverAsANoteOn) {
    test::quietSdlHints();
    test::JackPeer synth("vt-e2e-synth", 1, 0);
    SdlJoystickApi sticks;
    RtMidiOutput output;
    test::CoreRig rig({}, &output, &sticks);
    test::VirtualStick stick("E2E Stick");
    startAndChoose(rig, output, "vt-e2e-synth:in0");
    ASSERT_TRUE(rig->midiSender().isOpen());
    ASSERT_TRUE(synth.waitConnected());

    ActionList list;
    list[1] = test::buttonAction(1 << 2, kNoteOn, 2, 60); // button 3
    list[1].high = 100;
    list.actionCount = 1;
    rig->playActions(list);

    rig->tick(); // the resting stick: nothing to send
    stick.button(2, true);
    rig->tick();
    ASSERT_TRUE(synth.waitFor(1));
    EXPECT_EQ(synth.received(), (std::vector<test::Bytes>{{0x92, 60, 100}}));
    EXPECT_TRUE(rig.ui.midiErrors.empty());
    rig->shutDown();
}

TEST_F(EndToEnd, BendingAGloveFingerPastTheThresholdSendsItsController) {
    p5sim_reset();
    p5sim_attach(1);
    const std::string client = "vt-glove-" + std::to_string(::getpid());
    test::JackPeer receiver(client, 1, 0);
    RtMidiOutput output;
    GloveBridge bridge(test::binFolder());
    test::CoreRig rig({}, &output, nullptr, &bridge);
    startAndChoose(rig, output, client + ":in0");
    ASSERT_TRUE(receiver.waitConnected());
    ASSERT_TRUE(rig->glove().glovePresent);
    EXPECT_EQ(test::sdkCalls(), (std::vector<std::string>{"P5_Init", "P5_SetMouseState 0 0"}));
    rig->setFingerThreshold(13, false);

    ActionRecord ring = test::gloveAction(7);
    ring.channel = 2;
    ring.fingerSelect[2] = 1;
    ActionList list;
    list[1] = ring;
    list.actionCount = 1;
    rig->playActions(list);

    p5sim_set_bends(63, 63, 13, 63, 63); // every other finger bent, the ring finger at the threshold
    rig->tick();
    p5sim_set_bends(0, 0, 63, 0, 0);
    rig->tick();
    rig->tick(); // a held bend sends nothing new
    p5sim_set_bends(0, 0, 38, 0, 0);
    rig->tick();
    EXPECT_EQ(rig->captureRecord().fingerSelect, (std::array<std::int16_t, 5>{0, 0, 1, 0, 0}));
    EXPECT_EQ(rig.views.liveTexts[LiveText::Fingers], "Ring");

    ASSERT_TRUE(receiver.waitFor(2));
    // Anything sent after the two would be delivered by now too.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(receiver.received(), (std::vector<test::Bytes>{{0xB2, 7, 127}, {0xB2, 7, 64}}));
    EXPECT_EQ(rig->lastSendError(), 0);
    EXPECT_TRUE(rig.ui.messages.empty());
    rig->shutDown();
}

} // namespace
} // namespace vantaro
