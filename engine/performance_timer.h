#pragma once
// A high-resolution stopwatch for one tick's work. Creating one measures what a pair of
// counter readings costs, and TimeElapsed leaves that cost out.
#include <cstdint>
#include <memory>

namespace vantaro {

// Where the counts come from. The default is the monotonic clock in nanoseconds.
class PerformanceCounter {
public:
    virtual ~PerformanceCounter() = default;
    // Counts per second; false when there is no high-resolution counter.
    virtual bool frequency(std::int64_t& countsPerSecond) const = 0;
    virtual bool read(std::int64_t& count) const = 0;
};

class SteadyPerformanceCounter final : public PerformanceCounter {
public:
    bool frequency(std::int64_t& countsPerSecond) const override;
    bool read(std::int64_t& count) const override;
};

const PerformanceCounter& steadyPerformanceCounter();

// The cheapest counter that runs at one constant rate on this processor: the invariant
// time-stamp counter on x86 (its rate measured once against the monotonic clock, which
// takes about 15 ms) or the virtual counter on AArch64; the monotonic clock elsewhere.
// Every tick measures the cost of 1000 pairs of readings, so a cheap reading keeps an idle
// program idle. Make one at start-up and keep it for the life of the program.
std::unique_ptr<PerformanceCounter> makePerformanceCounter();

class PerformanceTimer {
public:
    static constexpr int kOverheadPairs = 1000;

    explicit PerformanceTimer(const PerformanceCounter& counter = steadyPerformanceCounter());

    bool Supported() const;
    void StartTimer();
    void StopTimer();
    // Elapsed time in units of 1/ReturnAccuracy second (1000000: microseconds), without
    // the measured overhead; 0 unless both StartTimer and StopTimer have read the counter.
    double TimeElapsed(std::int32_t ReturnAccuracy) const;

    std::int64_t frequency() const { return frequency_; }
    std::int64_t overhead() const { return overhead_; }

private:
    const PerformanceCounter& counter_;
    std::int64_t frequency_ = 0;
    std::int64_t startCount_ = 0;
    std::int64_t stopCount_ = 0;
    std::int64_t overhead_ = 0;
};

} // namespace vantaro
