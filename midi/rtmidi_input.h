#pragma once
// MIDI input ports read with RtMidi (ALSA sequencer where it opens, JACK otherwise). RtMidi
// calls back on its own thread: the reader only queues the message there and posts the
// arrival notification to the UI thread; every other operation runs on the UI thread.
#include "midi/main_thread_poster.h"
#include "midi/midi_in_api.h"
#include "midi/rtmidi_output.h"

#include <string>
#include <vector>

namespace vantaro {

class RtMidiInput final : public MidiInApi {
public:
    // system: the one the output uses (chooseMidiSystem()).
    RtMidiInput(MainThreadPoster& poster, MidiSystem system);

    MidiSystem system() const { return system_; }
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
    std::vector<std::string> ports_;
    bool listed_ = false;
};

} // namespace vantaro
