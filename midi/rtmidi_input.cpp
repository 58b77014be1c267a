#include "midi/rtmidi_input.h"

#include "midi/jack_client.h"

#include <RtMidi.h>
#include <jack/jack.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <semaphore>
#include <thread>

namespace vantaro {

namespace {

// What the library's thread and the UI thread share; posted notifications hold it weakly, so a
// reader released before its notification runs is simply skipped.
struct Shared final : std::enable_shared_from_this<Shared>, JackMidiSink {
    explicit Shared(MainThreadPoster& p) : poster(p) {}
    // The library's thread: queues one message.
    void deliver(const std::uint8_t* bytes, std::size_t size) override;
    void wakeRelay() {
        // At most one wake-up outstanding, which a binary semaphore can hold.
        if (!wakePending.exchange(true)) wake.release();
    }

    MainThreadPoster& poster;
    // One writer (the library's thread), one reader (the UI thread), no lock: the library's
    // thread may run at real-time priority and must never wait for the UI thread.
    // ring[read % size .. written % size) holds the pending messages; both only count up.
    std::vector<std::array<std::uint8_t, 3>> ring; // allocated while no port is open
    std::atomic<std::size_t> written{0};
    std::atomic<std::size_t> read{0};
    bool overflowReported = false; // the library's thread only
    std::atomic<bool> overflowPending{false};
    // The library's thread may run at real-time priority: it never locks, allocates or posts.
    // It wakes the relay thread, which posts the notifications to the UI thread.
    std::binary_semaphore wake{0};
    std::atomic<bool> wakePending{false};
    std::atomic<bool> stopRelay{false};
    std::thread relay;
    std::atomic<bool> delivering{false};
    std::atomic<bool> arrivalPosted{false};
    std::array<std::atomic<bool>, 256> ignored{};
    MidiInReader* reader = nullptr; // UI thread only

    std::size_t pending() const {
        return written.load(std::memory_order_acquire) - read.load(std::memory_order_relaxed);
    }
};

void Shared::deliver(const std::uint8_t* bytes, std::size_t size) {
    if (!delivering || size == 0 || size > 3) return;
    if (bytes[0] < 0x80 || ignored[bytes[0]]) return;
    const std::size_t w = written.load(std::memory_order_relaxed);
    if (w - read.load(std::memory_order_acquire) == ring.size()) {
        if (!overflowReported) overflowPending = true;
        overflowReported = true;
    } else {
        auto& slot = ring[w % ring.size()];
        slot = {};
        for (std::size_t i = 0; i < size; ++i)
            slot[i] = bytes[i];
        written.store(w + 1, std::memory_order_release);
    }
    wakeRelay();
}

void postError(const std::shared_ptr<Shared>& shared, std::int32_t code, std::string text) {
    shared->poster.post([weak = std::weak_ptr<Shared>(shared), code, text = std::move(text)] {
        if (auto s = weak.lock())
            if (s->reader && s->reader->onError) s->reader->onError(code, text);
    });
}

class RtMidiInputReader final : public MidiInReader {
public:
    RtMidiInputReader(RtMidiInput& system, MainThreadPoster& poster)
        : system_(system), shared_(std::make_shared<Shared>(poster)) {
        shared_->reader = this;
    }
    ~RtMidiInputReader() override {
        shared_->reader = nullptr;
        closePort();
    }

    void command(std::int16_t code) override {
        switch (code) {
        case Open:
            openPort();
            break;
        case Close:
            closePort();
            break;
        case Start:
            if (state_ >= 1) {
                shared_->delivering = true;
                state_ = 2;
            }
            break;
        case Stop:
            if (state_ >= 1) {
                shared_->delivering = false;
                state_ = 1;
            }
            break;
        case RemoveCurrent:
            if (shared_->pending() > 0)
                shared_->read.store(shared_->read.load(std::memory_order_relaxed) + 1,
                                    std::memory_order_release);
            break;
        default:
            break;
        }
    }

    void setPortIndex(std::int32_t index) override { portIndex_ = index; }
    std::int32_t portIndex() const override { return portIndex_; }
    std::int32_t pendingCount() const override { return static_cast<std::int32_t>(shared_->pending()); }
    std::int16_t status() const override { return current(0); }
    std::int16_t data1() const override { return current(1); }
    std::int16_t data2() const override { return current(2); }
    std::int16_t state() const override { return state_; }
    void ignoreStatus(std::int16_t status, bool on) override {
        if (status >= 0 && status < 256) shared_->ignored[static_cast<std::size_t>(status)] = on;
    }

private:
    std::int16_t current(int i) const {
        if (shared_->pending() == 0) return 0;
        const std::size_t at = shared_->read.load(std::memory_order_relaxed) % shared_->ring.size();
        return shared_->ring[at][static_cast<std::size_t>(i)];
    }

    static void received(double, std::vector<unsigned char>* message, void* user) {
        static_cast<Shared*>(user)->deliver(message->data(), message->size());
    }

    static void relayLoop(Shared* shared) {
        for (;;) {
            shared->wake.acquire();
            shared->wakePending = false;
            if (shared->stopRelay) return;
            if (shared->overflowPending.exchange(false)) {
                shared->poster.post([weak = shared->weak_from_this()] {
                    if (auto s = weak.lock())
                        if (s->reader && s->reader->onError)
                            s->reader->onError(MMSYSERR_NOMEM, "MIDI input overflow: messages were lost.");
                });
            }
            if (!shared->arrivalPosted.exchange(true)) {
                shared->poster.post([weak = shared->weak_from_this()] {
                    if (auto s = weak.lock()) {
                        s->arrivalPosted = false;
                        if (s->reader && s->reader->onArrival) s->reader->onArrival();
                    }
                });
            }
        }
    }

    void startRelay() {
        shared_->stopRelay = false;
        shared_->relay = std::thread(&RtMidiInputReader::relayLoop, shared_.get());
    }
    void stopRelay() {
        if (!shared_->relay.joinable()) return;
        // No callback runs any more: a wake-up already pending is taken by the loop, which
        // then sees the stop flag; otherwise this one wakes it.
        shared_->stopRelay = true;
        shared_->wakeRelay();
        shared_->relay.join();
        shared_->wake.try_acquire();
        shared_->wakePending = false;
    }

    // While a port opens, RtMidi's complaints are collected into one error notification;
    // afterwards (on RtMidi's own thread, too) each error is posted as it comes.
    static void rtError(RtMidiError::Type type, const std::string& text, void* user) {
        auto* self = static_cast<RtMidiInputReader*>(user);
        if (self->opening_) {
            self->openError_ = text;
            return;
        }
        if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
        postError(self->shared_, MMSYSERR_ERROR, text);
    }

    void openPort() {
        if (state_ >= 1) return;
        const std::string name = system_.portName(static_cast<std::uint32_t>(std::max(portIndex_, 0)));
        if (portIndex_ < 0 || name.empty()) {
            postError(shared_, MMSYSERR_BADDEVICEID,
                      "There is no MIDI input port " + std::to_string(portIndex_) + ".");
            return;
        }
        // Nothing is delivered yet: the port opens below.
        shared_->ring.assign(RtMidiInput::kQueueLimit, {});
        shared_->written = 0;
        shared_->read = 0;
        shared_->overflowReported = false;
        const bool opened = system_.jackClient() ? openJack(name) : openAlsa(name);
        if (!opened) return;
        // Messages are dropped until Start, so nothing needs the relay before this.
        startRelay();
        state_ = 1;
    }

    bool openJack(const std::string& name) {
        std::string why;
        const MmResult r =
            system_.jackClient()->openInput("in " + std::to_string(portIndex_), name, *shared_, jackIn_, why);
        if (r == MMSYSERR_NOERROR) return true;
        if (r == MMSYSERR_BADDEVICEID)
            postError(shared_, r, "The MIDI input port " + name + " is no longer there.");
        else
            postError(shared_, r, "MIDI input " + name + ": " + why);
        return false;
    }

    bool openAlsa(const std::string& name) {
        try {
            in_ = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Vantaro in", 100);
        } catch (const RtMidiError& e) {
            postError(shared_, MMSYSERR_NODRIVER, e.getMessage());
            return false;
        }
        in_->setErrorCallback(&RtMidiInputReader::rtError, this);
        // Timing clock passes like any other message; system exclusive is no short message.
        in_->ignoreTypes(true, false, false);
        in_->setCallback(&RtMidiInputReader::received, shared_.get());
        const unsigned n = in_->getPortCount();
        unsigned index = n;
        for (unsigned i = 0; i < n && index == n; ++i)
            if (in_->getPortName(i) == name) index = i;
        if (index == n) {
            in_.reset();
            postError(shared_, MMSYSERR_BADDEVICEID, "The MIDI input port " + name + " is no longer there.");
            return false;
        }
        openError_.clear();
        opening_ = true;
        in_->openPort(index, "in " + std::to_string(portIndex_));
        opening_ = false;
        if (!in_->isPortOpen() || !openError_.empty()) {
            const std::string why = openError_.empty() ? "it could not be opened." : openError_;
            in_.reset();
            postError(shared_, MMSYSERR_ALLOCATED, "MIDI input " + name + ": " + why);
            return false;
        }
        return true;
    }

    void closePort() {
        shared_->delivering = false;
        // Once these return, nothing is delivered any more: destroying RtMidiIn stops its
        // thread, and a JACK port is cut off from its sink at once (it goes later).
        if (jackIn_) system_.jackClient()->closeInput(jackIn_);
        jackIn_.reset();
        in_.reset();
        stopRelay();
        shared_->read.store(shared_->written.load());
        state_ = 0;
    }

    RtMidiInput& system_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<RtMidiIn> in_;
    std::shared_ptr<JackInput> jackIn_;
    std::int32_t portIndex_ = 0;
    std::int16_t state_ = 0;
    std::atomic<bool> opening_{false};
    std::string openError_; // written only while opening_, on the UI thread
};

} // namespace

// The output's constructor has quietened the JACK library already.
RtMidiInput::RtMidiInput(MainThreadPoster& poster, RtMidiOutput& output)
    : poster_(poster), system_(output.system()), jack_(output.jackClient()) {}

std::uint32_t RtMidiInput::midiInGetNumDevs() {
    ports_.clear();
    if (jack_) {
        jack_->listPorts(JackPortIsOutput, ports_);
    } else if (system_ == MidiSystem::Alsa) {
        try {
            RtMidiIn lister(RtMidi::LINUX_ALSA, "Vantaro in");
            // A port that leaves while it is listed is left out, without RtMidi's warning on stderr.
            lister.setErrorCallback([](RtMidiError::Type, const std::string&, void*) {});
            const unsigned n = lister.getPortCount();
            for (unsigned i = 0; i < n; ++i)
                ports_.push_back(lister.getPortName(i));
        } catch (const RtMidiError&) {
        }
    }
    std::erase_if(ports_, [](const std::string& n) { return n.empty() || isOwnPort(n); });
    listed_ = true;
    return static_cast<std::uint32_t>(ports_.size());
}

MmResult RtMidiInput::midiInGetDevCaps(std::uint32_t deviceId, std::string& name) {
    if (!listed_) midiInGetNumDevs();
    if (deviceId >= ports_.size()) return MMSYSERR_BADDEVICEID;
    name = productName(ports_[deviceId]);
    return MMSYSERR_NOERROR;
}

std::string RtMidiInput::portName(std::uint32_t deviceId) {
    if (!listed_) midiInGetNumDevs();
    return deviceId < ports_.size() ? ports_[deviceId] : std::string();
}

std::unique_ptr<MidiInReader> RtMidiInput::createReader() {
    return std::make_unique<RtMidiInputReader>(*this, poster_);
}

} // namespace vantaro
