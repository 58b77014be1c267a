#include "app/program_end.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace vantaro {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// What the signal handlers share with their owner; a handler has no other way to reach it. Each
// is set before the handlers that read it are installed.
// The write end of the signal pipe; cleared after the handlers are removed.
std::atomic<int> signalPipe{-1};
// The step the program is in: a literal text.
std::atomic<const char*> currentStep{"during start-up"};
// The bound's timer, which sends SIGALRM to the thread that made it; none: alarm() instead.
std::atomic<timer_t> boundTimer{};
std::atomic<bool> haveBoundTimer{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<const char*>::is_always_lock_free &&
                  std::atomic<timer_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "read in a signal handler");

// Async-signal-safe. The first deadline stands: a later call never pushes it back.
void armBound() {
    if (haveBoundTimer.load()) {
        const timer_t timer = boundTimer.load();
        itimerspec left{};
        if (::timer_gettime(timer, &left) == 0 && (left.it_value.tv_sec != 0 || left.it_value.tv_nsec != 0))
            return;
        itimerspec bound{};
        bound.it_value.tv_sec = ProgramEnd::kBoundSeconds;
        ::timer_settime(timer, 0, &bound, nullptr);
        return;
    }
    const unsigned left = ::alarm(ProgramEnd::kBoundSeconds);
    if (left != 0 && left < ProgramEnd::kBoundSeconds) ::alarm(left);
}

void say(const char* text) {
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, text, std::strlen(text));
}

extern "C" void boundReached(int) {
    say("vantaro: the program did not end within 3 seconds and was cut short ");
    say(currentStep.load());
    say("\n");
    ::_exit(ProgramEnd::kCutShortStatus);
}
static_assert(ProgramEnd::kBoundSeconds == 3, "the message above says 3 seconds");

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

// A timer whose SIGALRM goes to this thread alone: another thread (JACK's, Qt's) would take a
// process-wide one at once, even while this thread holds it back to finish a file.
void makeBoundTimer() {
    if (haveBoundTimer.load()) return;
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = ::gettid(); // sigev_notify_thread_id, which glibc does not name
    timer_t timer{};
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0) return;
    boundTimer = timer;
    haveBoundTimer = true;
}

} // namespace

ProgramEnd::ProgramEnd() {
    makeBoundTimer();
    handle(SIGALRM, &boundReached);
    handle(SIGXFSZ, SIG_IGN);
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return; // signals then keep their default
    signalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { signalled(); });
    for (int s : kEndSignals)
        handle(s, &endSignal);
}

ProgramEnd::~ProgramEnd() {
    // The bound (SIGALRM and its timer) stays: what runs after this may hang as well.
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

void ProgramEnd::enterStep(const char* step) {
    currentStep = step;
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
