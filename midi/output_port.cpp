#include "midi/output_port.h"

#include "engine/numbers.h"
#include "storage/settings_keys.h"

namespace vantaro {

int OutputPort::listDevices() {
    MidiOutApi& api = sender_.api();
    const auto n = static_cast<std::int16_t>(api.midiOutGetNumDevs());
    view_.clear();
    for (std::int16_t id = 0; id < n; ++id) {
        std::string name;
        // Every id gets an entry, so list positions and device ids stay equal.
        (void)api.midiOutGetDevCaps(static_cast<std::uint32_t>(id), name);
        view_.addItem(name);
    }
    const auto stored = readSettingInt16(settingsPath_, settings::midiDevice);
    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < view_.count()) select(*stored);
    return 0;
}

bool OutputPort::select(int position) {
    if (position < 0 || position >= view_.count()) return false;
    MidiOutApi& api = sender_.api();
    MidiOutHandle& handle = sender_.midiOutHandle();
    int p = position;
    for (;;) {
        view_.setCurrentIndex(p);
        chosenDevice_ = p;
        (void)api.midiOutClose(handle);
        handle = 0;
        MidiOutHandle opened = 0;
        lastResult_ = api.midiOutOpen(&opened, static_cast<std::uint32_t>(p));
        if (lastResult_ == MMSYSERR_NOERROR) {
            handle = opened;
            break;
        }
        if (p >= view_.count() - 1) {
            ui_.showMessage("Couldn't open midi out, rc = " + std::to_string(lastResult_));
            break;
        }
        ++p;
    }
    // A failed write leaves the choice for this run only; the device itself works.
    return writeSettingValue(settingsPath_, settings::midiDevice, view_.currentIndex());
}

void OutputPort::close() {
    (void)sender_.api().midiOutClose(sender_.midiOutHandle());
    sender_.midiOutHandle() = 0;
}

} // namespace vantaro
