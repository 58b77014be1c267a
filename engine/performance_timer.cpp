#include "engine/performance_timer.h"

#include "engine/numbers.h"

#include <chrono>
#include <cmath>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

namespace vantaro {

bool SteadyPerformanceCounter::frequency(std::int64_t& countsPerSecond) const {
    countsPerSecond = 1'000'000'000;
    return true;
}

bool SteadyPerformanceCounter::read(std::int64_t& count) const {
    count = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
    return true;
}

const PerformanceCounter& steadyPerformanceCounter() {
    static const SteadyPerformanceCounter counter; // stateless
    return counter;
}

namespace {

// Rates below this cannot be a real counter: a failed measurement rather than a slow clock.
constexpr std::int64_t kMinimumFrequency = 1'000'000;

#if defined(__x86_64__) || defined(__i386__)

// The processor's time-stamp counter, read with one instruction and no system call.
class TimeStampCounter final : public PerformanceCounter {
public:
    explicit TimeStampCounter(std::int64_t countsPerSecond) : frequency_(countsPerSecond) {}
    bool frequency(std::int64_t& countsPerSecond) const override {
        countsPerSecond = frequency_;
        return true;
    }
    bool read(std::int64_t& count) const override {
        count = static_cast<std::int64_t>(__rdtsc());
        return true;
    }

private:
    std::int64_t frequency_;
};

// Only an invariant counter runs at the same rate in every power state and on every core.
bool hasInvariantTimeStampCounter() {
    // GCC's cpuid.h returns unsigned here, clang's int.
    if (static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) < 0x80000007u) return false;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0x80000007u, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (edx & (1u << 8)) != 0;
}

struct Sample {
    std::int64_t count;
    std::int64_t nanoseconds; // monotonic time of the reading
};

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A counter reading placed in monotonic time: the middle of the narrowest of a few clock
// brackets around it, so that being preempted inside one bracket does not skew the rate.
Sample sampleTimeStampCounter() {
    Sample best{0, 0};
    std::int64_t narrowest = -1;
    for (int i = 0; i < 5; ++i) {
        const std::int64_t before = steadyNanoseconds();
        const auto count = static_cast<std::int64_t>(__rdtsc());
        const std::int64_t after = steadyNanoseconds();
        if (narrowest < 0 || after - before < narrowest) {
            narrowest = after - before;
            best = {count, before + (after - before) / 2};
        }
    }
    return best;
}

// Counts per second, from the counter's progress over about 15 ms of monotonic time;
// 0 when the two did not both move forward.
std::int64_t calibrateTimeStampCounter() {
    const Sample first = sampleTimeStampCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    const Sample second = sampleTimeStampCounter();
    const std::int64_t counts = second.count - first.count;
    const std::int64_t nanoseconds = second.nanoseconds - first.nanoseconds;
    if (counts <= 0 || nanoseconds <= 0) return 0;
    return std::llround(static_cast<double>(counts) * 1e9 / static_cast<double>(nanoseconds));
}

#elif defined(__aarch64__)

// The generic timer's virtual count, which the architecture defines to run at one rate.
class VirtualCounter final : public PerformanceCounter {
public:
    explicit VirtualCounter(std::int64_t countsPerSecond) : frequency_(countsPerSecond) {}
    bool frequency(std::int64_t& countsPerSecond) const override {
        countsPerSecond = frequency_;
        return true;
    }
    bool read(std::int64_t& count) const override {
        std::uint64_t value = 0;
        asm volatile("mrs %0, cntvct_el0" : "=r"(value));
        count = static_cast<std::int64_t>(value);
        return true;
    }

private:
    std::int64_t frequency_;
};

std::int64_t virtualCounterFrequency() {
    std::uint64_t value = 0;
    asm volatile("mrs %0, cntfrq_el0" : "=r"(value));
    return static_cast<std::int64_t>(value & 0xFFFFFFFFu); // the register's upper half is reserved
}

#endif

} // namespace

std::unique_ptr<PerformanceCounter> makePerformanceCounter() {
#if defined(__x86_64__) || defined(__i386__)
    if (hasInvariantTimeStampCounter()) {
        const std::int64_t f = calibrateTimeStampCounter();
        if (f >= kMinimumFrequency) return std::make_unique<TimeStampCounter>(f);
    }
#elif defined(__aarch64__)
    const std::int64_t f = virtualCounterFrequency();
    if (f >= kMinimumFrequency) return std::make_unique<VirtualCounter>(f);
#endif
    return std::make_unique<SteadyPerformanceCounter>();
}

PerformanceTimer::PerformanceTimer(const PerformanceCounter& counter) : counter_(counter) {
    if (counter_.frequency(frequency_)) {
        std::int64_t sum = 0;
        for (int i = 0; i < kOverheadPairs; ++i) {
            std::int64_t first = 0;
            std::int64_t second = 0;
            counter_.read(first);
            counter_.read(second);
            sum += second - first;
        }
        overhead_ = static_cast<std::int64_t>(roundHalfEven(static_cast<double>(sum) / kOverheadPairs));
    } else {
        frequency_ = 10000; // placeholder; the readings stay 0, so nothing is ever timed
        overhead_ = 0;
    }
    startCount_ = 0;
    stopCount_ = 0;
}

bool PerformanceTimer::Supported() const {
    std::int64_t count = 0;
    return counter_.read(count);
}

void PerformanceTimer::StartTimer() {
    std::int64_t count = 0;
    startCount_ = counter_.read(count) ? count : 0;
    stopCount_ = 0;
}

void PerformanceTimer::StopTimer() {
    std::int64_t count = 0;
    stopCount_ = counter_.read(count) ? count : 0;
}

double PerformanceTimer::TimeElapsed(std::int32_t ReturnAccuracy) const {
    if (startCount_ == 0 || stopCount_ == 0) return 0;
    const std::int64_t counts = stopCount_ - startCount_ - overhead_;
    // Scaled before dividing: the product is exact, so a whole number of microseconds
    // comes out whole (1001000 ns / 1e9 * 1e6 would give 1000.9999...).
    return static_cast<double>(counts) * ReturnAccuracy / static_cast<double>(frequency_);
}

} // namespace vantaro
