#include "midi/jack_client.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/thread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace vantaro {

namespace {
void dropJackMessage(const char*) {}
} // namespace

void quietJackLibrary() {
    jack_set_error_function(&dropJackMessage);
    jack_set_info_function(&dropJackMessage);
}

namespace {
// Each queued output message takes one fixed record: its length, then up to three bytes.
constexpr std::size_t kRecord = 4;
constexpr std::size_t kRingBytes = 1 << 16; // 16384 messages
// How long a send waits for the process thread to make room before it reports the port busy.
constexpr auto kFullWait = std::chrono::milliseconds(50);
// How long a closing output waits for its messages to leave.
constexpr auto kDrainWait = std::chrono::milliseconds(500);
constexpr auto kRetry = std::chrono::seconds(1);
// The client's thread also looks for a dead client this often, should its wake-up be missed.
constexpr auto kPoll = std::chrono::milliseconds(100);
// The end of the program waits this long for a server that does not answer.
constexpr auto kEndWait = std::chrono::seconds(2);
// How long a dead client's notification thread is given to end before the client is closed anyway.
constexpr auto kNotifierEndWait = std::chrono::seconds(3);
constexpr std::size_t kOutputSlots = 16;
constexpr std::size_t kInputSlots = 128; // routing has 101 slots

// Closing a client cancels the library's thread that takes in the server's notifications. When
// the server has just gone, that thread may still be taking in its last ones, and cancelled
// there it dies holding the library's own lock: every later open and close of the process then
// waits for ever. So a dead client is closed only once that thread has ended by itself. The
// library makes its threads through the function below, on the thread that opens the client;
// the last one it makes while opening is the notification thread.
using ThreadEnded = std::shared_ptr<std::atomic<bool>>;
thread_local ThreadEnded* lastThreadMade = nullptr;

struct MarkedStart {
    void* (*function)(void*);
    void* argument;
    ThreadEnded ended;
};

void* runMarked(void* start) {
    const std::unique_ptr<MarkedStart> s(static_cast<MarkedStart*>(start));
    // Also run when the thread is cancelled or exits early: both unwind its stack.
    struct Mark {
        std::atomic<bool>& ended;
        ~Mark() { ended = true; }
    } mark{*s->ended};
    return s->function(s->argument);
}

int createMarkedThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*function)(void*),
                       void* argument) {
    if (!lastThreadMade) return pthread_create(thread, attributes, function, argument);
    auto start = std::make_unique<MarkedStart>(
        MarkedStart{function, argument, std::make_shared<std::atomic<bool>>(false)});
    const int result = pthread_create(thread, attributes, &runMarked, start.get());
    if (result == 0) *lastThreadMade = start.release()->ended; // the thread owns its start now
    return result;
}
} // namespace

// One port of the client, shared by the UI thread (through its JackOutput or JackInput), the
// client's thread and, while published in a slot, the process thread.
struct JackPort {
    ~JackPort() {
        if (ring) jack_ringbuffer_free(ring);
    }
    std::string name;     // ours, without the client's
    std::string fullName; // set before the UI thread sees the port
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr;        // outputs
    std::atomic<JackMidiSink*> sink{nullptr}; // inputs
    std::atomic<bool> gone{false};            // its client went away, or it was closed
    // Outputs connected to a receiver: once the connection is seen, losing it fails the sends.
    std::atomic<bool> wantsReceiver{false};
    std::atomic<bool> receiverSeen{false};
    std::atomic<bool> receiverGone{false};
};

struct JackClient::Request {
    enum Kind { OpenOutput, CloseOutput, OpenInput, CloseInput };
    Kind kind = OpenOutput;
    std::string name;
    std::string peer; // the destination of an output, the source of an input
    JackMidiSink* sink = nullptr;
    std::shared_ptr<JackPort> port; // the port to close, or the one opened
    MmResult result = MMSYSERR_NOERROR;
    std::string why;
    // Under State::mutex: the UI thread takes the answer or gives up on it, never both.
    bool done = false;
    bool abandoned = false;
};

struct JackClient::State {
    void run();

    // ---- the client's thread
    void connect();
    void closeDeadClient();
    void serve(Request& r);
    void openOutput(Request& r);
    void openInput(Request& r);
    void closeOutput(JackPort& p);
    void remove(JackPort& p);
    std::string freeName(const std::string& base) const;
    // Waits until the process thread is past any cycle that may still use what was unpublished.
    void quiesce() const;

    // ---- JACK's threads
    static int process(jack_nframes_t frames, void* self);
    static void registration(jack_port_id_t, int, void* self);
    static void shutdown(void* self);

    std::mutex mutex;
    std::condition_variable work;   // wakes the client's thread
    std::condition_variable answer; // wakes the UI thread
    std::deque<std::shared_ptr<Request>> requests;
    bool stopping = false;
    bool finished = false;
    bool looked = false;             // the first attempt to connect is over
    jack_client_t* client = nullptr; // while connected and alive: the UI thread may list with it
    bool stalled = false;            // a request went unanswered within the bound
    int connections = 0;
    Changes pending;

    std::atomic<bool> dead{false};
    std::atomic<bool> portsChanged{false};
    // The process thread's view of the ports. epoch is odd while a cycle runs.
    std::array<std::atomic<JackPort*>, kOutputSlots> outputs{};
    std::array<std::atomic<JackPort*>, kInputSlots> inputs{};
    std::atomic<std::uint64_t> epoch{0};

    // The client's thread only.
    jack_client_t* own = nullptr;
    std::vector<std::shared_ptr<JackPort>> live;
    std::chrono::steady_clock::time_point nextTry{};
    ThreadEnded notifierEnded; // of the open client, when known
    std::chrono::steady_clock::time_point deadSince{};
};

// ---- the process thread ---------------------------------------------------------------------

int JackClient::State::process(jack_nframes_t frames, void* self) {
    auto* s = static_cast<State*>(self);
    s->epoch.fetch_add(1); // odd: the ports read below are in use
    for (auto& slot : s->outputs) {
        JackPort* p = slot.load();
        if (!p) continue;
        void* buffer = jack_port_get_buffer(p->port, frames);
        jack_midi_clear_buffer(buffer);
        char record[kRecord];
        while (jack_ringbuffer_read_space(p->ring) >= kRecord) {
            jack_ringbuffer_peek(p->ring, record, kRecord);
            const auto size = static_cast<std::size_t>(record[0]);
            // Leave the rest for the next period rather than losing it.
            if (jack_midi_max_event_size(buffer) < size) break;
            jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
            if (!data) break;
            for (std::size_t i = 0; i < size; ++i)
                data[i] = static_cast<jack_midi_data_t>(record[i + 1]);
            jack_ringbuffer_read_advance(p->ring, kRecord);
        }
        // A connection shows in the port table from the cycle after it was made.
        if (p->wantsReceiver.load(std::memory_order_relaxed)) {
            if (jack_port_connected(p->port) > 0)
                p->receiverSeen.store(true, std::memory_order_relaxed);
            else if (p->receiverSeen.load(std::memory_order_relaxed))
                p->receiverGone.store(true, std::memory_order_release);
        }
    }
    for (auto& slot : s->inputs) {
        JackPort* p = slot.load();
        if (!p) continue;
        void* buffer = jack_port_get_buffer(p->port, frames);
        JackMidiSink* sink = p->sink.load();
        if (!sink) continue;
        const std::uint32_t n = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0) sink->deliver(event.buffer, event.size);
        }
    }
    s->epoch.fetch_add(1);
    return 0;
}

void JackClient::State::registration(jack_port_id_t, int, void* self) {
    static_cast<State*>(self)->portsChanged = true;
}

void JackClient::State::shutdown(void* self) {
    auto* s = static_cast<State*>(self);
    s->dead = true;
    // Not under the lock (this runs on JACK's thread); the client's thread also polls.
    s->work.notify_all();
}

void JackClient::State::quiesce() const {
    const std::uint64_t e = epoch.load();
    if (e % 2 == 0) return; // no cycle runs: the next one sees what was unpublished
    while (epoch.load() == e)
        std::this_thread::yield();
}

// ---- the client's thread --------------------------------------------------------------------

void JackClient::State::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        // A dead client goes before anything else is asked of the library: opening another
        // client would make the library free it under us. While its notification thread still
        // runs, requests are answered (they fail at once) and the thread looks again shortly.
        if (own && dead) {
            const auto now = std::chrono::steady_clock::now();
            if (deadSince == std::chrono::steady_clock::time_point{}) deadSince = now;
            if (!notifierEnded || *notifierEnded || now - deadSince >= kNotifierEndWait) {
                deadSince = {};
                lock.unlock();
                closeDeadClient();
                lock.lock();
                continue;
            }
        }
        if (!requests.empty()) {
            const std::shared_ptr<Request> r = requests.front();
            requests.pop_front();
            if (r->abandoned) {
                // Given up before it started: it never happens. Nothing holds this thread now.
                if (stalled && !dead) {
                    stalled = false;
                    pending.resumed = true;
                }
                continue;
            }
            lock.unlock();
            serve(*r);
            lock.lock();
            const bool opened = r->port && r->result == MMSYSERR_NOERROR;
            const bool undo = opened && r->abandoned;
            if (opened && !undo && r->sink) r->port->sink = r->sink;
            r->done = true;
            if (stalled && !dead) {
                stalled = false;
                pending.resumed = true;
            }
            answer.notify_all();
            if (undo) {
                lock.unlock();
                remove(*r->port);
                lock.lock();
            }
            continue;
        }
        if (stopping) break;
        const auto now = std::chrono::steady_clock::now();
        if (!own && now >= nextTry) {
            lock.unlock();
            connect();
            lock.lock();
            continue;
        }
        work.wait_until(lock, own ? now + kPoll : std::min(nextTry, now + kPoll));
    }
    client = nullptr;
    lock.unlock();
    if (own) {
        if (!dead) jack_deactivate(own);
        jack_client_close(own);
        own = nullptr;
    }
    lock.lock();
    finished = true;
    answer.notify_all();
}

void JackClient::State::connect() {
    jack_set_thread_creator(&createMarkedThread);
    ThreadEnded notifier;
    jack_client_t* c = nullptr;
    // Two clients asking for the same name at the same moment (a second copy of the program,
    // another JACK program starting) can make the server refuse one; a short retry rides it out.
    for (int attempt = 0; attempt < 5 && !c; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        jack_status_t status{};
        notifier = nullptr;
        lastThreadMade = &notifier;
        c = jack_client_open("Vantaro", JackNoStartServer, &status);
        lastThreadMade = nullptr;
        if (status & JackServerFailed) break; // no server at all: nothing to wait for
    }
    if (c) {
        dead = false;
        jack_set_process_callback(c, &State::process, this);
        jack_set_port_registration_callback(c, &State::registration, this);
        jack_on_shutdown(c, &State::shutdown, this);
        if (jack_activate(c) != 0) {
            jack_client_close(c);
            c = nullptr;
        }
    }
    std::lock_guard lock(mutex);
    looked = true;
    nextTry = std::chrono::steady_clock::now() + kRetry;
    if (c) {
        own = client = c;
        notifierEnded = notifier;
        stalled = false;
        pending.connected = true;
        if (++connections > 1) pending.reconnected = true;
    }
    answer.notify_all();
}

void JackClient::State::closeDeadClient() {
    {
        std::lock_guard lock(mutex);
        client = nullptr;
    }
    // Its server is gone, so the library answers at once; the process thread ends with it.
    jack_client_close(own);
    own = nullptr;
    for (auto& slot : outputs)
        slot = nullptr;
    for (auto& slot : inputs)
        slot = nullptr;
    for (auto& p : live)
        p->gone = true;
    live.clear();
    std::lock_guard lock(mutex);
    pending.lost = true;
    // A server that was restarted at once is found at once.
    nextTry = std::chrono::steady_clock::now();
}

void JackClient::State::serve(Request& r) {
    switch (r.kind) {
    case Request::OpenOutput:
        openOutput(r);
        break;
    case Request::OpenInput:
        openInput(r);
        break;
    case Request::CloseOutput:
        closeOutput(*r.port);
        break;
    case Request::CloseInput:
        remove(*r.port);
        break;
    }
}

std::string JackClient::State::freeName(const std::string& base) const {
    const auto taken = [this](const std::string& n) {
        return std::any_of(live.begin(), live.end(), [&](const auto& p) { return p->name == n; });
    };
    std::string name = base;
    for (int n = 2; taken(name); ++n)
        name = base + " " + std::to_string(n);
    return name;
}

void JackClient::State::openOutput(Request& r) {
    if (!own || dead) {
        r.result = MMSYSERR_NODRIVER;
        return;
    }
    const auto slot = std::find(outputs.begin(), outputs.end(), nullptr);
    auto p = std::make_shared<JackPort>();
    p->name = freeName(r.name);
    p->ring = jack_ringbuffer_create(kRingBytes);
    if (slot == outputs.end() || !p->ring) {
        r.result = MMSYSERR_NOMEM;
        return;
    }
    jack_ringbuffer_mlock(p->ring);
    p->port = jack_port_register(own, p->name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!p->port) {
        r.result = dead ? MMSYSERR_NODRIVER : MMSYSERR_ALLOCATED;
        return;
    }
    p->fullName = jack_port_name(p->port);
    // The device list is a snapshot: a port that left since then is a device id that no
    // longer exists, never some other port that took its place.
    if (!r.peer.empty()) {
        if (jack_connect(own, p->fullName.c_str(), r.peer.c_str()) != 0) {
            jack_port_unregister(own, p->port);
            r.result = dead ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
            return;
        }
        p->wantsReceiver = true;
    }
    *slot = p.get();
    live.push_back(p);
    r.port = std::move(p);
    r.result = MMSYSERR_NOERROR;
}

void JackClient::State::openInput(Request& r) {
    if (!own || dead) {
        r.result = MMSYSERR_NODRIVER;
        r.why = "there is no JACK server.";
        return;
    }
    const auto slot = std::find(inputs.begin(), inputs.end(), nullptr);
    if (slot == inputs.end()) {
        r.result = MMSYSERR_NOMEM;
        r.why = "too many ports are open.";
        return;
    }
    auto p = std::make_shared<JackPort>();
    p->name = freeName(r.name);
    p->port = jack_port_register(own, p->name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!p->port) {
        r.result = MMSYSERR_ALLOCATED;
        r.why = "its port could not be made.";
        return;
    }
    p->fullName = jack_port_name(p->port);
    // In place before the connection; its sink is given to it once the answer is taken (a reader
    // that gave up on the answer may be gone).
    *slot = p.get();
    live.push_back(p);
    if (jack_connect(own, r.peer.c_str(), p->fullName.c_str()) != 0) {
        remove(*p);
        r.result = dead ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
        r.why = dead ? "there is no JACK server." : "it is no longer there.";
        return;
    }
    r.port = std::move(p);
    r.result = MMSYSERR_NOERROR;
}

void JackClient::State::closeOutput(JackPort& p) {
    if (p.gone) return;
    // Let the messages already sent reach the port; a stalled server does not hold us long.
    const auto deadline = std::chrono::steady_clock::now() + kDrainWait;
    while (!dead && jack_ringbuffer_read_space(p.ring) >= kRecord &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    // One more period, so the last of them has left the port buffer too.
    if (!dead) {
        const double periodMs = 1000.0 * jack_get_buffer_size(own) / jack_get_sample_rate(own);
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(periodMs * 1000) + 500));
    }
    remove(p);
}

void JackClient::State::remove(JackPort& p) {
    if (p.gone.exchange(true)) return;
    for (auto& slot : outputs)
        if (slot == &p) slot = nullptr;
    for (auto& slot : inputs)
        if (slot == &p) slot = nullptr;
    quiesce();
    if (own && !dead) jack_port_unregister(own, p.port);
    std::erase_if(live, [&](const auto& q) { return q.get() == &p; });
}

// ---- the UI thread --------------------------------------------------------------------------

JackClient::JackClient() : state_(std::make_shared<State>()) {
    // The thread owns the state as well: should the server never answer, it outlives us.
    thread_ = std::thread([s = state_] { s->run(); });
}

JackClient::~JackClient() {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    s.stopping = true;
    s.work.notify_all();
    const bool finished = s.answer.wait_for(lock, kEndWait, [&] { return s.finished; });
    lock.unlock();
    if (finished)
        thread_.join();
    else
        thread_.detach();
}

JackClient::Changes JackClient::takeChanges() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    Changes c = s.pending;
    s.pending = {};
    c.ports = s.portsChanged.exchange(false) || c.ports;
    c.up = s.client != nullptr;
    return c;
}

bool JackClient::listPorts(unsigned long flags, std::vector<std::string>& names) {
    names.clear();
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    // Only the first look waits: a server that did not answer then is reported when it does.
    if (!firstLookWaited_) s.answer.wait_for(lock, kFirstLookWait, [&] { return s.looked; });
    firstLookWaited_ = true;
    // Held while the table is read, so that the client's thread cannot close the client meanwhile.
    if (!s.client || s.dead) return false;
    if (const char** ports = jack_get_ports(s.client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (const char** p = ports; *p; ++p)
            names.emplace_back(*p);
        jack_free(ports);
    }
    return true;
}

MmResult JackClient::ask(const std::shared_ptr<Request>& r) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (!s.client || s.dead) {
        r->why = "there is no JACK server.";
        return MMSYSERR_NODRIVER;
    }
    if (s.stalled) {
        r->why = "the JACK server does not answer.";
        return MMSYSERR_NODRIVER;
    }
    s.requests.push_back(r);
    s.work.notify_all();
    if (s.answer.wait_for(lock, kAnswerWait, [&] { return r->done; })) return r->result;
    // Undone by the client's thread if it ever gets through; until then nothing waits again.
    r->abandoned = true;
    s.stalled = true;
    r->why = "the JACK server does not answer.";
    return MMSYSERR_NODRIVER;
}

MmResult JackClient::openOutput(const std::string& name, const std::string& destination,
                                std::shared_ptr<JackOutput>& output) {
    auto r = std::make_shared<Request>();
    r->kind = Request::OpenOutput;
    r->name = name;
    r->peer = destination;
    const MmResult result = ask(r);
    if (result == MMSYSERR_NOERROR) output.reset(new JackOutput(r->port));
    return result;
}

MmResult JackClient::openInput(const std::string& name, const std::string& source, JackMidiSink& sink,
                               std::shared_ptr<JackInput>& input, std::string& why) {
    auto r = std::make_shared<Request>();
    r->kind = Request::OpenInput;
    r->name = name;
    r->peer = source;
    r->sink = &sink;
    const MmResult result = ask(r);
    if (result == MMSYSERR_NOERROR)
        input.reset(new JackInput(r->port));
    else
        why = r->why;
    return result;
}

void JackClient::closeOutput(const std::shared_ptr<JackOutput>& output) {
    if (!output) return;
    auto r = std::make_shared<Request>();
    r->kind = Request::CloseOutput;
    r->port = output->port_;
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.requests.push_back(r);
    s.work.notify_all();
}

void JackClient::closeInput(const std::shared_ptr<JackInput>& input) {
    if (!input) return;
    State& s = *state_;
    input->port_->sink = nullptr;
    // Our own process thread only, never the server: a cycle that may still be delivering ends.
    s.quiesce();
    auto r = std::make_shared<Request>();
    r->kind = Request::CloseInput;
    r->port = input->port_;
    std::lock_guard lock(s.mutex);
    s.requests.push_back(r);
    s.work.notify_all();
}

// ---- an output port -------------------------------------------------------------------------

MmResult JackOutput::send(const std::uint8_t* bytes, std::size_t size) {
    JackPort& p = *port_;
    if (p.gone) return MMSYSERR_NODRIVER;
    if (p.receiverGone.load(std::memory_order_acquire)) return MMSYSERR_NODRIVER;
    if (jack_ringbuffer_write_space(p.ring) < kRecord) {
        // Only a burst far beyond what MIDI carries gets here; the next period makes room.
        const auto deadline = std::chrono::steady_clock::now() + kFullWait;
        while (jack_ringbuffer_write_space(p.ring) < kRecord) {
            if (p.gone) return MMSYSERR_NODRIVER;
            if (std::chrono::steady_clock::now() >= deadline) return MIDIERR_NOTREADY;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    char record[kRecord] = {static_cast<char>(size), 0, 0, 0};
    for (std::size_t i = 0; i < size && i < 3; ++i)
        record[i + 1] = static_cast<char>(bytes[i]);
    jack_ringbuffer_write(p.ring, record, kRecord);
    return MMSYSERR_NOERROR;
}

const std::string& JackOutput::fullName() const {
    return port_->fullName;
}

} // namespace vantaro
