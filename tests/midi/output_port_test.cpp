// Choosing the output device: moving on past devices that fail, the message on the last one,
// the stored choice. (The path into a real JACK receiver is in the end-to-end test.)
#include "test_ui.h"

#include "engine/numbers.h"
#include "midi/output_port.h"
#include "storage/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace vantaro {
namespace {

// Devices that cannot run here: each id opens with a scripted result.
class ScriptedOutputs final : public MidiOutApi {
public:
    explicit ScriptedOutputs(std::vector<MmResult> openResults) : results(std::move(openResults)) {}
    std::uint32_t midiOutGetNumDevs() override { return static_cast<std::uint32_t>(results.size()); }
    MmResult midiOutGetDevCaps(std::uint32_t id, std::string& name) override {
        name = "Device " + std::to_string(id);
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutOpen(MidiOutHandle* h, std::uint32_t id) override {
        opened.push_back(id);
        if (results[id] != MMSYSERR_NOERROR) return results[id];
        *h = 100 + id;
        open.insert(*h);
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutClose(MidiOutHandle h) override {
        closed.push_back(h);
        return open.erase(h) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }
    MmResult midiOutShortMsg(MidiOutHandle h, std::uint32_t) override {
        return open.count(h) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }

    std::vector<MmResult> results;
    std::vector<std::uint32_t> opened;
    std::vector<MidiOutHandle> closed;
    std::set<MidiOutHandle> open;
};

class ComboList final : public OutputListView {
public:
    void clear() override { items.clear(), current = -1; }
    void addItem(const std::string& text) override { items.push_back(text); }
    int count() const override { return static_cast<int>(items.size()); }
    void setCurrentIndex(int index) override { current = index; }
    int currentIndex() const override { return current; }
    std::vector<std::string> items;
    int current = -1;
};

class OutputPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vantaro-outport-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        ini = dir / "jmconfig.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string stored() { return readSetting(ini, "Midi", "DeviceNumber"); }

    std::filesystem::path dir, ini;
    test::RecordingUi ui;
    ComboList combo;
};

TEST_F(OutputPortTest, FailedDevicesAreSkippedUntilOneOpens) {
    ScriptedOutputs api({MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER, MMSYSERR_NOERROR});
    MidiSender sender(api, ui);
    OutputPort port(sender, combo, ui, ini);
    // No stored choice reads as position 0, which fails, and so on to the device that opens.
    ASSERT_EQ(port.listDevices(), 0);
    EXPECT_EQ(combo.items, (std::vector<std::string>{"Device 0", "Device 1", "Device 2"}));
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(combo.current, 2);
    EXPECT_EQ(sender.midiOutHandle(), 102u);
    EXPECT_EQ(stored(), "2");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sender.sendShortMessage(0x643C90), 0);

    // A settings file that cannot be written: the choice still opens, the caller is told.
    OutputPort unstored(sender, combo, ui, dir / "no-such-folder" / "jmconfig.ini");
    EXPECT_FALSE(unstored.select(2));
    EXPECT_EQ(sender.midiOutHandle(), 102u);
}

TEST_F(OutputPortTest, TheLastFailureIsReportedAndStillStored) {
    ScriptedOutputs api({MMSYSERR_NOERROR, MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER});
    MidiSender sender(api, ui);
    OutputPort port(sender, combo, ui, ini);
    port.listDevices();
    ASSERT_EQ(sender.midiOutHandle(), 100u);
    // Changing the choice closes the open device first, even though nothing opens after it.
    port.select(1);
    EXPECT_EQ(std::count(api.closed.begin(), api.closed.end(), 100u), 1);
    EXPECT_TRUE(api.open.empty());
    EXPECT_EQ(sender.midiOutHandle(), 0u);
    ASSERT_EQ(ui.messages, (std::vector<std::string>{"Couldn't open midi out, rc = 6"}));
    EXPECT_EQ(combo.current, 2);
    EXPECT_EQ(stored(), "2");
    EXPECT_EQ(port.lastResult(), MMSYSERR_NODRIVER);
    // Sends then fail with the invalid-handle code through the error window.
    EXPECT_EQ(sender.sendShortMessage(0x643C90), 5);
    EXPECT_EQ(ui.midiErrors, (std::vector<std::string>{" 5 : Device handle is invalid."}));
}

TEST_F(OutputPortTest, StartUpOpensOnlyAValidStoredPosition) {
    ScriptedOutputs api({MMSYSERR_NOERROR, MMSYSERR_NOERROR});
    MidiSender sender(api, ui);
    OutputPort port(sender, combo, ui, ini);

    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 1.5")); // rounds half to even: 2, no such entry
    EXPECT_EQ(port.listDevices(), 0);
    EXPECT_TRUE(api.opened.empty());

    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", "99999")); // no 16-bit number
    EXPECT_EQ(port.listDevices(), kOverflowError);
    EXPECT_TRUE(api.opened.empty());

    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 1"));
    EXPECT_EQ(port.listDevices(), 0);
    EXPECT_EQ(api.opened, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(combo.current, 1);

    port.close();
    EXPECT_TRUE(api.open.empty());
    EXPECT_EQ(sender.midiOutHandle(), 0u);
}

} // namespace
} // namespace vantaro
