#pragma once
// A MIDI output for what cannot run here (a device that refuses to open, a busy driver): every
// device id opens with a scripted result, and what reaches an open device is kept.
#include "midi/midi_out_api.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace vantaro::test {

class FakeMidiOut final : public MidiOutApi {
public:
    // One device per name; each opens with the result at its position (success when missing).
    explicit FakeMidiOut(std::vector<std::string> names = {}, std::vector<MmResult> openResults = {})
        : names(std::move(names)), openResults(std::move(openResults)) {}

    std::uint32_t midiOutGetNumDevs() override { return static_cast<std::uint32_t>(names.size()); }
    MmResult midiOutGetDevCaps(std::uint32_t id, std::string& name) override {
        if (id >= names.size()) return MMSYSERR_BADDEVICEID;
        name = names[id];
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t id) override {
        opened.push_back(id);
        if (id >= names.size()) return MMSYSERR_BADDEVICEID;
        if (id < openResults.size() && openResults[id] != MMSYSERR_NOERROR) return openResults[id];
        *handle = 100 + id;
        open.insert(*handle);
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutClose(MidiOutHandle handle) override {
        closed.push_back(handle);
        return open.erase(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }
    MmResult midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) override {
        ++attempts;
        if (!open.count(handle)) return MMSYSERR_INVALHANDLE;
        if (sendResult != MMSYSERR_NOERROR) return sendResult;
        sent.push_back(message);
        return MMSYSERR_NOERROR;
    }

    std::vector<std::string> names;
    std::vector<MmResult> openResults;
    MmResult sendResult = MMSYSERR_NOERROR; // what an open device answers to a message
    std::vector<std::uint32_t> opened;
    std::vector<MidiOutHandle> closed;
    std::set<MidiOutHandle> open;
    std::vector<std::uint32_t> sent; // what an open device took
    int attempts = 0;                // every message offered, taken or not
};

} // namespace vantaro::test
