#include "engine/clock.h"

#include <chrono>

namespace vantaro {

double SteadyClock::seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace vantaro
