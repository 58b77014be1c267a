#pragma once
// The program's one JACK client: the watch on the server's ports, our output ports and the
// routed input ports all live on it.
//
// Why one: when a server goes away, the JACK library itself closes and frees every client of the
// process that is still open the moment any client is opened next. A second client of ours
// (a watch, a listing, an input) opened before the first was closed would leave us holding a
// freed client, and a new server of the same name would hand its refnums and semaphores to the
// clients of the old one. With one client, a dead one is always closed before the next opens.
//
// Every call that may wait for the server (opening and closing the client, making, connecting
// and removing ports) runs on the client's own thread, one after the other. The UI thread waits
// for an answer only within a bound and learns of everything else (ports that came or went, a
// server that went away, came back or answers again) at its device check, through takeChanges().
#include "midi/midi_out_api.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantaro {

// The JACK library writes its own messages to stderr, a few lines a second while no server runs
// and we look for one: started from a desktop menu, that fills the session log all day. They go
// to callbacks of ours instead, which drop them (they run on JACK's threads too); what matters to
// a musician, a server that comes or goes, is told in the message log. Before the first JACK call.
void quietJackLibrary();

// Receives the messages of an input port on JACK's process thread: it must not lock, allocate
// or wait.
class JackMidiSink {
public:
    virtual void deliver(const std::uint8_t* bytes, std::size_t size) = 0;

protected:
    ~JackMidiSink() = default;
};

struct JackPort;

// An output port: the UI thread sends, the process thread plays. Messages the port cannot
// take in this period wait for the next one, so a burst is delayed, never dropped.
class JackOutput {
public:
    // Queues one message of 1 to 3 bytes for the next period.
    MmResult send(const std::uint8_t* bytes, std::size_t size);
    // "Vantaro:out", for connecting to it.
    const std::string& fullName() const;

private:
    friend class JackClient;
    explicit JackOutput(std::shared_ptr<JackPort> port) : port_(std::move(port)) {}
    std::shared_ptr<JackPort> port_;
};

// An input port, delivering to a sink until it is closed.
class JackInput {
private:
    friend class JackClient;
    explicit JackInput(std::shared_ptr<JackPort> port) : port_(std::move(port)) {}
    std::shared_ptr<JackPort> port_;
};

class JackClient {
public:
    // How long the UI thread waits for the server: for the first look at its ports after start,
    // and for a port to be made and connected. A server that does not answer in time is taken
    // as stalled: requests fail at once until it answers again.
    static constexpr std::chrono::milliseconds kFirstLookWait{1000};
    static constexpr std::chrono::milliseconds kAnswerWait{2000};

    // Starts looking for the server (JACK_DEFAULT_SERVER) at once, and again at most once a
    // second while there is none.
    JackClient();
    // Lets the messages already sent leave, then closes the client. A server that does not
    // answer holds this for at most a few seconds.
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    struct Changes {
        bool ports = false;       // ports came or went
        bool lost = false;        // the server went away: every port of ours is gone
        bool connected = false;   // connected to a server (again)
        bool reconnected = false; // ... and not for the first time: every port is new
        bool resumed = false;     // a server that did not answer answers again
        bool up = false;          // connected to a server now
    };
    // What happened since the last call.
    Changes takeChanges();

    // The names of every MIDI port with the given direction flags (JackPortIsInput or Output),
    // in the server's order; false without a server. Read from the server's shared port table,
    // so it never waits for the server; only the first call waits, within kFirstLookWait, for
    // the first answer.
    bool listPorts(unsigned long flags, std::vector<std::string>& names);

    // Makes an output port named after name (a number is added when it is taken) and connects
    // it to destination; with no destination it is a port of our own that others connect to.
    // MMSYSERR_NODRIVER without a server or when it does not answer, MMSYSERR_BADDEVICEID when
    // the destination is gone, MMSYSERR_ALLOCATED when the port cannot be made.
    MmResult openOutput(const std::string& name, const std::string& destination,
                        std::shared_ptr<JackOutput>& output);
    // Returns at once; the messages already sent still leave before the port goes.
    void closeOutput(const std::shared_ptr<JackOutput>& output);

    // Makes an input port connected from source, delivering to sink. The results of
    // openOutput; why says what failed.
    MmResult openInput(const std::string& name, const std::string& source, JackMidiSink& sink,
                       std::shared_ptr<JackInput>& input, std::string& why);
    // Once this returns, the sink is given nothing more; the port goes later.
    void closeInput(const std::shared_ptr<JackInput>& input);

private:
    struct State;
    struct Request;
    MmResult ask(const std::shared_ptr<Request>& request);

    std::shared_ptr<State> state_;
    std::thread thread_;
    bool firstLookWaited_ = false;
};

} // namespace vantaro
