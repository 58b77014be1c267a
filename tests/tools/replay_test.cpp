// vantaro-replay run as the real program on small files.
#include "engine/action_record.h"
#include "storage/record_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

using namespace vantaro;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ReplayTest : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vantaro-replay-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path writeActions(const std::vector<ActionRecord>& records, std::size_t extraBytes = 0) {
        fs::path p = dir / "actions.dat";
        std::ofstream out(p, std::ios::binary);
        for (const ActionRecord& r : records) {
            std::array<std::uint8_t, kRecordBytes> b{};
            encodeRecord(r, b);
            out.write(reinterpret_cast<const char*>(b.data()), b.size());
        }
        out << std::string(extraBytes, '\0');
        return p;
    }

    Outcome replay(const fs::path& actions, const std::string& script, const std::string& options = "") {
        const fs::path s = dir / "script.txt";
        std::ofstream(s) << script;
        const char* bin = std::getenv("VANTARO_BIN");
        const std::string cmd = std::string(bin ? bin : "bin") + "/vantaro-replay " + options + " '" +
                                actions.string() + "' '" + s.string() + "' >'" + (dir / "out").string() +
                                "' 2>'" + (dir / "err").string() + "'";
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
    }
};

ActionRecord noteOnButton(std::int32_t mask, int note) {
    ActionRecord r;
    r.buttonMask = mask;
    r.dataNumber = static_cast<std::int16_t>(note);
    r.high = 127;
    r.povDirection = kPovCentred;
    r.messageKind = kNoteOn;
    r.recordVersion = kRecordVersion;
    return r;
}

const char* kRest = "joy 32768 32768 32768 32768 32768 32768 ";

} // namespace

TEST_F(ReplayTest, PrintsEachMessageWithItsTick) {
    const Outcome r = replay(writeActions({noteOnButton(1, 60)}),
                             std::string("centre 32768 32768 32768 32768 32768 32768\n") + kRest +
                                 "1 65535\n" + "tick 3  # press and hold\n" + kRest + "0 65535\n" + "tick\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\n"
                     "4 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(ReplayTest, FailChangesTheResultUntilReset) {
    const Outcome r =
        replay(writeActions({noteOnButton(1, 60)}),
               std::string(kRest) + "1 65535\nfail 67\ntick\n" + kRest + "0 65535\nfail 0\ntick\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 67\n"
                     "2 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0\n");
}

TEST_F(ReplayTest, WaitAdvancesTheClockForDelays) {
    ActionRecord r = noteOnButton(1, 7);
    r.messageKind = kControllerChange;
    r.increment = 10;
    r.delay = 50;
    const Outcome run =
        replay(writeActions({r}), std::string(kRest) + "1 65535\ntick\nwait 49\ntick\nwait 1\ntick\n");
    EXPECT_EQ(run.status, 0) << run.err;
    // 50 ms after the step is not strictly more than the delay; 51 ms is.
    EXPECT_EQ(run.out, "1 Value: 10 Channel: 0 Controller: 7  Data: 657328 Result: 0\n"
                       "3 Value: 20 Channel: 0 Controller: 7  Data: 1312688 Result: 0\n");
}

// The tool is the program without its window: it reads a list and finds a stick pulled out as the
// window does.
TEST_F(ReplayTest, AListIsReadAndAnUnpluggedStickLetsGoAsInTheWindow) {
    // A list saved while its button was held: the first press after the start plays.
    ActionRecord held = noteOnButton(1, 60);
    held.lastButtonState = 1;
    const std::string pressAndRelease = std::string(kRest) + "1 65535\ntick\n" + kRest + "0 65535\ntick\n";
    const Outcome afterSave = replay(writeActions({held}), pressAndRelease);
    EXPECT_EQ(afterSave.status, 0) << afterSave.err;
    EXPECT_EQ(afterSave.out, "1 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\n"
                             "2 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0\n");

    // Pulled out while the hat and a button are held: both are released; plugged back, both play.
    ActionRecord hat = noteOnButton(0, 62);
    hat.povDirection = 0;
    const Outcome unplugged = replay(writeActions({hat, noteOnButton(1, 60)}),
                                     std::string(kRest) + "1 0\ntick\nnojoy\ntick\n" + kRest + "1 0\ntick\n");
    EXPECT_EQ(unplugged.status, 0) << unplugged.err;
    EXPECT_EQ(unplugged.out, "1 Value: 127 Channel: 0 Note On: 62  Data: 8339088 Result: 0\n"
                             "1 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\n"
                             "2 Value: 0 Channel: 0 Note On: 62  Data: 16016 Result: 0\n"
                             "2 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0\n"
                             "3 Value: 127 Channel: 0 Note On: 62  Data: 8339088 Result: 0\n"
                             "3 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\n");
}

// --settings starts as the program does from a user's jmconfig.ini, and never writes it.
TEST_F(ReplayTest, SettingsGiveTheStoredCentresDeadZoneAndThresholdsAndTheFirstRunRule) {
    ActionRecord axis = noteOnButton(0, 1);
    axis.messageKind = kControllerChange;
    axis.axisMask = 1; // X
    axis.toggle = 1;   // Low before the dead zone, High past it, held inside it
    ActionRecord finger = noteOnButton(0, 20);
    finger.messageKind = kControllerChange;
    finger.isGlove = 1;
    finger.fingerSelect = {1, 0, 0, 0, 0};
    const fs::path actions = writeActions({axis, finger});
    const fs::path ini = dir / "jmconfig.ini";
    const std::string stored =
        "[General]\r\nconfig= 1\r\n[Joystick]\r\ndwXpos= 10000\r\nCenterWidth= 5000\r\n"
        "CenterP5Finger= 40\r\n";
    std::ofstream(ini, std::ios::binary) << stored;
    // X at 14000 is inside the stored zone around 10000, at 16000 outside it; a bend of 41 is past
    // the stored finger threshold, 39 is not.
    const std::string script = "joy 14000 32768 32768 32768 32768 32768 0 65535\ntick\n"
                               "joy 16000 32768 32768 32768 32768 32768 0 65535\ntick\n"
                               "glove 39 0 0 0 0 0 0 0 0 0 0\ntick\nglove 41 0 0 0 0 0 0 0 0 0 0\ntick\n";
    const Outcome withSettings = replay(actions, script, "--settings '" + ini.string() + "'");
    EXPECT_EQ(withSettings.status, 0) << withSettings.err;
    EXPECT_EQ(withSettings.out, "2 Value: 127 Channel: 0 Controller: 1  Data: 8323504 Result: 0\n"
                                "4 Value: 6 Channel: 0 Controller: 20  Data: 398512 Result: 0\n");
    EXPECT_EQ(slurp(ini), stored) << "read, never written";

    // A file not yet configured is a first run: the centre follows the stick, nothing is off it.
    const std::string fresh = "[Joystick]\r\ndwXpos= 10000\r\n";
    std::ofstream(ini, std::ios::binary) << fresh;
    const Outcome firstRun = replay(actions, script, "--settings '" + ini.string() + "'");
    EXPECT_EQ(firstRun.status, 0) << firstRun.err;
    EXPECT_EQ(firstRun.out.find("Controller: 1 "), std::string::npos) << firstRun.out;
    EXPECT_EQ(slurp(ini), fresh);

    // Without the option nothing is stored: centre 0, width 0 and threshold 0.
    const Outcome without = replay(actions, script);
    EXPECT_EQ(without.out, "1 Value: 127 Channel: 0 Controller: 1  Data: 8323504 Result: 0\n"
                           "3 Value: 79 Channel: 0 Controller: 20  Data: 5182640 Result: 0\n"
                           "4 Value: 83 Channel: 0 Controller: 20  Data: 5444784 Result: 0\n");

    const Outcome missing = replay(actions, script, "--settings '" + (dir / "none.ini").string() + "'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read settings"), std::string::npos) << missing.err;
}

TEST_F(ReplayTest, GloveDirectiveDrivesFingerActions) {
    ActionRecord finger = noteOnButton(0, 20);
    finger.messageKind = kControllerChange;
    finger.isGlove = 1;
    finger.fingerSelect = {1, 0, 0, 0, 0};
    const Outcome r = replay(writeActions({finger}), "finger 13\nglove 63 0 0 0 0 0 0 0 0 0 0\ntick\n"
                                                     "glove 38 0 0 0 0 0 0 0 0 0 0\ntick\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 Value: 127 Channel: 0 Controller: 20  Data: 8328368 Result: 0\n"
                     "2 Value: 64 Channel: 0 Controller: 20  Data: 4199600 Result: 0\n");
}

TEST_F(ReplayTest, MalformedDirectiveNamesItsLine) {
    const fs::path actions = writeActions({noteOnButton(1, 60)});
    const std::string endless = "tick\n" + std::string(5000, 'x') + "\n";
    for (const std::string bad :
         {"tick\nbogus 1\n", "tick\nwidth\n", "tick\njoy 1 2 3\n", "tick\ntick many\n", "tick\nfail 99999\n",
          "\n# fine\nwait -5\n", "tick\ntick 1000001\n", endless.c_str()}) {
        const Outcome r = replay(actions, bad);
        EXPECT_EQ(r.status, 2) << bad.substr(0, 40);
        EXPECT_NE(r.err.find(bad[0] == '\n' ? "line 3" : "line 2"), std::string::npos) << r.err;
    }
}

TEST_F(ReplayTest, WhatIsNoFileOrCannotBeWrittenFailsAtOnce) {
    const fs::path actions = writeActions({noteOnButton(1, 60)});
    const fs::path script = dir / "script.txt";
    std::ofstream(script) << std::string(kRest) + "1 65535\ntick\n";
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string bin =
        std::string(std::getenv("VANTARO_BIN") ? std::getenv("VANTARO_BIN") : "bin") + "/vantaro-replay";
    auto status = [&](const std::string& args) {
        const int raw = std::system((bin + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    // Nothing that is not a regular file is waited on or read as an empty script.
    EXPECT_EQ(status(actions.string() + " " + fifo.string() + " >/dev/null"), 2);
    EXPECT_EQ(status(fifo.string() + " " + script.string() + " >/dev/null"), 2);
    EXPECT_EQ(status(actions.string() + " " + dir.string() + " >/dev/null"), 2);
    EXPECT_EQ(status(actions.string() + " /dev/zero >/dev/null"), 2);
    // Output that cannot be written is a failure, not a success.
    EXPECT_EQ(status(actions.string() + " " + script.string() + " >/dev/full"), 1);
    EXPECT_EQ(status(actions.string() + " " + script.string() + " >/dev/null"), 0);
}

TEST_F(ReplayTest, ActionFilesLoadByTheProgramsRules) {
    // A length between whole records rounds, halves to the even count: 2.5 records are 2.
    const Outcome rounded =
        replay(writeActions({noteOnButton(1, 60), noteOnButton(2, 61)}, 42), "describe\n");
    EXPECT_EQ(rounded.status, 0) << rounded.err;
    EXPECT_EQ(std::count(rounded.out.begin(), rounded.out.end(), '\n'), 2) << rounded.out;
    EXPECT_EQ(replay(writeActions(std::vector<ActionRecord>(1000, noteOnButton(1, 60))), "tick\n").status, 0);
    EXPECT_EQ(replay(writeActions({}), "tick\n").status, 0) << "an empty list is a list";

    // Where the program would ask to delete the file, the tool says why and stops.
    ActionRecord wrongVersion = noteOnButton(1, 60);
    wrongVersion.recordVersion = 2;
    const Outcome version = replay(writeActions({noteOnButton(1, 60), wrongVersion}), "tick\n");
    EXPECT_EQ(version.status, 2);
    EXPECT_NE(version.err.find("record 2"), std::string::npos) << version.err;
    EXPECT_EQ(replay(writeActions(std::vector<ActionRecord>(1001, noteOnButton(1, 60))), "tick\n").status, 2);
    EXPECT_EQ(replay(dir / "missing.dat", "tick\n").status, 2);
}

TEST_F(ReplayTest, DescribeListsEveryActionInOrder) {
    ActionRecord cc = noteOnButton(0, 7);
    cc.messageKind = kControllerChange;
    cc.channel = 3;
    cc.increment = -16;
    cc.delay = 100;
    cc.wrap = 1;
    const Outcome r = replay(writeActions({noteOnButton(1, 60), cc}), "describe\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1: Button:  1  Note On:  0 Controller:  60 Low:  0 High:  127 \n"
                     "2:  Channel:  3 Controller:  7 Inc: -16 Low:  0 High:  127 Delay:  100ms Wrap On \n");
}
