#pragma once
// Action records as tests write them: a kind, a channel, a number and a range, version 3.
#include "engine/action_record.h"

#include <cstdint>

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
