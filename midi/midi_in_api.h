#pragma once
// MIDI input: the listing of input ports, shaped after the platform's multimedia API, and a
// reader per routed port with the operations of a MIDI input control (commands, a queue of
// pending short messages, state, notifications).
#include "midi/midi_out_api.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantaro {

class MidiInReader {
public:
    enum Command : std::int16_t { Open = 1, Close = 2, Start = 4, Stop = 5, RemoveCurrent = 6 };

    virtual ~MidiInReader() = default;

    virtual void command(std::int16_t code) = 0;
    // The input device id that the next Open opens.
    virtual void setPortIndex(std::int32_t index) = 0;
    virtual std::int32_t portIndex() const = 0;
    virtual std::int32_t pendingCount() const = 0;
    // Bytes of the oldest pending message; 0 when nothing is pending or the byte is absent.
    virtual std::int16_t status() const = 0;
    virtual std::int16_t data1() const = 0;
    virtual std::int16_t data2() const = 0;
    // 0 closed, 1 open, 2 open and delivering.
    virtual std::int16_t state() const = 0;
    // Messages with this status byte are not queued while on (active sensing: 254).
    virtual void ignoreStatus(std::int16_t status, bool on) = 0;

    // Both run on the UI thread only.
    std::function<void()> onArrival;
    std::function<void(std::int32_t code, const std::string& text)> onError;
};

class MidiInApi {
public:
    virtual ~MidiInApi() = default;
    // Takes a fresh look at the ports; device ids refer to this list until the next count.
    virtual std::uint32_t midiInGetNumDevs() = 0;
    // Product name of device id (at most 31 characters).
    virtual MmResult midiInGetDevCaps(std::uint32_t deviceId, std::string& productName) = 0;
    virtual std::unique_ptr<MidiInReader> createReader() = 0;
};

} // namespace vantaro
