#pragma once
// A joystick interface shaped after the platform's multimedia joystick calls: device ids
// count from 0, every call returns 0 on success or one of the result codes below.
#include "engine/input_state.h"

#include <cstdint>

namespace vantaro {

// The capabilities record, byte for byte the size the listing passes (404).
struct JoyCapsA {
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    char szPname[32] = {}; // product name, NUL-terminated when shorter than 32
    std::uint32_t wXmin = 0;
    std::uint32_t wXmax = 0;
    std::uint32_t wYmin = 0;
    std::uint32_t wYmax = 0;
    std::uint32_t wZmin = 0;
    std::uint32_t wZmax = 0;
    std::uint32_t wNumButtons = 0;
    std::uint32_t wPeriodMin = 0;
    std::uint32_t wPeriodMax = 0;
    std::uint32_t wRmin = 0;
    std::uint32_t wRmax = 0;
    std::uint32_t wUmin = 0;
    std::uint32_t wUmax = 0;
    std::uint32_t wVmin = 0;
    std::uint32_t wVmax = 0;
    std::uint32_t wCaps = 0;
    std::uint32_t wMaxAxes = 0;
    std::uint32_t wNumAxes = 0;
    std::uint32_t wMaxButtons = 0;
    char szRegKey[32] = {};
    char szOEMVxD[260] = {};
};
static_assert(sizeof(JoyCapsA) == 404);

// The basic position record: three axes and the first four buttons.
struct JoyInfo {
    std::uint32_t wXpos = 0;
    std::uint32_t wYpos = 0;
    std::uint32_t wZpos = 0;
    std::uint32_t wButtons = 0;
};

class JoystickApi {
public:
    using Result = std::uint32_t;

    // Result codes, with the platform's names and numbers.
    static constexpr Result JOYERR_NOERROR = 0;
    static constexpr Result MMSYSERR_BADDEVICEID = 2;
    static constexpr Result MMSYSERR_NODRIVER = 6;
    static constexpr Result MMSYSERR_INVALPARAM = 11;
    static constexpr Result JOYERR_PARMS = 165;
    static constexpr Result JOYERR_NOCANDO = 166;
    static constexpr Result JOYERR_UNPLUGGED = 167;

    // Which fields of JoyInfoEx a reading fills (dwFlags).
    static constexpr std::uint32_t JOY_RETURNX = 0x01;
    static constexpr std::uint32_t JOY_RETURNY = 0x02;
    static constexpr std::uint32_t JOY_RETURNZ = 0x04;
    static constexpr std::uint32_t JOY_RETURNR = 0x08;
    static constexpr std::uint32_t JOY_RETURNU = 0x10;
    static constexpr std::uint32_t JOY_RETURNV = 0x20;
    static constexpr std::uint32_t JOY_RETURNPOV = 0x40;
    static constexpr std::uint32_t JOY_RETURNBUTTONS = 0x80;
    static constexpr std::uint32_t JOY_RETURNALL = 0xFF;

    static constexpr std::uint32_t JOY_POVCENTERED = 65535;

    virtual ~JoystickApi() = default;

    // Whether sticks may have come or gone since the last call, so that the list is read again
    // only then. An interface that cannot tell says yes.
    virtual bool devicesChanged() { return true; }

    // The number of device ids the driver offers; ids without a device fail their queries.
    virtual std::uint32_t joyGetNumDevs() = 0;
    // capsSize must be at least sizeof(JoyCapsA).
    virtual Result joyGetDevCapsA(std::uint32_t id, JoyCapsA* caps, std::uint32_t capsSize) = 0;
    // Fills the fields that info->dwFlags asks for; info->dwSize must be sizeof(JoyInfoEx).
    // On failure the record is left as it was.
    virtual Result joyGetPosEx(std::uint32_t id, JoyInfoEx* info) = 0;
    virtual Result joyGetPos(std::uint32_t id, JoyInfo* info) = 0;
};

} // namespace vantaro
