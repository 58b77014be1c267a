#pragma once
// A JACK client of the tests' own: receiver ports that record every event, and sender ports
// that play queued messages as fast as the server takes them. The process thread never
// waits for the test thread (a lock held by a preempted test thread would make the server
// skip this client's cycles, which loses or repeats events for every client in the chain).
#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vantaro::test {

using Bytes = std::vector<std::uint8_t>;

// The server that scripts/test started; the tests fail without it.
inline std::string jackServerName() {
    const char* name = std::getenv("VANTARO_JACK_SERVER");
    if (!name || !*name) name = std::getenv("JACK_DEFAULT_SERVER");
    return name ? name : "";
}

// Held for a whole test: the tests of this suite run one at a time on a server, because
// device ids are list positions and another test's ports would shift them mid-test.
class ServerLock {
public:
    ServerLock() {
        const std::string path = "/tmp/vantaro-jack-" + jackServerName() + ".lock";
        fd_ = ::open(path.c_str(), O_CREAT | O_RDWR, 0666);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
        waitForLeftoversToGo();
    }
    ~ServerLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

private:
    // The ports of the test before this one may still be on their way out of the server.
    static void waitForLeftoversToGo() {
        jack_status_t status{};
        jack_client_t* c =
            jack_client_open("vt-lock", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                             &status, jackServerName().c_str());
        if (!c) return;
        for (int i = 0; i < 200; ++i) {
            bool leftovers = false;
            if (const char** ports = jack_get_ports(c, nullptr, JACK_DEFAULT_MIDI_TYPE, 0)) {
                for (const char** p = ports; *p; ++p) {
                    const std::string name = *p;
                    if (name.rfind("vt-", 0) == 0 || name.rfind("Vantaro", 0) == 0) leftovers = true;
                }
                jack_free(ports);
            }
            if (!leftovers) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        jack_client_close(c);
    }

    int fd_ = -1;
};

class JackPeer {
public:
    static constexpr std::size_t kCapacity = 1 << 17;

    // inputs: receiver ports; outputs: sender ports.
    JackPeer(const std::string& name, int inputs, int outputs, std::string server = jackServerName()) {
        if (server.empty()) throw std::runtime_error("no JACK server named in VANTARO_JACK_SERVER");
        jack_status_t status{};
        client_ =
            jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                             &status, server.c_str());
        if (!client_) throw std::runtime_error("JACK server " + server + " is not reachable");
        for (int i = 0; i < inputs; ++i) {
            in_.push_back(std::make_unique<Port>());
            in_.back()->port = jack_port_register(client_, ("in" + std::to_string(i)).c_str(),
                                                  JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        }
        for (int i = 0; i < outputs; ++i) {
            out_.push_back(std::make_unique<Port>());
            out_.back()->port = jack_port_register(client_, ("out" + std::to_string(i)).c_str(),
                                                   JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        }
        jack_set_process_callback(client_, &JackPeer::process, this);
        jack_set_xrun_callback(
            client_,
            [](void* self) {
                ++static_cast<JackPeer*>(self)->xruns_;
                return 0;
            },
            this);
        jack_activate(client_);
    }
    ~JackPeer() { close(); }

    void close() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
    }

    std::string inputName(int i = 0) const { return jack_port_name(in_[static_cast<std::size_t>(i)]->port); }
    // Waits until something is connected to receiver port i: events sent before the server has
    // made the connection are lost for good.
    bool waitConnected(int i = 0) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (jack_port_connected(in_[static_cast<std::size_t>(i)]->port) == 0) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    std::string outputName(int i = 0) const {
        return jack_port_name(out_[static_cast<std::size_t>(i)]->port);
    }
    jack_client_t* client() const { return client_; }
    // Cycles the server reported as missed since this client started. In such a cycle JACK
    // drops or repeats MIDI events for every client, whatever the clients do.
    int xruns() const { return xruns_.load(); }

    static std::string text(const Bytes& m) {
        std::string t;
        for (auto b : m)
            t += (t.empty() ? "" : " ") + std::to_string(b);
        return "{" + t + "}";
    }

    // Messages each sender port plays per period. 256 a period is some 190,000 messages a
    // second, sixty times what a MIDI cable carries.
    void setPerPeriod(std::size_t n) { perPeriod_ = n; }

    // Queues a message of 1 to 4 bytes on sender port `port`.
    void send(int port, const Bytes& message) {
        Port& p = *out_[static_cast<std::size_t>(port)];
        const std::size_t n = p.published.load(std::memory_order_relaxed);
        if (n == kCapacity) throw std::runtime_error("test sender queue full");
        p.events[n] = pack(message);
        p.published.store(n + 1, std::memory_order_release);
    }

    std::vector<Bytes> received(int port = 0) const {
        const Port& p = *in_[static_cast<std::size_t>(port)];
        const std::size_t n = p.published.load(std::memory_order_acquire);
        std::vector<Bytes> out;
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            out.emplace_back(p.events[i].begin() + 1, p.events[i].begin() + 1 + p.events[i][0]);
        return out;
    }
    std::size_t receivedCount(int port = 0) const {
        return in_[static_cast<std::size_t>(port)]->published.load(std::memory_order_acquire);
    }
    // Waits, pumping the caller's loop, until count events have arrived; false when nothing
    // more has arrived for `stall` or the deadline passes.
    template <class Pump>
    bool waitFor(std::size_t count, Pump pump, int port = 0,
                 std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
        constexpr auto stall = std::chrono::seconds(3);
        const auto end = std::chrono::steady_clock::now() + limit;
        auto progress = std::chrono::steady_clock::now();
        std::size_t seen = receivedCount(port);
        while (seen < count) {
            const auto now = std::chrono::steady_clock::now();
            if (now > end || now - progress > stall) return false;
            pump();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (receivedCount(port) != seen) {
                seen = receivedCount(port);
                progress = std::chrono::steady_clock::now();
            }
        }
        return true;
    }
    bool waitFor(std::size_t count, int port = 0,
                 std::chrono::milliseconds limit = std::chrono::seconds(30)) const {
        return waitFor(
            count, [] {}, port, limit);
    }

private:
    using Event = std::array<std::uint8_t, 5>; // length, then the bytes
    // One writer, one reader: events[0, published) are complete.
    struct Port {
        jack_port_t* port = nullptr;
        std::vector<Event> events = std::vector<Event>(kCapacity);
        std::atomic<std::size_t> published{0};
        std::size_t played = 0; // sender ports: how far the process thread has got
    };

    static Event pack(const Bytes& m) {
        Event e{static_cast<std::uint8_t>(m.size() < 4 ? m.size() : 4)};
        for (std::size_t i = 0; i < e[0]; ++i)
            e[i + 1] = m[i];
        return e;
    }

    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackPeer*>(arg);
        for (auto& p : self->in_) {
            void* buf = jack_port_get_buffer(p->port, frames);
            const auto n = jack_midi_get_event_count(buf);
            std::size_t at = p->published.load(std::memory_order_relaxed);
            for (std::uint32_t i = 0; i < n && at < kCapacity; ++i) {
                jack_midi_event_t ev;
                if (jack_midi_event_get(&ev, buf, i) != 0) continue;
                Event& e = p->events[at++];
                e[0] = static_cast<std::uint8_t>(ev.size < 4 ? ev.size : 4);
                for (std::size_t b = 0; b < e[0]; ++b)
                    e[b + 1] = ev.buffer[b];
            }
            p->published.store(at, std::memory_order_release);
        }
        for (auto& p : self->out_) {
            void* buf = jack_port_get_buffer(p->port, frames);
            jack_midi_clear_buffer(buf);
            const std::size_t ready = p->published.load(std::memory_order_acquire);
            for (std::size_t sent = 0; sent < self->perPeriod_ && p->played < ready; ++sent) {
                const Event& e = p->events[p->played];
                if (jack_midi_event_write(buf, 0, e.data() + 1, e[0]) != 0) break;
                ++p->played;
            }
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    std::vector<std::unique_ptr<Port>> in_, out_;
    std::atomic<std::size_t> perPeriod_{256};
    std::atomic<int> xruns_{0};
};

// A JACK server of a test's own (dummy backend), for tests that stop and start a server.
class JackServer {
public:
    // One name per build folder: a server that ever ends without tidying up leaves an entry
    // in the machine's table of eight servers, which only a server of the same name reclaims.
    explicit JackServer(const std::string& prefix = "vt-lost-")
        : name_(prefix +
                std::to_string(std::hash<std::string>{}(
                                   std::filesystem::read_symlink("/proc/self/exe").parent_path().string()) %
                               100000)) {
        start();
    }
    ~JackServer() { stop(); }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Starts the server (again, after stop()); ready() waits until it answers.
    void start() {
        if (pid_ > 0) return;
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
    // Whether the server answers, asked from another process (jack_wait). While the program
    // under test may still hold a client of this server's predecessor, a client of the test's own
    // would make the JACK library free the program's client under it.
    bool answersOutside() const {
        FILE* out = ::popen(("jack_wait -c -s '" + name_ + "' 2>/dev/null").c_str(), "r");
        if (!out) return false;
        char text[32] = {};
        const bool read = std::fgets(text, sizeof text, out) != nullptr;
        ::pclose(out);
        return read && std::string(text).rfind("running", 0) == 0;
    }
    // Whether a port of this name is on the server, asked from another process (jack_lsp).
    bool hasPortOutside(const std::string& port) const {
        FILE* out = ::popen(("jack_lsp -s '" + name_ + "' 2>/dev/null").c_str(), "r");
        if (!out) return false;
        bool found = false;
        char line[512];
        while (std::fgets(line, sizeof line, out))
            if (std::string(line) == port + "\n") found = true;
        ::pclose(out);
        return found;
    }
    // Stopped as a user stops it. (A killed server keeps its place in the server table
    // of the machine, which holds only eight.)
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::kill(pid_, SIGCONT); // a frozen server takes its SIGTERM only once it runs again
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
        // Clients of a server that went away leave their semaphores behind.
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
            if (entry.path().filename().string().rfind("jack_sem.0_" + name_ + "_", 0) == 0)
                std::filesystem::remove(entry.path(), ec);
    }
    // Stalls the server as SIGSTOP does (a server that hangs): it stays registered and its clients'
    // requests go unanswered until resume().
    void freeze() {
        if (pid_ > 0) ::kill(pid_, SIGSTOP);
    }
    void resume() {
        if (pid_ > 0) ::kill(pid_, SIGCONT);
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = 0;
};

// Points JACK_DEFAULT_SERVER at another server for a scope, as a user with two servers does.
class ServerScope {
public:
    explicit ServerScope(const std::string& name) : old_(jackServerName()) {
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    }
    ~ServerScope() { setenv("JACK_DEFAULT_SERVER", old_.c_str(), 1); }

private:
    std::string old_;
};

} // namespace vantaro::test
