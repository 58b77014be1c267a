// vantaro --no-window as a stage rig runs it: the real program, no display, a joystick (SDL's
// virtual stick, inside the program) and a synth on the JACK server, found by the names stored.
#include "storage/action_file.h"
#include "support/jack.h"
#include "support/program_process.h"
#include "support/records.h"
#include "support/temp_folder.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace vantaro {
namespace {

using namespace std::chrono_literals;

// The program without a window on folder, its stick pressed through the FIFO stick, its readiness
// reported on notify.
test::ProgramProcess withoutWindow(const test::TempFolder& folder, const std::filesystem::path& stick,
                                   const test::NotifySocket& notify) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return test::ProgramProcess(
        folder, "vantaro", {"--no-window"},
        {"HOME=" + (folder / "home").string(), "JACK_DEFAULT_SERVER=" + test::jackServerName(),
         "JACK_NO_AUDIO_RESERVATION=1", notify.variable(),
         "LD_PRELOAD=" +
             (std::filesystem::path(std::getenv("VANTARO_BIN")) / "libvantaro_stage_stick.so").string(),
         "VANTARO_STAGE_STICK=" + stick.string(),
         // The stick's library comes before the sanitizer's runtime in a sanitizer build.
         std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"});
}

TEST(NoWindow, PlaysTheStoredListOnTheStoredDevicesAndEndsCleanlyOnSigterm) {
    ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
    test::ServerLock lock;
    test::JackPeer synth("vt-stage-synth", 1, 0);
    test::TempFolder folder;
    ActionList list;
    list[1] = test::buttonAction(1); // button 1 plays note 60
    list.actionCount = 1;
    test::putBytes(folder / "jmconfig.dat", encodeActions(list));
    test::putBytes(folder / "jmconfig.ini", "[General]\nconfig= 1\nbigform= 1\n"
                                            "[Midi]\nDeviceNumber= 0\nDeviceName=vt-stage-synth:in0\n"
                                            "[Joystick]\nDeviceNumber= 0\nDeviceName=Stage Pad\n");
    const std::filesystem::path stick = folder / "stick";
    ASSERT_EQ(::mkfifo(stick.c_str(), 0600), 0);

    test::NotifySocket notify(folder / "notify");
    ASSERT_TRUE(notify.bound());
    test::ProgramProcess program = withoutWindow(folder, stick, notify);
    // Ready once its devices are open and its list is read.
    ASSERT_TRUE(test::waitUntil([&] { return notify.ready() || !program.running(); }, 60000) &&
                notify.ready())
        << program.log();
    EXPECT_NE(program.log().find("vantaro: playing without a window"), std::string::npos) << program.log();
    ASSERT_TRUE(synth.waitConnected()) << program.log();
    std::ofstream(stick) << "button 0 1\n";
    ASSERT_TRUE(synth.waitFor(1)) << program.log();
    std::ofstream(stick) << "button 0 0\n";
    ASSERT_TRUE(synth.waitFor(2)) << program.log();
    EXPECT_EQ(synth.received(), (std::vector<test::Bytes>{{0x90, 60, 127}, {0x90, 60, 0}}));

    const std::optional<int> status = program.endWith(SIGTERM, 10s);
    ASSERT_TRUE(status) << "still running after SIGTERM\n" << program.log();
    EXPECT_EQ(test::describeStatus(*status), "exit status 0") << program.log();
    EXPECT_EQ(test::fileBytes(folder / "jmconfig.dat"), encodeActions(list));
}

// Without a window nobody can answer the damaged-file question: nothing is set aside or deleted,
// the program says why it ends, and ends with status 1.
TEST(NoWindow, ADamagedActionListIsLeftAloneAndTheProgramEndsWithStatus1) {
    test::TempFolder folder;
    ActionList list;
    list[1] = test::buttonAction(1);
    list[1].recordVersion = 2;
    list.actionCount = 1;
    const std::string damaged = encodeActions(list);
    test::putBytes(folder / "jmconfig.dat", damaged);
    const std::filesystem::path stick = folder / "stick";
    ASSERT_EQ(::mkfifo(stick.c_str(), 0600), 0);

    test::NotifySocket notify(folder / "notify");
    test::ProgramProcess program = withoutWindow(folder, stick, notify);
    const std::optional<int> status = program.endWith(0, 30s);
    ASSERT_TRUE(status) << program.log();
    EXPECT_EQ(test::describeStatus(*status), "exit status 1") << program.log();
    const std::string log = program.log();
    EXPECT_NE(log.find("vantaro: Error opening config file.  Delete config? No: without a window nothing is "
                       "deleted; start vantaro with its window to decide.\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("vantaro: ending: nothing was changed.\n"), std::string::npos) << log;
    EXPECT_EQ(test::fileBytes(folder / "jmconfig.dat"), damaged);
    EXPECT_FALSE(std::filesystem::exists(folder / "jmconfig.dat.damaged"));
    EXPECT_FALSE(notify.ready()) << "never ready";
}

} // namespace
} // namespace vantaro
