// The start and the end of the real program as a desktop session and a terminal meet them: a
// stalled JACK server holds neither the window nor the list of outputs, which fills once the server
// answers; a signal from outside takes the same orderly way as Quit and the program ends with
// status 0, also while the JACK server it is connected to has stalled and never answers.
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
#include <vector>

namespace vantaro {
namespace {

using namespace std::chrono_literals;

// What a test changes about the program's start: environment entries ("NAME=value", each in
// place of the test's own for NAME), and the folder under the test's folder that holds the
// binary ("bin" for the layout of an installed program).
struct ProgramSetup {
    std::vector<std::string> env;
    std::string binFolder;
};

std::vector<std::string> environment(const test::TempFolder& folder, const std::string& server,
                                     const test::NotifySocket& notify, const ProgramSetup& setup) {
    std::vector<std::string> env = {"HOME=" + (folder / "home").string(), "JACK_DEFAULT_SERVER=" + server,
                                    "JACK_NO_AUDIO_RESERVATION=1", "QT_QPA_PLATFORM=offscreen",
                                    notify.variable()};
    for (const std::string& entry : setup.env) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(entry);
    }
    return env;
}

// The window program on a folder of its own, on the offscreen platform, offered a socket to
// report its readiness on.
class ProgramProcess {
public:
    ProgramProcess(const test::TempFolder& folder, const std::string& server, const ProgramSetup& setup = {})
        : notify_(folder / "notify"),
          process_(folder, "vantaro", {}, environment(folder, server, notify_, setup), setup.binFolder) {}

    // Waits until the program reports that start-up is done.
    bool becameReady() {
        if (!notify_.bound()) return false;
        test::waitUntil([&] { return !process_.running() || notify_.ready(); }, 60000,
                        [] { std::this_thread::sleep_for(10ms); });
        return process_.running() && notify_.ready();
    }
    // ... and that start-up opened the stored output device: the program's JACK client has its
    // output port on the server.
    bool started(const std::string& server) { return becameReady() && hasOutputOn(server, 0ms); }
    // Whether the program's JACK client has an output port on the server, within limit.
    bool hasOutputOn(const std::string& server, std::chrono::milliseconds limit) {
        test::JackPeer watch("vt-end-watch", 0, 0, server);
        return test::waitUntil(
            [&] {
                const char** ports = jack_get_ports(watch.client(), "^Vantaro:", JACK_DEFAULT_MIDI_TYPE, 0);
                if (!ports) return false;
                jack_free(ports);
                return true;
            },
            static_cast<int>(limit.count()));
    }
    bool reportedReady() { return notify_.ready(); }
    // Waits until the program has its own handler for sig, which it sets up right after the
    // application object, before the splash window.
    bool handles(int sig) { return process_.handles(sig); }
    std::optional<int> endWith(int sig, std::chrono::milliseconds limit) {
        return process_.endWith(sig, limit);
    }
    std::optional<int> ended(std::chrono::milliseconds limit) { return process_.endWith(0, limit); }
    void send(int sig) { process_.send(sig); }
    bool alarmWaiting() { return process_.alarmWaiting(); }
    bool running() { return process_.running(); }
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
        EXPECT_EQ(program.log().find("cut short"), std::string::npos) << program.log();
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
        EXPECT_EQ(program.log().find("cut short"), std::string::npos) << program.log();
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
    {
        // The desktop session ends while the server hangs: closing the program's JACK client
        // may never return, and the program still ends: in order (status 0), or cut short by the
        // bound, which then says so (status 124) and names the step the server held up.
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
        const std::string log = program.log();
        const bool orderly =
            WIFEXITED(*status) && WEXITSTATUS(*status) == 0 && log.find("cut short") == std::string::npos;
        const bool cut = WIFEXITED(*status) && WEXITSTATUS(*status) == 124 &&
                         log.find("cut short while closing the MIDI output") != std::string::npos;
        EXPECT_TRUE(orderly || cut) << test::describeStatus(*status) << "\n" << log;
        EXPECT_EQ(test::fileBytes(folder / "jmconfig.ini"), settings);
    }
}

TEST(ProgramStart, AStalledJackServerHoldsNeitherTheWindowNorTheOutputChoice) {
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "the program uses the ALSA sequencer here";
    test::JackServer server;
    ASSERT_TRUE(server.ready()) << "could not start jackd " << server.name();
    test::TempFolder folder;
    test::putBytes(folder / "jmconfig.ini", "[Midi]\r\nDeviceName=Vantaro virtual output\r\n");

    // Started while the server does not answer: start-up ends and the window is shown.
    server.freeze();
    ProgramProcess program(folder, server.name());
    const bool ready = program.becameReady();
    server.resume();
    ASSERT_TRUE(ready) << "start-up waited for the stalled server\n" << program.log();
    // Once it answers, the list fills and the stored output is opened: its port is on the server.
    EXPECT_TRUE(program.hasOutputOn(server.name(), 15s)) << program.log();

    const std::optional<int> status = program.endWith(SIGTERM, 10s);
    ASSERT_TRUE(status) << program.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::describeStatus(*status) << "\n"
                                                                 << program.log();
}

// No MIDI system at all: the program starts and ends without one, and no JACK server is started for it.
const std::vector<std::string> kNoMidi = {"JACK_DEFAULT_SERVER=vt-none-at-all", "JACK_NO_START_SERVER=1"};

std::vector<std::string> with(std::vector<std::string> env, const std::vector<std::string>& more) {
    env.insert(env.end(), more.begin(), more.end());
    return env;
}

TEST(ProgramEnd, TheBoundLetsASaveInHandFinishThenEndsSayingWhatItCut) {
    // The first save of a first start (its settings) is held just before its rename; the end is
    // asked for meanwhile, so the bound comes while the file is being written.
    test::TempFolder folder;
    const char* asan = std::getenv("ASAN_OPTIONS");
    ProgramProcess program(
        folder, "",
        {with(kNoMidi, {"LD_PRELOAD=" VANTARO_PAUSED_RENAME, "VANTARO_PAUSE_RENAME=jmconfig.ini.new-",
                        "VANTARO_PAUSE_DIR=" + folder.path().string(),
                        // The sanitizers' runtime need not come first then.
                        std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"}),
         ""});
    ASSERT_TRUE(test::waitUntil(
        [&] { return std::filesystem::exists(folder / "paused") || !program.running(); }, 60000))
        << program.log();
    ASSERT_TRUE(program.running()) << program.log();

    program.send(SIGTERM);
    test::waitUntil([&] { return !program.running() || program.alarmWaiting(); }, 20000);
    ASSERT_TRUE(program.running()) << "the bound ended the program in the middle of a save\n"
                                   << program.log();
    ASSERT_TRUE(program.alarmWaiting()) << program.log();

    test::putBytes(folder / "go", "");
    const std::optional<int> status = program.ended(10s);
    ASSERT_TRUE(status) << "the program did not end once the save was done\n" << program.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 124) << test::describeStatus(*status) << "\n"
                                                                   << program.log();
    EXPECT_NE(program.log().find("cut short during start-up"), std::string::npos) << program.log();
    EXPECT_EQ(program.log().find("device"), std::string::npos) << program.log();
    // The save is whole, and nothing of it is left beside the file.
    EXPECT_NE(test::fileBytes(folder / "jmconfig.ini").find("calibrated= 0"), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << entry.path();
}

TEST(ProgramStart, WithoutAUsableFolderOfTheUsersOwnTheProgramStillStartsAndMakesNoHome) {
    // An installed program keeps its files in the user's folder, which here cannot be had.
    const auto installed = [](const test::TempFolder& folder) {
        std::filesystem::create_directories(folder / "share/vantaro");
        test::putBytes(folder / "share/vantaro/help.html", "");
    };
    {
        // XDG_DATA_HOME names a file: the folder of ~/.local/share is taken, and nothing is
        // called damaged.
        test::TempFolder folder;
        installed(folder);
        test::putBytes(folder / "afile", "x");
        std::filesystem::create_directories(folder / "home");
        ProgramProcess program(folder, "",
                               {with(kNoMidi, {"XDG_DATA_HOME=" + (folder / "afile").string()}), "bin"});
        ASSERT_TRUE(program.becameReady()) << program.log();
        EXPECT_TRUE(std::filesystem::exists(folder / "home/.local/share/Vantaro/jmconfig.ini"));
        EXPECT_EQ(test::fileBytes(folder / "afile"), "x");
    }
    {
        // A home that does not exist is not made: the program keeps to its own folder.
        test::TempFolder folder;
        installed(folder);
        ProgramProcess program(folder, "",
                               {with(kNoMidi, {"HOME=" + (folder / "nonexistent").string()}), "bin"});
        ASSERT_TRUE(program.becameReady()) << program.log();
        EXPECT_FALSE(std::filesystem::exists(folder / "nonexistent"));
        EXPECT_TRUE(std::filesystem::exists(folder / "bin/jmconfig.ini"));
    }
}

} // namespace
} // namespace vantaro
