#include "devices/joystick.h"

#include "devices/sdl_joystick.h"
#include "engine/numbers.h"
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/virtual_stick.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace vantaro;
using vantaro::test::VirtualStick;

namespace {

struct RecordingView final : JoystickView {
    void clearJoystickEntries() override { entries.clear(); }
    void addJoystickEntry(std::string_view name) override { entries.emplace_back(name); }
    void showSelectedEntry(int position) override { selected = position; }
    void hideCalibrationPrompt() override { promptHidden = true; }
    void hideCalibrateButton() override { buttonHidden = true; }
    void showCalibrateButton(bool) override { buttonHidden = false; }
    void setRawLabel(RawLabels labels, int index, std::string_view caption) override {
        ++labelWrites;
        (labels == RawLabels::Joystick ? label1 : label3)[index] = std::string(caption);
    }

    std::vector<std::string> entries;
    int selected = -1;
    bool promptHidden = false;
    bool buttonHidden = false;
    int labelWrites = 0;
    std::map<int, std::string> label1, label3;
};

class JoystickTest : public ::testing::Test {
protected:
    JoystickTest() {
        vantaro::test::quietSdlHints();
        api = std::make_unique<SdlJoystickApi>();
        dir = std::filesystem::temp_directory_path() /
              ("vantaro-joystick-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ini = dir / "jmconfig.ini";
        // A configured file in the compact view: no first run unless a test asks for one.
        EXPECT_TRUE(writeSetting(ini, "General", "config", " 1"));
        EXPECT_TRUE(writeSetting(ini, "General", "bigform", " 0"));
    }
    ~JoystickTest() override {
        sticks.clear();
        api.reset();
        std::filesystem::remove_all(dir);
    }

    VirtualStick& plug(const std::string& name) {
        sticks.push_back(std::make_unique<VirtualStick>(name));
        return *sticks.back();
    }
    // The joystick as the program core holds it after start-up, with this test's view of the
    // list and labels. What start-up could not use is in reports.
    const Joystick& start() {
        CoreOptions options;
        options.dataFolder = dir;
        CoreViews views = nullViews.views();
        core = std::make_unique<ProgramCore>(
            CoreDevices{*api, midi, inputs, nullptr},
            CoreViews{views.actionList, views.status, view, views.outputs, views.lag}, ui, clock, options);
        reports = core->start().reports;
        return core->joystick();
    }
    // One tick of the program, in the expanded or the compact view.
    void poll(bool expanded = false) {
        core->setExpandedView(expanded ? 1 : 0);
        core->tick();
    }
    // Every axis centred at c.
    void centres(std::uint32_t c) {
        JoyInfoEx r;
        r.dwXpos = r.dwYpos = r.dwZpos = r.dwRpos = r.dwUpos = r.dwVpos = c;
        core->setCentres(r);
    }
    std::string iniText() {
        std::ifstream in(ini);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void store(std::string_view key, std::string_view value) {
        ASSERT_TRUE(writeSetting(ini, "Joystick", key, value));
    }

    std::unique_ptr<SdlJoystickApi> api;
    std::vector<std::unique_ptr<VirtualStick>> sticks;
    std::filesystem::path dir, ini;
    RecordingView view;
    NullViews nullViews;
    test::FakeMidiOut midi;
    NoMidiInputs inputs;
    test::ScriptedUi ui;
    ManualClock clock;
    std::unique_ptr<ProgramCore> core;
    std::vector<std::string> reports;
};

const std::vector<std::string> kOverflow = {"Overflow  6"};

TEST_F(JoystickTest, ListsOnlyIdsWithCapabilitiesAndSelectsTheStoredPosition) {
    plug("Stick A");
    VirtualStick& b = plug("Stick B");
    VirtualStick& c = plug("Stick C");
    api->joyGetNumDevs(); // all three have their ids
    b.unplug();           // id 1 now fails its capabilities query
    c.button(4, true);
    store("DeviceNumber", " 1");

    const Joystick& j = start();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(view.entries, (std::vector<std::string>{"Stick A", "Stick C"}));
    EXPECT_EQ(j.joystickCount(), 2);
    EXPECT_EQ(j.joystickIds()[1], 2);
    EXPECT_EQ(view.selected, 1);
    EXPECT_EQ(j.joystickId(), 2);
    EXPECT_FALSE(view.promptHidden);

    poll();
    EXPECT_EQ(core->captureRecord().buttonMask, 1 << 4) << "the second entry polls id 2";

    // Choosing the first entry polls id 0 and stores its list position.
    EXPECT_TRUE(core->selectJoystick(0));
    EXPECT_EQ(j.joystickId(), 0);
    EXPECT_NE(iniText().find("DeviceNumber= 0"), std::string::npos) << iniText();
    EXPECT_FALSE(core->selectJoystick(2));
    EXPECT_EQ(j.joystickId(), 0);
}

TEST_F(JoystickTest, AStoredPositionOutsideTheListSelectsNothing) {
    VirtualStick& a = plug("Only stick");
    a.button(0, true);
    store("DeviceNumber", " 1");
    const Joystick& j = start();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(view.selected, -1);
    EXPECT_EQ(j.joystickId(), 0);
    EXPECT_NE(iniText().find("DeviceNumber= 1"), std::string::npos) << "left as stored";
    poll();
    EXPECT_EQ(core->captureRecord().buttonMask, 1) << "device id 0 is polled";
}

TEST_F(JoystickTest, StoredPositionsThatAreNotSmallNumbers) {
    plug("Stick");
    store("DeviceNumber", "70000");
    start();
    EXPECT_EQ(reports, kOverflow);
    EXPECT_EQ(view.selected, -1);

    view = RecordingView{};
    store("DeviceNumber", "junk");
    start();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(view.selected, 0) << "text without a number reads as 0";

    view = RecordingView{};
    store("DeviceName", ""); // the choice above stored its name too: back to a file without one
    store("DeviceNumber", "-1");
    start();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(view.selected, -1);
}

TEST_F(JoystickTest, WithoutAJoystickThePollMakesTheHatCentredAndKeepsTheRest) {
    start();
    EXPECT_TRUE(view.entries.empty());
    EXPECT_TRUE(view.promptHidden);
    EXPECT_TRUE(view.buttonHidden);
    poll(true);
    EXPECT_EQ(view.labelWrites, 0);

    // The poll itself, on a capture that holds something.
    Joystick none(*api);
    EXPECT_EQ(none.listJoysticks(std::int16_t{0}), 0);
    JoystickState state;
    state.joystickReading.dwXpos = 7;
    ActionRecord capture;
    capture.povDirection = 9000;
    capture.buttonMask = 6;
    capture.axisMask = 3;
    const Joystick::Polled polled = none.readJoystick(state, capture, true);
    EXPECT_FALSE(polled.basic || polled.extended) << "no device call";
    EXPECT_EQ(capture.povDirection, 65535);
    EXPECT_EQ(capture.buttonMask, 6);
    EXPECT_EQ(capture.axisMask, 3);
    EXPECT_EQ(state.joystickReading.dwXpos, 7u);
}

TEST_F(JoystickTest, DeadZoneEdgesBelongToTheZone) {
    VirtualStick& s = plug("Stick");
    start();
    centres(32768);
    core->setCentreWidth(7000, false);

    // Readings 25768 and 39768 lie on the edges; one unit further is outside.
    const std::int16_t inside[6] = {25768 - 32768, 39768 - 32768, 0, 25768 - 32768, 39768 - 32768, 0};
    for (int a = 0; a < 6; ++a)
        s.axis(a, inside[a]);
    poll();
    EXPECT_EQ(core->joystickState().joystickReading.dwXpos, 25768u);
    EXPECT_EQ(core->joystickState().joystickReading.dwYpos, 39768u);
    EXPECT_EQ(core->captureRecord().axisMask, 0);

    const std::int16_t outside[6] = {25767 - 32768, 0, 39769 - 32768, 0, 25767 - 32768, 39769 - 32768};
    for (int a = 0; a < 6; ++a)
        s.axis(a, outside[a]);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 1 | 4 | 16 | 32);

    // Width 0: one unit from the centre is off centre.
    core->setCentreWidth(0, true);
    for (int a = 0; a < 6; ++a)
        s.axis(a, 0);
    s.axis(3, 1);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 8);
}

TEST_F(JoystickTest, CentresNearTheThirtyTwoBitLimitsDoNotOverflow) {
    VirtualStick& s = plug("Stick");
    start();
    s.axis(0, 32767);  // X 65535
    s.axis(1, -32768); // Y 0
    // Z, R, U and V rest at 32768.
    constexpr std::int32_t big = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t small = std::numeric_limits<std::int32_t>::min();
    JoyInfoEx c;
    c.dwXpos = static_cast<std::uint32_t>(big);
    c.dwYpos = static_cast<std::uint32_t>(small);
    c.dwZpos = static_cast<std::uint32_t>(big);
    c.dwRpos = static_cast<std::uint32_t>(small);
    c.dwUpos = c.dwVpos = 32768;
    core->setCentres(c);
    core->setCentreWidth(20000, false);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 1 | 2 | 4 | 8);

    // The widest width: a centre at the top reaches down to 0, one at the bottom up to -1.
    core->setCentreWidth(big, false);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 2 | 8);
    c.dwXpos = static_cast<std::uint32_t>(small);
    c.dwYpos = static_cast<std::uint32_t>(big);
    core->setCentres(c);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 1 | 8);

    // A negative width from a hand-edited file: nothing lies inside.
    core->setCentreWidth(small, false);
    core->setCentres(core->joystickState().joystickReading);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 63);
}

TEST_F(JoystickTest, AFirstRunKeepsEveryAxisCentredUntilCalibrate) {
    VirtualStick& s = plug("Stick");
    std::filesystem::remove(ini); // a new settings file
    start();
    ASSERT_TRUE(core->joystickState().autoCentre);
    core->setCentreWidth(0, false);
    const std::int16_t moves[][6] = {{32767, -32768, 100, 0, -5, 7}, {-32768, 32767, 0, 20000, 1, -1}};
    for (const auto& m : moves) {
        for (int a = 0; a < 6; ++a)
            s.axis(a, m[a]);
        poll();
        EXPECT_EQ(core->captureRecord().axisMask, 0);
        EXPECT_EQ(core->joystickState().calibrationCentre.dwRpos,
                  core->joystickState().joystickReading.dwRpos);
    }
    // Calibrate ends it: the last reading stays the centre.
    core->calibrate();
    s.axis(0, 0);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 1);
    EXPECT_EQ(core->joystickState().calibrationCentre.dwXpos, 0u);
    EXPECT_FALSE(core->joystickState().autoCentre);
}

TEST_F(JoystickTest, CalibrateMakesTheLastReadingTheCentreAndStoresFourAxes) {
    VirtualStick& s = plug("Stick");
    start();
    core->setCentreWidth(7000, false);
    const std::int16_t held[6] = {20000, -20000, 12000, -12000, 30000, 25000};
    for (int a = 0; a < 6; ++a)
        s.axis(a, held[a]);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 63) << "centres start at 0";

    s.axis(0, 0); // moved after the poll: calibration does not read again
    core->calibrate();
    EXPECT_TRUE(view.promptHidden);
    EXPECT_FALSE(view.buttonHidden);
    EXPECT_EQ(core->joystickState().calibrationCentre.dwXpos, 52768u);
    EXPECT_EQ(core->joystickState().calibrationCentre.dwVpos, 57768u);
    const std::string text = iniText();
    const char* lines[] = {"dwXpos= 52768", "dwYpos= 12768", "dwZpos= 44768", "dwRpos= 20768",
                           "calibrated= 1"};
    std::size_t at = 0;
    for (const char* line : lines) {
        const std::size_t found = text.find(line);
        ASSERT_NE(found, std::string::npos) << line << " in\n" << text;
        EXPECT_GT(found + 1, at) << "stored in order";
        at = found;
    }
    EXPECT_EQ(text.find("dwUpos"), std::string::npos);
    EXPECT_EQ(text.find("dwVpos"), std::string::npos);

    // Held where it was calibrated, apart from X which moved to the middle.
    for (int a = 0; a < 6; ++a)
        s.axis(a, held[a]);
    s.axis(0, 0);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask, 1);
}

TEST_F(JoystickTest, CentreWidthIsStoredAndUsedFromTheNextPoll) {
    VirtualStick& s = plug("Stick");
    start();
    JoyInfoEx c;
    c.dwXpos = 32768;
    core->setCentres(c);
    core->setCentreWidth(7000, false);
    s.axis(0, 5000);
    poll();
    EXPECT_EQ(core->captureRecord().axisMask & 1, 0);
    core->setCentreWidth(4999, true);
    EXPECT_NE(iniText().find("CenterWidth= 4999"), std::string::npos) << iniText();
    poll();
    EXPECT_EQ(core->captureRecord().axisMask & 1, 1);
}

TEST_F(JoystickTest, ExpandedViewLabelsAreWrittenOnlyWhenTheyChange) {
    VirtualStick& s = plug("Stick");
    start();
    s.axis(0, -32768);
    s.axis(3, 100);
    s.button(0, true);
    s.button(5, true);
    s.hat(SDL_HAT_LEFTUP);
    poll(false);
    EXPECT_EQ(view.labelWrites, 0) << "hidden labels are not touched";
    EXPECT_EQ(core->captureRecord().povDirection, 31500);
    EXPECT_EQ(core->captureRecord().buttonMask, 0x21);

    poll(true);
    EXPECT_EQ(view.label1[0], "X Position:  0");
    EXPECT_EQ(view.label1[1], "Y Position:  32768");
    EXPECT_EQ(view.label1[3], "Buttons:  1");
    EXPECT_EQ(view.label3[0], "Rudder Position:  32868");
    EXPECT_EQ(view.label3[1], "U Position:  32768");
    EXPECT_EQ(view.label3[3], "Buttons:  33");
    EXPECT_EQ(view.label3[4], "Button Number:  2");
    EXPECT_EQ(view.label3[5], "Point-Of-View Hat:  31500");
    EXPECT_EQ(view.labelWrites, 10);

    poll(true);
    EXPECT_EQ(view.labelWrites, 10) << "nothing changed, nothing written";

    s.axis(1, 32767);
    poll(true);
    EXPECT_EQ(view.labelWrites, 11);
    EXPECT_EQ(view.label1[1], "Y Position:  65535");

    // A stick that comes changes the list: every label is written once more.
    VirtualStick& other = plug("Other");
    core->checkDevices();
    poll(true);
    EXPECT_EQ(view.labelWrites, 21);
    other.unplug();
}

TEST_F(JoystickTest, UnpluggedMidRunTheLastReadingStaysUntilTheDeviceCheckLetsGo) {
    VirtualStick& s = plug("Stick");
    start();
    JoyInfoEx c;
    c.dwXpos = 32768;
    core->setCentres(c);
    core->setCentreWidth(1000, false);
    s.axis(0, 32767);
    s.button(2, true);
    s.hat(SDL_HAT_RIGHT);
    poll(true);
    const int writes = view.labelWrites;
    s.unplug();
    for (int i = 0; i < 3; ++i)
        poll(true);
    EXPECT_EQ(view.labelWrites, writes) << "a failing reading leaves the labels alone";
    EXPECT_EQ(core->captureRecord().buttonMask, 4) << "a failed reading leaves the record as it was";

    core->checkDevices();
    poll(true);
    EXPECT_EQ(core->captureRecord().buttonMask, 0) << "no button may stay held by a stick that is gone";
    EXPECT_EQ(core->captureRecord().povDirection, 65535);
    EXPECT_EQ(core->captureRecord().axisMask & 1, 1);
    EXPECT_EQ(core->joystickState().joystickReading.dwXpos, 65535u);

    // Plugged back in, the same stick is chosen and read again.
    VirtualStick& again = plug("Stick");
    again.button(0, true);
    core->checkDevices();
    poll(true);
    EXPECT_EQ(core->captureRecord().buttonMask, 1);
    EXPECT_EQ(core->captureRecord().povDirection, 65535);
}

} // namespace

TEST_F(JoystickTest, TwoSticksOfOneNameAreToldApartByPosition) {
    plug("Twin");
    plug("Twin");
    store("DeviceName", "Twin");
    store("DeviceNumber", "1");
    start();
    EXPECT_EQ(core->joystick().chosenPosition(), 1) << "the stored position decides";
    const std::int32_t chosenId = core->joystick().joystickId();

    // The chosen one is pulled out: the other one of that name is not taken in its place.
    sticks[1]->unplug();
    core->checkDevices();
    EXPECT_EQ(core->joystick().chosenPosition(), -1);
    EXPECT_EQ(core->joystick().chosenName(), "Twin");
    plug("Twin");
    core->checkDevices();
    EXPECT_EQ(core->joystick().chosenPosition(), 1) << "the one that came back";
    EXPECT_EQ(core->joystick().joystickId(), chosenId);
}
