// The output devices through a real JACK server: listing, bytes on the wire, failures.
#include "support/jack.h"
#include "support/raw_sender.h"

#include "midi/midi_send.h"
#include "midi/rtmidi_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace vantaro {
namespace {

using test::Bytes;
using test::JackPeer;

class OutputTest : public ::testing::Test {
protected:
    test::ServerLock lock;
    void SetUp() override {
        ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
        setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
    }

    // Device id of the port whose name contains part in the current list, or -1.
    static int find(RtMidiOutput& out, const std::string& part) {
        const auto n = out.midiOutGetNumDevs();
        for (std::uint32_t id = 0; id < n; ++id) {
            std::string name;
            out.midiOutGetDevCaps(id, name);
            if (name.find(part) != std::string::npos) return static_cast<int>(id);
        }
        return -1;
    }
    // Opens the port whose name contains part; 0 (and a failure) when it cannot.
    static MidiOutHandle open(RtMidiOutput& out, const std::string& part) {
        const int id = find(out, part);
        MidiOutHandle h = 0;
        if (id < 0 || out.midiOutOpen(&h, static_cast<std::uint32_t>(id)) != MMSYSERR_NOERROR)
            ADD_FAILURE() << "cannot open " << part;
        return h;
    }
};

TEST_F(OutputTest, ListsJackReceiversAndEndsWithTheVirtualOutput) {
    JackPeer receiver("vt-list-receiver-with-a-long-client-name", 1, 0);
    RtMidiOutput out;
    ASSERT_EQ(out.system(), MidiSystem::Jack); // no ALSA sequencer on this machine
    const auto n = out.midiOutGetNumDevs();
    ASSERT_GE(n, 2u);
    std::vector<std::string> names(n);
    for (std::uint32_t id = 0; id < n; ++id)
        EXPECT_EQ(out.midiOutGetDevCaps(id, names[id]), MMSYSERR_NOERROR);
    EXPECT_EQ(names.back(), "Vantaro virtual output");
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [](auto& s) { return s == "vt-list-receiver-with-a-long-cl"; }));
    for (auto& name : names)
        EXPECT_LE(name.size(), 31u);
    std::string none;
    EXPECT_EQ(out.midiOutGetDevCaps(n, none), MMSYSERR_BADDEVICEID);

    // Our own ports never show up as devices: the virtual output, once open, is not a receiver.
    // (Other tests add and remove ports on the same server meanwhile, so counts are not compared.)
    MidiOutHandle virt = 0;
    ASSERT_EQ(out.midiOutOpen(&virt, n - 1), MMSYSERR_NOERROR);
    const auto again = out.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < again; ++id) {
        std::string name;
        out.midiOutGetDevCaps(id, name);
        EXPECT_EQ(name.rfind("Vantaro:", 0), std::string::npos) << name;
        EXPECT_EQ(name.rfind("Vantaro-", 0), std::string::npos) << name;
    }
    std::string last;
    out.midiOutGetDevCaps(again - 1, last);
    EXPECT_EQ(last, "Vantaro virtual output");
    EXPECT_EQ(out.midiOutClose(virt), MMSYSERR_NOERROR);
}

TEST_F(OutputTest, SendsEachStatusWithItsOwnLength) {
    JackPeer receiver("vt-bytes", 1, 0);
    RtMidiOutput out;
    const MidiOutHandle h = open(out, "vt-bytes:in0");
    ASSERT_NE(h, 0u);

    const std::vector<std::pair<std::uint32_t, Bytes>> cases = {
        {0x643C90, {0x90, 0x3C, 0x64}}, // Note On
        {0x0007C5, {0xC5, 0x07}},       // program change
        {0x0040D2, {0xD2, 0x40}},       // channel pressure
        {0x7F00E1, {0xE1, 0x00, 0x7F}}, // pitch bend
        {0x00007A, {0xE1, 0x7A, 0x00}}, // running status: data bytes only
        {0x0000F8, {0xF8}},             // timing clock
        {0x000AF3, {0xF3, 0x0A}},       // song select
        {0x0201F2, {0xF2, 0x01, 0x02}}, // song position
        {0x0000FF, {0xFF}},             // reset
    };
    for (auto& [msg, bytes] : cases)
        EXPECT_EQ(out.midiOutShortMsg(h, msg), MMSYSERR_NOERROR) << std::hex << msg;
    ASSERT_TRUE(receiver.waitFor(cases.size()));
    std::vector<Bytes> expected;
    for (auto& c : cases)
        expected.push_back(c.second);
    EXPECT_EQ(receiver.received(), expected);

    // What is no short message, or would put a status byte where data belongs, is refused.
    EXPECT_EQ(out.midiOutShortMsg(h, 0x0000F0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(out.midiOutShortMsg(h, 0x803C90), MMSYSERR_INVALPARAM);
    EXPECT_EQ(out.midiOutClose(h), MMSYSERR_NOERROR);
    EXPECT_EQ(out.midiOutShortMsg(h, 0x643C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(out.midiOutShortMsg(0, 0x643C90), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(out.midiOutClose(h), MMSYSERR_INVALHANDLE);
}

TEST_F(OutputTest, ABurstArrivesCompleteAndInOrder) {
    constexpr int kCount = 20000; // far more than one period's port buffer holds
    const auto expected = [](int i) {
        return Bytes{0x90, static_cast<std::uint8_t>(i & 127), static_cast<std::uint8_t>((i >> 7) & 127)};
    };
    // Loss in a cycle the server missed (an xrun on a starved machine) is the server's, for
    // every client; loss in an attempt without one is ours. Up to three attempts.
    std::string failure;
    for (int attempt = 0; attempt < 3; ++attempt) {
        JackPeer receiver("vt-burst", 1, 0);
        RtMidiOutput out;
        const MidiOutHandle h = open(out, "vt-burst:in0");
        ASSERT_NE(h, 0u);
        for (int i = 0; i < kCount; ++i)
            ASSERT_EQ(out.midiOutShortMsg(h, 0x90u | (static_cast<std::uint32_t>(i & 127) << 8) |
                                                 (static_cast<std::uint32_t>((i >> 7) & 127) << 16)),
                      MMSYSERR_NOERROR);
        failure.clear();
        if (!receiver.waitFor(kCount))
            failure = std::to_string(receiver.receivedCount()) + " of 20000 arrived";
        const auto got = receiver.received();
        for (int i = 0; failure.empty() && i < kCount; ++i)
            if (got[static_cast<std::size_t>(i)] != expected(i))
                failure = "message " + std::to_string(i) + " is " +
                          JackPeer::text(got[static_cast<std::size_t>(i)]);
        out.midiOutClose(h);
        if (failure.empty()) return;
        if (receiver.xruns() == 0) FAIL() << failure;
        std::cerr << "JACK missed " << receiver.xruns() << " cycles during attempt " << attempt + 1 << " ("
                  << failure << "); repeating\n";
    }
    FAIL() << "the JACK server missed cycles (xruns) in all three attempts; last: " << failure;
}

TEST_F(OutputTest, VirtualOutputReachesWhoeverConnects) {
    JackPeer receiver("vt-virtual", 1, 0);
    RtMidiOutput out;
    const auto n = out.midiOutGetNumDevs();
    MidiOutHandle h = 0;
    ASSERT_EQ(out.midiOutOpen(&h, n - 1), MMSYSERR_NOERROR);
    const std::string port = out.portName(h);
    EXPECT_NE(port.find("Vantaro virtual output"), std::string::npos) << port;
    ASSERT_EQ(jack_connect(receiver.client(), port.c_str(), receiver.inputName().c_str()), 0);
    EXPECT_EQ(out.midiOutShortMsg(h, 0x7F07B3), MMSYSERR_NOERROR);
    ASSERT_TRUE(receiver.waitFor(1));
    EXPECT_EQ(receiver.received()[0], (Bytes{0xB3, 0x07, 0x7F}));
    // Nobody listening is no failure for our own port.
    jack_disconnect(receiver.client(), port.c_str(), receiver.inputName().c_str());
    EXPECT_EQ(out.midiOutShortMsg(h, 0x7F07B3), MMSYSERR_NOERROR);
    out.midiOutClose(h);
}

TEST_F(OutputTest, AReceiverThatVanishesMakesSendsFail) {
    auto receiver = std::make_unique<JackPeer>("vt-vanish", 1, 0);
    RtMidiOutput out;
    const int id = find(out, "vt-vanish:in0");
    ASSERT_GE(id, 0);
    MidiSender sender(out);
    test::RawSender raw(sender);
    ASSERT_EQ(sender.open(static_cast<std::uint32_t>(id)), MMSYSERR_NOERROR);
    EXPECT_EQ(raw.sendShortMessage(0x643C90), 0);
    ASSERT_TRUE(receiver->waitFor(1));

    receiver.reset();
    // The server tells us of the lost connection on its own thread; wait for the first failure.
    std::int16_t r = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (r == 0 && std::chrono::steady_clock::now() < end) {
        r = raw.sendShortMessage(0x003C80);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(r, static_cast<std::int16_t>(MMSYSERR_NODRIVER));
    EXPECT_EQ(raw.sendShortMessage(0x003C80), static_cast<std::int16_t>(MMSYSERR_NODRIVER));
    ASSERT_EQ(raw.failures.size(), 2u);
    EXPECT_EQ(midiErrorText(raw.failures[0]), " 6 : No device driver present.");

    // A device that left between listing and opening is a bad id, never another port.
    auto late = std::make_unique<JackPeer>("vt-late", 1, 0);
    const int lateId = find(out, "vt-late:in0");
    ASSERT_GE(lateId, 0);
    late.reset();
    MidiOutHandle h = 0;
    EXPECT_EQ(out.midiOutOpen(&h, static_cast<std::uint32_t>(lateId)), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(h, 0u);
    sender.close();
    EXPECT_FALSE(sender.isOpen());
}

} // namespace
} // namespace vantaro
