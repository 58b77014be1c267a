// ALSA sequencer ports are known by their names without the client and port numbers, which change
// whenever a program starts after another one. (The real sequencer is in the VM tests.)
#include "midi/port_name.h"
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace vantaro {
namespace {

TEST(PortName, TheNumbersAreLeftOutAndTheStoredPositionDecidesBetweenEqualNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"aseqdump:aseqdump 128:0", "aseqdump:aseqdump"},
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
        {"vt-synth:in0", "vt-synth:in0"},                                     // JACK: no numbers
        {"Synth 2", "Synth 2"},                                               // a number of its own name
        {"Synth 1:2", "Synth"},                                               // looks like the numbers
        {"Pure Data:Pure Data Midi-In 1 1", "Pure Data:Pure Data Midi-In 1"}, // cut at 31
        {"Hydrogen:Hydrogen Midi-Inp 128:", "Hydrogen:Hydrogen Midi-Inp"},
        {"Hydrogen:Hydrogen Midi-In 128:", "Hydrogen:Hydrogen Midi-In 128:"}, // not cut
        {"Virtual Raw MIDI 0-0:VirMIDI 0-", "Virtual Raw MIDI 0-0:VirMIDI 0-"},
        {"1:2", "1:2"},
        {"", ""}};
    for (const auto& [name, base] : cases)
        EXPECT_EQ(portBaseName(name), base) << name;

    const std::vector<std::string> names = {"Midi Through 14:0", "aseqdump:aseqdump 128:0",
                                            "aseqdump:aseqdump 129:0"};
    EXPECT_EQ(findPort(names, "aseqdump:aseqdump 129:0", 1), 2) << "that very port first";
    EXPECT_EQ(findPort(names, "aseqdump:aseqdump", 2), 2);
    EXPECT_EQ(findPort(names, "aseqdump:aseqdump 131:0", 2), 2) << "stored with numbers of an earlier run";
    EXPECT_EQ(findPort(names, "aseqdump:aseqdump", 0), 1) << "the first of that name";
    EXPECT_EQ(findPort(names, "aseqdump", 1), -1);
}

TEST(PortName, TheOutputIsStoredWithoutNumbersAndFoundUnderNewOnes) {
    test::TempFolder folder;
    const auto ini = folder / "jmconfig.ini";
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 2"));
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceName", "synth:in 140:0"));
    test::FakeMidiOut api({"Midi Through 14:0", "synth:in 128:0", "synth:in 129:0", kVirtualOutputName});
    test::CoreRig rig(folder.path(), &api);
    rig->start();
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{2})) << "two of that name: the stored position";
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceName"), "synth:in");

    // It leaves and comes back as another client between two looks: a new port, opened again.
    api.names = {"Midi Through 14:0", "synth:in 128:0", "synth:in 131:0", kVirtualOutputName};
    api.open.clear();
    rig->checkDevices();
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{2, 2}));
    EXPECT_EQ(rig->messageLog().text(), "Connected to the MIDI output \"synth:in\".\r\n");
    // Another port comes first: the same port, still open, followed to its new position.
    api.names.insert(api.names.begin(), "Keys:out 20:0");
    rig->checkDevices();
    EXPECT_EQ(api.opened.size(), 2u);
    EXPECT_EQ(rig.views.outputs.current, 3);
    EXPECT_EQ(readSetting(ini, "Midi", "DeviceNumber"), "3");
}

} // namespace
} // namespace vantaro
