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

    // One update of SDL's devices: a stick gone, or one SDL has not given an id yet.
    bool devicesChanged() override;
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
    bool slotClosed_ = false; // a device went away since the last devicesChanged()
    bool available_ = false;
};

// Attaches one of SDL's virtual joysticks, which goes through SDL's own joystick code as a stick
// plugged into the machine does (for tests, benchmarks and the screenshot program). SDL's
// joystick part must be running (an SdlJoystickApi exists). SDL's device index, or -1.
int attachVirtualStick(const char* name, int axes = 6, int buttons = 32, int hats = 1, bool gamepad = false);

} // namespace vantaro
