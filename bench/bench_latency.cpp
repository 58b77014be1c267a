// Input-to-send latency and idle CPU use of the 1 ms tick, with a real SDL virtual stick,
// the joystick poll and the action engine.
#include "core/program_core.h"
#include "devices/sdl_joystick.h"
#include "engine/performance_timer.h"
#include "support/scripted_ui.h"

#include "allocation_counter.h"
#include <SDL.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

using namespace vantaro;
using Clock_ = std::chrono::steady_clock;

using vantaro::bench::allocations;

namespace {

// The output: notes the moment each send returns; room for every change is reserved up front.
struct TimedOutput final : AcceptingMidiOut {
    MmResult midiOutShortMsg(MidiOutHandle, std::uint32_t) override {
        const auto n = count.load(std::memory_order_relaxed);
        if (n < returned.size()) returned[n] = Clock_::now();
        count.store(n + 1, std::memory_order_release);
        return MMSYSERR_NOERROR;
    }
    std::vector<Clock_::time_point> returned;
    std::atomic<std::size_t> count{0};
};

// The program core over the machine's joysticks (an SDL virtual stick) and the timed output.
struct Program {
    explicit Program(const PerformanceCounter& counter)
        : core(CoreDevices{api, sender, inputs, nullptr}, views.views(), ui, clock, options(counter)) {
        core.setExpandedView(1);
    }
    static CoreOptions options(const PerformanceCounter& counter) {
        CoreOptions o;
        o.counter = &counter;
        return o;
    }
    SdlJoystickApi api;
    TimedOutput sender;
    NoMidiInputs inputs;
    NullViews views;
    test::ScriptedUi ui;
    SteadyClock clock;
    ProgramCore core;
};

// 999 actions: button 1 plays a note; the rest wait on other buttons, the hat and the axes.
void loadActions(ActionList& list) {
    for (int i = 1; i <= kMaxActions; ++i) {
        ActionRecord a;
        a.povDirection = kPovCentred;
        a.high = 127;
        a.channel = static_cast<std::int16_t>(i % 16);
        a.dataNumber = static_cast<std::int16_t>(i % 128);
        switch (i % 3) {
        case 0:
            a.buttonMask = 1 << (1 + i % 31);
            break;
        case 1:
            a.axisMask = static_cast<std::int16_t>(1 << (i % 6));
            break;
        default:
            a.povDirection = 4500 * (i % 8);
            break;
        }
        a.messageKind = kControllerChange;
        list[i] = a;
    }
    ActionRecord& note = list[1];
    note = ActionRecord{};
    note.buttonMask = 1;
    note.povDirection = kPovCentred;
    note.messageKind = kNoteOn;
    note.dataNumber = 60;
    note.high = 127;
    list.actionCount = kMaxActions;
}

struct Rig {
    explicit Rig(const PerformanceCounter& counter = steadyPerformanceCounter()) {
        SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
        program = std::make_unique<Program>(counter);
        stick = SDL_JoystickOpen(attachVirtualStick("Bench stick"));
        ProgramCore& core = program->core;
        core.start(); // no settings: the stored choices read as 0, the output and the bench stick
        auto list = std::make_unique<ActionList>();
        loadActions(*list);
        core.playActions(*list);
        // The resting stick is the centre, as after a calibration.
        core.tick();
        core.setCentres(core.joystickState().joystickReading);
        core.setCentreWidth(7000, false);
        core.tick();
        program->sender.count = 0; // the first tick, before the centres were set, sent the axes
    }
    ~Rig() {
        SDL_JoystickClose(stick);
        program.reset();
    }

    // The 1 ms timer: ticks on the millisecond until stop is set. A late tick is not made up.
    // With checkDevices, every 250th tick also looks for devices that came or went, as the
    // window's device timer does four times a second.
    void runTicks(const std::atomic<bool>& stop, std::size_t& ticks, bool checkDevices = false) {
        auto next = Clock_::now();
        while (!stop.load(std::memory_order_acquire)) {
            next += std::chrono::milliseconds(1);
            const auto now = Clock_::now();
            if (next < now) next = now;
            std::this_thread::sleep_until(next);
            program->core.tick();
            if (checkDevices && ticks % 250 == 0) {
                // Off the tick: what the look allocates is not the tick's.
                const std::size_t before = allocations.load();
                program->core.checkDevices();
                checkAllocations += allocations.load() - before;
            }
            ++ticks;
        }
    }

    std::unique_ptr<Program> program;
    SDL_Joystick* stick = nullptr;
    std::size_t checkAllocations = 0;
};

double cpuSeconds(clockid_t which = CLOCK_PROCESS_CPUTIME_ID) {
    timespec ts{};
    clock_gettime(which, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_InputToSendLatency(benchmark::State& bs) {
    constexpr std::size_t kChanges = 1000;
    for (auto _ : bs) {
        Rig rig;
        TimedOutput& sender = rig.program->sender;
        sender.returned.assign(kChanges, {});
        sender.count = 0;
        std::vector<Clock_::time_point> changed(kChanges);
        std::atomic<bool> stop{false};
        std::size_t lost = 0;

        // The user: presses and releases button 1 at irregular moments, 2 to 5 ms apart.
        std::thread user([&] {
            std::mt19937 random(7);
            std::uniform_int_distribution<int> pause(2000, 5000);
            for (std::size_t i = 0; i < kChanges; ++i) {
                std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
                changed[i] = Clock_::now();
                SDL_JoystickSetVirtualButton(rig.stick, 0, (i % 2 == 0) ? 1 : 0);
                const auto deadline = Clock_::now() + std::chrono::milliseconds(200);
                while (sender.count.load(std::memory_order_acquire) <= i && Clock_::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                if (sender.count.load(std::memory_order_acquire) <= i) {
                    ++lost;
                    break;
                }
            }
            stop = true;
        });
        std::size_t ticks = 0;
        rig.runTicks(stop, ticks);
        user.join();

        std::vector<double> us;
        const std::size_t n = std::min(sender.count.load(), kChanges);
        for (std::size_t i = 0; i < n; ++i)
            us.push_back(std::chrono::duration<double, std::micro>(sender.returned[i] - changed[i]).count());
        std::sort(us.begin(), us.end());
        auto at = [&](double q) {
            return us.empty() ? 0.0 : us[static_cast<std::size_t>(q * (us.size() - 1))];
        };
        bs.counters["changes"] = static_cast<double>(n);
        bs.counters["lost"] = static_cast<double>(lost);
        bs.counters["p50_us"] = at(0.50);
        bs.counters["p99_us"] = at(0.99);
        bs.counters["max_us"] = us.empty() ? 0.0 : us.back();
    }
}
BENCHMARK(BM_InputToSendLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// First argument 0: the lag is measured with the monotonic clock; 1: with the counter the
// program picks at start-up (the time-stamp counter where the processor has an invariant one).
// Second argument 1: devices are looked for four times a second, as the window does.
void BM_IdleCpuWith999Actions(benchmark::State& bs) {
    const std::unique_ptr<PerformanceCounter> picked = makePerformanceCounter();
    const PerformanceCounter& counter = bs.range(0) == 0 ? steadyPerformanceCounter() : *picked;
    for (auto _ : bs) {
        Rig rig(counter);
        // The CPU time the stopwatch's overhead measurement (made on every tick) takes on its
        // own; CPU time rather than wall time, so other programs on the machine do not count.
        constexpr int kTimers = 2000;
        const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (int i = 0; i < kTimers; ++i) {
            PerformanceTimer timer(counter);
            benchmark::DoNotOptimize(timer);
        }
        const double timerNs = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0) * 1e9 / kTimers;

        std::atomic<bool> stop{false};
        std::size_t ticks = 0;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            stop = true;
        });
        const double cpu0 = cpuSeconds();
        const auto wall0 = Clock_::now();
        const std::size_t allocations0 = allocations.load();
        rig.runTicks(stop, ticks, bs.range(1) != 0);
        const std::size_t allocated = allocations.load() - allocations0 - rig.checkAllocations;
        const double wall = std::chrono::duration<double>(Clock_::now() - wall0).count();
        const double cpu = cpuSeconds() - cpu0;
        stopper.join();

        bs.counters["ticks_per_s"] = static_cast<double>(ticks) / wall;
        bs.counters["cpu_percent"] = 100.0 * cpu / wall;
        bs.counters["timer_create_us"] = timerNs / 1000.0;
        bs.counters["timer_share_percent"] = 100.0 * timerNs * 1e-9 * static_cast<double>(ticks) / wall;
        bs.counters["allocations"] = static_cast<double>(allocated);
        bs.counters["sent_while_idle"] = static_cast<double>(rig.program->sender.count.load());
    }
}
BENCHMARK(BM_IdleCpuWith999Actions)
    ->ArgNames({"picked_counter", "device_checks"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
