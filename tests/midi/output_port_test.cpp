// Choosing the output device: moving on past devices that fail, the message on the last one,
// the stored choice. (The path into a real JACK receiver is in the end-to-end test.)
#include "engine/numbers.h"
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantaro {
namespace {

std::string stored(const test::TempFolder& folder) {
    return readSetting(folder / "jmconfig.ini", "Midi", "DeviceNumber");
}

TEST(OutputChoice, FailedDevicesAreSkippedUntilOneOpensAndTheChoiceIsStored) {
    test::TempFolder folder;
    test::FakeMidiOut api({"Device 0", "Device 1", "Device 2"}, {MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER});
    test::CoreRig rig(folder.path(), &api);
    // No stored choice reads as position 0, which fails, and so on to the device that opens.
    ASSERT_TRUE(rig->start().reports.empty());
    EXPECT_EQ(rig.views.outputs.entries.size(), 3u);
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(rig.views.outputs.current, 2);
    EXPECT_TRUE(rig->midiSender().isOpen());
    EXPECT_EQ(stored(folder), "2");
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig->sendShortMessage(0x643C90), 0);
    EXPECT_EQ(api.sent, (std::vector<std::uint32_t>{0x643C90}));

    // A settings file that cannot be written: the choice still opens, the user is told once.
    std::filesystem::remove(folder / "jmconfig.ini");
    std::filesystem::create_directory(folder / "jmconfig.ini");
    EXPECT_TRUE(rig->selectOutput(0)); // fails, and on to device 2 again
    EXPECT_TRUE(rig->selectOutput(0));
    EXPECT_TRUE(rig->midiSender().isOpen());
    EXPECT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_FALSE(rig->selectOutput(3)) << "not in the list";
}

TEST(OutputChoice, TheLastFailureIsReportedAndStillStored) {
    test::TempFolder folder;
    test::FakeMidiOut api({"A", "B", "C"}, {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER});
    test::CoreRig rig(folder.path(), &api);
    rig->start();
    ASSERT_TRUE(rig->midiSender().isOpen());
    // Changing the choice closes the open device first, even though nothing opens after it.
    rig->selectOutput(1);
    EXPECT_EQ(std::count(api.closed.begin(), api.closed.end(), 100u), 1);
    EXPECT_TRUE(api.open.empty());
    EXPECT_FALSE(rig->midiSender().isOpen());
    ASSERT_EQ(rig.ui.messages, (std::vector<std::string>{"Couldn't open midi out, rc = 6"}));
    EXPECT_EQ(rig.views.outputs.current, 2);
    EXPECT_EQ(stored(folder), "2");
    EXPECT_EQ(rig->outputPort().lastResult(), MMSYSERR_NODRIVER);
    // Sends then fail with the invalid-handle code through the error window.
    EXPECT_EQ(rig->sendShortMessage(0x643C90), 5);
    EXPECT_EQ(rig.ui.midiErrors, (std::vector<std::string>{" 5 : Device handle is invalid."}));
}

TEST(OutputChoice, StartUpOpensOnlyAValidStoredPosition) {
    test::TempFolder folder;
    const auto ini = folder / "jmconfig.ini";
    test::FakeMidiOut api({"A", "B"});
    // Each start on its own: the stored number as the last run left it.
    const auto startWith = [&](const char* number) {
        EXPECT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", number));
        test::CoreRig rig(folder.path(), &api);
        return rig->start().reports;
    };

    EXPECT_TRUE(startWith(" 1.5").empty()); // rounds half to even: 2, no such entry
    EXPECT_TRUE(api.opened.empty());

    EXPECT_EQ(startWith("99999"), std::vector<std::string>{"Overflow  6"}); // no 16-bit number
    EXPECT_TRUE(api.opened.empty());

    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 1"));
    test::CoreRig rig(folder.path(), &api);
    EXPECT_TRUE(rig->start().reports.empty());
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(rig.views.outputs.current, 1);

    rig->shutDown();
    EXPECT_TRUE(api.open.empty());
    EXPECT_FALSE(rig->midiSender().isOpen());
}

} // namespace
} // namespace vantaro

namespace vantaro {
namespace {

TEST(OutputChoice, TheRollOverNeverLandsOnTheProgramsOwnPort) {
    test::TempFolder folder;
    test::FakeMidiOut api({"Synth", "Sampler", kVirtualOutputName},
                          {MMSYSERR_NODRIVER, MMSYSERR_ALLOCATED, MMSYSERR_NOERROR});
    test::CoreRig rig(folder.path(), &api);
    rig->start();
    // Both real devices failed: the message, and the virtual port was never tried.
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(rig.ui.messages, (std::vector<std::string>{"Couldn't open midi out, rc = 4"}));
    EXPECT_FALSE(rig->midiSender().isOpen());
    EXPECT_EQ(rig.views.outputs.current, 1);

    // Chosen on purpose, the virtual port opens.
    EXPECT_TRUE(rig->selectOutput(2));
    EXPECT_TRUE(rig->midiSender().isOpen());
}

TEST(OutputChoice, TheChosenDeviceIsFollowedByItsNameWhilePortsComeAndGo) {
    test::TempFolder folder;
    const auto ini = folder / "jmconfig.ini";
    test::FakeMidiOut api({"Synth", kVirtualOutputName});
    test::CoreRig rig(folder.path(), &api);
    rig->start();
    ASSERT_TRUE(rig->midiSender().isOpen());
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceName"), "Synth");

    // Another port comes first: the choice follows its device to position 1 and is stored so.
    api.names = {"Drums", "Synth", kVirtualOutputName};
    rig->checkDevices();
    EXPECT_EQ(rig.views.outputs.current, 1);
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceNumber"), "1");
    EXPECT_EQ(api.opened.size(), 1u) << "the open device stays open";

    // The synth goes: sends fail through the error window, the choice stays on it, shown last.
    api.names = {"Drums", kVirtualOutputName};
    api.open.clear(); // its port is gone
    rig->checkDevices();
    EXPECT_EQ(rig.views.outputs.entries,
              (std::vector<std::string>{"Drums", kVirtualOutputName, "Synth (not present)"}));
    EXPECT_EQ(rig.views.outputs.current, 2);
    EXPECT_EQ(rig->messageLog().text(), "The MIDI output \"Synth\" has gone.\r\n");
    EXPECT_EQ(rig->sendShortMessage(0x403C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(rig.ui.midiErrors.size(), 1u);
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceName"), "Synth") << "never moved to another device";

    // Back at another position: connected again, with one line in the log, and sends arrive.
    api.names = {"Synth", "Drums", kVirtualOutputName};
    rig->checkDevices();
    EXPECT_TRUE(rig->midiSender().isOpen());
    EXPECT_EQ(api.opened.back(), 0u);
    EXPECT_EQ(rig.views.outputs.entries.size(), 3u);
    EXPECT_EQ(rig.views.outputs.current, 0);
    EXPECT_EQ(rig->messageLog().text(),
              "Connected to the MIDI output \"Synth\".\r\nThe MIDI output \"Synth\" has gone.\r\n");
    EXPECT_EQ(rig->sendShortMessage(0x403C90), 0);
    rig->checkDevices();               // nothing changed: nothing more
    EXPECT_TRUE(rig->selectOutput(0)); // picked again while open: left as it is
    EXPECT_EQ(api.opened.size(), 2u);

    // Gone again, and back refusing to open: said once in front, and picking it tries again.
    api.names = {"Drums", kVirtualOutputName};
    api.open.clear();
    rig->checkDevices();
    api.names = {"Synth", "Drums", kVirtualOutputName};
    api.openResults = {MMSYSERR_ALLOCATED};
    rig->checkDevices();
    rig->checkDevices();
    EXPECT_FALSE(rig->midiSender().isOpen());
    EXPECT_EQ(rig->messageLog().text().rfind("The MIDI output \"Synth\" is back, but it could not be opened "
                                             "(rc = 4): choose it in Midi Out to try "
                                             "again.\r\n"
                                             "The MIDI output \"Synth\" has gone.\r\nConnected",
                                             0),
              0u);
    api.openResults.clear();
    EXPECT_TRUE(rig->selectOutput(0));
    EXPECT_TRUE(rig->midiSender().isOpen());
}

TEST(OutputChoice, AStoredNameWinsOverTheNumberAndIsWaitedFor) {
    test::TempFolder folder;
    const auto ini = folder / "jmconfig.ini";
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 0"));
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceName", "Synth"));
    test::FakeMidiOut api({"Drums", kVirtualOutputName});
    test::CoreRig rig(folder.path(), &api);
    rig->start();
    EXPECT_TRUE(api.opened.empty()) << "the stored name is not there yet: nothing else is opened";
    EXPECT_EQ(rig.views.outputs.current, 2);
    EXPECT_EQ(rig.views.outputs.entries[2], "Synth (not present)");
    EXPECT_TRUE(rig->selectOutput(2)); // the marked entry picked: still waited for, name kept bare
    EXPECT_TRUE(api.opened.empty());
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceName"), "Synth");

    api.names = {"Drums", "Synth", kVirtualOutputName};
    rig->checkDevices();
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceNumber"), "1");

    // A file of an older version, without the name, chooses by number as it always did.
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceName", ""));
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 0"));
    test::CoreRig older(folder.path(), &api);
    older->start();
    EXPECT_EQ(api.opened.back(), 0u);
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceName"), "Drums");
}

} // namespace
} // namespace vantaro
