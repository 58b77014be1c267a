#pragma once
// The choice of the MIDI output device: the device list, opening the chosen device on the
// sender, moving on to the next device when one fails, and following the device by its name
// while ports come and go. The port keeps its own choice; whoever shows the list reads it here.
#include "midi/midi_send.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantaro {

class OutputPort {
public:
    explicit OutputPort(MidiSender& sender) : sender_(sender) {}

    // What choosing an entry came to.
    enum class Opened {
        NotListed, // not an entry of the list: nothing changed
        Yes,       // the entry, or a following one, is open
        Waiting,   // the wanted device is away: it opens when it is back
        None,      // every device from the entry on failed to open; lastResult() says why
    };
    struct Listed {
        bool overflow = false; // the stored number did not fit 16 bits: nothing was opened
        Opened opened = Opened::NotListed;
    };

    // Fills the list in device id order and opens the stored choice: the entry named storedName
    // when a name was stored (nothing yet when it is not in the list: it is waited for), else
    // storedPosition when it is a valid position (nullopt: it did not fit 16 bits).
    Listed listDevices(std::optional<std::int16_t> storedPosition,
                       const std::optional<std::string>& storedName = {});

    // The user (or start-up) picked position p. Unless NotListed, the caller stores
    // chosenDevice() and chosenName(). moveOn false: only that device is tried.
    Opened select(int position, bool moveOn = true);

    // The devices may have changed: the list is read again. The wanted device keeps its entry
    // while it is away (after the real ones); when a device of its name is back, it is opened
    // again, and only that one. Says whether that was tried and how it went (lastResult()).
    enum class Refreshed { Unchanged, Reopened, ReopenFailed };
    Refreshed refresh(bool restarted);

    // The MIDI system went away: the output is closed; the device stays wanted.
    void lose();
    // Shut-down: close the output, ignoring the result.
    void close();

    // The list as it is shown: the devices in id order, then the wanted device while it is away.
    std::vector<std::string> entries() const;
    // The entry shown as chosen; -1 for none.
    int shownEntry() const;

    std::int32_t chosenDevice() const { return chosenDevice_; }
    // The name of the device the user wants, present or not, without the ALSA sequencer's client
    // and port numbers; empty when none was chosen.
    const std::string& chosenName() const { return wantedName_; }
    bool chosenPresent() const { return wantedPresent_; }
    // The entry at position is the device open now, and it is there.
    bool isOpenAt(int position) const {
        return position == chosenDevice_ && wantedPresent_ && sender_.isOpen();
    }
    MmResult lastResult() const { return lastResult_; }

private:
    std::vector<std::string> readNames();
    int wantedPosition() const;

    MidiSender& sender_;
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
