#pragma once
// One tick of the 1 ms timer: read the inputs, run the actions, refresh the live texts,
// and show how long the work took.
#include "engine/clock.h"
#include "engine/input_state.h"
#include "engine/performance_timer.h"

#include <cstdint>
#include <string_view>

namespace vantaro {

// The work of a tick, in the order the tick runs it.
class TickSteps {
public:
    virtual ~TickSteps() = default;
    virtual void readJoystick() = 0;
    virtual void doP5() = 0; // only while a glove is present
    virtual void actions() = 0;
    virtual void updateStatus() = 0;
    // The lag's caption changed (Label12 of the main window).
    virtual void showLag(std::string_view caption) = 0;
};

class PollCycle {
public:
    PollCycle(TickSteps& steps, Clock& clock, const GloveState& glove,
              const PerformanceCounter& counter = steadyPerformanceCounter());

    // Runs one tick. A tick that arrives while another is still running (suspended in a
    // modal window opened by its actions) is skipped and returns false, so the engine's
    // state is never entered twice.
    bool tick();

    bool ticking() const { return ticking_; }
    double lastShownLag() const { return lastShownLag_; }
    double lastLagShowTime() const { return lastLagShowTime_; }

private:
    void showLag(double lagMicroseconds);

    TickSteps& steps_;
    Clock& clock_;
    const GloveState& glove_;
    const PerformanceCounter& counter_;
    double lastShownLag_ = 0;
    double lastLagShowTime_ = 0;
    bool ticking_ = false;
};

// "Lag: " and the figure: " 250µs" up to 1000 µs, whole milliseconds (" 2ms") above.
// Writes into buf (room for 32) without allocating; returns the caption's length.
std::size_t lagCaption(char* buf, double lagMicroseconds);

} // namespace vantaro
