#pragma once
// The one output handle and the send on it. What a failed send tells the user is the program
// core's to decide; the texts of its error window are here.
#include "midi/midi_out_api.h"

#include <string>

namespace vantaro {

// " 67 : Hardware is still busy." and the rest of the table.
std::string midiErrorText(std::int16_t code);

class MidiSender final {
public:
    explicit MidiSender(MidiOutApi& api) : api_(api) {}
    MidiSender(const MidiSender&) = delete;
    MidiSender& operator=(const MidiSender&) = delete;

    // Sends a packed short message on the open handle; the 16-bit result, 0 when it was sent.
    // Nothing is retried or queued: a failed message is lost.
    std::int16_t send(std::uint32_t message);

    // Opens device id (closing whatever was open first); the handle is kept only on success.
    MmResult open(std::uint32_t deviceId);
    // Closes the open device, if any, ignoring the result.
    void close();
    bool isOpen() const { return handle_ != 0; }
    MidiOutApi& api() { return api_; }

private:
    MidiOutApi& api_;
    MidiOutHandle handle_ = 0;
};

} // namespace vantaro
