// The end of the real program as a desktop session and a terminal meet it: a signal from outside
// takes the same orderly way as Quit and the program ends with status 0, also while the JACK
// server it is connected to has stalled and never answers the close of its client.
#include "support/jack.h"
#include "support/program_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace vantaro {
namespace {

using namespace std::chrono_literals;

// Waits until the program reports that start-up is done, and checks that start-up opened the
// stored output device: the program's JACK client has its output port on the server.
bool started(test::ProgramProcess& program, const std::string& server) {
    if (!program.waitReady()) return false;
    test::JackPeer watch("vt-end-watch", 0, 0, server);
    const char** ports = jack_get_ports(watch.client(), "^Vantaro:", JACK_DEFAULT_MIDI_TYPE, 0);
    if (!ports) return false;
    jack_free(ports);
    return true;
}

std::string describe(int status) {
    return test::ProgramProcess::describe(status);
}

TEST(ProgramEnd, SignalsEndTheProgramInOrderAlsoWhenTheJackServerHasStalled) {
    // Where the ALSA sequencer can be opened the program uses it, and no JACK server is involved.
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "the program uses the ALSA sequencer here";
    test::JackServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    // Device 0 is the first output offered: the program's own port on this otherwise empty server.
    const std::string storedSettings = "[Midi]\r\nDeviceNumber= 0\r\n";

    {
        // The terminal closes while the splash window is up: start-up goes no further (the
        // settings file is not even given its first-run values) and the program ends in order.
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        test::ProgramProcess program(folder,
                                     {"JACK_DEFAULT_SERVER=" + server.name(), "JACK_NO_AUDIO_RESERVATION=1"});
        ASSERT_TRUE(program.handles(SIGHUP)) << program.log();

        const std::optional<int> status = program.endWith(SIGHUP, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGHUP\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        EXPECT_EQ(program.log().find("did not finish"), std::string::npos) << program.log();
        EXPECT_FALSE(program.reportedReady());
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), storedSettings);
    }
    {
        // Ctrl+C in the terminal: the window closes as with Quit, within the bound, and the
        // files stay as start-up left them.
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        test::ProgramProcess program(folder,
                                     {"JACK_DEFAULT_SERVER=" + server.name(), "JACK_NO_AUDIO_RESERVATION=1"});
        ASSERT_TRUE(started(program, server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");
        ASSERT_NE(settings.find("DeviceNumber= 0"), std::string::npos) << settings;

        const std::optional<int> status = program.endWith(SIGINT, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGINT\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        // It ended by its own shut-down, not by the bound that cuts a stalled one short.
        EXPECT_EQ(program.log().find("did not finish"), std::string::npos) << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
    {
        // The desktop session ends while the server hangs: closing the program's JACK client
        // never returns, and the program still ends, in order (status 0).
        test::TempFolder folder;
        test::putBytes(folder / "jmconfig.ini", storedSettings);
        test::ProgramProcess program(folder,
                                     {"JACK_DEFAULT_SERVER=" + server.name(), "JACK_NO_AUDIO_RESERVATION=1"});
        ASSERT_TRUE(started(program, server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");

        server.freeze();
        const std::optional<int> status = program.endWith(SIGTERM, 15s);
        server.resume();
        ASSERT_TRUE(status) << "the program did not end after SIGTERM while the server was stalled\n"
                            << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                     << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
}

} // namespace
} // namespace vantaro
