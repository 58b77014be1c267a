#pragma once
// A JACK client of the tests' own: a receiver port that records every event, and sender
// ports that play queued messages as fast as the server takes them.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
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

class JackPeer {
  public:
    // inputs: receiver ports; outputs: sender ports.
    JackPeer(const std::string& name, int inputs, int outputs) {
        const std::string server = jackServerName();
        if (server.empty()) throw std::runtime_error("no JACK server named in VANTARO_JACK_SERVER");
        jack_status_t status{};
        client_ =
            jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                             &status, server.c_str());
        if (!client_) throw std::runtime_error("JACK server " + server + " is not reachable");
        for (int i = 0; i < inputs; ++i)
            in_.push_back(jack_port_register(client_, ("in" + std::to_string(i)).c_str(),
                                             JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
        for (int i = 0; i < outputs; ++i)
            out_.push_back(jack_port_register(client_, ("out" + std::to_string(i)).c_str(),
                                              JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0));
        // Room for every event a test sends, so the process thread never allocates.
        received_.resize(in_.size());
        for (auto& r : received_)
            r.reserve(1 << 17);
        pending_.resize(out_.size());
        jack_set_process_callback(client_, &JackPeer::process, this);
        jack_activate(client_);
    }
    ~JackPeer() { close(); }

    void close() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
    }

    std::string inputName(int i = 0) const { return jack_port_name(in_[static_cast<std::size_t>(i)]); }
    std::string outputName(int i = 0) const { return jack_port_name(out_[static_cast<std::size_t>(i)]); }
    jack_client_t* client() const { return client_; }

    void send(int port, Bytes message) {
        std::lock_guard lock(mutex_);
        pending_[static_cast<std::size_t>(port)].push_back(std::move(message));
    }
    bool allSent() {
        std::lock_guard lock(mutex_);
        for (auto& p : pending_)
            if (!p.empty()) return false;
        return true;
    }

    std::vector<Bytes> received(int port = 0) {
        std::lock_guard lock(mutex_);
        std::vector<Bytes> out;
        for (auto& e : received_[static_cast<std::size_t>(port)])
            out.emplace_back(e.begin() + 1, e.begin() + 1 + e[0]);
        return out;
    }
    std::size_t receivedCount(int port = 0) {
        std::lock_guard lock(mutex_);
        return received_[static_cast<std::size_t>(port)].size();
    }
    // Waits, pumping the caller's loop, until count events have arrived or the deadline passes.
    template <class Pump>
    bool waitFor(std::size_t count, Pump pump, int port = 0,
                 std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (receivedCount(port) < count) {
            if (std::chrono::steady_clock::now() > end) return false;
            pump();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
    bool waitFor(std::size_t count, int port = 0,
                 std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return waitFor(
            count, [] {}, port, limit);
    }

  private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackPeer*>(arg);
        // A test client: holding the lock briefly in the process thread loses nothing.
        std::lock_guard lock(self->mutex_);
        for (std::size_t p = 0; p < self->in_.size(); ++p) {
            void* buf = jack_port_get_buffer(self->in_[p], frames);
            const auto n = jack_midi_get_event_count(buf);
            for (std::uint32_t i = 0; i < n; ++i) {
                jack_midi_event_t ev;
                if (jack_midi_event_get(&ev, buf, i) != 0 ||
                    self->received_[p].size() == self->received_[p].capacity())
                    continue;
                Event e{static_cast<std::uint8_t>(ev.size < 4 ? ev.size : 4)};
                for (std::size_t b = 0; b < e[0]; ++b)
                    e[b + 1] = ev.buffer[b];
                self->received_[p].push_back(e);
            }
        }
        for (std::size_t p = 0; p < self->out_.size(); ++p) {
            void* buf = jack_port_get_buffer(self->out_[p], frames);
            jack_midi_clear_buffer(buf);
            auto& queue = self->pending_[p];
            while (!queue.empty() && jack_midi_max_event_size(buf) >= queue.front().size()) {
                if (jack_midi_event_write(buf, 0, queue.front().data(), queue.front().size()) != 0) break;
                queue.pop_front();
            }
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> in_, out_;
    std::mutex mutex_;
    using Event = std::array<std::uint8_t, 5>; // length, then the bytes
    std::vector<std::vector<Event>> received_;
    std::vector<std::deque<Bytes>> pending_;
};

} // namespace vantaro::test
