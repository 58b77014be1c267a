#pragma once
// The choice of the MIDI output device: the device list, opening the chosen device on the
// sender's handle, moving on to the next device when one fails, and remembering the choice.
#include "engine/ui_port.h"
#include "midi/midi_send.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantaro {

// The drop-down list of output devices. setCurrentIndex only shows the position: the
// port itself runs the selection, so a view must not call back into select() for it.
class OutputListView {
public:
    virtual ~OutputListView() = default;
    virtual void clear() = 0;
    virtual void addItem(const std::string& text) = 0;
    virtual int count() const = 0;
    virtual void setCurrentIndex(int index) = 0;
    virtual int currentIndex() const = 0;
};

class OutputPort {
public:
    OutputPort(MidiSender& sender, OutputListView& view, UiPort& ui)
        : sender_(sender), view_(view), ui_(ui) {}

    // Fills the list in device id order and opens the stored device when it is a valid
    // position. Returns 0, or kOverflowError when the stored number did not fit 16 bits
    // (nullopt; nothing is opened then).
    int listDevices(std::optional<std::int16_t> storedPosition);

    // The user (or start-up) picked position p. False when p is not in the list (nothing
    // changes); otherwise the caller stores chosenDevice(), the entry finally shown.
    bool select(int position);

    // Shut-down: close the output, ignoring the result.
    void close();

    std::int32_t chosenDevice() const { return chosenDevice_; }
    MmResult lastResult() const { return lastResult_; }

private:
    MidiSender& sender_;
    OutputListView& view_;
    UiPort& ui_;
    std::int32_t chosenDevice_ = -1;
    MmResult lastResult_ = 0;
};

} // namespace vantaro
