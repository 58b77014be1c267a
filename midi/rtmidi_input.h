#pragma once
// MIDI input ports: the ALSA sequencer's read with RtMidi where it opens, JACK's otherwise
// through input ports of the program's one JACK client. Messages arrive on the library's own
// thread: the reader only queues them there and posts the arrival notification to the UI
// thread; every other operation runs on the UI thread.
#include "midi/main_thread_poster.h"
#include "midi/midi_in_api.h"
#include "midi/rtmidi_output.h"

#include <string>
#include <vector>

namespace vantaro {

class RtMidiInput final : public MidiInApi {
public:
    // The inputs of the output's MIDI system, on its JACK client where that is JACK's.
    RtMidiInput(MainThreadPoster& poster, RtMidiOutput& output);

    MidiSystem system() const { return system_; }
    JackClient* jackClient() { return jack_; }
    std::uint32_t midiInGetNumDevs() override;
    MmResult midiInGetDevCaps(std::uint32_t deviceId, std::string& productName) override;
    std::unique_ptr<MidiInReader> createReader() override;

    // Full system name of device id in the last count, for finding it again at open.
    std::string portName(std::uint32_t deviceId);

    // Messages a reader holds before it reports an overflow and drops new ones.
    static constexpr std::size_t kQueueLimit = 1 << 16;

private:
    MainThreadPoster& poster_;
    MidiSystem system_ = MidiSystem::None;
    JackClient* jack_ = nullptr;
    std::vector<std::string> ports_;
    bool listed_ = false;
};

} // namespace vantaro
