#pragma once
// A client of the test's own on the ALSA sequencer (in the virtual machine, where the kernel has
// one): a port "in" that keeps every event it receives as MIDI bytes, and a port "out" that
// sends MIDI bytes to whoever is connected to it.
#include <alsa/asoundlib.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vantaro::test {

class SeqClient {
public:
    using Bytes = std::vector<std::uint8_t>;

    explicit SeqClient(const std::string& name) {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
            throw std::runtime_error("the ALSA sequencer cannot be opened");
        snd_seq_set_client_name(seq_, name.c_str());
        // Room for a burst: events that do not fit the input pool are lost.
        snd_seq_set_client_pool_input(seq_, 2000);
        in_ = snd_seq_create_simple_port(seq_, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                         SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        out_ = snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        snd_midi_event_new(16, &decoder_);
        snd_midi_event_new(16, &encoder_);
        snd_midi_event_no_status(decoder_, 1); // every message with its status byte
        name_ = name;
    }
    ~SeqClient() {
        snd_midi_event_free(decoder_);
        snd_midi_event_free(encoder_);
        snd_seq_close(seq_);
    }
    SeqClient(const SeqClient&) = delete;
    SeqClient& operator=(const SeqClient&) = delete;

    int client() const { return snd_seq_client_id(seq_); }
    // The ports' names as the program lists them, numbers and all.
    std::string inputName() const { return portName("in", in_); }
    std::string outputName() const { return portName("out", out_); }

    // Every message received so far, in order; events of the sequencer itself left out.
    const std::vector<Bytes>& received() {
        snd_seq_event_t* ev = nullptr;
        int r;
        while ((r = snd_seq_event_input(seq_, &ev)) >= 0 || r == -ENOSPC) {
            if (r == -ENOSPC) {
                ++overruns_;
                continue;
            }
            unsigned char bytes[16];
            const long n = snd_midi_event_decode(decoder_, bytes, sizeof bytes, ev);
            if (n > 0) received_.emplace_back(bytes, bytes + n);
        }
        return received_;
    }
    // Times the input pool was full and events were lost.
    int overruns() const { return overruns_; }

    // Sends one complete message from "out" to everyone connected to it.
    void send(const Bytes& message) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_midi_event_reset_encode(encoder_);
        if (snd_midi_event_encode(encoder_, message.data(), static_cast<long>(message.size()), &ev) <= 0 ||
            ev.type == SND_SEQ_EVENT_NONE)
            throw std::runtime_error("not a complete MIDI message");
        snd_seq_ev_set_source(&ev, out_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        while (snd_seq_event_output_direct(seq_, &ev) == -EAGAIN)
            std::this_thread::yield(); // the client's output pool is full for a moment
    }

    // Connects another client's port (client name and port name as the sequencer shows them)
    // to "in"; false when there is no such port.
    bool connectFrom(const std::string& client, const std::string& port) {
        snd_seq_client_info_t* c;
        snd_seq_port_info_t* p;
        snd_seq_client_info_alloca(&c);
        snd_seq_port_info_alloca(&p);
        snd_seq_client_info_set_client(c, -1);
        while (snd_seq_query_next_client(seq_, c) >= 0) {
            if (client != snd_seq_client_info_get_name(c)) continue;
            snd_seq_port_info_set_client(p, snd_seq_client_info_get_client(c));
            snd_seq_port_info_set_port(p, -1);
            while (snd_seq_query_next_port(seq_, p) >= 0)
                if (port == snd_seq_port_info_get_name(p))
                    return snd_seq_connect_from(seq_, in_, snd_seq_port_info_get_client(p),
                                                snd_seq_port_info_get_port(p)) == 0;
        }
        return false;
    }

    // Someone is connected to "in" (the program opened it as its output).
    bool hasSender() const { return subscribers(in_, SND_SEQ_QUERY_SUBS_WRITE) > 0; }
    // Someone reads from "out" (the program routes it).
    bool hasReader() const { return subscribers(out_, SND_SEQ_QUERY_SUBS_READ) > 0; }

    // A client of that name again after the one numbered `old` closed, under another number, as
    // when a program starts again after another one took its number. The sequencer gives the
    // lowest free number: `fillers` take the numbers up to the old one.
    static std::unique_ptr<SeqClient> again(const std::string& name, int old,
                                            std::vector<std::unique_ptr<SeqClient>>& fillers) {
        while (fillers.size() < 64) {
            fillers.push_back(std::make_unique<SeqClient>("vt-filler"));
            if (fillers.back()->client() == old) break;
        }
        return std::make_unique<SeqClient>(name);
    }

private:
    std::string portName(const char* port, int number) const {
        return name_ + ":" + port + " " + std::to_string(client()) + ":" + std::to_string(number);
    }
    int subscribers(int port, snd_seq_query_subs_type_t type) const {
        snd_seq_query_subscribe_t* q;
        snd_seq_query_subscribe_alloca(&q);
        snd_seq_addr_t root{static_cast<unsigned char>(client()), static_cast<unsigned char>(port)};
        snd_seq_query_subscribe_set_root(q, &root);
        snd_seq_query_subscribe_set_type(q, type);
        snd_seq_query_subscribe_set_index(q, 0);
        return snd_seq_query_port_subscribers(seq_, q) == 0 ? snd_seq_query_subscribe_get_num_subs(q) : 0;
    }

    snd_seq_t* seq_ = nullptr;
    snd_midi_event_t* decoder_ = nullptr;
    snd_midi_event_t* encoder_ = nullptr;
    std::string name_;
    int in_ = -1, out_ = -1;
    std::vector<Bytes> received_;
    int overruns_ = 0;
};

} // namespace vantaro::test
