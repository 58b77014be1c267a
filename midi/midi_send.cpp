#include "midi/midi_send.h"

#include "engine/numbers.h"

namespace vantaro {

std::string midiErrorText(std::int16_t code) {
    const char* meaning;
    switch (code) {
    case 2:
        meaning = " : Device ID out of range.";
        break;
    case 3:
        meaning = " : Hardware is still busy.";
        break;
    case 5:
        meaning = " : Device handle is invalid.";
        break;
    case 6:
        meaning = " : No device driver present.";
        break;
    case 7:
        meaning = " : Memory allocation error.";
        break;
    case 11:
        meaning = " : Invalid parameter passed.";
        break;
    case 65:
        meaning = " : Something is still playing.  The midi port was busy.";
        break;
    case 67:
        meaning = " : Hardware is still busy.";
        break;
    case 70:
        meaning = " : Operation unsupported with open mode.";
        break;
    default:
        meaning = " : You suck";
        break;
    }
    return numberText(code) + meaning;
}

MmResult MidiSender::open(std::uint32_t deviceId) {
    close();
    MidiOutHandle opened = 0;
    const MmResult r = api_.midiOutOpen(&opened, deviceId);
    if (r == MMSYSERR_NOERROR) handle_ = opened;
    return r;
}

void MidiSender::close() {
    (void)api_.midiOutClose(handle_);
    handle_ = 0;
}

std::int16_t MidiSender::send(std::uint32_t message) {
    return static_cast<std::int16_t>(api_.midiOutShortMsg(handle_, message));
}

} // namespace vantaro
