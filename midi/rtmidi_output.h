#pragma once
// The MIDI output devices of this machine behind the winmm-shaped interface: the ALSA
// sequencer's ports where the sequencer can be opened, JACK's otherwise. The list ends with
// one entry for a port of our own that other programs connect to.
#include "midi/midi_out_api.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

namespace vantaro {

class JackClient;

enum class MidiSystem { None, Alsa, Jack };

// Ports of this program (its outputs, its routed inputs) are kept out of the device lists:
// routing our own output back into ourselves would feed every message round for ever.
bool isOwnPort(const std::string& name);

// The MIDI system of this machine, chosen once and shared by the output and the inputs so that
// they never disagree: the ALSA sequencer where it can be opened, JACK otherwise.
MidiSystem chooseMidiSystem();

// The first 31 characters, not cutting a UTF-8 character in half.
std::string productName(const std::string& portName);

class RtMidiOutput final : public MidiOutApi {
public:
    explicit RtMidiOutput(MidiSystem system = chooseMidiSystem());
    ~RtMidiOutput() override;

    MidiSystem system() const { return system_; }

    // JACK: what the program's JACK client heard from the server (ports, its end, its return).
    // ALSA: the port names compared.
    DeviceChange devicesChanged() override;

    // Takes a fresh look at the ports; device ids refer to this list until the next count.
    std::uint32_t midiOutGetNumDevs() override;
    MmResult midiOutGetDevCaps(std::uint32_t deviceId, std::string& productName) override;
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t deviceId) override;
    MmResult midiOutClose(MidiOutHandle handle) override;
    MmResult midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) override;

    // Full system name of the port an open handle writes to ("Vantaro:out"), for connecting.
    std::string portName(MidiOutHandle handle) const;

    // The program's one JACK client, which the MIDI inputs share; null unless the system is JACK.
    JackClient* jackClient() { return jack_.get(); }

private:
    struct Device;
    std::vector<std::string> currentPorts();

    MidiSystem system_ = MidiSystem::None;
    std::unique_ptr<JackClient> jack_;
    std::unique_ptr<RtMidiOut> alsaLister_;
    std::vector<std::string> ports_; // the list of the last count, without the virtual entry
    bool listed_ = false;
    bool reachable_ = false; // the MIDI system answered the last count
    bool serverUp_ = false;  // JACK: a server was there at the last look the log was told of
    std::map<MidiOutHandle, std::unique_ptr<Device>> open_;
    std::vector<std::string> seen_; // ALSA: the ports at the last look
    MidiOutHandle nextHandle_ = 1;
};

} // namespace vantaro
