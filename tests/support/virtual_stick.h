#pragma once
// SDL virtual joysticks for the tests: they go through SDL's own joystick code, the same
// path a physical stick's values take.
#include "devices/sdl_joystick.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vantaro::test {

// Joystick tests must not pick up a stick that happens to be plugged into the machine
// through the HID layer; virtual ones are all they use.
inline void quietSdlHints() {
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
}

class VirtualStick {
public:
    explicit VirtualStick(const std::string& name, int axes = 6, int buttons = 32, int hats = 1)
        : name_(name) {
        const int index = attachVirtualStick(name_.c_str(), axes, buttons, hats);
        EXPECT_GE(index, 0) << SDL_GetError();
        handle_ = SDL_JoystickOpen(index);
        EXPECT_NE(handle_, nullptr) << SDL_GetError();
        instance_ = SDL_JoystickInstanceID(handle_);
    }
    ~VirtualStick() { unplug(); }
    VirtualStick(const VirtualStick&) = delete;
    VirtualStick& operator=(const VirtualStick&) = delete;

    void axis(int a, std::int16_t value) { EXPECT_EQ(SDL_JoystickSetVirtualAxis(handle_, a, value), 0); }
    void button(int b, bool down) { EXPECT_EQ(SDL_JoystickSetVirtualButton(handle_, b, down ? 1 : 0), 0); }
    void hat(Uint8 value) { EXPECT_EQ(SDL_JoystickSetVirtualHat(handle_, 0, value), 0); }

    // Pulls the stick out, as a user does mid-run.
    void unplug() {
        if (handle_ == nullptr) return;
        SDL_JoystickClose(handle_);
        handle_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == instance_) {
                EXPECT_EQ(SDL_JoystickDetachVirtual(i), 0);
                return;
            }
        }
    }

private:
    std::string name_;
    SDL_Joystick* handle_ = nullptr;
    SDL_JoystickID instance_ = -1;
};

} // namespace vantaro::test
