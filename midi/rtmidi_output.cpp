#include "midi/rtmidi_output.h"

#include "midi/jack_client.h"

#include <RtMidi.h>
#include <jack/jack.h>
#include <unistd.h>

namespace vantaro {

namespace {

// Number of bytes a message with this status carries; 0 for what is no short message.
std::size_t messageLength(std::uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xC0) return 3;
    if (status < 0xE0) return 2;
    if (status < 0xF0) return 3;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF0:
    case 0xF7:
        return 0; // system exclusive does not fit a short message
    default:
        return 1;
    }
}

struct ErrorFlag {
    bool raised = false;
    std::string text;
};

void recordError(RtMidiError::Type, const std::string& text, void* flag) {
    auto* f = static_cast<ErrorFlag*>(flag);
    f->raised = true;
    f->text = text;
}

bool alsaSequencerPresent() {
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

} // namespace

bool isOwnPort(const std::string& name) {
    return name.rfind("Vantaro:", 0) == 0 || name.rfind("Vantaro-", 0) == 0 ||
           name.rfind("Vantaro in", 0) == 0;
}

std::string productName(const std::string& portName) {
    if (portName.size() <= 31) return portName;
    std::size_t cut = 31;
    while (cut > 0 && (static_cast<unsigned char>(portName[cut]) & 0xC0) == 0x80)
        --cut;
    return portName.substr(0, cut);
}

struct RtMidiOutput::Device {
    std::shared_ptr<JackOutput> jack;
    std::unique_ptr<RtMidiOut> alsa;
    ErrorFlag alsaError;
    std::uint8_t runningStatus = 0;
};

MidiSystem chooseMidiSystem() {
    quietJackLibrary();
    if (alsaSequencerPresent()) {
        try {
            RtMidiOut probe(RtMidi::LINUX_ALSA, "Vantaro");
            return MidiSystem::Alsa;
        } catch (const RtMidiError&) {
        }
    }
    // JACK may start later than we do; the client keeps looking for it.
    return MidiSystem::Jack;
}

RtMidiOutput::RtMidiOutput(MidiSystem system) : system_(system) {
    quietJackLibrary();
    if (system_ == MidiSystem::Jack) jack_ = std::make_unique<JackClient>();
    if (system_ != MidiSystem::Alsa) return;
    try {
        alsaLister_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Vantaro");
        // A port that leaves while it is listed is left out, without RtMidi's warning on stderr.
        alsaLister_->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {});
        reachable_ = true;
    } catch (const RtMidiError&) {
        system_ = MidiSystem::None; // the sequencer went away since it was chosen
    }
}

RtMidiOutput::~RtMidiOutput() {
    // The client lets what was sent on these leave before it closes.
    for (auto& [handle, device] : open_)
        if (device->jack) jack_->closeOutput(device->jack);
}

std::vector<std::string> RtMidiOutput::currentPorts() {
    std::vector<std::string> names;
    if (system_ == MidiSystem::Alsa) {
        const unsigned n = alsaLister_->getPortCount();
        for (unsigned i = 0; i < n; ++i)
            names.push_back(alsaLister_->getPortName(i));
    } else if (system_ == MidiSystem::Jack) {
        reachable_ = jack_->listPorts(JackPortIsInput, names);
    }
    std::erase_if(names, [](const std::string& n) { return n.empty() || isOwnPort(n); });
    return names;
}

DeviceChange RtMidiOutput::devicesChanged() {
    if (system_ == MidiSystem::Alsa) {
        std::vector<std::string> now = currentPorts();
        if (now == seen_) return {};
        seen_ = std::move(now);
        return {true, false, false};
    }
    if (system_ != MidiSystem::Jack) return {};
    const JackClient::Changes c = jack_->takeChanges();
    // A server that came back, or answers again, has none of the ports we had on it.
    DeviceChange change{c.ports || c.lost || c.connected || c.resumed, c.reconnected || c.resumed, c.lost};
    // Told once each time the server comes or goes, not at every look.
    change.serverStopped = c.lost && serverUp_;
    change.serverRunning = c.up && (c.lost || !serverUp_);
    serverUp_ = c.up;
    return change;
}

std::uint32_t RtMidiOutput::midiOutGetNumDevs() {
    ports_ = currentPorts();
    if (!listed_) serverUp_ = reachable_;
    listed_ = true;
    // Without a reachable MIDI system there is nothing to offer, not even our own port.
    return static_cast<std::uint32_t>(ports_.size()) + (reachable_ ? 1 : 0);
}

MmResult RtMidiOutput::midiOutGetDevCaps(std::uint32_t deviceId, std::string& name) {
    if (!listed_) midiOutGetNumDevs();
    if (deviceId < ports_.size()) {
        name = productName(ports_[deviceId]);
        return MMSYSERR_NOERROR;
    }
    if (deviceId == ports_.size() && reachable_) {
        name = kVirtualOutputName;
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_BADDEVICEID;
}

MmResult RtMidiOutput::midiOutOpen(MidiOutHandle* handle, std::uint32_t deviceId) {
    if (!handle) return MMSYSERR_INVALPARAM;
    if (!listed_) midiOutGetNumDevs();
    if (deviceId > ports_.size() || (deviceId == ports_.size() && !reachable_)) return MMSYSERR_BADDEVICEID;
    const bool isVirtual = deviceId == ports_.size();
    auto device = std::make_unique<Device>();
    if (system_ == MidiSystem::Jack) {
        const MmResult r = jack_->openOutput(isVirtual ? kVirtualOutputName : "out",
                                             isVirtual ? std::string() : ports_[deviceId], device->jack);
        if (r != MMSYSERR_NOERROR) return r;
    } else if (system_ == MidiSystem::Alsa) {
        try {
            device->alsa = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Vantaro");
        } catch (const RtMidiError&) {
            return MMSYSERR_NODRIVER;
        }
        device->alsa->setErrorCallback(&recordError, &device->alsaError);
        if (isVirtual) {
            device->alsa->openVirtualPort(kVirtualOutputName);
        } else {
            const unsigned n = device->alsa->getPortCount();
            unsigned index = n;
            for (unsigned i = 0; i < n; ++i)
                if (device->alsa->getPortName(i) == ports_[deviceId]) index = i;
            if (index == n) return MMSYSERR_BADDEVICEID;
            device->alsa->openPort(index, "out");
        }
        if (device->alsaError.raised) return MMSYSERR_ALLOCATED;
    } else {
        return MMSYSERR_NODRIVER;
    }
    const MidiOutHandle h = nextHandle_++;
    open_.emplace(h, std::move(device));
    *handle = h;
    return MMSYSERR_NOERROR;
}

MmResult RtMidiOutput::midiOutClose(MidiOutHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return MMSYSERR_INVALHANDLE;
    // Returns at once: the port goes on the client's thread once its messages have left.
    if (it->second->jack) jack_->closeOutput(it->second->jack);
    open_.erase(it);
    return MMSYSERR_NOERROR;
}

MmResult RtMidiOutput::midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return MMSYSERR_INVALHANDLE;
    Device& d = *it->second;
    std::uint8_t bytes[3] = {static_cast<std::uint8_t>(message), static_cast<std::uint8_t>(message >> 8),
                             static_cast<std::uint8_t>(message >> 16)};
    if (bytes[0] < 0x80) {
        // Running status: the data bytes come first and the last channel status applies.
        if (d.runningStatus == 0) return MMSYSERR_INVALPARAM;
        bytes[2] = bytes[1];
        bytes[1] = bytes[0];
        bytes[0] = d.runningStatus;
    }
    const std::size_t size = messageLength(bytes[0]);
    if (size == 0) return MMSYSERR_INVALPARAM;
    // A data byte with its top bit set would reach the receiver as a status byte.
    for (std::size_t i = 1; i < size; ++i)
        if (bytes[i] & 0x80) return MMSYSERR_INVALPARAM;
    if (bytes[0] < 0xF0)
        d.runningStatus = bytes[0];
    else if (bytes[0] < 0xF8)
        d.runningStatus = 0;

    if (d.jack) return d.jack->send(bytes, size);
    d.alsaError.raised = false;
    d.alsa->sendMessage(bytes, size);
    return d.alsaError.raised ? MIDIERR_NOTREADY : MMSYSERR_NOERROR;
}

std::string RtMidiOutput::portName(MidiOutHandle handle) const {
    const auto it = open_.find(handle);
    if (it == open_.end()) return {};
    if (it->second->jack) return it->second->jack->fullName();
    return {};
}

} // namespace vantaro
