// Without any MIDI system (no JACK server, no ALSA sequencer on these machines) the program looks
// for one again and again; the JACK library's own complaints about that must not reach stderr,
// where a program started from a desktop menu fills the session log.
#include "midi/main_thread_poster.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "support/temp_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace vantaro {
namespace {

TEST(Quiet, WithoutAMidiSystemNothingButOurOwnWordsReachStderr) {
    test::TempFolder folder;
    const std::string nobody = "vt-nobody-" + std::to_string(::getpid());
    setenv("JACK_DEFAULT_SERVER", nobody.c_str(), 1);

    // The looks of a running program: the lists read again and again, a server looked for.
    const int saved = ::dup(2);
    const int capture = ::open((folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(capture, 0);
    ::dup2(capture, 2);
    std::uint32_t outputs = 0, inputs = 0;
    {
        QueuedPoster poster;
        RtMidiOutput output(MidiSystem::Jack);
        RtMidiInput input(poster, output);
        for (int look = 0; look < 3; ++look) {
            outputs += output.midiOutGetNumDevs();
            inputs += input.midiInGetNumDevs();
            (void)output.devicesChanged();
        }
    }
    ::dup2(saved, 2);
    ::close(saved);
    ::close(capture);
    EXPECT_EQ(outputs + inputs, 0u) << "no MIDI system: nothing listed, not even our own port";
    EXPECT_EQ(test::fileBytes(folder / "stderr"), "");

    // The real tool: its own one line, nothing of the library's.
    std::ofstream(folder / "script") << "tick\n";
    std::ofstream(folder / "actions.dat").close();
    const std::string cmd = std::string(std::getenv("VANTARO_BIN")) + "/vantaro-replay --port synth '" +
                            (folder / "actions.dat").string() + "' '" + (folder / "script").string() +
                            "' >/dev/null 2>'" + (folder / "err").string() + "'";
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2);
    EXPECT_EQ(test::fileBytes(folder / "err"),
              "vantaro-replay: no MIDI output matches \"synth\" (0 outputs)\n");
}

} // namespace
} // namespace vantaro
