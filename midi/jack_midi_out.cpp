#include "midi/jack_midi_out.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <chrono>
#include <thread>

namespace vantaro {

namespace {
// Each queued message takes one fixed record: its length, then up to three bytes.
constexpr std::size_t kRecord = 4;
constexpr std::size_t kRingBytes = 1 << 16; // 16384 messages
// How long a send waits for the process thread to make room before it reports the port busy.
constexpr auto kFullWait = std::chrono::milliseconds(50);

void dropJackMessage(const char*) {}
} // namespace

void quietJackLibrary() {
    jack_set_error_function(&dropJackMessage);
    jack_set_info_function(&dropJackMessage);
}

std::unique_ptr<JackMidiOut> JackMidiOut::open(const std::string& clientName, const std::string& portName) {
    std::unique_ptr<JackMidiOut> out(new JackMidiOut);
    jack_status_t status{};
    out->client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!out->client_) return nullptr;
    out->ring_ = jack_ringbuffer_create(kRingBytes);
    if (!out->ring_) return nullptr;
    jack_ringbuffer_mlock(out->ring_);
    out->port_ =
        jack_port_register(out->client_, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!out->port_) return nullptr;
    jack_set_process_callback(out->client_, &JackMidiOut::process, out.get());
    jack_on_shutdown(out->client_, &JackMidiOut::shutdown, out.get());
    jack_set_port_connect_callback(out->client_, &JackMidiOut::portConnect, out.get());
    if (jack_activate(out->client_) != 0) return nullptr;
    return out;
}

JackMidiOut::~JackMidiOut() {
    if (client_) {
        // Let the messages already sent reach the port; a stalled server does not hold us long.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        // A client whose ring could not be made never sent anything.
        while (ring_ && !serverGone_ && jack_ringbuffer_read_space(ring_) >= kRecord &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        // One more period, so the last of them has left the port buffer too.
        if (!serverGone_) {
            const double periodMs = 1000.0 * jack_get_buffer_size(client_) / jack_get_sample_rate(client_);
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(periodMs * 1000) + 500));
        }
        if (!serverGone_) jack_deactivate(client_);
        jack_client_close(client_);
    }
    if (ring_) jack_ringbuffer_free(ring_);
}

bool JackMidiOut::connectTo(const std::string& destination) {
    if (serverGone_) return false;
    if (jack_connect(client_, jack_port_name(port_), destination.c_str()) != 0) return false;
    receiverGone_ = false;
    wantsReceiver_ = true;
    return true;
}

std::string JackMidiOut::fullPortName() const {
    return port_ && client_ ? jack_port_name(port_) : std::string();
}

void JackMidiOut::releaseDeadClient() {
    if (!client_ || !serverGone_) return;
    jack_client_close(client_);
    client_ = nullptr;
    port_ = nullptr;
}

MmResult JackMidiOut::send(const std::uint8_t* bytes, std::size_t size) {
    if (serverGone_) return MMSYSERR_NODRIVER;
    if (wantsReceiver_ && receiverGone_) return MMSYSERR_NODRIVER;
    if (jack_ringbuffer_write_space(ring_) < kRecord) {
        // Only a burst far beyond what MIDI carries gets here; the next period makes room.
        const auto deadline = std::chrono::steady_clock::now() + kFullWait;
        while (jack_ringbuffer_write_space(ring_) < kRecord) {
            if (serverGone_) return MMSYSERR_NODRIVER;
            if (std::chrono::steady_clock::now() >= deadline) return MIDIERR_NOTREADY;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    char record[kRecord] = {static_cast<char>(size), 0, 0, 0};
    for (std::size_t i = 0; i < size && i < 3; ++i)
        record[i + 1] = static_cast<char>(bytes[i]);
    jack_ringbuffer_write(ring_, record, kRecord);
    return MMSYSERR_NOERROR;
}

int JackMidiOut::process(std::uint32_t frames, void* arg) {
    auto* self = static_cast<JackMidiOut*>(arg);
    void* buffer = jack_port_get_buffer(self->port_, frames);
    jack_midi_clear_buffer(buffer);
    char record[kRecord];
    while (jack_ringbuffer_read_space(self->ring_) >= kRecord) {
        jack_ringbuffer_peek(self->ring_, record, kRecord);
        const auto size = static_cast<std::size_t>(record[0]);
        // Leave the rest for the next period rather than losing it.
        if (jack_midi_max_event_size(buffer) < size) break;
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
        if (!data) break;
        for (std::size_t i = 0; i < size; ++i)
            data[i] = static_cast<jack_midi_data_t>(record[i + 1]);
        jack_ringbuffer_read_advance(self->ring_, kRecord);
    }
    return 0;
}

void JackMidiOut::shutdown(void* arg) {
    static_cast<JackMidiOut*>(arg)->serverGone_ = true;
}

void JackMidiOut::portConnect(std::uint32_t a, std::uint32_t b, int connect, void* arg) {
    auto* self = static_cast<JackMidiOut*>(arg);
    if (connect || !self->port_) return;
    jack_port_t* pa = jack_port_by_id(self->client_, a);
    jack_port_t* pb = jack_port_by_id(self->client_, b);
    if (pa != self->port_ && pb != self->port_) return;
    if (jack_port_connected(self->port_) == 0) self->receiverGone_ = true;
}

bool JackMidiOut::listPorts(unsigned long flags, std::vector<std::string>& names) {
    names.clear();
    // Two clients asking for the same name at the same moment (a second copy of the program,
    // another JACK program starting) can make the server refuse one; a short retry rides it out.
    jack_client_t* client = nullptr;
    for (int attempt = 0; attempt < 5 && !client; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        jack_status_t status{};
        client = jack_client_open("Vantaro list", JackNoStartServer, &status);
        if (status & JackServerFailed) break; // no server at all: nothing to wait for
    }
    if (!client) return false;
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (const char** p = ports; *p; ++p)
            names.emplace_back(*p);
        jack_free(ports);
    }
    jack_client_close(client);
    return true;
}

std::unique_ptr<JackWatch> JackWatch::open() {
    std::unique_ptr<JackWatch> watch(new JackWatch);
    jack_status_t status{};
    watch->client_ = jack_client_open("Vantaro watch", JackNoStartServer, &status);
    if (!watch->client_) return nullptr;
    // Both callbacks run on JACK's threads: they only set flags.
    jack_set_port_registration_callback(
        watch->client_,
        [](jack_port_id_t, int, void* self) { static_cast<JackWatch*>(self)->changes_ = true; }, watch.get());
    jack_on_shutdown(
        watch->client_,
        [](void* self) {
            auto* w = static_cast<JackWatch*>(self);
            w->serverGone_ = true;
            w->changes_ = true;
        },
        watch.get());
    if (jack_activate(watch->client_) != 0) return nullptr;
    return watch;
}

JackWatch::~JackWatch() {
    if (!client_) return;
    if (!serverGone_) jack_deactivate(client_);
    jack_client_close(client_);
}

} // namespace vantaro
