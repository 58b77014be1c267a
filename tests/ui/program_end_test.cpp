// The start and the end of the real program as a desktop session and a terminal meet them: a
// stalled JACK server holds neither the window nor the list of outputs, which fills once the server
// answers; a signal from outside takes the same orderly way as Quit and the program ends with
// status 0, also while the JACK server it is connected to has stalled and never answers.
#include "support/jack.h"
#include "support/temp_folder.h"
#include "support/wait.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace vantaro {
namespace {

using namespace std::chrono_literals;

// The socket a service manager offers for the program's readiness (NOTIFY_SOCKET).
class NotifySocket {
public:
    explicit NotifySocket(const std::filesystem::path& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof address.sun_path) return;
        std::memcpy(address.sun_path, path_.c_str(), path_.size());
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool bound() const { return bound_; }
    const std::string& path() const { return path_; }
    // Whether "READY=1" has come (reads what is waiting, never blocks).
    bool ready() {
        char message[256];
        for (ssize_t n; (n = ::recv(fd_, message, sizeof message, 0)) > 0;) {
            const std::string_view text(message, static_cast<std::size_t>(n));
            if (text.find("READY=1") != std::string_view::npos) ready_ = true;
        }
        return ready_;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
    bool ready_ = false;
};

// The program binary run from a folder of its own, which therefore holds its files; its output
// goes to a log file there. It is offered a socket to report its readiness on.
class ProgramProcess {
public:
    ProgramProcess(const test::TempFolder& folder, const std::string& server)
        : log_(folder / "vantaro.log"), notify_(folder / "notify") {
        const std::filesystem::path built = std::filesystem::path(std::getenv("VANTARO_BIN")) / "vantaro";
        const std::filesystem::path binary = folder / "vantaro";
        std::error_code ec;
        std::filesystem::create_hard_link(built, binary, ec);
        if (ec) std::filesystem::copy_file(built, binary);

        // Everything the child needs is made before fork: it only runs async-signal-safe calls.
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view entry = *e;
            const auto replaced = [&](std::string_view name) { return entry.rfind(name, 0) == 0; };
            if (!replaced("HOME=") && !replaced("XDG_") && !replaced("JACK_DEFAULT_SERVER=") &&
                !replaced("QT_QPA_PLATFORM=") && !replaced("NOTIFY_SOCKET="))
                env.emplace_back(entry);
        }
        env.push_back("HOME=" + (folder / "home").string());
        env.push_back("JACK_DEFAULT_SERVER=" + server);
        env.push_back("JACK_NO_AUDIO_RESERVATION=1");
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("NOTIFY_SOCKET=" + notify_.path());
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string path = binary.string();
        char* argv[] = {const_cast<char*>("vantaro"), nullptr};

        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives a test that crashes
            const int out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execve(path.c_str(), argv, envp.data());
            ::_exit(127);
        }
    }
    ~ProgramProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Waits until the program reports that start-up is done, and checks that start-up opened the
    // stored output device: the program's JACK client has its output port on the server.
    bool started(const std::string& server) { return becameReady() && hasOutputOn(server, 0ms); }
    // Waits until the program reports that start-up is done; false when it ends first.
    bool becameReady() {
        if (!notify_.bound()) return false;
        test::waitUntil([&] { return !running() || notify_.ready(); }, 60000,
                        [] { std::this_thread::sleep_for(10ms); });
        return running() && notify_.ready();
    }
    // Whether the program's JACK client has an output port on the server, within limit.
    bool hasOutputOn(const std::string& server, std::chrono::milliseconds limit) {
        test::JackPeer watch("vt-end-watch", 0, 0, server);
        return test::waitUntil(
            [&] {
                const char** ports = jack_get_ports(watch.client(), "^Vantaro:", JACK_DEFAULT_MIDI_TYPE, 0);
                if (!ports) return false;
                jack_free(ports);
                return true;
            },
            static_cast<int>(limit.count()));
    }
    bool reportedReady() { return notify_.ready(); }

    // Waits until the program has its own handler for sig, which it sets up right after the
    // application object, before the splash window.
    bool handles(int sig) {
        const std::string status = "/proc/" + std::to_string(pid_) + "/status";
        return test::waitUntil(
            [&] {
                const std::string text = test::fileBytes(status);
                const auto at = text.find("SigCgt:");
                if (!running() || at == std::string::npos) return false;
                return (std::stoull(text.substr(at + 7), nullptr, 16) >> (sig - 1) & 1) != 0;
            },
            30000);
    }

    // Sends sig and waits up to limit for the program to end: its wait status, or nothing while it
    // still runs.
    std::optional<int> endWith(int sig, std::chrono::milliseconds limit) {
        ::kill(pid_, sig);
        test::waitUntil([&] { return !running(); }, static_cast<int>(limit.count()),
                        [] { std::this_thread::sleep_for(10ms); });
        return status_;
    }

    std::string log() const { return test::fileBytes(log_); }

private:
    bool running() {
        if (status_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        pid_ = 0;
        return false;
    }

    std::filesystem::path log_;
    NotifySocket notify_;
    pid_t pid_ = 0;
    std::optional<int> status_;
};

std::string describe(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

TEST(ProgramEnd, SignalsEndTheProgramInOrderAlsoWhenTheJackServerHasStalled) {
    // Where the ALSA sequencer can be opened the program uses it, and no JACK server is involved.
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "the program uses the ALSA sequencer here";
    test::JackServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    // Device 0 is the first output offered: the program's own port on this otherwise empty server.
    const std::string storedSettings = "[Midi]\r\nDeviceNumber= 0\r\n";

    {
        // The terminal closes while the splash window is up: start-up goes no further (the
        // settings file is not even given its first-run values) and the program ends in order.
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.handles(SIGHUP)) << program.log();

        const std::optional<int> status = program.endWith(SIGHUP, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGHUP\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        EXPECT_EQ(program.log().find("did not finish"), std::string::npos) << program.log();
        EXPECT_FALSE(program.reportedReady());
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), storedSettings);
    }
    {
        // Ctrl+C in the terminal: the window closes as with Quit, within the bound, and the
        // files stay as start-up left them.
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.started(server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");
        ASSERT_NE(settings.find("DeviceNumber= 0"), std::string::npos) << settings;

        const std::optional<int> status = program.endWith(SIGINT, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGINT\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        // It ended by its own shut-down, not by the bound that cuts a stalled one short.
        EXPECT_EQ(program.log().find("did not finish"), std::string::npos) << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
    {
        // The desktop session ends while the server hangs: closing the program's JACK client
        // never returns, and the program still ends, in order (status 0).
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.started(server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");

        server.freeze();
        const std::optional<int> status = program.endWith(SIGTERM, 15s);
        server.resume();
        ASSERT_TRUE(status) << "the program did not end after SIGTERM while the server was stalled\n"
                            << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
}

TEST(ProgramStart, AStalledJackServerHoldsNeitherTheWindowNorTheOutputChoice) {
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "the program uses the ALSA sequencer here";
    test::JackServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    test::TempFolder folder;
    test::putBytes(folder / "jmconfig.ini", "[Midi]\r\nDeviceName=Vantaro virtual output\r\n");

    // Started while the server does not answer: start-up ends and the window is shown.
    server.freeze();
    ProgramProcess program(folder, server.name());
    const bool ready = program.becameReady();
    server.resume();
    ASSERT_TRUE(ready) << "start-up waited for the stalled server\n" << program.log();
    // Once it answers, the list fills and the stored output is opened: its port is on the server.
    EXPECT_TRUE(program.hasOutputOn(server.name(), 15s)) << program.log();

    const std::optional<int> status = program.endWith(SIGTERM, 10s);
    ASSERT_TRUE(status) << program.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                 << program.log();
}

} // namespace
} // namespace vantaro
