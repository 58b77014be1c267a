// A JACK server that goes away under a running program: sends fail with a code, closing
// returns, nothing hangs. The test runs a server of its own so that it can stop it.
#include "jack_peer.h"
#include "test_ui.h"

#include "midi/main_thread_poster.h"
#include "midi/midi_send.h"
#include "midi/routing.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vantaro {
namespace {

class OwnServer {
public:
    // One name per build folder: a server that ever ends without tidying up leaves an entry
    // in the machine's table of eight servers, which only a server of the same name reclaims.
    OwnServer()
        : name_("vt-lost-" +
                std::to_string(std::hash<std::string>{}(
                                   std::filesystem::read_symlink("/proc/self/exe").parent_path().string()) %
                               100000)) {
        pid_ = ::fork();
        if (pid_ == 0) {
            // The server must not outlive a test that crashes.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("jackd", "jackd", "-n", name_.c_str(), "-d", "dummy", "-r", "48000", "-p", "64",
                     nullptr);
            ::_exit(127);
        }
    }
    ~OwnServer() { stop(); }
    // Waits until the server answers.
    bool ready() {
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            jack_status_t status{};
            if (jack_client_t* c = jack_client_open(
                    "vt-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                    name_.c_str())) {
                jack_client_close(c);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // Stopped as a user stops it. (A killed server keeps its place in the server table
    // of the machine, which holds only eight.)
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
        // Clients of a server that went away leave their semaphores behind.
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
            if (entry.path().filename().string().rfind("jack_sem.0_" + name_ + "_", 0) == 0)
                std::filesystem::remove(entry.path(), ec);
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = 0;
};

// Runs body with JACK_DEFAULT_SERVER pointing at another server, restoring it afterwards.
class ServerScope {
public:
    explicit ServerScope(const std::string& name) : old_(test::jackServerName()) {
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    }
    ~ServerScope() { setenv("JACK_DEFAULT_SERVER", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(ServerLoss, SendsFailAndEverythingClosesWhenTheServerDies) {
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    OwnServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    ServerScope scope(server.name());

    auto peer = std::make_unique<test::JackPeer>("vt-lost-peer", 1, 1, server.name());
    test::RecordingUi ui;
    RtMidiOutput output;
    MidiSender sender(output, ui);
    const auto n = output.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        output.midiOutGetDevCaps(id, name);
        if (name == "vt-lost-peer:in0") {
            ASSERT_EQ(output.midiOutOpen(&sender.midiOutHandle(), id), 0u);
        }
    }
    ASSERT_NE(sender.midiOutHandle(), 0u);

    QueuedPoster poster;
    RtMidiInput inputs(poster);
    MessageLog log;
    const std::int16_t expanded = 0;
    Routing routing({inputs, sender, log, ui, expanded, [&] { poster.runPending(); }});
    const auto picker = routing.loadPicker();
    const auto it = std::find(picker.names.begin(), picker.names.end(), "vt-lost-peer:out0");
    ASSERT_NE(it, picker.names.end());
    std::vector<bool> selected(picker.names.size());
    selected[static_cast<std::size_t>(it - picker.names.begin())] = true;
    routing.confirmPicker(selected);

    peer->send(0, {0x90, 0x40, 0x40});
    ASSERT_TRUE(peer->waitFor(1, [&] { poster.runPending(); }));

    peer.reset();
    server.stop();
    std::int16_t r = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (r == 0 && std::chrono::steady_clock::now() < end) {
        r = sender.sendShortMessage(0x404090);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(r, static_cast<std::int16_t>(MMSYSERR_NODRIVER));
    EXPECT_EQ(ui.midiErrors.size(), 1u);

    // Closing everything on a dead server returns (the test would time out otherwise).
    routing.closeAll();
    EXPECT_EQ(routing.portState(static_cast<int>(it - picker.names.begin())), 0);
    EXPECT_EQ(output.midiOutClose(sender.midiOutHandle()), 0u);
    EXPECT_EQ(output.midiOutGetNumDevs(), 0u); // no server: nothing to offer, not even our own port
}

} // namespace
} // namespace vantaro
