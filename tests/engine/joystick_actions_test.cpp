// Joystick actions end to end through the engine: buttons, hat and axes.
#include "engine_harness.h"

#include <gtest/gtest.h>

using namespace vantaro;
using namespace vantaro::testing;
using V = std::vector<int>;

namespace {

// Press and release button 1 once; the data values each half sent.
struct PressResult {
    V press, release;
};
PressResult pressOnce(EngineHarness& h, std::int32_t word = 1) {
    h.buttons(word);
    V press = h.values();
    h.buttons(0);
    return {press, h.values()};
}

} // namespace

TEST(ButtonActions, PlainNoteOnSendsHighOnPressAndLowOnRelease) {
    EngineHarness h;
    h.add(buttonAction(1 << 2, kNoteOn, 0, 60)); // button 3
    h.buttons(1 << 2);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(0, 60, 127)});
    EXPECT_TRUE(h.tick().empty()) << "holding sends nothing more";
    h.buttons(0);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(0, 60, 0)});
    EXPECT_TRUE(h.tick().empty());
    EXPECT_EQ(h.engine.valueAt(0, 60), 0);
}

TEST(ButtonActions, OtherButtonsDoNotTrigger) {
    EngineHarness h;
    h.add(buttonAction(1));
    h.buttons(2);
    EXPECT_TRUE(h.tick().empty());
    h.buttons(0);
    EXPECT_TRUE(h.tick().empty());
}

TEST(ButtonActions, ToggleAlternatesOnPressesAndIgnoresReleases) {
    EngineHarness h;
    h.add(buttonAction(1)).toggle = 1;
    EXPECT_EQ(pressOnce(h).press, V{127});
    h.buttons(1);
    h.buttons(0);
    PressResult second = pressOnce(h);
    EXPECT_EQ(second.press, V{0});
    EXPECT_TRUE(second.release.empty());
    EXPECT_EQ(pressOnce(h).press, V{127});
}

TEST(ButtonActions, IncrementStopsAtHighWithoutWrap) {
    EngineHarness h;
    h.add(buttonAction(1, kControllerChange, 0, 7)).increment = 10;
    V sent;
    for (int i = 0; i < 14; ++i) {
        PressResult r = pressOnce(h);
        EXPECT_TRUE(r.release.empty()) << "increment actions send nothing on release";
        sent.insert(sent.end(), r.press.begin(), r.press.end());
    }
    EXPECT_EQ(sent, (V{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 127, 127}));
}

TEST(ButtonActions, IncrementWithWrapRestsOnHighThenWraps) {
    EngineHarness h;
    ActionRecord& a = h.add(buttonAction(1, kControllerChange, 0, 7));
    a.increment = 10;
    a.wrap = 1;
    V sent;
    for (int i = 0; i < 15; ++i)
        sent.push_back(pressOnce(h).press.at(0));
    EXPECT_EQ(std::vector<int>(sent.end() - 4, sent.end()), (V{120, 127, 0, 10}));
}

TEST(ButtonActions, IncrementWithToggleReversesAtTheEnds) {
    EngineHarness h;
    ActionRecord& a = h.add(buttonAction(1, kControllerChange, 0, 7));
    a.increment = 10;
    a.toggle = 1;
    V sent;
    for (int i = 0; i < 15; ++i)
        sent.push_back(pressOnce(h).press.at(0));
    // From 0 the first press already counts as "at an end": the step reverses to -10 and stops at 0.
    EXPECT_EQ(sent.at(0), 0);
    EXPECT_EQ(sent.at(1), 10) << "the second press at 0 reverses the step again";
    EXPECT_EQ(std::vector<int>(sent.end() - 3, sent.end()), (V{120, 127, 117}));
    EXPECT_EQ(a.increment, -10) << "the reversed sign stays in the record";
}

TEST(ButtonActions, DelayPacesStepsWhileHeld) {
    EngineHarness h;
    ActionRecord& a = h.add(buttonAction(1, kControllerChange, 0, 7));
    a.increment = 10;
    a.delay = 200;
    h.buttons(1);
    V sent;
    std::vector<int> stepTicks;
    for (int t = 0; t < 450; ++t) {
        V v = h.values();
        if (!v.empty()) stepTicks.push_back(t), sent.push_back(v[0]);
    }
    EXPECT_EQ(sent, (V{10, 20, 30}));
    // Strictly more than 200 ms between steps: 201 ticks of 1 ms.
    EXPECT_EQ(stepTicks, (std::vector<int>{0, 201, 402}));
}

TEST(ButtonActions, RepressWithinDelayMakesNoStep) {
    EngineHarness h;
    ActionRecord& a = h.add(buttonAction(1, kControllerChange, 0, 7));
    a.increment = 10;
    a.delay = 200;
    EXPECT_EQ(pressOnce(h).press, V{10});
    h.clock.advanceMs(100);
    EXPECT_TRUE(pressOnce(h).press.empty());
    h.clock.advanceMs(150);
    EXPECT_EQ(pressOnce(h).press, V{20});
}

TEST(ButtonActions, DelayWithoutIncrementRepeatsThePressValueEveryTick) {
    EngineHarness h;
    h.add(buttonAction(1)).delay = 50;
    h.buttons(1);
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(h.values(), V{127});
}

TEST(ButtonActions, ActionsOnTheSameControllerShareTheirValue) {
    EngineHarness h;
    h.add(buttonAction(1, kControllerChange, 3, 7)).increment = 10;
    h.add(buttonAction(2, kControllerChange, 3, 7)).increment = 10;
    EXPECT_EQ(pressOnce(h, 1).press, V{10});
    EXPECT_EQ(pressOnce(h, 2).press, V{20});
    EXPECT_EQ(pressOnce(h, 1).press, V{30});
    EXPECT_EQ(h.engine.valueAt(3, 7), 30);
}

TEST(ButtonActions, ChordChangesGoThroughTheReleasePart) {
    EngineHarness h;
    h.add(buttonAction(1 | 2));
    h.buttons(1);
    EXPECT_EQ(h.values(), V{127});
    h.buttons(1 | 2);
    EXPECT_EQ(h.values(), V{0}) << "a further button of the mask sends low";
    h.buttons(2);
    EXPECT_EQ(h.values(), V{0});
    h.buttons(0);
    EXPECT_EQ(h.values(), V{0});
}

TEST(ButtonActions, AStoredEdgeMemoryNeitherSwallowsAPressNorSendsALoneRelease) {
    using M = std::vector<std::uint32_t>;
    {
        // Another button first: the memory is brought up to date without a sound.
        EngineHarness h;
        h.add(buttonAction(1)).lastButtonState = 1; // saved while button 1 was held
        h.buttons(2);
        EXPECT_TRUE(h.tick().empty());
        h.buttons(0);
        EXPECT_TRUE(h.tick().empty());
        h.buttons(1);
        EXPECT_EQ(h.values(), V{127}) << "the action itself still plays";
    }
    {
        // Loaded at start-up: the very first press of the action's own buttons plays.
        EngineHarness h;
        h.add(buttonAction(1, kNoteOn, 0, 60)).lastButtonState = 1;
        h.add(buttonAction(1 | 2, kNoteOn, 0, 61)).lastButtonState = 1 | 2; // a chord
        h.engine.listLoaded(h.list);
        h.buttons(1 | 2);
        EXPECT_EQ(h.tick(), (M{noteOn(0, 60, 127), noteOn(0, 61, 127)}));
        h.buttons(0);
        EXPECT_EQ(h.tick(), (M{noteOn(0, 60, 0), noteOn(0, 61, 0)}));
    }
    {
        // Imported while the button is down: its release ends no press, so it sends nothing.
        EngineHarness h;
        h.buttons(1);
        EXPECT_TRUE(h.tick().empty()) << "the list before had nothing on button 1";
        h.add(buttonAction(1)).lastButtonState = 1;
        h.engine.listLoaded(h.list);
        EXPECT_TRUE(h.tick().empty());
        h.buttons(0);
        EXPECT_TRUE(h.tick().empty()) << "no Note Off without its Note On";
        h.buttons(1);
        EXPECT_EQ(h.values(), V{127});
    }
}

TEST(ButtonActions, WithADelayThePressPartRunsOnEveryTickWhileHeld) {
    {
        // Toggle: the value alternates on every tick; the release sends nothing.
        EngineHarness h;
        ActionRecord& a = h.add(buttonAction(1));
        a.toggle = 1;
        a.delay = 30;
        h.buttons(1);
        for (int expected : {127, 0, 127, 0})
            EXPECT_EQ(h.values(), V{expected});
        h.buttons(0);
        EXPECT_TRUE(h.tick().empty());
        EXPECT_TRUE(h.tick().empty());
    }
    {
        // Releasing one of two held buttons runs the release part and then the press part, which
        // repeats high because a button of the mask is still down; the last release sends low.
        EngineHarness h;
        h.add(buttonAction(1 | 2)).delay = 50;
        h.buttons(1 | 2);
        EXPECT_EQ(h.values(), V{127});
        EXPECT_EQ(h.values(), V{127});
        h.buttons(1);
        EXPECT_EQ(h.values(), V{127});
        EXPECT_EQ(h.values(), V{127});
        h.buttons(0);
        EXPECT_EQ(h.values(), V{0});
        EXPECT_TRUE(h.tick().empty());
    }
}

TEST(ButtonActions, Button32IsReleasedLikeAnyOther) {
    EngineHarness h;
    h.add(buttonAction(static_cast<std::int32_t>(0x80000000u)));
    h.buttons(static_cast<std::int32_t>(0x80000000u));
    EXPECT_EQ(h.values(), V{127});
    h.buttons(0);
    EXPECT_EQ(h.values(), V{0});
}

TEST(HatActions, SendsHighAtItsDirectionAndLowAtCentre) {
    EngineHarness h;
    ActionRecord a = joystickAction(kNoteOn, 1, 64);
    a.povDirection = 9000;
    h.add(a);
    h.pov(9000);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(1, 64, 127)});
    EXPECT_TRUE(h.tick().empty());
    h.pov(kPovCentred);
    EXPECT_EQ(h.tick(), std::vector<std::uint32_t>{noteOn(1, 64, 0)});
}

TEST(HatActions, SlidingToANeighbourSendsNothingAndNeitherDoesTheLaterCentre) {
    EngineHarness h;
    ActionRecord a = joystickAction(kNoteOn, 0, 60);
    a.povDirection = 0;
    h.add(a);
    h.pov(0);
    EXPECT_EQ(h.values(), V{127});
    h.pov(4500);
    EXPECT_TRUE(h.tick().empty());
    h.pov(kPovCentred);
    EXPECT_TRUE(h.tick().empty());
}

TEST(HatActions, AnUntouchedHatSendsNothingAtStartAndUpWorksOnTheFirstTick) {
    EngineHarness h;
    ActionRecord a = joystickAction(kNoteOn, 0, 60);
    a.povDirection = 0; // "Up"
    h.add(a);
    EXPECT_TRUE(h.tick().empty());
    EngineHarness fresh;
    fresh.add(a);
    fresh.pov(0);
    EXPECT_EQ(fresh.values(), V{127});
}

TEST(HatActions, IncrementStepsOncePerPush) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.povDirection = 18000;
    a.increment = 50;
    h.add(a);
    V sent;
    for (int i = 0; i < 4; ++i) {
        h.pov(18000);
        V v = h.values();
        sent.insert(sent.end(), v.begin(), v.end());
        h.pov(kPovCentred);
        EXPECT_TRUE(h.tick().empty());
    }
    EXPECT_EQ(sent, (V{50, 100, 127, 127}));
}

TEST(HatActions, WithADelayThePressRepeatsAndStepsFollowTheStepClock) {
    {
        ActionRecord a = joystickAction(kNoteOn, 0, 60);
        a.povDirection = 9000;
        a.delay = 50;
        EngineHarness h;
        h.add(a);
        h.pov(9000);
        for (int t = 0; t < 5; ++t)
            EXPECT_EQ(h.values(), V{127}) << "tick " << t;
        h.pov(kPovCentred);
        EXPECT_EQ(h.values(), V{0});
        EXPECT_TRUE(h.tick().empty());
    }
    {
        ActionRecord a = joystickAction(kControllerChange, 0, 1);
        a.povDirection = 18000;
        a.increment = 10;
        a.delay = 100;
        EngineHarness h;
        h.add(a);
        h.pov(18000);
        V sent;
        std::vector<int> stepTicks;
        for (int t = 0; t < 250; ++t) {
            V v = h.values();
            if (!v.empty()) stepTicks.push_back(t), sent.push_back(v[0]);
        }
        EXPECT_EQ(sent, (V{10, 20, 30}));
        EXPECT_EQ(stepTicks, (std::vector<int>{0, 101, 202})) << "strictly more than 100 ms apart";
    }
}

TEST(HatActions, ToggleFlipsOnEachPush) {
    EngineHarness h;
    ActionRecord a = joystickAction(kNoteOn, 0, 60);
    a.povDirection = 27000;
    a.toggle = 1;
    h.add(a);
    for (int expected : {127, 0, 127}) {
        h.pov(27000);
        EXPECT_EQ(h.values(), V{expected});
        h.pov(kPovCentred);
        EXPECT_TRUE(h.tick().empty());
    }
}

TEST(AxisActions, AbsoluteAxisFollowsTheStick) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    h.add(a);
    h.axis(0, 65535);
    EXPECT_EQ(h.values(), V{127});
    EXPECT_TRUE(h.tick().empty()) << "an unchanged value is not sent again";
    h.axis(0, 40000);
    EXPECT_EQ(h.values(), V{78}); // 40000 / 65535 * 127 = 77.5...
    h.axis(0, 0);
    EXPECT_EQ(h.values(), V{0});
}

TEST(AxisActions, HighBelowLowMirrorsTheStick) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1, 127, 0);
    a.axisMask = 2;
    h.add(a);
    h.axis(1, 0);
    EXPECT_EQ(h.values(), V{127});
    h.axis(1, 65535);
    EXPECT_EQ(h.values(), V{0});
}

TEST(AxisActions, StickAtItsCentreIsNotMoved) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    h.add(a);
    EXPECT_TRUE(h.tick().empty());
    h.axis(1, 0); // another axis
    EXPECT_TRUE(h.tick().empty());
}

TEST(AxisActions, ButtonInTheMaskEnablesTheAxisAndFreezesItInTheDeadZone) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    a.buttonMask = 1;
    h.add(a);
    h.axis(0, 60000);
    EXPECT_TRUE(h.tick().empty()) << "without the button the axis does nothing";
    h.axis(0, 33000);
    h.buttons(1);
    EXPECT_TRUE(h.tick().empty()) << "pressing the button inside the dead zone locks the axis";
    h.axis(0, 38000);
    EXPECT_TRUE(h.tick().empty()) << "still inside the zone: still locked";
    h.axis(0, 60000);
    EXPECT_EQ(h.values(), V{116}) << "leaving the zone releases the lock";
    h.buttons(0);
    h.axis(0, 10000);
    EXPECT_TRUE(h.tick().empty());
}

TEST(AxisActions, HatDirectionEnablesTheAxisWhileHeld) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    a.povDirection = 0;
    h.add(a);
    h.axis(0, 65535);
    EXPECT_TRUE(h.tick().empty());
    h.pov(0);
    EXPECT_EQ(h.values(), V{127}) << "the stick is outside its zone, so the push does not lock it";
    h.axis(0, 0);
    EXPECT_EQ(h.values(), V{0});
    h.pov(kPovCentred);
    h.axis(0, 65535);
    EXPECT_TRUE(h.tick().empty());
}

TEST(AxisActions, ToggleAxisJumpsToTheEndsAndHoldsInTheZone) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1, 10, 100);
    a.axisMask = 1;
    a.toggle = 1;
    h.add(a);
    h.axis(0, 60000);
    EXPECT_EQ(h.values(), V{100});
    h.axis(0, 34000);
    EXPECT_TRUE(h.tick().empty()) << "inside the zone the value holds";
    h.axis(0, 1000);
    EXPECT_EQ(h.values(), V{10});
}

TEST(AxisActions, IncrementAxisStepsEveryTickOutsideTheZone) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    a.increment = 30;
    h.add(a);
    h.axis(0, 60000);
    V sent;
    for (int i = 0; i < 6; ++i) {
        V v = h.values();
        sent.insert(sent.end(), v.begin(), v.end());
    }
    EXPECT_EQ(sent, (V{30, 60, 90, 120, 127}));
    h.axis(0, 34000);
    EXPECT_TRUE(h.tick().empty());
    h.axis(0, 0);
    EXPECT_EQ(h.values(), V{97});
}

TEST(AxisActions, AxesOfOneActionShareOneStepClock) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1 | 2;
    a.delay = 100;
    h.add(a);
    h.axis(0, 65535);
    h.axis(1, 0);
    // X passes the gate and sets the clock; Y is skipped in the same call.
    EXPECT_EQ(h.values(), V{127});
    for (int t = 0; t < 100; ++t)
        EXPECT_TRUE(h.tick().empty());
    h.axis(0, 0);
    EXPECT_EQ(h.values(), V{0}) << "after the delay X passes again and Y is skipped again";
}

TEST(AxisActions, CentresNearThe32BitLimitsDoNotOverflow) {
    EngineHarness h;
    ActionRecord a = joystickAction(kControllerChange, 0, 1);
    a.axisMask = 1;
    a.toggle = 1;
    h.add(a);
    h.joystick.calibrationCentre.dwXpos = 0x7FFFFFFF; // INT32_MAX
    h.joystick.centreWidth = 20000;
    h.axis(0, 0x7FFFFFF0); // inside the zone only if c + w does not wrap
    EXPECT_TRUE(h.tick().empty());
    h.joystick.calibrationCentre.dwXpos = 0x80000000u; // INT32_MIN
    h.axis(0, 0x80000010u);
    EXPECT_TRUE(h.tick().empty());
}

TEST(RangeRules, EndWrapPlainLimitAndStopThenWrap) {
    {
        // End wrap of an absolute axis: reaching an end gives the other end.
        EngineHarness h;
        ActionRecord a = joystickAction(kControllerChange, 0, 1);
        a.axisMask = 1;
        a.wrap = 1;
        h.add(a);
        h.axis(0, 40000);
        EXPECT_EQ(h.values(), V{78}) << "inside the range nothing wraps";
        h.axis(0, 65535);
        EXPECT_EQ(h.values(), V{0});
        h.axis(0, 0);
        EXPECT_EQ(h.values(), V{127});
    }
    {
        // Plain limit with Wrap on: an axis step past an end lands on the other end at once.
        EngineHarness h;
        ActionRecord a = joystickAction(kControllerChange, 0, 2);
        a.axisMask = 1;
        a.increment = 50;
        a.wrap = 1;
        h.add(a);
        h.axis(0, 60000);
        V up;
        for (int i = 0; i < 4; ++i)
            up.push_back(h.values().at(0));
        EXPECT_EQ(up, (V{50, 100, 0, 50}));
        h.axis(0, 1000);
        V down;
        for (int i = 0; i < 3; ++i)
            down.push_back(h.values().at(0));
        EXPECT_EQ(down, (V{0, 127, 77}));
    }
    {
        // Stop-then-wrap at the low end: a button step below Low rests on Low once, and wraps
        // to High only from Low itself.
        EngineHarness h;
        ActionRecord& a = h.add(buttonAction(1, kControllerChange, 0, 3));
        a.increment = -50;
        a.wrap = 1;
        V sent;
        for (int i = 0; i < 5; ++i) {
            PressResult r = pressOnce(h);
            EXPECT_TRUE(r.release.empty());
            sent.push_back(r.press.at(0));
        }
        EXPECT_EQ(sent, (V{127, 77, 27, 0, 127})) << "from 0 the first step starts on Low and wraps";
    }
}

TEST(AxisActions, ReversalOnReturnToTheZoneAndLocksFromAHatPush) {
    {
        // Increment with Toggle: each return into the dead zone reverses the step.
        EngineHarness h;
        ActionRecord a = joystickAction(kControllerChange, 0, 1);
        a.axisMask = 1;
        a.increment = 10;
        a.toggle = 1;
        h.add(a);
        EXPECT_TRUE(h.tick().empty()) << "a stick exactly at its centre is not evaluated";
        h.axis(0, 60000);
        EXPECT_EQ(h.values(), V{10});
        EXPECT_EQ(h.values(), V{20});
        h.axis(0, 34000); // into the zone: the step becomes -10
        EXPECT_TRUE(h.tick().empty());
        h.axis(0, 60000);
        EXPECT_EQ(h.values(), V{10}) << "pushing up now lowers the value";
        EXPECT_EQ(h.values(), V{0});
        EXPECT_TRUE(h.tick().empty()) << "limited at Low";
        h.axis(0, 1000); // straight across the zone: no reversal
        EXPECT_EQ(h.values(), V{10});
        EXPECT_EQ(h.values(), V{20});
        h.axis(0, 32768); // back exactly on the centre: the axis is not evaluated, so no reversal
        EXPECT_TRUE(h.tick().empty());
        h.axis(0, 1000);
        EXPECT_EQ(h.values(), V{30});
        h.axis(0, 30000); // into the zone off the centre: reversed back to +10
        EXPECT_TRUE(h.tick().empty());
        h.axis(0, 1000);
        EXPECT_EQ(h.values(), V{20});
    }
    {
        // A hat push locks every axis inside its zone, for every action, until the hat centres.
        EngineHarness h;
        ActionRecord a = joystickAction(kControllerChange, 0, 5);
        a.axisMask = 1; // no modifier of its own
        h.add(a);
        h.axis(0, 34000);
        EXPECT_EQ(h.values(), V{66});
        h.pov(0);
        h.axis(0, 36000);
        EXPECT_TRUE(h.tick().empty()) << "pushed inside the zone: locked";
        h.axis(0, 38000);
        EXPECT_TRUE(h.tick().empty()) << "still inside the zone with the hat held";
        h.pov(kPovCentred);
        EXPECT_EQ(h.values(), V{74}) << "the hat centred: unlocked where it stands";
        h.axis(0, 60000);
        EXPECT_EQ(h.values(), V{116});
        h.pov(4500);
        h.axis(0, 61000);
        EXPECT_EQ(h.values(), V{118}) << "a push with the stick outside the zone locks nothing";
    }
}
