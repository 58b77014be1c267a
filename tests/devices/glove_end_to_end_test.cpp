// The glove through the program core: start-up over the real bridge library and the simulated
// glove, the per-tick poll feeding the action engine and the live texts, and shut-down.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "palmlet/sdk/p5sim.h"
#include "support/core_rig.h"
#include "support/glove_sim.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantaro {
namespace {

using test::binFolder;

constexpr std::uint32_t controlChange(int channel, int number, int value) {
    return 0xB0u + static_cast<std::uint32_t>(channel) + (static_cast<std::uint32_t>(number) << 8) +
           (static_cast<std::uint32_t>(value) << 16);
}

// The core over the glove bridge found in folder, started, sending to the fake output's one device.
struct GloveRig : StartupStages {
    explicit GloveRig(const std::filesystem::path& folder)
        : bridge(folder), rig({}, nullptr, nullptr, &bridge) {
        rig.midi.names = {"Recorder"};
        rig->start(*this);
    }
    bool gloveStarted(const GloveWidgets& widgets) override {
        shownAtStart = widgets;
        return true;
    }
    void add(ActionRecord a) {
        a.povDirection = kPovCentred;
        a.isGlove = 1;
        a.high = 127;
        a.recordVersion = kRecordVersion;
        list[++list.actionCount] = a;
        rig->playActions(list);
    }
    // One timer tick; what reached the output.
    std::vector<std::uint32_t> tick() {
        rig.midi.sent.clear();
        rig.clock.advanceMs(1);
        EXPECT_TRUE(rig->tick());
        return rig.midi.sent;
    }
    std::string& shown(LiveText box) { return rig.views.liveTexts[box]; }

    GloveBridge bridge;
    test::CoreRig rig;
    GloveWidgets shownAtStart;
    ActionList list;
};

class GloveEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        p5sim_reset();
        p5sim_attach(1);
    }
};

TEST_F(GloveEndToEnd, HandActionMovesOnlyWhileItsClutchFingerIsBent) {
    GloveRig g(binFolder());
    ASSERT_TRUE(g.rig->glove().glovePresent);
    EXPECT_TRUE(g.shownAtStart.centreButton);
    g.rig->setFingerThreshold(20, false);
    g.rig->setHandThreshold(10, false);

    ActionRecord hand;
    hand.dataNumber = 1;
    hand.handAxisSelect[0] = 1; // X
    hand.fingerSelect[1] = 1;   // clutch: the middle finger
    g.add(hand);

    p5sim_set_pose(250.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(g.tick().empty()) << "clutch released";
    p5sim_set_pose(-250.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(g.tick().empty()) << "clutch released";

    p5sim_set_bends(0, 40, 0, 0, 0);
    EXPECT_EQ(g.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 32)})); // 31.75 at X = -250
    EXPECT_EQ(g.shown(LiveText::Hand), "X");
    EXPECT_EQ(g.shown(LiveText::Fingers), "Middle");
    p5sim_set_pose(250.0f, 0, 0, 0, 0, 0);
    EXPECT_EQ(g.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 95)})); // 95.25 at X = 250

    p5sim_set_bends(0, 20, 0, 0, 0); // back at the threshold: released
    p5sim_set_pose(500.0f, 0, 0, 0, 0, 0);
    EXPECT_TRUE(g.tick().empty());

    // Centring makes the present position the middle of the range.
    EXPECT_TRUE(g.rig->centreGlove());
    p5sim_set_bends(0, 63, 0, 0, 0);
    EXPECT_EQ(g.tick(), (std::vector<std::uint32_t>{controlChange(0, 1, 64)})); // 63.5 halves to even

    p5sim_clear_calls();
    g.rig->shutDown();
    EXPECT_EQ(test::sdkCalls(), (std::vector<std::string>{"P5_SetMouseState 0 1", "P5_Close"}));
}

TEST_F(GloveEndToEnd, WithoutTheLibraryTheProgramRunsWithoutTheGlove) {
    test::TempFolder empty;
    GloveRig g(empty.path());
    EXPECT_TRUE(g.shownAtStart.noGloveLabel);
    EXPECT_TRUE(g.shownAtStart.getGloveButton);
    EXPECT_FALSE(g.rig->glove().glovePresent);
    EXPECT_TRUE(g.rig.ui.messages.empty()) << "a missing bridge library is normal: nothing is said";
    EXPECT_FALSE(g.rig->centreGlove());

    ActionRecord index;
    index.fingerSelect[0] = 1;
    index.dataNumber = 5;
    g.add(index);
    p5sim_set_bends(63, 0, 0, 0, 0);
    EXPECT_TRUE(g.tick().empty()) << "an unread glove stays straight";
    EXPECT_EQ(g.rig.views.liveTexts.count(LiveText::Fingers), 0u)
        << "without a glove its boxes are never written";

    g.rig->shutDown();
    EXPECT_EQ(p5sim_call_count(), 0);
    EXPECT_TRUE(g.rig.ui.messages.empty());
}

} // namespace
} // namespace vantaro
