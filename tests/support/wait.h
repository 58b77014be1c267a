#pragma once
// Waiting for something that happens on another thread or in an event loop, with a deadline.
#include <chrono>
#include <functional>
#include <thread>

namespace vantaro::test {

// Polls done() until it holds or timeoutMs pass, running step() between polls (by default a
// short sleep; a window test passes one that runs the event loop). The last answer of done().
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000,
                      const std::function<void()>& step = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        if (step)
            step();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace vantaro::test
