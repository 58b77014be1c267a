#pragma once
// The choice of the MIDI output device: the device list, opening the chosen device on the
// sender, moving on to the next device when one fails, and following the device by its name
// while ports come and go.
#include "engine/ui_port.h"
#include "midi/midi_send.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

    // Fills the list in device id order and opens the stored choice: the entry named storedName
    // when a name was stored (nothing yet when it is not in the list: it is waited for), else
    // storedPosition when it is a valid position. Returns 0, or kOverflowError when the stored
    // number did not fit 16 bits (nullopt; nothing is opened then).
    int listDevices(std::optional<std::int16_t> storedPosition,
                    const std::optional<std::string>& storedName = {});

    // The user (or start-up) picked position p. False when p is not in the list (nothing
    // changes); otherwise the caller stores chosenDevice() and chosenName().
    bool select(int position);

    // The devices may have changed: the list is read again. The wanted device keeps its entry
    // while it is away (after the real ones); when a device of its name is back, it is opened
    // again, and only that one. True when that reconnection happened.
    bool refresh(bool restarted);

    // The MIDI system went away: the output is closed; the device stays wanted.
    void lose();
    // Shut-down: close the output, ignoring the result.
    void close();

    std::int32_t chosenDevice() const { return chosenDevice_; }
    // The name of the device the user wants, present or not, without the ALSA sequencer's client
    // and port numbers; empty when none was chosen.
    const std::string& chosenName() const { return wantedName_; }
    bool chosenPresent() const { return wantedPresent_; }
    MmResult lastResult() const { return lastResult_; }

private:
    std::vector<std::string> readNames();
    void show();       // the list and the wanted entry
    void fillList();   // the devices of the last listing
    void showWanted(); // the wanted entry: kept after the devices while away, and shown as chosen
    int wantedPosition() const;

    MidiSender& sender_;
    OutputListView& view_;
    UiPort& ui_;
    std::vector<std::string> names_; // the devices of the last listing, in id order
    std::string wantedName_;
    // The entry the wanted device last had, numbers and all, and its position: that very port is
    // found again first; among ports of its name the position decides.
    std::string wantedEntry_;
    int wantedPosition_ = -1;
    bool wantedPresent_ = false;
    std::int32_t chosenDevice_ = -1;
    MmResult lastResult_ = 0;
};

} // namespace vantaro
