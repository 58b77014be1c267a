#pragma once
// A MIDI output interface shaped after the platform's multimedia API: device ids count
// from 0, every call returns 0 on success or one of the result codes below.
#include <cstdint>
#include <string>

namespace vantaro {

using MmResult = std::uint32_t;
using MidiOutHandle = std::uintptr_t; // 0 = nothing open

inline constexpr MmResult MMSYSERR_NOERROR = 0;
inline constexpr MmResult MMSYSERR_ERROR = 1;
inline constexpr MmResult MMSYSERR_BADDEVICEID = 2;
inline constexpr MmResult MMSYSERR_NOTENABLED = 3;
inline constexpr MmResult MMSYSERR_ALLOCATED = 4;
inline constexpr MmResult MMSYSERR_INVALHANDLE = 5;
inline constexpr MmResult MMSYSERR_NODRIVER = 6;
inline constexpr MmResult MMSYSERR_NOMEM = 7;
inline constexpr MmResult MMSYSERR_INVALPARAM = 11;
inline constexpr MmResult MIDIERR_STILLPLAYING = 65;
inline constexpr MmResult MIDIERR_NOTREADY = 67;
inline constexpr MmResult MIDIERR_BADOPENMODE = 70;

// The entry of the program's own port, which other programs connect to; the last of the list.
inline constexpr const char* kVirtualOutputName = "Vantaro virtual output";

// What changed in the MIDI system since the last look.
struct DeviceChange {
    bool changed = false;   // ports may have come or gone: read the lists again
    bool restarted = false; // the MIDI system went away and came back: every port is new
    bool lost = false;      // the MIDI system went away: close every port before anything else
    // The MIDI system's server (JACK) went away, and came back or appeared, since the last look;
    // both when it was restarted in between.
    bool serverStopped = false;
    bool serverRunning = false;
};

class MidiOutApi {
public:
    virtual ~MidiOutApi() = default;
    // Off the 1 ms tick, a few times a second. An output that cannot tell says "changed" always.
    virtual DeviceChange devicesChanged() { return {true, false, false}; }
    virtual std::uint32_t midiOutGetNumDevs() = 0;
    // Product name of device id (at most 31 characters, as the platform's record holds).
    virtual MmResult midiOutGetDevCaps(std::uint32_t deviceId, std::string& productName) = 0;
    virtual MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t deviceId) = 0;
    virtual MmResult midiOutClose(MidiOutHandle handle) = 0;
    virtual MmResult midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) = 0;
};

// One device that takes every message and plays none: the output of a scripted run.
class AcceptingMidiOut : public MidiOutApi {
public:
    std::uint32_t midiOutGetNumDevs() override { return 1; }
    MmResult midiOutGetDevCaps(std::uint32_t deviceId, std::string& productName) override {
        if (deviceId != 0) return MMSYSERR_BADDEVICEID;
        productName = "Accepting output";
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t deviceId) override {
        if (deviceId != 0) return MMSYSERR_BADDEVICEID;
        *handle = 1;
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutClose(MidiOutHandle) override { return MMSYSERR_NOERROR; }
    MmResult midiOutShortMsg(MidiOutHandle, std::uint32_t) override { return MMSYSERR_NOERROR; }
};

} // namespace vantaro
