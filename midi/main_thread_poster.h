#pragma once
// Hands work from a library's own thread to the UI thread. The desktop program posts a
// queued call into its event loop; tests and tools pump a plain queue.
#include <deque>
#include <functional>
#include <mutex>

namespace vantaro {

class MainThreadPoster {
public:
    virtual ~MainThreadPoster() = default;
    // Callable from any thread; task runs later on the UI thread.
    virtual void post(std::function<void()> task) = 0;
};

// A queue that the owner's loop drains with runPending().
class QueuedPoster final : public MainThreadPoster {
public:
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    // Runs the tasks queued so far (not those they queue themselves); returns how many ran.
    std::size_t runPending() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(tasks_);
        }
        for (auto& task : batch)
            task();
        return batch.size();
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

} // namespace vantaro
