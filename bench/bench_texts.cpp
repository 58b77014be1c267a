// The live status refresh that ends every tick: with steady inputs (the common case) and with
// inputs that change on every call. Counts heap allocations inside the calls.
#include "engine/texts.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

using vantaro::bench::allocations;

namespace {

using namespace vantaro;

GloveState presentGlove() {
    GloveState g;
    g.glovePresent = 1;
    g.gloveBends = {10, 20, 30, 40, 50};
    g.glovePose = {1.5f, -2.5f, 100.f, 45.f, -10.f, 0.f};
    g.fingerBent = {1, 0, 1, 0, 1};
    g.handDirection = {1, 0, -1, 0, 0, 1};
    return g;
}

void run(benchmark::State& state, bool changing) {
    long long writes = 0; // the texts that would reach their widgets
    ShownTexts shown;
    ActionRecord capture;
    capture.buttonMask = 0x7FFFFFFF; // the longest button text
    capture.axisMask = 63;
    capture.povDirection = 4500;
    GloveState glove = presentGlove();
    std::uint32_t step = 0;
    long long allocationsInCalls = 0;
    for (auto _ : state) {
        if (changing) {
            ++step;
            capture.buttonMask = static_cast<std::int32_t>(step & 0x7FFFFFFF);
            capture.povDirection = static_cast<std::int32_t>((step % 8) * 4500);
            glove.gloveBends[step % 5] = static_cast<std::uint8_t>(step % 64);
            glove.glovePose[step % 6] = static_cast<float>(step % 1000) / 3.0f;
        }
        const long long before = allocations.load(std::memory_order_relaxed);
        updateStatus(shown, capture, true, glove, true);
        shown.takeChanged([&](LiveText, std::string_view) { ++writes; },
                          [&](int, std::string_view) { ++writes; });
        allocationsInCalls += allocations.load(std::memory_order_relaxed) - before;
    }
    const auto calls = static_cast<double>(state.iterations());
    state.counters["writes_per_call"] = benchmark::Counter(static_cast<double>(writes) / calls);
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(allocationsInCalls) / calls);
}

void BM_UpdateStatusSteady(benchmark::State& state) {
    run(state, false);
}
void BM_UpdateStatusChanging(benchmark::State& state) {
    run(state, true);
}

} // namespace

BENCHMARK(BM_UpdateStatusSteady);
BENCHMARK(BM_UpdateStatusChanging);

BENCHMARK_MAIN();
