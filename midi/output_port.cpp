#include "midi/output_port.h"

#include "engine/numbers.h"

namespace vantaro {

int OutputPort::listDevices(std::optional<std::int16_t> stored) {
    MidiOutApi& api = sender_.api();
    const auto n = static_cast<std::int16_t>(api.midiOutGetNumDevs());
    view_.clear();
    for (std::int16_t id = 0; id < n; ++id) {
        std::string name;
        // Every id gets an entry, so list positions and device ids stay equal.
        (void)api.midiOutGetDevCaps(static_cast<std::uint32_t>(id), name);
        view_.addItem(name);
    }
    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < view_.count()) select(*stored);
    return 0;
}

bool OutputPort::select(int position) {
    if (position < 0 || position >= view_.count()) return false;
    int p = position;
    for (;;) {
        view_.setCurrentIndex(p);
        chosenDevice_ = p;
        lastResult_ = sender_.open(static_cast<std::uint32_t>(p));
        if (lastResult_ == MMSYSERR_NOERROR) break;
        if (p >= view_.count() - 1) {
            ui_.showMessage("Couldn't open midi out, rc = " + std::to_string(lastResult_));
            break;
        }
        ++p;
    }
    chosenDevice_ = view_.currentIndex();
    return true;
}

void OutputPort::close() {
    sender_.close();
}

} // namespace vantaro
