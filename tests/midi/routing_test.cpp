// Routing through a real JACK server: a test client plays into routed input ports, the
// program forwards through its output to the test client's receiver port.
#include "support/jack.h"
#include "support/raw_sender.h"

#include "midi/midi_send.h"
#include "midi/routing.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace vantaro {
namespace {

using test::Bytes;
using test::JackPeer;

class RoutingTest : public ::testing::Test {
protected:
    test::ServerLock lock;
    void SetUp() override {
        ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
        setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
        build();
    }
    void build() {
        const std::string name =
            std::string("vt-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        peer = std::make_unique<JackPeer>(name.substr(0, 24), 1, 2);
        output = std::make_unique<RtMidiOutput>();
        sender = std::make_unique<MidiSender>(*output);
        raw = std::make_unique<test::RawSender>(*sender);
        const auto n = output->midiOutGetNumDevs();
        for (std::uint32_t id = 0; id < n; ++id) {
            std::string devName;
            output->midiOutGetDevCaps(id, devName);
            if (devName == productName(peer->inputName())) {
                ASSERT_EQ(sender->open(id), MMSYSERR_NOERROR);
            }
        }
        ASSERT_TRUE(sender->isOpen());
        inputs = std::make_unique<RtMidiInput>(poster, *output);
        routing = std::make_unique<Routing>(
            RoutingIo{*inputs, *raw, log, expandedView,
                      [this] {
                          ++yields;
                          poster.runPending();
                          if (duringYield) duringYield();
                      },
                      [this](const std::string& text) { readerErrors.push_back(text); }});
        picker = routing->loadPicker();
    }
    void TearDown() override { takeDown(); }
    void takeDown() {
        routing.reset();
        if (sender) sender->close();
        inputs.reset();
        sender.reset();
        output.reset();
        peer.reset();
        poster.runPending();
        duringYield = nullptr;
    }

    // A scenario returns what went wrong, or nothing. Loss in a cycle the server skipped (an
    // xrun on a starved machine) is the server's, for every client; loss in an attempt without
    // one is ours. So an attempt with xruns is repeated, up to three in all.
    template <class Scenario> void expectNoLoss(Scenario scenario) {
        std::string failure;
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0) {
                takeDown();
                build();
            }
            failure = scenario();
            if (failure.empty()) return;
            if (peer->xruns() == 0) {
                ADD_FAILURE() << failure;
                return;
            }
            std::cerr << "JACK missed " << peer->xruns() << " cycles during attempt " << attempt + 1 << " ("
                      << failure << "); repeating\n";
        }
        ADD_FAILURE() << "the JACK server missed cycles (xruns) in all three attempts; last: " << failure;
    }

    // List position of the peer's sender port i.
    int position(int i) {
        const auto it = std::find(picker.names.begin(), picker.names.end(), productName(peer->outputName(i)));
        return it == picker.names.end() ? -1 : static_cast<int>(it - picker.names.begin());
    }
    void route(std::initializer_list<int> ports) {
        std::vector<bool> selected(picker.names.size(), false);
        for (int p : ports)
            selected[static_cast<std::size_t>(position(p))] = true;
        routing->confirmPicker(selected);
    }
    bool waitFor(std::size_t count) {
        return peer->waitFor(count, [this] { poster.runPending(); });
    }
    static Bytes note(int i, std::uint8_t status = 0x90) {
        return {status, static_cast<std::uint8_t>(i & 127), static_cast<std::uint8_t>((i >> 7) & 127)};
    }

    std::vector<std::string> readerErrors; // what the routing asked to tell the user
    QueuedPoster poster;
    MessageLog log;
    std::int16_t expandedView = 0;
    int yields = 0;
    std::function<void()> duringYield;
    std::unique_ptr<JackPeer> peer;
    std::unique_ptr<RtMidiOutput> output;
    std::unique_ptr<MidiSender> sender;
    std::unique_ptr<test::RawSender> raw;
    std::unique_ptr<RtMidiInput> inputs;
    std::unique_ptr<Routing> routing;
    RoutePickerList picker;
};

TEST_F(RoutingTest, TenThousandMessagesArriveInOrderNoneMissing) {
    expectNoLoss([this]() -> std::string {
        if (position(0) < 0) return "the sender port is not listed";
        route({0});
        constexpr int kCount = 10000;
        for (int i = 0; i < kCount; ++i)
            peer->send(0, note(i));
        if (!waitFor(kCount)) return std::to_string(peer->receivedCount()) + " of 10000 arrived";
        const auto got = peer->received();
        if (got.size() != static_cast<std::size_t>(kCount)) return std::to_string(got.size()) + " arrived";
        for (int i = 0; i < kCount; ++i)
            if (got[static_cast<std::size_t>(i)] != note(i))
                return "message " + std::to_string(i) + " is " +
                       JackPeer::text(got[static_cast<std::size_t>(i)]);
        return "";
    });
    EXPECT_TRUE(raw->failures.empty());
    EXPECT_TRUE(log.text().empty()); // expanded view off: nothing logged
}

TEST_F(RoutingTest, TwoRoutedPortsInterleaveWithoutLoss) {
    expectNoLoss([this]() -> std::string {
        route({0, 1});
        constexpr int kEach = 3000;
        for (int i = 0; i < kEach; ++i) {
            peer->send(0, note(i, 0x90));
            peer->send(1, note(i, 0x9F));
        }
        if (!waitFor(2 * kEach)) return std::to_string(peer->receivedCount()) + " of 6000 arrived";
        std::vector<Bytes> a, b;
        for (auto& m : peer->received())
            (m[0] == 0x90 ? a : b).push_back(m);
        if (a.size() != kEach || b.size() != kEach)
            return std::to_string(a.size()) + " and " + std::to_string(b.size()) + " arrived";
        for (int i = 0; i < kEach; ++i) {
            if (a[static_cast<std::size_t>(i)] != note(i, 0x90))
                return "first port, message " + std::to_string(i) + ": " +
                       JackPeer::text(a[static_cast<std::size_t>(i)]);
            if (b[static_cast<std::size_t>(i)] != note(i, 0x9F))
                return "second port, message " + std::to_string(i) + ": " +
                       JackPeer::text(b[static_cast<std::size_t>(i)]);
        }
        return "";
    });
}

TEST_F(RoutingTest, LogsInHexOnlyInTheExpandedViewAndKeepsActiveSensingOut) {
    route({0});
    expandedView = -1;
    peer->send(0, {0xFE});
    peer->send(0, {0xC5, 0x07});
    peer->send(0, {0x90, 0x3C, 0x64});
    peer->send(0, {0xF8});
    ASSERT_TRUE(waitFor(3));
    EXPECT_EQ(peer->received(), (std::vector<Bytes>{{0xC5, 0x07}, {0x90, 0x3C, 0x64}, {0xF8}}));
    EXPECT_EQ(log.text(), "Routing : C5 7 0\r\nRouting : 90 3C 64\r\nRouting : F8 0 0\r\n");
    EXPECT_EQ(log.caret(), MessageLog::Caret::End);

    expandedView = 0;
    peer->send(0, {0xB1, 0x40, 0x7F});
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(peer->received().back(), (Bytes{0xB1, 0x40, 0x7F}));
    EXPECT_EQ(log.text(), "Routing : C5 7 0\r\nRouting : 90 3C 64\r\nRouting : F8 0 0\r\n");
}

TEST_F(RoutingTest, ThePickerKeepsTheConfirmedChoiceAndClosesDeselectedPorts) {
    const int a = position(0), b = position(1);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_TRUE(std::none_of(picker.selected.begin(), picker.selected.end(), [](bool s) { return s; }));
    // Our own output is no input to route: it would feed every message round for ever.
    for (auto& name : picker.names)
        EXPECT_NE(name.rfind("Vantaro", 0), 0u) << name;
    route({0, 1});
    EXPECT_EQ(routing->portState(a), 2);
    EXPECT_EQ(routing->portState(b), 2);
    const auto again = routing->loadPicker();
    for (std::size_t i = 0; i < again.selected.size(); ++i)
        EXPECT_EQ(again.selected[i], static_cast<int>(i) == a || static_cast<int>(i) == b) << i;
    EXPECT_TRUE(routing->routeSelected()[static_cast<std::size_t>(a)]);

    route({1});
    EXPECT_EQ(routing->portState(a), 0);
    EXPECT_EQ(routing->portState(b), 2);
    EXPECT_FALSE(routing->routeSelected()[static_cast<std::size_t>(a)]);
    peer->send(0, {0x90, 0x01, 0x01});
    peer->send(1, {0x90, 0x02, 0x02});
    ASSERT_TRUE(waitFor(1));
    for (int i = 0; i < 20; ++i) {
        poster.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(peer->received(), (std::vector<Bytes>{{0x90, 0x02, 0x02}}));
}

TEST_F(RoutingTest, TicksDuringTheYieldInterleaveAndShutDownEndsTheLoop) {
    constexpr int kCount = 500;
    int ticks = 0;
    expectNoLoss([&]() -> std::string {
        route({0});
        // A tick of the polling cycle sends its own message whenever routing yields.
        ticks = 0;
        duringYield = [&] {
            ++ticks;
            raw->sendShortMessage(packShortMessage(0xB0, 0x07, static_cast<std::uint32_t>(ticks & 127)));
        };
        for (int i = 0; i < kCount; ++i)
            peer->send(0, note(i));
        // Pump until every routed message is through: the receiver's count alone also counts the
        // ticks' own messages, and routing only moves while the UI thread is pumped.
        const auto routedSoFar = [this] {
            int notes = 0;
            for (const auto& m : peer->received())
                notes += m[0] == 0x90;
            return notes;
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (routedSoFar() < kCount && std::chrono::steady_clock::now() < deadline) {
            poster.runPending();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (routedSoFar() < kCount) return std::to_string(routedSoFar()) + " routed messages arrived";
        // Every tick's message and every routed message arrive; the routed ones in order.
        if (!peer->waitFor(
                static_cast<std::size_t>(kCount + ticks), [] {}, 0))
            return std::to_string(peer->receivedCount()) + " of " + std::to_string(kCount + ticks) +
                   " arrived";
        std::vector<Bytes> routed;
        int controls = 0;
        for (auto& m : peer->received())
            (m[0] == 0x90 ? routed.push_back(m) : void(++controls));
        if (controls != ticks) return std::to_string(controls) + " tick messages of " + std::to_string(ticks);
        if (routed.size() != kCount) return std::to_string(routed.size()) + " routed messages";
        for (int i = 0; i < kCount; ++i)
            if (routed[static_cast<std::size_t>(i)] != note(i))
                return "routed message " + std::to_string(i) + ": " +
                       JackPeer::text(routed[static_cast<std::size_t>(i)]);
        return "";
    });
    if (HasFailure()) return;

    // Shut-down from inside the yield releases the port under the running loop.
    duringYield = [&] { routing->closeAll(); };
    for (int i = 0; i < 50; ++i)
        peer->send(0, note(i));
    for (int i = 0; i < 200 && routing->portState(position(0)) != 0; ++i) {
        poster.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(routing->portState(position(0)), 0);
    // The loop yields before it reads a message, so none of the 50 went out.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(peer->receivedCount(), static_cast<std::size_t>(kCount + ticks));
}

TEST_F(RoutingTest, AKeyboardThatVanishesLeavesRoutingUsable) {
    auto keyboard = std::make_unique<JackPeer>("vt-vanishing-keyboard", 0, 1);
    picker = routing->loadPicker();
    const auto it = std::find(picker.names.begin(), picker.names.end(), "vt-vanishing-keyboard:out0");
    ASSERT_NE(it, picker.names.end());
    std::vector<bool> selected(picker.names.size(), false);
    selected[static_cast<std::size_t>(it - picker.names.begin())] = true;
    routing->confirmPicker(selected);
    keyboard->send(0, {0x90, 0x30, 0x40});
    ASSERT_TRUE(waitFor(1));

    keyboard.reset(); // unplugged while routed
    for (int i = 0; i < 20; ++i) {
        poster.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // The other routed port and the output go on working; nothing was shown.
    route({0});
    peer->send(0, {0x90, 0x31, 0x40});
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(peer->received().back(), (Bytes{0x90, 0x31, 0x40}));
    EXPECT_TRUE(readerErrors.empty());
    routing->closeAll();
}

TEST_F(RoutingTest, AnInputThatCannotOpenReportsThroughTheErrorNotification) {
    routing->openRoutePort(100); // far past the ports this server has
    poster.runPending();
    ASSERT_EQ(readerErrors.size(), 1u);
    EXPECT_NE(readerErrors[0].find("100"), std::string::npos) << readerErrors[0];
    EXPECT_EQ(routing->portState(100), 0);
}

} // namespace
} // namespace vantaro
