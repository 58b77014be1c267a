#pragma once
// The joystick interface over SDL2. Devices are given fixed ids (slots) in the order they
// appear; a device that goes away leaves its id empty, so the id a user chose never moves
// to another stick while the program runs, and reads of that id fail with JOYERR_UNPLUGGED.
#include "devices/joystick_api.h"

#include <array>
#include <cstdint>

struct _SDL_Joystick;

namespace vantaro {

class SdlJoystickApi final : public JoystickApi {
public:
    // Device ids offered, as many as the platform's driver offers.
    static constexpr std::uint32_t kDeviceIds = 16;

    // Starts SDL's joystick subsystem (and only that); no event loop is needed.
    SdlJoystickApi();
    ~SdlJoystickApi() override;
    SdlJoystickApi(const SdlJoystickApi&) = delete;
    SdlJoystickApi& operator=(const SdlJoystickApi&) = delete;

    // False when SDL's joystick subsystem could not start; every call then fails.
    bool available() const { return available_; }

    std::uint32_t joyGetNumDevs() override;
    Result joyGetDevCapsA(std::uint32_t id, JoyCapsA* caps, std::uint32_t capsSize) override;
    Result joyGetPosEx(std::uint32_t id, JoyInfoEx* info) override;
    Result joyGetPos(std::uint32_t id, JoyInfo* info) override;

private:
    struct Slot {
        _SDL_Joystick* joystick = nullptr;
        std::int32_t instance = -1;
    };

    void update();          // fresh device state; closes devices that went away
    void adoptNewDevices(); // gives every newly seen device the lowest free id
    // The open device for id after an update, or nullptr with the failure code in rc.
    _SDL_Joystick* deviceFor(std::uint32_t id, Result& rc);

    std::array<Slot, kDeviceIds> slots_{};
    bool available_ = false;
};

} // namespace vantaro
