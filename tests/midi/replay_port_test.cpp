// vantaro-replay --port: a scripted performance played into a JACK receiver for real.
#include "support/jack.h"

#include "engine/action_record.h"
#include "storage/record_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace vantaro {
namespace {

namespace fs = std::filesystem;

class ReplayPortTest : public ::testing::Test {
protected:
    test::ServerLock lock;
    void SetUp() override {
        ASSERT_FALSE(test::jackServerName().empty()) << "VANTARO_JACK_SERVER is not set";
        setenv("JACK_DEFAULT_SERVER", test::jackServerName().c_str(), 1);
        dir = fs::temp_directory_path() / ("vantaro-replay-port-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        ActionRecord r;
        r.buttonMask = 1;
        r.dataNumber = 60;
        r.high = 127;
        r.povDirection = kPovCentred;
        r.messageKind = kNoteOn;
        r.recordVersion = kRecordVersion;
        std::array<std::uint8_t, kRecordBytes> bytes{};
        encodeRecord(r, bytes);
        std::ofstream(dir / "actions.dat", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::ofstream(dir / "script") << "centre 32768 32768 32768 32768 32768 32768\n"
                                         "joy 32768 32768 32768 32768 32768 32768 1 65535\ntick 3\n"
                                         "joy 32768 32768 32768 32768 32768 32768 0 65535\ntick\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(const std::string& port, std::string& out, std::string& err) {
        const char* bin = std::getenv("VANTARO_BIN");
        const std::string cmd = std::string(bin ? bin : "bin") + "/vantaro-replay --port '" + port + "' '" +
                                (dir / "actions.dat").string() + "' '" + (dir / "script").string() + "' >'" +
                                (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
        const int raw = std::system(cmd.c_str());
        out = slurp(dir / "out");
        err = slurp(dir / "err");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    static std::string slurp(const fs::path& p) {
        std::ifstream in(p);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
};

TEST_F(ReplayPortTest, PlaysIntoTheNamedPortAndPrintsTheRealResults) {
    // A cycle the server missed (an xrun on a loaded machine) loses events for every client:
    // such an attempt is the server's, and is tried again, up to three times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        test::JackPeer synth("vt-replay-synth", 1, 0);
        std::string out, err;
        ASSERT_EQ(run("replay-synth", out, err), 0) << err;
        EXPECT_EQ(out, "1 Value: 127 Channel: 0 Note On: 60  Data: 8338576 Result: 0\n"
                       "4 Value: 0 Channel: 0 Note On: 60  Data: 15504 Result: 0\n");
        const bool both = synth.waitFor(2, 0, std::chrono::seconds(5));
        if (!both && synth.xruns() > 0) continue;
        ASSERT_TRUE(both);
        EXPECT_EQ(synth.received(), (std::vector<test::Bytes>{{0x90, 60, 127}, {0x90, 60, 0}}));
        return;
    }
    FAIL() << "every attempt lost events in cycles the server missed";
}

TEST_F(ReplayPortTest, SendsThatFailForRealAreCountedAndTheExitSaysSo) {
    // Long enough that the receiver goes while the script still plays.
    std::ofstream script(dir / "script");
    for (int i = 0; i < 20000; ++i)
        script << "joy 32768 32768 32768 32768 32768 32768 1 65535\ntick\n"
                  "joy 32768 32768 32768 32768 32768 32768 0 65535\ntick\n";
    script.close();
    test::JackPeer synth("vt-replay-gone", 1, 0);
    std::string out, err;
    int status = -1;
    std::thread replay([&] { status = run("replay-gone", out, err); });
    EXPECT_TRUE(synth.waitFor(100));
    synth.close();
    replay.join();
    EXPECT_EQ(status, 1) << err;
    EXPECT_NE(err.find(" sends failed"), std::string::npos) << err;
}

TEST_F(ReplayPortTest, NoMatchingPortIsAClearErrorWithStatus2) {
    std::string out, err;
    EXPECT_EQ(run("no-such-synth-anywhere", out, err), 2);
    EXPECT_NE(err.find("no MIDI output matches \"no-such-synth-anywhere\""), std::string::npos) << err;
    EXPECT_EQ(out, "");
}

} // namespace
} // namespace vantaro
