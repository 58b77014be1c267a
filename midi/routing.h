#pragma once
// Routing: the messages that arrive on chosen MIDI input ports go out unchanged through the
// same send operation that the actions use. The choice is kept for this run only.
#include "engine/message_log.h"
#include "engine/short_message.h"
#include "midi/midi_in_api.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantaro {

struct RoutingIo {
    MidiInApi& inputs;
    ShortMessageSender& sender;
    MessageLog& log;
    const std::int16_t& expandedView;
    // Runs the events waiting in the UI thread's message loop (timer ticks, other ports'
    // arrivals), as the forwarding loop does between messages.
    std::function<void()> yieldToMessageLoop;
    // A routed port's reader failed; text says how. Whoever owns the routing tells the user.
    std::function<void(const std::string& text)> readerFailed;
};

// What the port picker shows: one entry per input port, in device id order.
struct RoutePickerList {
    std::vector<std::string> names;
    std::vector<bool> selected;
};

class Routing {
public:
    static constexpr int kSlots = 101;

    explicit Routing(RoutingIo io) : io_(std::move(io)) {}
    ~Routing();
    Routing(const Routing&) = delete;
    Routing& operator=(const Routing&) = delete;

    // The picker's list with the choice last confirmed in this run.
    RoutePickerList loadPicker();
    // Applies the picker's selection (one flag per list position): opens the selected ports,
    // closes the others that are open.
    void confirmPicker(const std::vector<bool>& selected);
    // Opens input port n on slot n, closing it first when it is open.
    void openRoutePort(int n);
    // Slot n's arrival notification: forwards everything pending on it.
    void messageArrived(int n);
    // The ports may have changed: each routed port (remembered by its name) is routed again
    // where it now is, and slots whose port has gone are closed. restarted: every port is new.
    void refresh(bool restarted);
    // The MIDI system went away: every reader is released; the routed ports stay wanted.
    void suspend();
    // Shut-down: stops, closes and releases every slot's reader. Errors are ignored.
    void closeAll();

    const std::array<bool, kSlots>& routeSelected() const { return routeSelected_; }
    // Slot n's port state (0 when the slot has no reader).
    std::int16_t portState(int n) const;

private:
    struct Slot {
        std::unique_ptr<MidiInReader> reader;
        std::string portName;    // the port it was opened on
        bool forwarding = false; // the loop runs; a nested notification leaves the work to it
    };
    void logForward(std::int16_t s, std::int16_t d1, std::int16_t d2);
    std::vector<std::string> inputNames();
    void closeSlot(Slot& slot);

    RoutingIo io_;
    std::array<Slot, kSlots> slots_;
    std::array<bool, kSlots> routeSelected_{}; // the slots routed now
    std::vector<std::string> pickerNames_;     // the names the picker showed
    // The ports the user routed: the entry each had when last seen, and its position.
    struct RoutedPort {
        std::string name;
        int position;
    };
    std::vector<RoutedPort> routed_;
};

} // namespace vantaro
