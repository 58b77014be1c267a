// One actions() call over 999 mixed joystick actions with inputs changing every call.
#include "engine/action_engine.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

using vantaro::bench::allocations;

namespace {

using namespace vantaro;

class CountingSender final : public ShortMessageSender {
public:
    std::int16_t sendShortMessage(std::uint32_t message) override {
        last = message;
        ++count;
        return 0;
    }
    std::uint32_t last = 0;
    long long count = 0;
};

// A realistic large mapping: buttons, chords, hat directions, axes with and without modifiers,
// toggles, increments with and without delays, spread over all channels and numbers.
void fillMixedList(ActionList& list) {
    for (int i = 1; i <= kMaxActions; ++i) {
        ActionRecord& a = list[i];
        a = ActionRecord{};
        a.recordVersion = kRecordVersion;
        a.channel = static_cast<std::int16_t>(i % 16);
        a.dataNumber = static_cast<std::int16_t>(i % 128);
        a.messageKind = static_cast<std::int16_t>(i % 3);
        a.low = 0;
        a.high = 127;
        a.povDirection = kPovCentred;
        switch (i % 6) {
        case 0:
            a.buttonMask = 1 << (i % 32);
            break;
        case 1:
            a.buttonMask = (1 << (i % 12)) | (1 << ((i + 3) % 12));
            break;
        case 2:
            a.povDirection = (i % 8) * 4500;
            break;
        case 3:
            a.axisMask = static_cast<std::int16_t>(1 << (i % 6));
            break;
        case 4:
            a.axisMask = static_cast<std::int16_t>(1 << (i % 6));
            a.buttonMask = 1 << (i % 8);
            break;
        case 5:
            a.axisMask = 3;
            break;
        }
        if (i % 7 == 0) a.toggle = 1;
        if (i % 5 == 0) a.increment = 4;
        if (i % 11 == 0) a.delay = 20;
        if (i % 13 == 0) a.wrap = 1;
    }
    list.actionCount = kMaxActions;
}

// The same 999 actions with the inputs moving on every call; expandedView writes the log too.
void runActions(benchmark::State& state, std::int16_t expanded) {
    ActionList list;
    fillMixedList(list);
    ActionRecord capture;
    JoystickState joystick;
    joystick.centreWidth = 7000;
    for (std::uint32_t* c : {&joystick.calibrationCentre.dwXpos, &joystick.calibrationCentre.dwYpos,
                             &joystick.calibrationCentre.dwZpos, &joystick.calibrationCentre.dwRpos,
                             &joystick.calibrationCentre.dwUpos, &joystick.calibrationCentre.dwVpos})
        *c = 32768;
    GloveState glove;
    MessageLog log;
    ManualClock clock(1000.0);
    CountingSender sender;
    ActionEngine engine;
    EngineIo io{list, capture, joystick, glove, expanded, log, clock, sender};

    std::uint32_t step = 0;
    long long allocationsInCalls = 0;
    for (auto _ : state) {
        // New inputs every call: buttons, hat and all six axes move.
        ++step;
        capture.buttonMask = static_cast<std::int32_t>((step * 2654435761u) & 0xFFF);
        capture.povDirection = step % 3 == 0 ? kPovCentred : static_cast<std::int32_t>((step % 8) * 4500);
        JoyInfoEx& r = joystick.joystickReading;
        r.dwXpos = (step * 977) % 65536;
        r.dwYpos = (step * 1553) % 65536;
        r.dwZpos = (step * 331) % 65536;
        r.dwRpos = (step * 4099) % 65536;
        r.dwUpos = (step * 7919) % 65536;
        r.dwVpos = (step * 104729) % 65536;
        clock.advanceMs(1);
        const long long before = allocations.load(std::memory_order_relaxed);
        engine.actions(io);
        allocationsInCalls += allocations.load(std::memory_order_relaxed) - before;
    }
    state.counters["messages_per_call"] =
        benchmark::Counter(static_cast<double>(sender.count) / static_cast<double>(step));
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(allocationsInCalls) / static_cast<double>(step));
}

void BM_Actions999(benchmark::State& state) {
    runActions(state, 0);
}
BENCHMARK(BM_Actions999)->Unit(benchmark::kMicrosecond);

void BM_Actions999WithLog(benchmark::State& state) {
    runActions(state, 1);
}
BENCHMARK(BM_Actions999WithLog)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
