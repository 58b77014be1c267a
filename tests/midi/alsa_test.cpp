// The ALSA sequencer, the MIDI system of most Linux desktops, in a real kernel (virtual machine):
// the output list and the stored output, every message kind as bytes at a receiving client, the
// program's own port, routing, and ports that leave and return under other client numbers.
#include "storage/settings.h"
#include "support/alsa_seq.h"
#include "support/midi_program.h"
#include "support/temp_folder.h"
#include "support/vm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace vantaro {
namespace {

using test::SeqClient;
using Bytes = SeqClient::Bytes;

std::uint32_t packed(const Bytes& m) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < m.size(); ++i)
        word |= std::uint32_t{m[i]} << (8 * i);
    return word;
}

std::vector<std::string> listed(test::MidiProgram& p) {
    std::vector<std::string> names;
    for (int i = 0; i < static_cast<int>(p.rig.views.outputs.entries.size()); ++i) {
        std::string name;
        p.output.midiOutGetDevCaps(static_cast<std::uint32_t>(i), name);
        names.push_back(name);
    }
    return names;
}

TEST(Alsa, TheStoredOutputOpensAndEveryKindArrivesAsSentAlsoThroughTheProgramsOwnPort) {
    VANTARO_REQUIRE_VM();
    SeqClient synth("vt-synth");
    test::TempFolder folder;
    // Stored with the numbers the synth had in some earlier run.
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Midi", "DeviceName", "vt-synth:in 150:0"));
    test::MidiProgram p(folder.path());
    ASSERT_EQ(p.output.system(), MidiSystem::Alsa);
    p.rig->start();

    const std::vector<std::string> names = listed(p);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), kVirtualOutputName) << "the program's own port last";
    EXPECT_EQ(std::count(names.begin(), names.end(), synth.inputName()), 1) << "shown in full";
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& n) {
        return n.rfind("Midi Through:", 0) == 0;
    })) << ::testing::PrintToString(names);
    ASSERT_TRUE(p.connected());
    EXPECT_EQ(readSetting(folder / "jmconfig.ini", "Midi", "DeviceName"), "vt-synth:in");
    ASSERT_TRUE(test::waitUntil([&] { return synth.hasSender(); }, 30000));

    const std::vector<Bytes> kinds = {
        {0x90, 60, 100}, {0x80, 60, 0}, {0xA1, 61, 20}, {0xB2, 7, 99}, {0xC3, 5}, {0xD4, 33}, {0xE5, 0, 64},
        {0x9F, 127, 0},  {0xF2, 1, 2},  {0xF3, 4},      {0xF8},        {0xFA},    {0xFC}};
    for (const Bytes& m : kinds)
        ASSERT_EQ(p.rig->sendShortMessage(packed(m)), 0);
    ASSERT_TRUE(test::waitUntil([&] { return synth.received().size() >= kinds.size(); }, 30000));
    EXPECT_EQ(synth.received(), kinds);

    // The program's own port: another program connects to it and hears what is sent.
    ASSERT_TRUE(p.rig->selectOutput(static_cast<int>(names.size()) - 1));
    ASSERT_TRUE(test::waitUntil([&] { return !synth.hasSender(); }, 30000)) << "the synth was let go";
    ASSERT_TRUE(synth.connectFrom("Vantaro", kVirtualOutputName));
    ASSERT_EQ(p.rig->sendShortMessage(packed({0x90, 64, 1})), 0);
    ASSERT_TRUE(test::waitUntil([&] { return synth.received().size() > kinds.size(); }, 30000));
    EXPECT_EQ(synth.received().back(), (Bytes{0x90, 64, 1}));
}

TEST(Alsa, RoutedMessagesArriveInOrderAndASourceBackUnderAnotherNumberIsRoutedAgain) {
    VANTARO_REQUIRE_VM();
    SeqClient synth("vt-synth");
    auto keys = std::make_unique<SeqClient>("vt-keys");
    test::MidiProgram p;
    p.rig->start();
    ASSERT_TRUE(p.rig->selectOutput(p.outputPosition(synth.inputName())));
    p.route(keys->outputName());
    ASSERT_TRUE(test::waitUntil([&] { return synth.hasSender() && keys->hasReader(); }, 30000));

    // As fast as the program takes them, a window of messages in flight at a time: a keyboard
    // plays far fewer in a second.
    std::vector<Bytes> sent;
    const auto pump = [&] { p.poster.runPending(); };
    for (int i = 0; i < 1000; ++i) {
        sent.push_back({static_cast<std::uint8_t>(0xB0 | (i >> 7)), static_cast<std::uint8_t>(i & 127),
                        static_cast<std::uint8_t>(i * 7 & 127)});
        keys->send(sent.back());
        ASSERT_TRUE(test::waitUntil([&] { return synth.received().size() + 32 > sent.size(); }, 30000, pump))
            << "stalled after " << synth.received().size();
    }
    ASSERT_TRUE(test::waitUntil([&] { return synth.received().size() >= sent.size(); }, 30000, pump));
    EXPECT_EQ(synth.received(), sent) << "every message, in order";
    EXPECT_EQ(synth.overruns(), 0);

    // The keyboard is unplugged, and comes back as another client: routed again.
    const int old = keys->client();
    keys.reset();
    const auto& routed = p.rig->routing().routeSelected();
    ASSERT_TRUE(
        p.settle([&] { return std::all_of(routed.begin(), routed.end(), [](bool r) { return !r; }); }));
    std::vector<std::unique_ptr<SeqClient>> fillers;
    keys = SeqClient::again("vt-keys", old, fillers);
    ASSERT_NE(keys->client(), old);
    ASSERT_TRUE(p.settle([&] { return keys->hasReader(); }, 30000));
    keys->send({0x90, 1, 2});
    EXPECT_TRUE(test::waitUntil([&] { return synth.received().size() > sent.size(); }, 30000, pump));
    EXPECT_EQ(synth.received().back(), (Bytes{0x90, 1, 2}));
    p.rig->shutDown();
}

TEST(Alsa, TheChosenOutputBackUnderAnotherNumberIsConnectedAgainAndNewPortsAreListedAtOnce) {
    VANTARO_REQUIRE_VM();
    auto synth = std::make_unique<SeqClient>("vt-synth");
    test::TempFolder folder;
    test::MidiProgram p(folder.path());
    p.rig->start();
    ASSERT_TRUE(p.rig->selectOutput(p.outputPosition(synth->inputName())));
    ASSERT_TRUE(test::waitUntil([&] { return synth->hasSender(); }, 30000));

    const int old = synth->client();
    synth.reset();
    ASSERT_TRUE(p.settle([&] { return !p.rig->outputPort().chosenPresent(); }));
    std::vector<std::unique_ptr<SeqClient>> fillers;
    synth = SeqClient::again("vt-synth", old, fillers);
    ASSERT_NE(synth->client(), old);
    ASSERT_TRUE(p.settle([&] { return p.connected() && synth->hasSender(); }, 30000));
    EXPECT_EQ(
        p.rig->messageLog().text(),
        "Connected to the MIDI output \"vt-synth:in\".\r\nThe MIDI output \"vt-synth:in\" has gone.\r\n");
    ASSERT_EQ(p.rig->sendShortMessage(packed({0x90, 60, 100})), 0);
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return synth->received() == std::vector<Bytes>{{0x90, 60, 100}};
        },
        30000));
    EXPECT_EQ(readSetting(folder / "jmconfig.ini", "Midi", "DeviceName"), "vt-synth:in");

    // A MIDI interface's driver comes (a virtual one here, with four ports): they are listed at
    // the next look, which the window takes four times a second.
    const int before = static_cast<int>(p.rig.views.outputs.entries.size());
    RtMidiOutput watcher(MidiSystem::Alsa);
    const std::uint32_t ports = watcher.midiOutGetNumDevs();
    ASSERT_EQ(std::system("modprobe snd-virmidi"), 0);
    ASSERT_TRUE(test::waitUntil([&] { return watcher.midiOutGetNumDevs() == ports + 4; }, 30000));
    p.rig->checkDevices();
    EXPECT_EQ(static_cast<int>(p.rig.views.outputs.entries.size()), before + 4);
    const std::vector<std::string> names = listed(p);
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.rfind("Virtual Raw MIDI", 0) == 0; }),
              4)
        << ::testing::PrintToString(names);
    p.rig->shutDown();
}

} // namespace
} // namespace vantaro
