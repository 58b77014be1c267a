// MIDI devices that come and go under a running program core, through a real JACK server: a
// synth started late, closed and started again; a routed keyboard unplugged and plugged back;
// the server itself stopped and started again, restarted at once, and stalled.
#include "storage/settings.h"
#include "support/jack.h"
#include "support/midi_program.h"
#include "support/temp_folder.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

namespace vantaro {
namespace {

using test::MidiProgram;

TEST(Hotplug, ASynthAndAKeyboardThatComeAndGoAreConnectedEachTime) {
    ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
    setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
    test::ServerLock lock;
    test::TempFolder folder;
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Midi", "DeviceName", "vt-late-synth:in0"));
    MidiProgram p(folder.path());
    p.rig->start();
    p.rig->setExpandedView(0); // compact: the routed messages write no log lines
    EXPECT_FALSE(p.rig->midiSender().isOpen()) << "the synth is not running yet: nothing else is taken";

    auto synth = std::make_unique<test::JackPeer>("vt-late-synth", 1, 0);
    ASSERT_TRUE(p.settle([&] { return p.connected(); }));
    test::JackPeer keyboard("vt-late-kbd", 0, 1);
    p.route("vt-late-kbd:out0");
    keyboard.send(0, {0x90, 60, 100});
    ASSERT_TRUE(synth->waitFor(1, [&] { p.poster.runPending(); }));
    EXPECT_EQ(p.rig->messageLog().text(), "Connected to the MIDI output \"vt-late-synth:in0\".\r\n");

    // The synth closes: sends fail (one error window), the choice stays on it.
    synth.reset();
    ASSERT_TRUE(p.settle([&] { return !p.rig->outputPort().chosenPresent(); }));
    EXPECT_TRUE(p.settle([&] { return p.rig->sendShortMessage(0x403C90) != 0; }));
    EXPECT_EQ(p.rig.ui.midiErrors.size(), 1u);
    EXPECT_EQ(p.rig->outputPort().chosenName(), "vt-late-synth:in0");

    // It starts again: connected again by itself, and routed messages and actions arrive.
    synth = std::make_unique<test::JackPeer>("vt-late-synth", 1, 0);
    ASSERT_TRUE(p.settle([&] { return p.connected(); }));
    EXPECT_EQ(p.rig->messageLog().text(), "Connected to the MIDI output \"vt-late-synth:in0\".\r\n"
                                          "The MIDI output \"vt-late-synth:in0\" has gone.\r\n"
                                          "Connected to the MIDI output \"vt-late-synth:in0\".\r\n");
    EXPECT_TRUE(p.settle([&] {
        keyboard.send(0, {0x90, 61, 100});
        return synth->waitFor(
            1, [&] { p.poster.runPending(); }, 0, std::chrono::milliseconds(200));
    }));

    // The keyboard is unplugged and plugged back: routed again.
    keyboard.close();
    const auto& routed = p.rig->routing().routeSelected();
    ASSERT_TRUE(p.settle(
        [&] { return std::all_of(routed.begin(), routed.end(), [](bool routed) { return !routed; }); }));
    test::JackPeer again("vt-late-kbd", 0, 1);
    EXPECT_TRUE(p.settle([&] {
        again.send(0, {0x90, 62, 100});
        return synth->received().size() >= 2 && synth->received().back() == test::Bytes{0x90, 62, 100};
    }));
    p.rig->shutDown();
}

// A JACK server of the test's own, which the test stops, starts and stalls; the program finds it
// as the default server.
class OwnServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name(); }

    bool quiet = setenv("JACK_NO_AUDIO_RESERVATION", "1", 1) == 0; // before the server starts
    test::JackServer server{"vt-restart-"};
    test::ServerScope scope{server.name()};
};

TEST_F(OwnServer, AfterTheServerRestartsTheOutputAndARoutedInputWorkAgain) {
    auto peer = std::make_unique<test::JackPeer>("vt-rs-peer", 1, 1, server.name()); // synth and keyboard

    MidiProgram p;
    p.rig->start();
    const int synth = p.outputPosition("vt-rs-peer:in0");
    ASSERT_GE(synth, 0);
    p.rig->selectOutput(synth);
    p.route("vt-rs-peer:out0");
    ASSERT_TRUE(p.settle([&] {
        peer->send(0, {0x90, 60, 1});
        return peer->waitFor(
            1, [&] { p.poster.runPending(); }, 0, std::chrono::milliseconds(200));
    }));

    // The server goes: everything closes, nothing hangs; then it comes back with the peer.
    peer.reset();
    server.stop();
    ASSERT_TRUE(p.settle([&] { return !p.rig->outputPort().chosenPresent(); }));
    server.start();
    ASSERT_TRUE(server.ready());
    peer = std::make_unique<test::JackPeer>("vt-rs-peer", 1, 1, server.name());
    ASSERT_TRUE(p.settle([&] { return p.connected(); }, 15000));
    // One line each way in the message log, newest first, however often the server was looked
    // for meanwhile. The peer may have been seen leaving before its server stopped.
    const std::string log = p.rig->messageLog().text();
    const std::string head = "Connected to the MIDI output \"vt-rs-peer:in0\".\r\n"
                             "The JACK server is running.\r\nThe JACK server has stopped.\r\n";
    EXPECT_EQ(log.substr(0, head.size()), head) << log;
    const std::string rest = log.substr(std::min(head.size(), log.size()));
    EXPECT_TRUE(rest.empty() || rest == "The MIDI output \"vt-rs-peer:in0\" has gone.\r\n") << log;
    EXPECT_EQ(p.rig->sendShortMessage(0x403C90), 0);
    EXPECT_TRUE(p.settle([&] {
        peer->send(0, {0x90, 61, 1});
        return peer->received().size() >= 2;
    }));
    p.rig->shutDown();
}

TEST_F(OwnServer, QuickServerRestartsAreSurvivedAndTheOutputPlaysAgain) {
    auto peer = std::make_unique<test::JackPeer>("vt-qr-peer", 1, 1, server.name()); // synth and keyboard
    test::TempFolder folder;
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Midi", "DeviceName", kVirtualOutputName));
    MidiProgram p(folder.path());
    p.rig->start();
    ASSERT_TRUE(p.connected());
    p.route("vt-qr-peer:out0");
    // No client of the test's own while the server comes and goes (see answersOutside).
    peer.reset();

    // Each new server starts as soon as the old one has ended, while the program checks its
    // devices as its timer does: every other time once the program is back on the server with
    // its output, otherwise as soon as the new server answers.
    const std::string ours = std::string("Vantaro:") + kVirtualOutputName;
    std::atomic<bool> done{false};
    std::thread restarter([&] {
        for (int round = 0; round < 8; ++round) {
            if (round % 2) test::waitUntil([&] { return server.hasPortOutside(ours); }, 15000);
            server.stop();
            // A server ends with the thread that started it: the last one is started below.
            if (round == 7) break;
            server.start();
            test::waitUntil([&] { return server.answersOutside(); }, 15000);
        }
        done = true;
    });
    while (!done) {
        p.rig->checkDevices();
        p.poster.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    restarter.join();
    server.start();
    ASSERT_TRUE(p.settle([&] { return p.connected() && server.hasPortOutside(ours); }, 15000));

    // The output plays again, and the keyboard, when it is back, is routed again.
    peer = std::make_unique<test::JackPeer>("vt-qr-peer", 1, 1, server.name());
    ASSERT_EQ(jack_connect(peer->client(), ours.c_str(), peer->inputName().c_str()), 0);
    ASSERT_TRUE(peer->waitConnected());
    EXPECT_EQ(p.rig->sendShortMessage(0x403C90), 0);
    ASSERT_TRUE(peer->waitFor(1));
    EXPECT_EQ(peer->received()[0], (test::Bytes{0x90, 0x3C, 0x40}));
    EXPECT_TRUE(p.settle([&] {
        peer->send(0, {0x90, 61, 1});
        return peer->received().size() >= 2;
    }));
    EXPECT_EQ(peer->received().back(), (test::Bytes{0x90, 61, 1}));
    p.rig->shutDown();
}

TEST_F(OwnServer, AStalledServerIsNeverWaitedForAndIsUsedAgainOnceItAnswers) {
    test::JackPeer peer("vt-st-peer", 2, 1, server.name()); // two synths and a keyboard
    test::TempFolder folder;
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "Midi", "DeviceName", "vt-st-peer:in0"));
    MidiProgram p(folder.path());
    p.rig->start();
    ASSERT_TRUE(p.connected());
    const int synth = p.outputPosition("vt-st-peer:in1");
    ASSERT_GE(synth, 0);
    p.route("vt-st-peer:out0");

    // Picking the other synth while the server hangs: refused once the bound has passed, and
    // whatever is asked next is refused at once.
    server.freeze();
    p.rig->selectOutput(synth);
    EXPECT_EQ(p.rig.ui.messages, std::vector<std::string>{"Couldn't open midi out, rc = 6"});
    p.route("vt-st-peer:out0");
    p.poster.runPending();
    ASSERT_EQ(p.rig.ui.messages.size(), 2u);
    EXPECT_NE(p.rig.ui.messages[1].find("does not answer"), std::string::npos) << p.rig.ui.messages[1];
    p.rig->checkDevices();
    EXPECT_FALSE(p.rig->midiSender().isOpen());

    // It answers again: the synth picked last is opened, and the keyboard routed again.
    server.resume();
    ASSERT_TRUE(p.settle([&] { return p.connected(); }));
    EXPECT_TRUE(p.settle([&] {
        peer.send(0, {0x90, 62, 1});
        return peer.received(1).size() >= 1;
    }));
    p.rig->shutDown();
}

} // namespace
} // namespace vantaro
