#include "devices/sdl_joystick.h"

#include "support/virtual_stick.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vantaro;
using vantaro::test::VirtualStick;

namespace {

class SdlJoystickApiTest : public ::testing::Test {
protected:
    SdlJoystickApiTest() {
        vantaro::test::quietSdlHints();
        api = std::make_unique<SdlJoystickApi>();
    }
    ~SdlJoystickApiTest() override {
        // Sticks go before SDL's joystick subsystem does.
        sticks.clear();
        api.reset();
    }

    VirtualStick& plug(const std::string& name, int axes = 6, int buttons = 32, int hats = 1) {
        sticks.push_back(std::make_unique<VirtualStick>(name, axes, buttons, hats));
        return *sticks.back();
    }

    JoyInfoEx readEx(std::uint32_t id, JoystickApi::Result expected = JoystickApi::JOYERR_NOERROR) {
        JoyInfoEx r{};
        r.dwSize = sizeof r;
        r.dwFlags = JoystickApi::JOY_RETURNALL;
        EXPECT_EQ(api->joyGetPosEx(id, &r), expected);
        return r;
    }

    std::string nameOf(std::uint32_t id) {
        JoyCapsA caps{};
        if (api->joyGetDevCapsA(id, &caps, sizeof caps) != 0) return "<none>";
        return std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
    }

    std::unique_ptr<SdlJoystickApi> api;
    std::vector<std::unique_ptr<VirtualStick>> sticks;
};

TEST_F(SdlJoystickApiTest, AxesAreScaledOntoTheUnsignedRange) {
    ASSERT_TRUE(api->available());
    VirtualStick& s = plug("Axes");
    const std::int16_t in[6] = {-32768, 32767, 0, -1, 100, -100};
    for (int a = 0; a < 6; ++a)
        s.axis(a, in[a]);
    const JoyInfoEx r = readEx(0);
    EXPECT_EQ(r.dwXpos, 0u);
    EXPECT_EQ(r.dwYpos, 65535u);
    EXPECT_EQ(r.dwZpos, 32768u);
    EXPECT_EQ(r.dwRpos, 32767u);
    EXPECT_EQ(r.dwUpos, 32868u);
    EXPECT_EQ(r.dwVpos, 32668u);

    JoyInfo basic{};
    EXPECT_EQ(api->joyGetPos(0, &basic), 0u);
    EXPECT_EQ(basic.wXpos, 0u);
    EXPECT_EQ(basic.wYpos, 65535u);
    EXPECT_EQ(basic.wZpos, 32768u);
}

TEST_F(SdlJoystickApiTest, ButtonsFormTheButtonWordAndAreCounted) {
    VirtualStick& s = plug("Buttons");
    s.button(0, true);
    s.button(2, true);
    s.button(31, true);
    JoyInfoEx r = readEx(0);
    EXPECT_EQ(r.dwButtons, 0x80000005u);
    EXPECT_EQ(r.dwButtonNumber, 3u);

    JoyInfo basic{};
    EXPECT_EQ(api->joyGetPos(0, &basic), 0u);
    EXPECT_EQ(basic.wButtons, 0x5u) << "the basic record holds only buttons 1 to 4";

    s.button(0, false);
    r = readEx(0);
    EXPECT_EQ(r.dwButtons, 0x80000004u);
    EXPECT_EQ(r.dwButtonNumber, 2u);
}

TEST_F(SdlJoystickApiTest, ButtonsBeyondThirtyTwoAreLeftOut) {
    VirtualStick& s = plug("Many buttons", 2, 40, 0);
    s.button(33, true);
    s.button(1, true);
    const JoyInfoEx r = readEx(0);
    EXPECT_EQ(r.dwButtons, 0x2u);
    EXPECT_EQ(r.dwButtonNumber, 1u);
}

TEST_F(SdlJoystickApiTest, HatGivesHundredthsOfADegree) {
    VirtualStick& s = plug("Hat");
    const struct {
        Uint8 hat;
        std::uint32_t pov;
    } cases[] = {{SDL_HAT_UP, 0},          {SDL_HAT_RIGHTUP, 4500},
                 {SDL_HAT_RIGHT, 9000},    {SDL_HAT_RIGHTDOWN, 13500},
                 {SDL_HAT_DOWN, 18000},    {SDL_HAT_LEFTDOWN, 22500},
                 {SDL_HAT_LEFT, 27000},    {SDL_HAT_LEFTUP, 31500},
                 {SDL_HAT_CENTERED, 65535}};
    for (const auto& c : cases) {
        s.hat(c.hat);
        EXPECT_EQ(readEx(0).dwPOV, c.pov) << "hat " << int(c.hat);
    }
}

TEST_F(SdlJoystickApiTest, MissingAxesAndHatReadAsRestingValues) {
    VirtualStick& s = plug("Two axes", 2, 4, 0);
    s.axis(1, 32767);
    const JoyInfoEx r = readEx(0);
    EXPECT_EQ(r.dwYpos, 65535u);
    EXPECT_EQ(r.dwZpos, 0u);
    EXPECT_EQ(r.dwVpos, 0u);
    EXPECT_EQ(r.dwPOV, 65535u);

    JoyCapsA caps{};
    ASSERT_EQ(api->joyGetDevCapsA(0, &caps, sizeof caps), 0u);
    EXPECT_EQ(caps.wNumAxes, 2u);
    EXPECT_EQ(caps.wNumButtons, 4u);
    EXPECT_EQ(caps.wXmax, 65535u);
    EXPECT_EQ(caps.wZmax, 0u);
}

TEST_F(SdlJoystickApiTest, OnlyTheRequestedFieldsAreFilled) {
    VirtualStick& s = plug("Flags");
    s.axis(0, 32767);
    s.axis(1, 32767);
    s.button(0, true);
    JoyInfoEx r{};
    r.dwSize = sizeof r;
    r.dwFlags = JoystickApi::JOY_RETURNX | JoystickApi::JOY_RETURNPOV;
    r.dwYpos = 7;
    r.dwButtons = 9;
    ASSERT_EQ(api->joyGetPosEx(0, &r), 0u);
    EXPECT_EQ(r.dwXpos, 65535u);
    EXPECT_EQ(r.dwYpos, 7u);
    EXPECT_EQ(r.dwButtons, 9u);
    EXPECT_EQ(r.dwPOV, 65535u);
}

TEST_F(SdlJoystickApiTest, CapabilitiesCarryTheProductNameCutToTheField) {
    plug("Short stick");
    plug(std::string(40, 'x'));
    // 30 ASCII characters and a two-byte character that would straddle the field's end.
    plug(std::string(30, 'a') + "\xC3\xA9" + "z");
    EXPECT_EQ(nameOf(0), "Short stick");
    EXPECT_EQ(nameOf(1), std::string(31, 'x'));
    EXPECT_EQ(nameOf(2), std::string(30, 'a'));
}

TEST_F(SdlJoystickApiTest, BadCallsFailWithTheirCodes) {
    plug("Stick");
    JoyCapsA caps{};
    EXPECT_EQ(api->joyGetDevCapsA(0, &caps, sizeof caps - 1), JoystickApi::JOYERR_PARMS);
    EXPECT_EQ(api->joyGetDevCapsA(0, nullptr, sizeof caps), JoystickApi::MMSYSERR_INVALPARAM);
    EXPECT_EQ(api->joyGetDevCapsA(1, &caps, sizeof caps), JoystickApi::JOYERR_PARMS) << "no device there";
    EXPECT_EQ(api->joyGetDevCapsA(SdlJoystickApi::kDeviceIds, &caps, sizeof caps),
              JoystickApi::MMSYSERR_BADDEVICEID);

    JoyInfoEx r{};
    r.dwSize = 40;
    r.dwFlags = JoystickApi::JOY_RETURNALL;
    EXPECT_EQ(api->joyGetPosEx(0, &r), JoystickApi::JOYERR_PARMS);
    EXPECT_EQ(api->joyGetPosEx(0, nullptr), JoystickApi::MMSYSERR_INVALPARAM);
    readEx(1, JoystickApi::JOYERR_UNPLUGGED);
    readEx(SdlJoystickApi::kDeviceIds, JoystickApi::JOYERR_PARMS);
    JoyInfo basic{};
    EXPECT_EQ(api->joyGetPos(5, &basic), JoystickApi::JOYERR_UNPLUGGED);
    EXPECT_EQ(api->joyGetNumDevs(), SdlJoystickApi::kDeviceIds);
}

TEST_F(SdlJoystickApiTest, TwoSticksKeepTheirIdsWhenOneIsUnplugged) {
    VirtualStick& first = plug("First");
    VirtualStick& second = plug("Second");
    first.button(0, true);
    second.button(1, true);
    EXPECT_EQ(readEx(0).dwButtons, 1u);
    EXPECT_EQ(readEx(1).dwButtons, 2u);

    first.unplug();
    JoyInfoEx r{};
    r.dwSize = sizeof r;
    r.dwFlags = JoystickApi::JOY_RETURNALL;
    r.dwXpos = 0x1234;
    r.dwButtons = 0x1234;
    r.dwPOV = 9000;
    EXPECT_EQ(api->joyGetPosEx(0, &r), JoystickApi::JOYERR_UNPLUGGED);
    // A failed reading leaves the record as it was; letting go is the program's device check's.
    EXPECT_EQ(r.dwXpos, 0x1234u);
    EXPECT_EQ(r.dwButtons, 0x1234u);
    EXPECT_EQ(r.dwPOV, 9000u);
    JoyInfo basic{};
    EXPECT_EQ(api->joyGetPos(0, &basic), JoystickApi::JOYERR_UNPLUGGED);
    EXPECT_EQ(nameOf(0), "<none>");
    // The other stick is still read under its own id.
    EXPECT_EQ(readEx(1).dwButtons, 2u);
    EXPECT_EQ(nameOf(1), "Second");

    // A stick plugged in later takes the free id.
    VirtualStick& third = plug("Third");
    third.button(2, true);
    EXPECT_EQ(readEx(0).dwButtons, 4u);
    EXPECT_EQ(nameOf(0), "Third");
    EXPECT_EQ(nameOf(1), "Second");
}

} // namespace
