// The end of the real program as a desktop session and a terminal meet it: a signal from outside
// takes the same orderly way as Quit and the program ends with status 0, also while the JACK
// server it is connected to has stalled and never answers the close of its client.
#include "support/jack.h"
#include "support/program_process.h"
#include "support/temp_folder.h"
#include "support/wait.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace vantaro {
namespace {

using namespace std::chrono_literals;

// The window program on a folder of its own, on the offscreen platform, offered a socket to
// report its readiness on.
class ProgramProcess {
public:
    ProgramProcess(const test::TempFolder& folder, const std::string& server)
        : notify_(folder / "notify"),
          process_(folder, "vantaro", {},
                   {"HOME=" + (folder / "home").string(), "JACK_DEFAULT_SERVER=" + server,
                    "JACK_NO_AUDIO_RESERVATION=1", "QT_QPA_PLATFORM=offscreen", notify_.variable()}) {}

    // Waits until the program reports that start-up is done, and checks that start-up opened the
    // stored output device: the program's JACK client has its output port on the server.
    bool started(const std::string& server) {
        if (!notify_.bound()) return false;
        test::waitUntil([&] { return !process_.running() || notify_.ready(); }, 60000,
                        [] { std::this_thread::sleep_for(10ms); });
        if (!process_.running() || !notify_.ready()) return false;
        test::JackPeer watch("vt-end-watch", 0, 0, server);
        const char** ports = jack_get_ports(watch.client(), "^Vantaro:", JACK_DEFAULT_MIDI_TYPE, 0);
        if (!ports) return false;
        jack_free(ports);
        return true;
    }
    bool reportedReady() { return notify_.ready(); }
    // Waits until the program has its own handler for sig, which it sets up right after the
    // application object, before the splash window.
    bool handles(int sig) { return process_.handles(sig); }
    std::optional<int> endWith(int sig, std::chrono::milliseconds limit) {
        return process_.endWith(sig, limit);
    }
    std::string log() const { return process_.log(); }

private:
    test::NotifySocket notify_;
    test::ProgramProcess process_;
};

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
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.handles(SIGHUP)) << program.log();

        const std::optional<int> status = program.endWith(SIGHUP, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGHUP\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::describeStatus(*status) << "\n"
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
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.started(server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");
        ASSERT_NE(settings.find("DeviceNumber= 0"), std::string::npos) << settings;

        const std::optional<int> status = program.endWith(SIGINT, 10s);
        ASSERT_TRUE(status) << "the program did not end after SIGINT\n" << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::describeStatus(*status) << "\n"
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
        ProgramProcess program(folder, server.name());
        ASSERT_TRUE(program.started(server.name())) << program.log();
        const std::string settings = test::fileBytes(folder / "jmconfig.ini");

        server.freeze();
        const std::optional<int> status = program.endWith(SIGTERM, 15s);
        server.resume();
        ASSERT_TRUE(status) << "the program did not end after SIGTERM while the server was stalled\n"
                            << program.log();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::describeStatus(*status) << "\n"
                                                                     << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
}

} // namespace
} // namespace vantaro
