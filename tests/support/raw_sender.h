#pragma once
// Sends straight to an open output, without the program's error window, counting what failed:
// for the MIDI parts tested on their own.
#include "engine/short_message.h"
#include "midi/midi_send.h"

#include <cstdint>
#include <vector>

namespace vantaro::test {

class RawSender final : public ShortMessageSender {
public:
    explicit RawSender(MidiSender& output) : output_(output) {}
    std::int16_t sendShortMessage(std::uint32_t message) override {
        const std::int16_t r = output_.send(message);
        if (r != 0) failures.push_back(r);
        return r;
    }
    std::vector<std::int16_t> failures;

private:
    MidiSender& output_;
};

} // namespace vantaro::test
