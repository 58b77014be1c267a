// Glove actions through the engine: finger bends and hand axes.
#include "engine_harness.h"

#include <gtest/gtest.h>

using namespace vantaro;
using namespace vantaro::testing;
using V = std::vector<int>;

namespace {

constexpr int kIndex = 0, kThumb = 4;
constexpr int kX = 0, kYaw = 3;

struct GloveHarness : EngineHarness {
    GloveHarness() {
        glove.glovePresent = 1;
        glove.fingerThreshold = 13;
        glove.handThreshold = 10;
    }
    void bend(int finger, int value) {
        glove.gloveBends[static_cast<std::size_t>(finger)] = static_cast<std::uint8_t>(value);
    }
    void hand(int k, float value) { glove.glovePose[static_cast<std::size_t>(k)] = value; }
};

ActionRecord fingerAction(int finger, int low = 0, int high = 127) {
    ActionRecord a = gloveAction(20, low, high);
    a.fingerSelect[static_cast<std::size_t>(finger)] = 1;
    return a;
}

ActionRecord handAction(int k, int low = 0, int high = 127) {
    ActionRecord a = gloveAction(21, low, high);
    a.handAxisSelect[static_cast<std::size_t>(k)] = 1;
    return a;
}

} // namespace

TEST(FingerActions, AbsoluteBendScalesFromThresholdToFullBend) {
    GloveHarness h;
    h.add(fingerAction(kIndex));
    h.bend(kIndex, 13);
    EXPECT_TRUE(h.tick().empty()) << "exactly at the threshold counts as straight, and low is 0 already";
    h.bend(kIndex, 63);
    EXPECT_EQ(h.values(), V{127});
    h.bend(kIndex, 38);
    EXPECT_EQ(h.values(), V{64}) << "63.5 rounds half to even";
    h.bend(kIndex, 13);
    EXPECT_EQ(h.values(), V{0});
}

TEST(FingerActions, ReversedRangeRunsTheOtherWay) {
    GloveHarness h;
    h.add(fingerAction(kIndex, 127, 0));
    h.bend(kIndex, 13);
    EXPECT_EQ(h.values(), V{127});
    h.bend(kIndex, 63);
    EXPECT_EQ(h.values(), V{0});
    h.bend(kIndex, 38);
    EXPECT_EQ(h.values(), V{64});
}

TEST(FingerActions, ToggleFlipsOncePerBend) {
    GloveHarness h;
    h.add(fingerAction(kThumb)).toggle = 1;
    h.bend(kThumb, 50);
    EXPECT_EQ(h.values(), V{127});
    EXPECT_TRUE(h.tick().empty()) << "holding the bend sends nothing more";
    h.bend(kThumb, 0);
    EXPECT_TRUE(h.tick().empty()) << "straightening keeps the value";
    h.bend(kThumb, 50);
    EXPECT_EQ(h.values(), V{0});
}

TEST(FingerActions, IncrementStepsWhileBentAndReversesAfterAStraightenWithToggle) {
    GloveHarness h;
    ActionRecord& a = h.add(fingerAction(kIndex));
    a.increment = 40;
    a.toggle = 1;
    h.bend(kIndex, 60);
    V sent;
    for (int i = 0; i < 5; ++i) {
        V v = h.values();
        sent.insert(sent.end(), v.begin(), v.end());
    }
    EXPECT_EQ(sent, (V{40, 80, 120, 127}));
    h.bend(kIndex, 0);
    EXPECT_TRUE(h.tick().empty());
    h.bend(kIndex, 60);
    EXPECT_EQ(h.values(), V{87}) << "the next bend steps the other way";
}

TEST(FingerActions, WrapArmsWhenStraightenedAtAnEnd) {
    GloveHarness h;
    ActionRecord& a = h.add(fingerAction(kIndex));
    a.increment = 100;
    a.wrap = 1;
    h.bend(kIndex, 60);
    EXPECT_EQ(h.values(), V{100});
    EXPECT_EQ(h.values(), V{127});
    EXPECT_TRUE(h.tick().empty()) << "without being armed the value holds at the end";
    h.bend(kIndex, 0);
    EXPECT_TRUE(h.tick().empty());
    h.bend(kIndex, 60);
    EXPECT_EQ(h.values(), V{0}) << "armed at the end, the next step wraps to the other end";
}

TEST(FingerActions, FingerFlagsAreSharedByActions) {
    GloveHarness h;
    h.add(fingerAction(kIndex)).toggle = 1;
    ActionRecord second = fingerAction(kIndex);
    second.dataNumber = 30;
    second.toggle = 1;
    h.add(second);
    h.bend(kIndex, 60);
    // The first action sets the shared latch, so the second one sees a latched finger.
    EXPECT_EQ(h.values(), V{127});
}

TEST(HandActions, IncrementStepsOutsideTheCentreZone) {
    GloveHarness h;
    h.add(handAction(kX)).increment = 10;
    h.hand(kX, 20); // 520 on the 0..1000 scale: above 510
    EXPECT_EQ(h.values(), V{10});
    EXPECT_EQ(h.values(), V{20});
    h.hand(kX, 5);
    EXPECT_TRUE(h.tick().empty());
    h.hand(kX, -20);
    EXPECT_EQ(h.values(), V{10});
}

TEST(HandActions, AnglesUseTheirOwnScale) {
    GloveHarness h;
    h.add(handAction(kYaw)).increment = 10;
    h.hand(kYaw, 9); // 99 on the 0..180 scale: inside 80..100
    EXPECT_TRUE(h.tick().empty());
    h.hand(kYaw, 11);
    EXPECT_EQ(h.values(), V{10});
    h.hand(kYaw, -11);
    EXPECT_EQ(h.values(), V{0});
}

TEST(HandActions, AbsoluteHandIsClampedToItsRange) {
    GloveHarness h;
    h.add(handAction(kX));
    h.hand(kX, 2000);
    EXPECT_EQ(h.values(), V{127});
    h.hand(kX, 0);
    EXPECT_EQ(h.values(), V{64}); // 63.5
    h.hand(kX, -900);
    EXPECT_EQ(h.values(), V{0});
}

TEST(HandActions, ASelectedFingerIsTheClutch) {
    GloveHarness h;
    ActionRecord a = handAction(kX);
    a.fingerSelect[kIndex] = 1;
    a.increment = 10;
    h.add(a);
    h.hand(kX, 100);
    EXPECT_TRUE(h.tick().empty()) << "the finger is straight";
    h.bend(kIndex, 40);
    EXPECT_EQ(h.values(), V{10}) << "fingers give no value of their own when hand axes are selected";
    h.bend(kIndex, 13);
    EXPECT_TRUE(h.tick().empty());
}

TEST(GloveActions, JoystickInputsDoNotTriggerGloveActions) {
    GloveHarness h;
    ActionRecord a = fingerAction(kIndex);
    a.buttonMask = 1; // whatever the capture held; a glove action ignores it
    h.add(a);
    h.buttons(1);
    EXPECT_TRUE(h.tick().empty());
}

TEST(GloveRangeRules, EndWrapToggleAndMirroredRange) {
    {
        // End wrap of a finger: a full bend reaches High and gives Low; a straight finger gives High.
        GloveHarness h;
        h.add(fingerAction(kIndex)).wrap = 1;
        h.bend(kIndex, 0);
        EXPECT_EQ(h.values(), V{127});
        h.bend(kIndex, 63);
        EXPECT_EQ(h.values(), V{0});
        h.bend(kIndex, 38);
        EXPECT_EQ(h.values(), V{64});
        h.bend(kIndex, 13);
        EXPECT_EQ(h.values(), V{127});
    }
    {
        // The same with High below Low: the full bend reaches Low's end and gives the other one.
        GloveHarness h;
        h.add(fingerAction(kThumb, 127, 0)).wrap = 1;
        h.bend(kThumb, 0);
        EXPECT_TRUE(h.tick().empty()) << "straight gives High, which is 0";
        h.bend(kThumb, 63);
        EXPECT_EQ(h.values(), V{127});
        h.bend(kThumb, 38);
        EXPECT_EQ(h.values(), V{64});
    }
    {
        // End wrap of a hand value, the clamped one included.
        GloveHarness h;
        h.add(handAction(kX)).wrap = 1;
        h.hand(kX, 0);
        EXPECT_EQ(h.values(), V{64});
        h.hand(kX, 500);
        EXPECT_EQ(h.values(), V{0});
        h.hand(kX, -500);
        EXPECT_EQ(h.values(), V{127});
        h.hand(kX, 2000);
        EXPECT_EQ(h.values(), V{0});
    }
    {
        // Toggle: the ends outside the centre zone, the last value inside it.
        GloveHarness h;
        h.add(handAction(kX)).toggle = 1;
        h.hand(kX, 20);
        EXPECT_EQ(h.values(), V{127});
        h.hand(kX, 5);
        EXPECT_TRUE(h.tick().empty());
        h.hand(kX, -20);
        EXPECT_EQ(h.values(), V{0});
        h.hand(kX, 0);
        EXPECT_TRUE(h.tick().empty());
    }
    {
        // High below Low mirrors the hand.
        GloveHarness h;
        h.add(handAction(kX, 127, 0));
        h.hand(kX, -500);
        EXPECT_EQ(h.values(), V{127});
        h.hand(kX, 500);
        EXPECT_EQ(h.values(), V{0});
        h.hand(kX, 250);
        EXPECT_EQ(h.values(), V{32}); // 250 of 1000 mirrored: 31.75
    }
    {
        // Mirrored and toggled: turning one way now gives High, the other Low.
        GloveHarness h;
        ActionRecord& a = h.add(handAction(kYaw, 127, 0));
        a.toggle = 1;
        h.hand(kYaw, -20);
        EXPECT_EQ(h.values(), V{127});
        h.hand(kYaw, 20);
        EXPECT_EQ(h.values(), V{0});
        h.hand(kYaw, 5);
        EXPECT_TRUE(h.tick().empty());
    }
}

TEST(GloveRules, OneStepClockPerActionAndTheCentreZoneEdges) {
    {
        // Fingers: the first finger through the gate sets the clock and the next is skipped,
        // so the straight Middle never overwrites the Index value.
        GloveHarness h;
        ActionRecord a = fingerAction(kIndex);
        a.fingerSelect[1] = 1; // Middle
        a.delay = 100;
        h.add(a);
        h.bend(kIndex, 63);
        EXPECT_EQ(h.values(), V{127});
        h.bend(kIndex, 38);
        for (int t = 1; t <= 100; ++t)
            EXPECT_TRUE(h.tick().empty()) << "tick " << t;
        EXPECT_EQ(h.values(), V{64});
    }
    {
        // Hand axes: X steps up, Yaw (pushed down) is skipped by the same clock.
        GloveHarness h;
        ActionRecord a = handAction(kX);
        a.handAxisSelect[kYaw] = 1;
        a.increment = 10;
        a.delay = 50;
        h.add(a);
        h.hand(kX, 20);
        h.hand(kYaw, -20);
        EXPECT_EQ(h.values(), V{10});
        for (int t = 1; t <= 50; ++t)
            EXPECT_TRUE(h.tick().empty()) << "tick " << t;
        EXPECT_EQ(h.values(), V{20});
    }
    // The zone edges themselves are inside the zone: 490 and 510 for X, 80 and 100 for Yaw.
    for (const int k : {kX, kYaw}) {
        GloveHarness h;
        h.add(handAction(k)).increment = 10;
        h.hand(k, 10);
        EXPECT_TRUE(h.tick().empty()) << k;
        h.hand(k, 10.5f);
        EXPECT_EQ(h.values(), V{10}) << k;
        h.hand(k, -10);
        EXPECT_TRUE(h.tick().empty()) << k;
        h.hand(k, -10.5f);
        EXPECT_EQ(h.values(), V{0}) << k;
    }
}
