#pragma once
// sendShortMessage with its error path: a failed send shows the MIDI error window once,
// until the user stops the warnings.
#include "engine/short_message.h"
#include "engine/ui_port.h"
#include "midi/midi_out_api.h"

#include <string>

namespace vantaro {

// " 67 : Hardware is still busy." and the rest of the table.
std::string midiErrorText(std::int16_t code);

class MidiSender final : public ShortMessageSender {
public:
    MidiSender(MidiOutApi& api, UiPort& ui) : api_(api), ui_(ui) {}

    std::int16_t sendShortMessage(std::uint32_t message) override;

    // Opens device id (closing whatever was open first); the handle is kept only on success.
    MmResult open(std::uint32_t deviceId);
    // Closes the open device, if any, ignoring the result.
    void close();
    bool isOpen() const { return handle_ != 0; }
    MidiOutApi& api() { return api_; }
    std::int16_t lastSendError() const { return lastSendError_; }
    bool stopWarnings() const { return stopWarnings_; }
    bool errorWindowOpen() const { return windowOpen_; }

private:
    MidiOutApi& api_;
    UiPort& ui_;
    MidiOutHandle handle_ = 0;
    std::int16_t lastSendError_ = 0;
    bool stopWarnings_ = false;
    bool windowOpen_ = false; // never a second error window over the first
};

} // namespace vantaro
