#include "app/program_end.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vantaro {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the signal pipe. A signal handler has no other way to reach its owner; it is
// set before the handlers are installed and cleared after they are removed.
std::atomic<int> signalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

// Async-signal-safe. The first deadline stands: a later call never pushes it back.
void armBound() {
    const unsigned left = ::alarm(ProgramEnd::kBoundSeconds);
    if (left != 0 && left < ProgramEnd::kBoundSeconds) ::alarm(left);
}

extern "C" void boundReached(int) {
    static constexpr char kText[] = "vantaro: shut-down did not finish in time (a device does not answer); "
                                    "ending now\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    ::_exit(0);
}

extern "C" void endSignal(int) {
    const int savedErrno = errno;
    armBound();
    // Only a byte: the UI thread does the rest. A full pipe already holds a wake-up.
    if (const int fd = signalPipe.load(); fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

void handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

ProgramEnd::ProgramEnd() {
    handle(SIGALRM, &boundReached);
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return; // signals then keep their default
    signalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { signalled(); });
    for (int s : kEndSignals)
        handle(s, &endSignal);
}

ProgramEnd::~ProgramEnd() {
    // The bound (SIGALRM) stays: what runs after this may hang as well.
    if (pipe_[0] < 0) return;
    for (int s : kEndSignals)
        handle(s, SIG_DFL);
    signalPipe = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void ProgramEnd::arm() {
    armBound();
}

void ProgramEnd::signalled() {
    char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    arm();
    if (orderlyEnd_)
        orderlyEnd_();
    else
        QCoreApplication::exit(0); // also ends a message box's loop before the main loop runs
}

} // namespace vantaro
