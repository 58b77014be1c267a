// The glove side of the program: the gesture thresholds, and the poll, centre button,
// start-up and shut-down through the real bridge library over the simulated glove.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "palmlet/sdk/p5sim.h"
#include "support/records.h"

#include "support/glove_sim.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vantaro {
namespace {

using test::binFolder;
using test::sdkCalls;

using test::TempFolder;

GloveState gestureOf(std::int32_t hand, std::int32_t finger, std::array<std::uint8_t, 5> bends,
                     std::array<float, 6> pose) {
    GloveState g;
    g.handThreshold = hand;
    g.fingerThreshold = finger;
    g.gloveBends = bends;
    g.glovePose = pose;
    ActionRecord capture;
    deriveGloveGesture(g, capture);
    return g;
}

TEST(GloveGesture, FingerCountsAsBentOnlyAboveTheThreshold) {
    const GloveState g = gestureOf(0, 30, {30, 31, 0, 63, 29}, {});
    EXPECT_EQ(g.fingerBent, (std::array<std::uint8_t, 5>{0, 1, 0, 1, 0}));

    // With threshold 0 any bend above 0 counts.
    EXPECT_EQ(gestureOf(0, 0, {0, 1, 0, 0, 2}, {}).fingerBent, (std::array<std::uint8_t, 5>{0, 1, 0, 0, 1}));
}

TEST(GloveGesture, PositionsAndAnglesMoveOnlyBeyondTheirThresholds) {
    // h = 10: positions beyond 200, angles beyond 18.
    EXPECT_EQ(gestureOf(10, 0, {}, {200.0f, 200.5f, -201.0f, 18.0f, 18.1f, -18.1f}).handDirection,
              (std::array<float, 6>{0, 1, -1, 0, 1, -1}));
    EXPECT_EQ(gestureOf(10, 0, {}, {-200.0f, 0, 0, -18.0f, 0, 0}).handDirection, (std::array<float, 6>{}));

    // h = 100: positions beyond 2000, and no angle up to 180 has a direction.
    EXPECT_EQ(gestureOf(100, 0, {}, {2000.0f, -2000.5f, 1999.0f, 180.0f, -180.0f, 179.9f}).handDirection,
              (std::array<float, 6>{0, -1, 0, 0, 0, 0}));

    // h = 7: the angle threshold is the single-precision 12.6, which lies above the exact
    // 12.6, so a reading of that value is not beyond it.
    EXPECT_EQ(gestureOf(7, 0, {}, {0, 0, 0, 12.6f, -12.6f, std::nextafter(12.6f, 13.0f)}).handDirection,
              (std::array<float, 6>{0, 0, 0, 0, 0, 1}));

    // h = 0: every non-zero reading has a direction.
    EXPECT_EQ(gestureOf(0, 0, {}, {0.25f, -0.25f, 0, 0.01f, -0.01f, 0}).handDirection,
              (std::array<float, 6>{1, -1, 0, 1, -1, 0}));
}

TEST(GloveGesture, CaptureRecordGetsTheGestureAndNothingElse) {
    GloveState g;
    g.handThreshold = 10;
    g.fingerThreshold = 30;
    g.gloveBends = {40, 0, 0, 0, 50};
    g.glovePose = {0, -300, 0, 0, 0, 40};
    g.handDirection = {1, 1, 1, 1, 1, 1}; // stale values from an earlier tick are cleared
    ActionRecord capture;
    capture.buttonMask = 5;
    capture.axisMask = 3;
    capture.povDirection = 9000;
    capture.fingerSelect = {0, 1, 1, 1, 0};
    ActionRecord expected = capture;
    expected.fingerSelect = {1, 0, 0, 0, 1};
    expected.handAxisSelect = {0, -1, 0, 0, 0, 1};

    deriveGloveGesture(g, capture);
    EXPECT_EQ(capture, expected);
    EXPECT_EQ(g.handDirection, (std::array<float, 6>{0, -1, 0, 0, 0, 1}));

    // A new threshold changes the result without a new reading.
    g.handThreshold = 20;
    deriveGloveGesture(g, capture);
    EXPECT_EQ(capture.handAxisSelect, (std::array<std::int16_t, 6>{0, 0, 0, 0, 0, 1}));
}

TEST(GloveBridgeFailure, RecognisedByTheLibraryNameAtTheEnd) {
    EXPECT_TRUE(isGloveBridgeFailure("File not found: libpalmlet.so"));
    EXPECT_TRUE(isGloveBridgeFailure("Can't find entry point plm_X in LIBPALMLET.SO"));
    EXPECT_FALSE(isGloveBridgeFailure("Overflow"));
    EXPECT_FALSE(isGloveBridgeFailure("libpalmlet.so is damaged"));
    EXPECT_FALSE(isGloveBridgeFailure(""));
}

class GloveProgram : public ::testing::Test {
protected:
    void SetUp() override { p5sim_reset(); }
    // Start-up's glove step; what failed stays in failures.
    GloveWidgets startUp(GloveBridge& bridge) {
        GloveStart start = gloveStartUp(bridge, glove);
        failures = start.failures;
        return start.widgets;
    }
    // Start-up tells the user nothing of a missing bridge library or export.
    bool silent() const {
        return std::all_of(failures.begin(), failures.end(),
                           [](const GloveFailure& f) { return isGloveBridgeFailure(f.description); });
    }
    std::vector<GloveFailure> failures;
    GloveState glove;
    ActionRecord capture;
};

TEST_F(GloveProgram, StartUpFindsTheGloveAndSwitchesItsMouseModeOff) {
    p5sim_attach(1);
    GloveBridge bridge(binFolder());
    const GloveWidgets shown = startUp(bridge);
    EXPECT_TRUE(glove.glovePresent);
    EXPECT_FALSE(shown.noGloveLabel);
    EXPECT_FALSE(shown.getGloveButton);
    EXPECT_TRUE(shown.centreButton);
    EXPECT_TRUE(shown.gloveLabels);
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_Init", "P5_SetMouseState 0 0"}));
    EXPECT_TRUE(failures.empty());

    p5sim_clear_calls();
    gloveShutDown(bridge, glove);
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_SetMouseState 0 1", "P5_Close"}));
}

TEST_F(GloveProgram, WithoutExactlyOneGloveTheProgramRunsWithoutIt) {
    for (int gloves : {0, 2}) {
        p5sim_reset();
        p5sim_attach(gloves);
        GloveBridge bridge(binFolder());
        glove.glovePresent = true;
        const GloveWidgets shown = startUp(bridge);
        EXPECT_FALSE(glove.glovePresent) << gloves;
        EXPECT_TRUE(shown.noGloveLabel);
        EXPECT_TRUE(shown.getGloveButton);
        EXPECT_FALSE(shown.centreButton);
        EXPECT_FALSE(shown.gloveLabels);
        gloveShutDown(bridge, glove);
        EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_Init"})) << gloves;
        EXPECT_TRUE(failures.empty());
    }
}

TEST_F(GloveProgram, MissingLibraryIsSilentAndShutDownLeavesTheGloveAlone) {
    p5sim_attach(1);
    TempFolder empty;
    GloveBridge bridge(empty.path());
    const GloveWidgets shown = startUp(bridge);
    EXPECT_FALSE(glove.glovePresent);
    EXPECT_TRUE(shown.noGloveLabel);
    EXPECT_TRUE(shown.getGloveButton);
    EXPECT_FALSE(shown.centreButton);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].number, kLibraryNotFound);
    EXPECT_TRUE(silent());
    gloveShutDown(bridge, glove);
    EXPECT_FALSE(bridge.loaded());
    EXPECT_EQ(p5sim_call_count(), 0);

    try {
        bridge.plm_Init();
        FAIL() << "a missing library must fail the call";
    } catch (const GloveBridgeError& e) {
        EXPECT_TRUE(isGloveBridgeFailure(e.what())) << e.what();
        EXPECT_EQ(e.number(), kLibraryNotFound);
    }
}

TEST_F(GloveProgram, LibraryWithoutTheExportsFailsByNameAndThePollStops) {
    // A library by the bridge's name that lacks its functions: the SDK layer itself.
    TempFolder folder;
    std::filesystem::copy_file(binFolder() / "libp5dll.so", folder.path() / kPalmletFileName);
    GloveBridge bridge(folder.path());
    startUp(bridge);
    EXPECT_TRUE(bridge.loaded());
    EXPECT_FALSE(glove.glovePresent);
    EXPECT_TRUE(silent());
    try {
        bridge.plm_BendIndex();
        FAIL() << "a missing export must fail the call";
    } catch (const GloveBridgeError& e) {
        EXPECT_STREQ(e.what(), "Can't find entry point plm_BendIndex in libpalmlet.so");
        EXPECT_EQ(e.number(), kEntryPointNotFound);
    }

    // Were the poll running, it would stop instead of failing on every tick.
    glove.glovePresent = true;
    glove.gloveBends = {9, 9, 9, 9, 9};
    doP5(bridge, glove, capture);
    EXPECT_FALSE(glove.glovePresent);
    EXPECT_EQ(glove.gloveBends, (std::array<std::uint8_t, 5>{9, 9, 9, 9, 9}));
}

TEST_F(GloveProgram, PollReadsEveryValueIntoItsPlace) {
    p5sim_attach(1);
    GloveBridge bridge(binFolder());
    startUp(bridge);
    ASSERT_TRUE(glove.glovePresent);
    glove.fingerThreshold = 30;
    glove.handThreshold = 10;
    p5sim_set_bends(31, 2, 3, 4, 63);
    p5sim_set_buttons(1, 0, 1);
    p5sim_set_pose(250.0f, -10.0f, -300.0f, 45.0f, -5.0f, -60.5f);
    p5sim_clear_calls();

    doP5(bridge, glove, capture);
    EXPECT_EQ(glove.gloveBends, (std::array<std::uint8_t, 5>{31, 2, 3, 4, 63}));
    EXPECT_EQ(glove.gloveButtons, (std::array<std::uint8_t, 3>{1, 0, 1}));
    EXPECT_EQ(glove.glovePose, (std::array<float, 6>{250.0f, -10.0f, -300.0f, 45.0f, -5.0f, -60.5f}));
    EXPECT_EQ(capture.fingerSelect, (std::array<std::int16_t, 5>{1, 0, 0, 0, 1}));
    EXPECT_EQ(capture.handAxisSelect, (std::array<std::int16_t, 6>{1, 0, -1, 1, 0, -1}));
    EXPECT_EQ(p5sim_call_count(), 0) << "the poll only reads";

    // The centre button re-centres glove 0; the next poll sees the hand at the origin.
    EXPECT_TRUE(centreGlove(bridge));
    EXPECT_EQ(sdkCalls(), (std::vector<std::string>{"P5_CalibratePositionData 0"}));
    doP5(bridge, glove, capture);
    EXPECT_EQ(glove.glovePose[0], 0.0f);
    EXPECT_EQ(capture.handAxisSelect, (std::array<std::int16_t, 6>{0, 0, 0, 1, 0, -1}));
}

} // namespace
} // namespace vantaro
