#pragma once
// One joystick whose reading is set from outside (a script, a test, a benchmark), behind the
// same interface as the machine's joysticks, so that the program's own read step runs on it.
#include "devices/joystick_api.h"

#include <cstring>

namespace vantaro {

// Present or unplugged as told; id 0 only.
class ScriptedJoystick final : public JoystickApi {
public:
    static constexpr const char* kName = "Scripted joystick";

    std::uint32_t joyGetNumDevs() override { return 1; }
    Result joyGetDevCapsA(std::uint32_t id, JoyCapsA* caps, std::uint32_t capsSize) override {
        if (id != 0 || capsSize < sizeof(JoyCapsA)) return MMSYSERR_INVALPARAM;
        if (!present) return JOYERR_UNPLUGGED;
        *caps = JoyCapsA{};
        std::strcpy(caps->szPname, kName);
        return JOYERR_NOERROR;
    }
    Result joyGetPosEx(std::uint32_t id, JoyInfoEx* info) override {
        if (id != 0 || !present) return JOYERR_UNPLUGGED;
        const JoyInfoEx asked = *info;
        *info = reading;
        info->dwSize = asked.dwSize;
        info->dwFlags = asked.dwFlags;
        return JOYERR_NOERROR;
    }
    Result joyGetPos(std::uint32_t id, JoyInfo* info) override {
        if (id != 0 || !present) return JOYERR_UNPLUGGED;
        *info = JoyInfo{reading.dwXpos, reading.dwYpos, reading.dwZpos, reading.dwButtons & 0xF};
        return JOYERR_NOERROR;
    }

    JoyInfoEx reading{};
    bool present = false;
};

} // namespace vantaro
