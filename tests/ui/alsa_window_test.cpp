// The whole program as most Linux desktops and stage rigs run it (virtual machine): the ALSA
// sequencer and a game pad of the kernel's own, with its window and without one. The output stored
// by an earlier run, numbers and all, is found again and a press on the pad is heard at the synth.
#include "engine/action_record.h"
#include "storage/action_file.h"
#include "support/alsa_seq.h"
#include "support/program_process.h"
#include "support/records.h"
#include "support/uinput_pad.h"
#include "support/vm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vantaro {
namespace {

using Bytes = test::SeqClient::Bytes;

// The program with args and env on a folder whose settings name the synth (with the numbers of
// an earlier run) and the pad: a press and its release are heard, and SIGTERM ends it with 0.
void playsAPressAndEndsCleanly(const std::vector<std::string>& args, std::vector<std::string> env) {
    test::UinputPad pad("Vantaro kernel pad");
    test::SeqClient synth("vt-synth");
    test::TempFolder folder;
    test::putBytes(folder / "jmconfig.ini", "[General]\r\nconfig= 1\r\n"
                                            "[Midi]\r\nDeviceName=vt-synth:in 150:0\r\n"
                                            "[Joystick]\r\nDeviceName=Vantaro kernel pad\r\n");
    ActionList list;
    list[++list.actionCount] = test::buttonAction(1);
    test::putBytes(folder / "jmconfig.dat", encodeActions(list));
    env.push_back("HOME=" + (folder / "home").string());
    env.push_back("SDL_JOYSTICK_DISABLE_UDEV=1");
    test::ProgramProcess program(folder, "vantaro", args, env);

    // Start-up under emulation and the sanitizers takes a while: the program is ready once it has
    // connected to the synth.
    ASSERT_TRUE(test::waitUntil([&] { return synth.hasSender() || !program.running(); }, 150000))
        << program.log();
    ASSERT_TRUE(program.running()) << program.log();
    pad.button(0, true);
    const auto heard = [&](const Bytes& m) {
        return test::waitUntil(
            [&] {
                const auto& r = synth.received();
                return std::find(r.begin(), r.end(), m) != r.end();
            },
            60000);
    };
    EXPECT_TRUE(heard({0x90, 60, 127})) << program.log();
    pad.button(0, false);
    EXPECT_TRUE(heard({0x90, 60, 0})) << program.log();

    const std::optional<int> status = program.endWith(SIGTERM, std::chrono::seconds(30));
    ASSERT_TRUE(status) << program.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::describeStatus(*status) << "\n"
                                                                 << program.log();
}

TEST(AlsaWindow, APressOnAKernelPadIsHeardAtTheSynth) {
    VANTARO_REQUIRE_VM();
    playsAPressAndEndsCleanly({}, {"QT_QPA_PLATFORM=offscreen"});
}

// A stage rig: no window and no display at all (the process runner takes the display variables out).
TEST(AlsaWindow, WithoutAWindowAPressOnAKernelPadIsHeardAtTheSynth) {
    VANTARO_REQUIRE_VM();
    playsAPressAndEndsCleanly({"--no-window"}, {});
}

} // namespace
} // namespace vantaro
