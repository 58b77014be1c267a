#include "engine/performance_timer.h"

#include "engine/numbers.h"

#include <chrono>

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
