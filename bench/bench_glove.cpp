// The per-tick glove poll through the real bridge library over the simulated glove: fourteen
// bridge calls and the gesture step, which must stay far below the 1 ms tick and allocate nothing.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "palmlet/sdk/p5sim.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

using vantaro::bench::allocations;

namespace {

using namespace vantaro;

void BM_GlovePoll(benchmark::State& state) {
    p5sim_reset();
    p5sim_attach(1);
    GloveBridge bridge; // libpalmlet.so beside this program, as for the desktop program
    GloveState glove;
    ActionRecord capture;
    gloveStartUp(bridge, glove);
    if (!glove.glovePresent) {
        state.SkipWithError("the glove bridge library was not found beside the benchmark");
        return;
    }
    glove.handThreshold = 10;
    glove.fingerThreshold = 20;
    doP5(bridge, glove, capture); // binds the fourteen exports

    long long step = 0, allocationsInCalls = 0;
    for (auto _ : state) {
        ++step;
        const int b = static_cast<int>(step % 64);
        p5sim_set_bends(b, 63 - b, b / 2, 10, 40);
        p5sim_set_pose(static_cast<float>(step % 1000) - 500.0f, 0, 0, static_cast<float>(step % 180) - 90.0f,
                       0, 0);
        const long long before = allocations.load(std::memory_order_relaxed);
        doP5(bridge, glove, capture);
        allocationsInCalls += allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(capture.handAxisSelect);
    }
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(allocationsInCalls) / static_cast<double>(step));
}
BENCHMARK(BM_GlovePoll);

} // namespace

BENCHMARK_MAIN();
