// The whole program as most Linux desktops run it (virtual machine): the ALSA sequencer and a game
// pad of the kernel's own. The output stored by an earlier run, numbers and all, is found again
// and a press on the pad is heard at the synth.
#include "engine/action_record.h"
#include "storage/action_file.h"
#include "support/alsa_seq.h"
#include "support/program_process.h"
#include "support/records.h"
#include "support/uinput_pad.h"
#include "support/vm.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantaro {
namespace {

using Bytes = test::SeqClient::Bytes;

TEST(AlsaWindow, APressOnAKernelPadIsHeardAtTheSynth) {
    VANTARO_REQUIRE_VM();
    test::UinputPad pad("Vantaro kernel pad");
    test::SeqClient synth("vt-synth");
    test::TempFolder folder;
    test::putBytes(folder / "jmconfig.ini", "[Midi]\r\nDeviceName=vt-synth:in 150:0\r\n");
    ActionList list;
    list[++list.actionCount] = test::buttonAction(1);
    test::putBytes(folder / "jmconfig.dat", encodeActions(list));
    test::ProgramProcess program(
        folder, "vantaro", {},
        {"HOME=" + (folder / "home").string(), "QT_QPA_PLATFORM=offscreen", "SDL_JOYSTICK_DISABLE_UDEV=1"});

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

} // namespace
} // namespace vantaro
