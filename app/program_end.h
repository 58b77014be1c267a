#pragma once
// The end of the program, bounded. Once shut-down has begun (Quit, the close box, or SIGTERM,
// SIGINT or SIGHUP from outside) the process ends within kBoundSeconds, whatever its devices do:
// a stalled JACK server, for one, never answers the close of our client. Ending then loses
// nothing, since every setting and the action file are written at the moment they change, and
// a file being written when the bound comes is finished first.
#include <functional>
#include <memory>

class QSocketNotifier;

namespace vantaro {

class ProgramEnd {
public:
    static constexpr unsigned kBoundSeconds = 3;
    // The exit status of an end the bound cut short (as timeout(1) has it).
    static constexpr int kCutShortStatus = 124;

    // Takes over SIGTERM, SIGINT and SIGHUP for as long as it lives (one at a time, made after
    // the application object, on the thread that saves the program's files). Each of them arms
    // the bound at once, in the signal handler, so it holds even while the UI thread is stuck;
    // then the UI thread runs the orderly end. Writes past a file size limit fail with an error
    // from then on, instead of ending the program in the middle of them.
    ProgramEnd();
    ~ProgramEnd();
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    // What a signal asks the UI thread to do; until it is set, leave the event loops.
    void onSignal(std::function<void()> orderlyEnd) { orderlyEnd_ = std::move(orderlyEnd); }
    // Arms the bound: unless the process has ended kBoundSeconds after the first call, it ends
    // then, with kCutShortStatus, saying on standard error which step it cut short. The bound
    // reaches the thread that made this object only: while that thread writes a file (SIGALRM
    // held back, see replaceFileContents) it waits for the file to be whole.
    void arm();
    // Names the step the program is in, for that message: a text that lasts as long as the
    // program (a literal), such as "while closing the MIDI output". Starts as "during start-up".
    static void enterStep(const char* step);

private:
    void signalled();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> orderlyEnd_;
};

} // namespace vantaro
