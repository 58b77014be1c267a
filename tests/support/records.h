#pragma once
// Action records as tests write them: a kind, a channel, a number and a range, version 3; and as
// a failing test shows them, field by field. A test that compares records includes this header.
#include "engine/action_record.h"

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>

namespace vantaro {

// Found by GoogleTest through the record's namespace.
inline void PrintTo(const ActionRecord& a, std::ostream* os) {
    const auto real = [](double v) {
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, v).ptr); // shortest exact form
    };
    const auto values = [](const auto& list) {
        std::string text = "[";
        for (const auto v : list) {
            if (text.size() > 1) text += ' ';
            text += std::to_string(v);
        }
        text += ']';
        return text;
    };
    *os << "{axisMask=" << a.axisMask << " buttonMask=" << a.buttonMask << " channel=" << a.channel
        << " dataNumber=" << a.dataNumber << " increment=" << real(a.increment)
        << " currentValue=" << real(a.currentValue) << " lastButtonState=" << a.lastButtonState
        << " reservedA=" << a.reservedA << " povDirection=" << a.povDirection << " wrap=" << a.wrap
        << " low=" << a.low << " high=" << a.high << " delay=" << a.delay << " reservedB=" << a.reservedB
        << " reservedC=" << a.reservedC << " toggle=" << a.toggle << " reservedD=" << a.reservedD
        << " reservedE=" << a.reservedE << " recordVersion=" << a.recordVersion
        << " fingerSelect=" << values(a.fingerSelect) << " isGlove=" << a.isGlove
        << " handAxisSelect=" << values(a.handAxisSelect) << " messageKind=" << a.messageKind << "}";
}

} // namespace vantaro

namespace vantaro::test {

inline ActionRecord joystickAction(MessageKind kind, int channel, int number, int low = 0, int high = 127) {
    ActionRecord a;
    a.messageKind = kind;
    a.channel = static_cast<std::int16_t>(channel);
    a.dataNumber = static_cast<std::int16_t>(number);
    a.low = static_cast<std::int16_t>(low);
    a.high = static_cast<std::int16_t>(high);
    a.povDirection = kPovCentred;
    a.recordVersion = kRecordVersion;
    return a;
}

inline ActionRecord buttonAction(std::int32_t mask, MessageKind kind = kNoteOn, int channel = 0,
                                 int number = 60) {
    ActionRecord a = joystickAction(kind, channel, number);
    a.buttonMask = mask;
    return a;
}

inline ActionRecord gloveAction(int number, int low = 0, int high = 127) {
    ActionRecord a = joystickAction(kControllerChange, 0, number, low, high);
    a.isGlove = 1;
    return a;
}

} // namespace vantaro::test
