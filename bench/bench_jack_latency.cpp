// Latency from sendShortMessage to the JACK receiver's process callback seeing
// the message: the whole output path through a real JACK server. Starts a dummy-backend server
// of its own unless VANTARO_JACK_SERVER names one.
#include "midi/midi_send.h"
#include "midi/rtmidi_output.h"
#include "support/jack.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vantaro;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kPeriod = 64;

// The JACK server for the run: the one named in the environment, or one of our own.
class Server {
public:
    Server() {
        const char* named = std::getenv("VANTARO_JACK_SERVER");
        if (named && *named) {
            name_ = named;
        } else {
            ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
            own_ = std::make_unique<test::JackServer>("vantaro-bench-");
            own_->ready();
            name_ = own_->name();
        }
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::unique_ptr<test::JackServer> own_; // started with the rate and period above
};

// A receiver port that stamps the time its process callback sees each event.
class Receiver {
public:
    explicit Receiver(const std::string& server) {
        for (int attempt = 0; attempt < 100 && !client_; ++attempt) {
            jack_status_t status{};
            client_ = jack_client_open("bench-receiver",
                                       static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                       &status, server.c_str());
            if (!client_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!client_) return;
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Receiver::process, this);
        jack_activate(client_);
    }
    ~Receiver() {
        if (client_) {
            jack_deactivate(client_);
            jack_client_close(client_);
        }
    }
    bool ok() const { return client_ != nullptr; }
    std::string portName() const { return jack_port_name(port_); }
    std::uint64_t count() const { return count_.load(std::memory_order_acquire); }
    Clock::time_point last() const {
        return Clock::time_point(Clock::duration(lastNs_.load(std::memory_order_acquire)));
    }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<Receiver*>(arg);
        void* buf = jack_port_get_buffer(self->port_, frames);
        const auto n = jack_midi_get_event_count(buf);
        if (n > 0) {
            self->lastNs_.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
            self->count_.fetch_add(n, std::memory_order_acq_rel);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::atomic<std::uint64_t> count_{0};
    std::atomic<Clock::rep> lastNs_{0};
};

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

void BM_SendToJackReceiver(benchmark::State& state) {
    Server server;
    Receiver receiver(server.name());
    if (!receiver.ok()) {
        state.SkipWithError("JACK server not reachable");
        return;
    }
    RtMidiOutput output;
    MidiSender sender(output);
    const auto n = output.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        output.midiOutGetDevCaps(id, name);
        if (name == productName(receiver.portName())) sender.open(id);
    }
    if (!sender.isOpen()) {
        state.SkipWithError("could not open the receiver");
        return;
    }
    std::vector<double> latencies;
    std::uint32_t step = 0;
    int lost = 0;
    for (auto _ : state) {
        // Start at varying points of the period, as joystick changes do.
        std::this_thread::sleep_for(std::chrono::microseconds(300 + (step * 137) % 1100));
        const auto before = receiver.count();
        const std::uint32_t message = 0x90u | ((step & 127u) << 8) | (100u << 16);
        ++step;
        const auto t0 = Clock::now();
        if (sender.send(message) != 0) {
            state.SkipWithError("send failed");
            break;
        }
        // A cycle the server skips for a late client (an xrun on a loaded machine) loses its
        // events for every JACK client; such messages are counted, not waited for.
        const auto deadline = t0 + std::chrono::milliseconds(100);
        while (receiver.count() == before && Clock::now() < deadline)
            std::this_thread::yield();
        if (receiver.count() == before) {
            ++lost;
            continue;
        }
        latencies.push_back(std::chrono::duration<double, std::milli>(receiver.last() - t0).count());
    }
    sender.close();
    if (latencies.empty()) return;
    const double period = 1000.0 * kPeriod / kRate;
    state.counters["p50_ms"] = percentile(latencies, 0.50);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1.0);
    state.counters["target_ms"] = period + 1.0;
    state.counters["lost"] = lost;
}
BENCHMARK(BM_SendToJackReceiver)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
