#pragma once
// The end of the program, bounded. Once shut-down has begun (Quit, the close box, or SIGTERM,
// SIGINT or SIGHUP from outside) the process ends within kBoundSeconds, whatever its devices do:
// a stalled JACK server, for one, never answers the close of our client. Ending then loses
// nothing, since every setting and the action file are written at the moment they change.
#include <functional>
#include <memory>

class QSocketNotifier;

namespace vantaro {

class ProgramEnd {
public:
    static constexpr unsigned kBoundSeconds = 3;

    // Takes over SIGTERM, SIGINT and SIGHUP for as long as it lives (one at a time, made after
    // the application object). Each of them arms the bound at once, in the signal handler, so it
    // holds even while the UI thread is stuck; then the UI thread runs the orderly end.
    ProgramEnd();
    ~ProgramEnd();
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    // What a signal asks the UI thread to do; until it is set, leave the event loops.
    void onSignal(std::function<void()> orderlyEnd) { orderlyEnd_ = std::move(orderlyEnd); }
    // Arms the bound: unless the process has ended kBoundSeconds after the first call, it ends
    // then, with status 0.
    void arm();

private:
    void signalled();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> orderlyEnd_;
};

} // namespace vantaro
