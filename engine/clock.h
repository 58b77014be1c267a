#pragma once
// The clock the engine's repeat gates and the lag display read: seconds with a fraction.
namespace vantaro {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double seconds() = 0;
};

// Monotonic seconds, so the gates never see time run backwards.
class SteadyClock final : public Clock {
public:
    double seconds() override;
};

// A clock that moves only when told to; for tests and scripted replays.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 0) : now_(start) {}
    double seconds() override { return now_; }
    void set(double s) { now_ = s; }
    void advanceMs(double ms) { now_ += ms / 1000.0; }

private:
    double now_;
};

} // namespace vantaro
