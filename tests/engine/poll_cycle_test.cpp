#include "engine/poll_cycle.h"

#include "engine/performance_timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace vantaro;

namespace {

// A counter that moves only when the test moves it; readings start well above 0.
struct DrivenCounter final : PerformanceCounter {
    bool frequency(std::int64_t& f) const override {
        f = 1'000'000'000;
        return present;
    }
    bool read(std::int64_t& c) const override {
        c = now;
        now += perRead;
        return present;
    }
    mutable std::int64_t now = 1'000'000;
    std::int64_t perRead = 0;
    bool present = true;
};

struct RecordingSteps final : TickSteps {
    void readJoystick() override { log += "J"; }
    void doP5() override { log += "G"; }
    void actions() override {
        log += "A";
        if (counter) counter->now += workNs;
        if (onActions) onActions();
    }
    void updateStatus() override { log += "S"; }
    void showLag(std::string_view caption) override { captions.emplace_back(caption); }

    std::string log;
    std::vector<std::string> captions; // Label12 as it was set
    DrivenCounter* counter = nullptr;
    std::int64_t workNs = 0;
    std::function<void()> onActions;
};

TEST(PerformanceTimer, MeasuresItsOverheadAndLeavesItOut) {
    DrivenCounter counter;
    counter.perRead = 3; // each reading costs 3 counts
    PerformanceTimer t(counter);
    EXPECT_TRUE(t.Supported());
    EXPECT_EQ(t.frequency(), 1'000'000'000);
    EXPECT_EQ(t.overhead(), 3);

    EXPECT_EQ(t.TimeElapsed(1000000), 0) << "before StartTimer";
    t.StartTimer();
    counter.now += 2'500'000 - 3;
    EXPECT_EQ(t.TimeElapsed(1000000), 0) << "before StopTimer";
    t.StopTimer();
    // stop - start = 2,500,000 counts; minus the 3-count overhead.
    EXPECT_DOUBLE_EQ(t.TimeElapsed(1000000), 2499.997);
    EXPECT_DOUBLE_EQ(t.TimeElapsed(1000), 2.499997);

    // A new start clears the stop reading.
    t.StartTimer();
    EXPECT_EQ(t.TimeElapsed(1000000), 0);
}

TEST(PerformanceTimer, WithoutACounterNothingIsTimed) {
    DrivenCounter counter;
    counter.present = false;
    PerformanceTimer t(counter);
    EXPECT_FALSE(t.Supported());
    EXPECT_EQ(t.frequency(), 10000);
    EXPECT_EQ(t.overhead(), 0);
    t.StartTimer();
    counter.now += 5'000'000;
    t.StopTimer();
    EXPECT_EQ(t.TimeElapsed(1000000), 0);
}

// Both the monotonic clock and the counter the program picks at start-up (the calibrated
// time-stamp counter where the processor has one) must time a real stretch correctly.
TEST(PerformanceTimer, ATwoMillisecondSleepMeasuresTwoMilliseconds) {
    const std::unique_ptr<PerformanceCounter> picked = makePerformanceCounter();
    const PerformanceCounter* const counters[] = {&steadyPerformanceCounter(), picked.get()};
    for (const PerformanceCounter* counter : counters) {
        PerformanceTimer t(*counter);
        ASSERT_TRUE(t.Supported());
        const auto before = std::chrono::steady_clock::now();
        t.StartTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        t.StopTimer();
        const double bracket =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
        const double ms = t.TimeElapsed(1000);
        EXPECT_GE(ms, 1.9);
        EXPECT_LE(ms, 50.0);
        // The clock's reading brackets the timed stretch: a counter rate set too low would
        // make the stretch come out longer than the bracket.
        EXPECT_LE(ms, bracket * 1.02);
    }
}

class PollCycleTest : public ::testing::Test {
protected:
    PollCycleTest() { steps.counter = &counter; }
    bool tickTaking(double microseconds) {
        steps.workNs = static_cast<std::int64_t>(microseconds * 1000);
        return cycle.tick();
    }

    DrivenCounter counter;
    RecordingSteps steps;
    ManualClock clock{100.0};
    GloveState glove;
    PollCycle cycle{steps, clock, glove, counter};
};

TEST_F(PollCycleTest, RunsItsStepsInOrderAndTheGloveOnlyWhenPresent) {
    EXPECT_TRUE(cycle.tick());
    EXPECT_EQ(steps.log, "JAS");
    glove.glovePresent = 1;
    EXPECT_TRUE(cycle.tick());
    EXPECT_EQ(steps.log, "JASJGAS");
}

TEST_F(PollCycleTest, LagCaptionUnitsAndLeadingBlank) {
    const struct {
        double us;
        const char* caption;
    } cases[] = {{250, "Lag:  250\u00B5s"}, {1000, "Lag:  1000\u00B5s"}, {1001, "Lag:  1ms"},
                 {2999, "Lag:  2ms"},       {2500.9, "Lag:  2ms"},       {0.5, "Lag:  0\u00B5s"}};
    for (const auto& c : cases) {
        clock.advanceMs(1500);
        tickTaking(c.us);
        ASSERT_FALSE(steps.captions.empty());
        EXPECT_EQ(steps.captions.back(), c.caption) << c.us;
    }
    // 0.5 µs floors to 0, the starting figure after a change: it was shown because 2500
    // was shown before it.
    EXPECT_EQ(steps.captions.size(), 6u);
}

TEST_F(PollCycleTest, TheCaptionChangesAtMostOnceASecondAndOnlyWhenTheFigureDoes) {
    tickTaking(300);
    ASSERT_EQ(steps.captions.size(), 1u);
    EXPECT_EQ(cycle.lastShownLag(), 300);
    EXPECT_EQ(cycle.lastLagShowTime(), 100.0);

    clock.advanceMs(400);
    tickTaking(400);
    clock.advanceMs(600); // exactly one second since the caption: not more than one
    tickTaking(500);
    EXPECT_EQ(steps.captions.size(), 1u);

    clock.advanceMs(1);
    tickTaking(500);
    ASSERT_EQ(steps.captions.size(), 2u);
    EXPECT_EQ(steps.captions.back(), "Lag:  500\u00B5s");

    // The same figure is never shown again, however long ago the caption was set.
    for (int i = 0; i < 5; ++i) {
        clock.advanceMs(10'000);
        tickTaking(500.7);
    }
    EXPECT_EQ(steps.captions.size(), 2u);
}

TEST_F(PollCycleTest, ANegativeLagIsNeverShown) {
    tickTaking(300);
    // The stopwatch's measured overhead (3 counts) exceeds what the tick's readings show.
    counter.perRead = 3;
    for (int i = 0; i < 2; ++i) {
        clock.advanceMs(1500);
        tickTaking(-0.005);
    }
    EXPECT_EQ(steps.captions, (std::vector<std::string>{"Lag:  300\u00B5s", "Lag:  0\u00B5s"}));
    EXPECT_EQ(cycle.lastShownLag(), 0);
}

TEST_F(PollCycleTest, WithoutACounterTheCaptionIsNeverSet) {
    counter.present = false;
    for (int i = 0; i < 3; ++i) {
        clock.advanceMs(2000);
        tickTaking(700);
    }
    EXPECT_TRUE(steps.captions.empty());
    EXPECT_EQ(steps.log, "JASJASJAS") << "the work still runs";
}

// A send fails and the error window opens from inside the actions: the window's own message
// loop delivers the next timer ticks before the user closes it.
TEST_F(PollCycleTest, TicksArrivingWhileOneIsSuspendedAreSkipped) {
    std::vector<bool> nestedTicks;
    int sends = 0;
    steps.onActions = [&] {
        ++sends;
        EXPECT_TRUE(cycle.ticking());
        for (int i = 0; i < 3; ++i) // the modal window's message loop
            nestedTicks.push_back(cycle.tick());
    };

    EXPECT_TRUE(cycle.tick());
    EXPECT_EQ(nestedTicks, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(sends, 1) << "the engine was entered once";
    EXPECT_EQ(steps.log, "JAS");

    // Once the window is closed, ticks run again.
    EXPECT_FALSE(cycle.ticking());
    steps.onActions = nullptr;
    EXPECT_TRUE(cycle.tick());
    EXPECT_EQ(steps.log, "JASJAS");
}

} // namespace
