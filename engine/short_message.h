#pragma once
// The one way a MIDI short message leaves the program.
#include <cstdint>

namespace vantaro {

// Status in bits 0-7, first data byte in bits 8-15, second in bits 16-23.
constexpr std::uint32_t packShortMessage(std::uint32_t status, std::uint32_t data1, std::uint32_t data2) {
    return (status & 0xFF) | ((data1 & 0xFF) << 8) | ((data2 & 0xFF) << 16);
}

class ShortMessageSender {
public:
    virtual ~ShortMessageSender() = default;
    // Returns the output's result code, 0 on success; failures are reported by the sender.
    virtual std::int16_t sendShortMessage(std::uint32_t message) = 0;
};

} // namespace vantaro
