// Start-up in the program core: what it restores and writes, in which order, and what it tells
// the user when a stored value cannot be used.
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vantaro {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::putBytes;

// A front end's share of start-up, as it was told.
struct RecordedStages final : StartupStages {
    bool gloveStarted(const GloveWidgets& shown) override {
        gloveWidgets = shown;
        return !closeDuringSplash;
    }
    void nextActionRestored(std::int16_t number, std::int16_t channel) override { next = {number, channel}; }
    void restore(Control c, std::int32_t value) override { restored.emplace_back(c, value); }
    void editorStep(Control c) override { editorSteps.push_back(c); }

    bool closeDuringSplash = false;
    GloveWidgets gloveWidgets{false, false, false, false};
    std::pair<int, int> next{-1, -1};
    std::vector<std::pair<Control, std::int32_t>> restored;
    std::vector<Control> editorSteps;
};

const std::vector<Control> kEditorSliders = {Control::Increment, Control::Number, Control::Channel,
                                             Control::Low,       Control::High,   Control::Delay};

TEST(StartUp, AFirstRunWritesItsKeysInOrderAndTheCentreFollowsTheStick) {
    test::TempFolder folder;
    test::CoreRig rig(folder.path());
    RecordedStages stages;
    const StartupResult r = rig->start(stages);
    EXPECT_EQ(r.outcome, StartupResult::Outcome::Running);
    EXPECT_TRUE(r.reports.empty());
    EXPECT_TRUE(rig.ui.messages.empty());
    // No device is listed, so none is stored: the first-run keys alone.
    EXPECT_EQ(fileBytes(folder / "jmconfig.ini"),
              "[Joystick]\ncalibrated= 0\nCenterWidth= 7000\n"
              "[General]\nIncrement= 0\nLow= 0\nDelay= 0\nHigh= 127\nconfig= 1\nbigform= 1\n");
    EXPECT_TRUE(rig->joystickState().autoCentre);
    EXPECT_EQ(rig->joystickState().centreWidth, 7000);
    EXPECT_EQ(rig->expandedView(), 1);
    EXPECT_TRUE(stages.gloveWidgets.noGloveLabel) << "no bridge: the no-glove widgets";
    EXPECT_EQ(stages.next, (std::pair<int, int>{0, 0}));
    EXPECT_EQ(stages.restored, (std::vector<std::pair<Control, std::int32_t>>{
                                   {Control::Wrap, 0},
                                   {Control::Toggle, 0},
                                   {Control::CentreWidth, 7000},
                                   {Control::HandThreshold, 0},
                                   {Control::FingerThreshold, 0},
                                   {Control::Increment, 0},
                                   {Control::Number, 0},
                                   {Control::Channel, 0},
                                   {Control::Low, 0},
                                   {Control::High, 127},
                                   {Control::Delay, 0},
                               }));
    EXPECT_EQ(stages.editorSteps, kEditorSliders);
    EXPECT_EQ(fileBytes(folder / "jmconfig.dat"), "") << "the list file is made, empty";

    // The next start finds the file configured: the centre no longer follows the stick.
    test::CoreRig again(folder.path());
    again->start();
    EXPECT_FALSE(again->joystickState().autoCentre);
}

TEST(StartUp, WhatCannotBeRestoredIsToldInOrderAndTheRestGoesOn) {
    test::TempFolder folder;
    putBytes(folder / "jmconfig.ini", "[General]\nconfig= 1\nbigform= 0\nChannel= 40000\nController= 64\n"
                                      "Wrap= 3\nHigh= 1e12\n"
                                      "[Joystick]\ndwXpos= 100\ndwYpos= 1e10\nCenterWidth= 25000\n"
                                      "CenterP5Hand= 50\ncalibrated= 1\n"
                                      "[Midi]\nDeviceNumber= 99999\n");
    test::CoreRig rig(folder.path());
    RecordedStages stages;
    const StartupResult r = rig->start(stages);
    const std::vector<std::string> told = {
        "Overflow  6",                 // dwYpos
        "Overflow  6",                 // Channel
        "Invalid property value  380", // Wrap 3
        "Invalid property value  380", // CenterWidth 25000
        "Overflow  6",                 // High
        "Overflow  6",                 // the MIDI device number
    };
    EXPECT_EQ(r.reports, told);
    EXPECT_EQ(rig.ui.messages, told);
    EXPECT_EQ(r.outcome, StartupResult::Outcome::Running);

    EXPECT_EQ(rig->expandedView(), 0);
    EXPECT_EQ(rig->joystickState().calibrationCentre.dwXpos, 100u);
    EXPECT_EQ(rig->joystickState().calibrationCentre.dwYpos, 0u);
    EXPECT_EQ(rig->joystickState().centreWidth, 0) << "a refused value leaves the control as it was";
    EXPECT_EQ(rig->glove().handThreshold, 50);
    EXPECT_EQ(stages.next, (std::pair<int, int>{64, 0}));
    for (const auto& [control, value] : stages.restored) {
        EXPECT_NE(control, Control::Wrap);
        EXPECT_NE(control, Control::CentreWidth);
        EXPECT_NE(control, Control::High);
    }
    EXPECT_EQ(stages.editorSteps, kEditorSliders) << "every change step runs, refused or not";
}

TEST(StartUp, ClosedWhileTheSplashIsUpItReadsNoSettings) {
    test::TempFolder folder;
    test::CoreRig rig(folder.path());
    RecordedStages stages;
    stages.closeDuringSplash = true;
    EXPECT_EQ(rig->start(stages).outcome, StartupResult::Outcome::Stopped);
    EXPECT_FALSE(fs::exists(folder / "jmconfig.ini"));
    EXPECT_FALSE(fs::exists(folder / "jmconfig.dat"));
    EXPECT_TRUE(stages.restored.empty());
}

// vantaro-replay --settings: the program's start-up on a user's file, which is never written.
TEST(StartUp, SettingsReadOnlyApplyInMemoryAndTheFileStaysAsItWas) {
    test::TempFolder folder;
    const fs::path ini = folder / "user.ini";
    const std::string unconfigured = "[Joystick]\nCenterWidth= 300\nCenterP5Finger= 20\n";
    putBytes(ini, unconfigured);
    CoreOptions options;
    options.readOnlySettings = ini;
    test::CoreRig firstRun({}, nullptr, nullptr, nullptr, nullptr, options);
    firstRun->start();
    EXPECT_TRUE(firstRun->joystickState().autoCentre) << "not configured: a first run";
    EXPECT_EQ(firstRun->joystickState().centreWidth, 7000) << "its values, kept in memory";
    EXPECT_EQ(firstRun->glove().fingerThreshold, 20);
    EXPECT_TRUE(firstRun->storeSetting(settings::low, 5));
    EXPECT_EQ(fileBytes(ini), unconfigured);

    putBytes(ini, "[General]\nconfig= 1\n[Joystick]\ndwXpos= 32768\ndwRpos= 1000\nCenterWidth= 300\n"
                  "CenterP5Hand= 40\n");
    const std::string configured = fileBytes(ini);
    test::CoreRig stored({}, nullptr, nullptr, nullptr, nullptr, options);
    stored.stick.present = true;
    stored->start();
    EXPECT_FALSE(stored->joystickState().autoCentre);
    EXPECT_EQ(stored->joystickState().calibrationCentre.dwXpos, 32768u);
    EXPECT_EQ(stored->joystickState().calibrationCentre.dwRpos, 1000u);
    EXPECT_EQ(stored->joystickState().centreWidth, 300);
    EXPECT_EQ(stored->glove().handThreshold, 40);
    EXPECT_EQ(stored->joystick().chosenPosition(), 0) << "the stored choice, position 0";
    stored->calibrate();
    EXPECT_EQ(fileBytes(ini), configured);
    EXPECT_TRUE(stored.ui.messages.empty());
}

// A setting that cannot be written is told once; once a write succeeds, the next failure is told
// again. The action list's "Size" is a setting like the others.
TEST(Settings, AFailureIsToldOnceUntilAWriteSucceedsAndTheSizeKeyToo) {
    test::TempFolder folder;
    const fs::path ini = folder / "jmconfig.ini";
    test::CoreRig rig(folder.path());
    fs::create_directory(ini); // cannot be written
    EXPECT_FALSE(rig->storeSetting(settings::wrap, 1));
    EXPECT_FALSE(rig->storeSetting(settings::toggle, 1));
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0],
              "The settings could not be written to " + ini.string() +
                  ".  Changed settings will not be kept until the file can be written again.");

    fs::remove(ini);
    EXPECT_TRUE(rig->storeSetting(settings::wrap, 1));
    fs::remove(ini);
    fs::create_directory(ini);
    EXPECT_FALSE(rig->storeSetting(settings::wrap, 0));
    EXPECT_EQ(rig.ui.messages.size(), 2u) << "told again after the write that succeeded";

    // The list is written, the "Size" after it is not: that failure is seen too.
    fs::remove(ini);
    ASSERT_TRUE(rig->storeSetting(settings::wrap, 0));
    fs::remove(ini);
    fs::create_directory(ini);
    EXPECT_EQ(rig->exportActions(folder / "set.dat"), SaveOutcome::Saved);
    EXPECT_TRUE(fs::exists(folder / "set.dat"));
    EXPECT_EQ(rig.ui.messages.size(), 3u);
    EXPECT_EQ(rig.ui.messages.back(), rig.ui.messages[0]);
}

} // namespace
} // namespace vantaro
