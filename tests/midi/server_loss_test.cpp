// A JACK server that goes away under a running program: sends fail with a code, closing
// returns, nothing hangs. The test runs a server of its own so that it can stop it.
#include "support/jack.h"
#include "support/raw_sender.h"

#include "midi/main_thread_poster.h"
#include "midi/midi_send.h"
#include "midi/routing.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vantaro {
namespace {

TEST(ServerLoss, SendsFailAndEverythingClosesWhenTheServerDies) {
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    test::JackServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    test::ServerScope scope(server.name());

    auto peer = std::make_unique<test::JackPeer>("vt-lost-peer", 1, 1, server.name());
    RtMidiOutput output;
    MidiSender sender(output);
    test::RawSender raw(sender);
    const auto n = output.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        output.midiOutGetDevCaps(id, name);
        if (name == "vt-lost-peer:in0") {
            ASSERT_EQ(sender.open(id), 0u);
        }
    }
    ASSERT_TRUE(sender.isOpen());

    QueuedPoster poster;
    RtMidiInput inputs(poster, output);
    MessageLog log;
    const std::int16_t expanded = 0;
    std::vector<std::string> readerErrors;
    Routing routing({inputs, raw, log, expanded, [&] { poster.runPending(); },
                     [&](const std::string& text) { readerErrors.push_back(text); }});
    const auto picker = routing.loadPicker();
    const auto it = std::find(picker.names.begin(), picker.names.end(), "vt-lost-peer:out0");
    ASSERT_NE(it, picker.names.end());
    std::vector<bool> selected(picker.names.size());
    selected[static_cast<std::size_t>(it - picker.names.begin())] = true;
    routing.confirmPicker(selected);

    peer->send(0, {0x90, 0x40, 0x40});
    ASSERT_TRUE(peer->waitFor(1, [&] { poster.runPending(); }));

    peer.reset();
    server.stop();
    std::int16_t r = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (r == 0 && std::chrono::steady_clock::now() < end) {
        r = raw.sendShortMessage(0x404090);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(r, static_cast<std::int16_t>(MMSYSERR_NODRIVER));
    EXPECT_EQ(raw.failures, std::vector<std::int16_t>{static_cast<std::int16_t>(MMSYSERR_NODRIVER)});

    // Closing everything on a dead server returns (the test would time out otherwise).
    routing.closeAll();
    EXPECT_EQ(routing.portState(static_cast<int>(it - picker.names.begin())), 0);
    sender.close();
    EXPECT_EQ(output.midiOutGetNumDevs(), 0u); // no server: nothing to offer, not even our own port
}

} // namespace
} // namespace vantaro
