#include "devices/sdl_joystick.h"

#include <SDL.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace vantaro {

namespace {

constexpr std::uint32_t kAxisFlags[6] = {JoystickApi::JOY_RETURNX, JoystickApi::JOY_RETURNY,
                                         JoystickApi::JOY_RETURNZ, JoystickApi::JOY_RETURNR,
                                         JoystickApi::JOY_RETURNU, JoystickApi::JOY_RETURNV};

// SDL's -32768..32767 onto 0..65535; an axis the device lacks reads 0.
std::uint32_t axisPosition(SDL_Joystick* j, int axis) {
    if (axis >= SDL_JoystickNumAxes(j)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(SDL_JoystickGetAxis(j, axis)) + 32768);
}

std::uint32_t buttonWord(SDL_Joystick* j, int count) {
    const int n = std::min(SDL_JoystickNumButtons(j), count);
    std::uint32_t word = 0;
    for (int b = 0; b < n; ++b) {
        if (SDL_JoystickGetButton(j, b)) word |= std::uint32_t{1} << b;
    }
    return word;
}

std::uint32_t povOf(SDL_Joystick* j) {
    if (SDL_JoystickNumHats(j) < 1) return JoystickApi::JOY_POVCENTERED;
    switch (SDL_JoystickGetHat(j, 0)) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return JoystickApi::JOY_POVCENTERED;
    }
}

// Copies a UTF-8 name into a fixed field, cut on a character boundary so a list never
// shows half a character.
void copyName(char (&field)[32], const char* name) {
    std::memset(field, 0, sizeof field);
    if (name == nullptr) return;
    std::size_t n = strnlen(name, sizeof field);
    if (n >= sizeof field) {
        n = sizeof field - 1;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(field, name, n);
}

} // namespace

SdlJoystickApi::SdlJoystickApi() {
    // SDL would turn SIGTERM and SIGINT into events that nobody reads: the program could not be
    // stopped from outside. The program handles those signals itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    available_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    // Nobody drains SDL's event queue: keep joystick events out of it.
    if (available_) SDL_JoystickEventState(SDL_IGNORE);
}

SdlJoystickApi::~SdlJoystickApi() {
    if (!available_) return;
    for (auto& s : slots_) {
        if (s.joystick != nullptr) SDL_JoystickClose(s.joystick);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void SdlJoystickApi::update() {
    SDL_JoystickUpdate();
    for (auto& s : slots_) {
        if (s.joystick != nullptr && !SDL_JoystickGetAttached(s.joystick)) {
            SDL_JoystickClose(s.joystick);
            s = Slot{};
            slotClosed_ = true;
        }
    }
}

void SdlJoystickApi::adoptNewDevices() {
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(index);
        if (instance < 0) continue;
        const bool known =
            std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.instance == instance; });
        if (known) continue;
        auto free =
            std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.joystick == nullptr; });
        if (free == slots_.end()) return;
        SDL_Joystick* j = SDL_JoystickOpen(index);
        if (j == nullptr) continue;
        *free = Slot{j, SDL_JoystickInstanceID(j)};
    }
}

SDL_Joystick* SdlJoystickApi::deviceFor(std::uint32_t id, Result& rc) {
    if (!available_) {
        rc = MMSYSERR_NODRIVER;
        return nullptr;
    }
    if (id >= kDeviceIds) {
        rc = JOYERR_PARMS;
        return nullptr;
    }
    update();
    if (slots_[id].joystick == nullptr) adoptNewDevices();
    if (slots_[id].joystick == nullptr) {
        rc = JOYERR_UNPLUGGED;
        return nullptr;
    }
    rc = JOYERR_NOERROR;
    return slots_[id].joystick;
}

bool SdlJoystickApi::devicesChanged() {
    if (!available_) return false;
    update();
    bool changed = std::exchange(slotClosed_, false);
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count && !changed; ++index) {
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(index);
        changed = instance >= 0 && std::none_of(slots_.begin(), slots_.end(),
                                                [&](const Slot& s) { return s.instance == instance; });
    }
    return changed;
}

std::uint32_t SdlJoystickApi::joyGetNumDevs() {
    if (!available_) return 0;
    update();
    adoptNewDevices();
    return kDeviceIds;
}

JoystickApi::Result SdlJoystickApi::joyGetDevCapsA(std::uint32_t id, JoyCapsA* caps, std::uint32_t capsSize) {
    if (caps == nullptr) return MMSYSERR_INVALPARAM;
    if (capsSize < sizeof(JoyCapsA)) return JOYERR_PARMS;
    if (!available_) return MMSYSERR_NODRIVER;
    if (id >= kDeviceIds) return MMSYSERR_BADDEVICEID;
    Result rc = JOYERR_NOERROR;
    SDL_Joystick* j = deviceFor(id, rc);
    if (j == nullptr) return JOYERR_PARMS; // an id with nothing behind it

    JoyCapsA c{};
    c.wMid = SDL_JoystickGetVendor(j);
    c.wPid = SDL_JoystickGetProduct(j);
    copyName(c.szPname, SDL_JoystickName(j));
    const int axes = std::clamp(SDL_JoystickNumAxes(j), 0, 6);
    std::uint32_t* ranges[6][2] = {{&c.wXmin, &c.wXmax}, {&c.wYmin, &c.wYmax}, {&c.wZmin, &c.wZmax},
                                   {&c.wRmin, &c.wRmax}, {&c.wUmin, &c.wUmax}, {&c.wVmin, &c.wVmax}};
    for (int a = 0; a < axes; ++a)
        *ranges[a][1] = 65535;
    c.wNumButtons = static_cast<std::uint32_t>(std::clamp(SDL_JoystickNumButtons(j), 0, 32));
    c.wPeriodMin = 10;
    c.wPeriodMax = 1000;
    // Z, R, U, V present; a hat with four directions and the diagonals.
    constexpr std::uint32_t hasAxis[6] = {0, 0, 1, 2, 4, 8};
    for (int a = 0; a < axes; ++a)
        c.wCaps |= hasAxis[a];
    if (SDL_JoystickNumHats(j) > 0) c.wCaps |= 16 | 32;
    c.wMaxAxes = 6;
    c.wNumAxes = static_cast<std::uint32_t>(axes);
    c.wMaxButtons = 32;
    copyName(c.szRegKey, "SDL");
    *caps = c;
    return JOYERR_NOERROR;
}

JoystickApi::Result SdlJoystickApi::joyGetPosEx(std::uint32_t id, JoyInfoEx* info) {
    if (info == nullptr) return MMSYSERR_INVALPARAM;
    if (info->dwSize != sizeof(JoyInfoEx)) return JOYERR_PARMS;
    Result rc = JOYERR_NOERROR;
    SDL_Joystick* j = deviceFor(id, rc);
    // A stick that is gone leaves the record as it was; the program's device check lets go of
    // what it held.
    if (j == nullptr) return rc;

    const std::uint32_t flags = info->dwFlags;
    std::uint32_t* axes[6] = {&info->dwXpos, &info->dwYpos, &info->dwZpos,
                              &info->dwRpos, &info->dwUpos, &info->dwVpos};
    for (int a = 0; a < 6; ++a) {
        if (flags & kAxisFlags[a]) *axes[a] = axisPosition(j, a);
    }
    if (flags & JOY_RETURNBUTTONS) {
        info->dwButtons = buttonWord(j, 32);
        info->dwButtonNumber = static_cast<std::uint32_t>(std::popcount(info->dwButtons));
    }
    if (flags & JOY_RETURNPOV) info->dwPOV = povOf(j);
    return JOYERR_NOERROR;
}

JoystickApi::Result SdlJoystickApi::joyGetPos(std::uint32_t id, JoyInfo* info) {
    if (info == nullptr) return MMSYSERR_INVALPARAM;
    Result rc = JOYERR_NOERROR;
    SDL_Joystick* j = deviceFor(id, rc);
    if (j == nullptr) return rc;
    info->wXpos = axisPosition(j, 0);
    info->wYpos = axisPosition(j, 1);
    info->wZpos = axisPosition(j, 2);
    info->wButtons = buttonWord(j, 4);
    return JOYERR_NOERROR;
}

int attachVirtualStick(const char* name, int axes, int buttons, int hats, bool gamepad) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = gamepad ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_FLIGHT_STICK;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name;
    return SDL_JoystickAttachVirtualEx(&desc);
}

} // namespace vantaro
