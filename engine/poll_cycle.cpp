#include "engine/poll_cycle.h"

#include "engine/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vantaro {

std::size_t lagCaption(char* buf, double lagMicroseconds) {
    const bool micro = lagMicroseconds <= 1000;
    const double figure = micro ? lagMicroseconds : std::floor(lagMicroseconds / 1000);
    std::size_t n = 0;
    std::memcpy(buf, "Lag: ", 5);
    n += 5;
    n += formatNumber(buf + n, static_cast<std::int64_t>(figure));
    const char* unit = micro ? "\u00B5s" : "ms";
    const std::size_t unitLength = std::strlen(unit);
    std::memcpy(buf + n, unit, unitLength);
    return n + unitLength;
}

PollCycle::PollCycle(TickSteps& steps, Clock& clock, const GloveState& glove,
                     const PerformanceCounter& counter)
    : steps_(steps), clock_(clock), glove_(glove), counter_(counter) {}

bool PollCycle::tick() {
    if (ticking_) return false;
    ticking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{ticking_};

    PerformanceTimer timer(counter_);
    timer.StartTimer();
    steps_.readJoystick();
    if (glove_.glovePresent) steps_.doP5();
    steps_.actions();
    steps_.updateStatus();
    timer.StopTimer();
    // The overhead taken off can exceed a very short tick's work; a lag is never negative.
    const double lag = std::max(0.0, std::floor(timer.TimeElapsed(1000000)));
    showLag(lag);
    return true;
}

void PollCycle::showLag(double lag) {
    if (lag == lastShownLag_) return;
    if (!(clock_.seconds() - lastLagShowTime_ > 1.0)) return;
    char caption[32];
    const std::size_t n = lagCaption(caption, lag);
    steps_.showLag(std::string_view(caption, n));
    lastShownLag_ = lag;
    lastLagShowTime_ = clock_.seconds();
}

} // namespace vantaro
