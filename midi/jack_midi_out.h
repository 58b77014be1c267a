#pragma once
// One JACK client with one MIDI output port, written by the UI thread and drained by the
// JACK process thread. Messages the port cannot take in this period wait for the next one,
// so a burst is delayed, never dropped.
#include "midi/midi_out_api.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <jack/jack.h>
#include <jack/ringbuffer.h>

namespace vantaro {

// The JACK library writes its own messages to stderr, a few lines a second while no server runs
// and we look for one: started from a desktop menu, that fills the session log all day. They go
// to callbacks of ours instead, which drop them (they run on JACK's threads too); what matters to
// a musician, a server that comes or goes, is told in the message log. Before the first JACK call.
void quietJackLibrary();

class JackMidiOut {
public:
    // Null when the JACK server cannot be reached or the port cannot be made.
    static std::unique_ptr<JackMidiOut> open(const std::string& clientName, const std::string& portName);
    ~JackMidiOut();
    JackMidiOut(const JackMidiOut&) = delete;
    JackMidiOut& operator=(const JackMidiOut&) = delete;

    // Connects the port to another client's input port; false when it does not exist.
    bool connectTo(const std::string& destination);
    // Queues one message of 1 to 3 bytes for the next period.
    MmResult send(const std::uint8_t* bytes, std::size_t size);
    std::string fullPortName() const;
    // True once the server went away; every send then fails.
    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
    // Closes the client of a server that went away, before any other client is opened: the
    // JACK library frees what is left of such clients at that moment.
    void releaseDeadClient();

    // The names of every MIDI port with the given direction flags (JackPortIsInput / Output),
    // in the server's order; false when the server cannot be reached.
    static bool listPorts(unsigned long flags, std::vector<std::string>& names);

private:
    JackMidiOut() = default;
    static int process(std::uint32_t frames, void* self);
    static void shutdown(void* self);
    static void portConnect(std::uint32_t a, std::uint32_t b, int connect, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
    std::atomic<bool> serverGone_{false};
    // Set once a connection to a receiver was made; cleared receivers then fail the sends.
    std::atomic<bool> wantsReceiver_{false};
    std::atomic<bool> receiverGone_{false};
};

// A JACK client without ports that hears of every port registered or gone, and of the
// server's end, so that device lists are read again only when something changed.
class JackWatch {
public:
    // Null when no JACK server answers.
    static std::unique_ptr<JackWatch> open();
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
    // True when ports came or went since the last call.
    bool takeChanges() { return changes_.exchange(false, std::memory_order_acq_rel); }

private:
    JackWatch() = default;
    jack_client_t* client_ = nullptr;
    std::atomic<bool> serverGone_{false};
    std::atomic<bool> changes_{false};
};

} // namespace vantaro
