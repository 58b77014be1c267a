// vantaro-replay [--port NAME] ACTIONS.dat SCRIPT: plays a scripted input timeline through
// the real engine; with --port every message goes out on a real MIDI output.
#include "midi/midi_send.h"
#include "midi/rtmidi_output.h"
#include "tools/replay.h"

#include <fstream>
#include <iostream>
#include <memory>

namespace {

// Without a port every send succeeds; the script's "fail" directive says otherwise.
class AcceptingSender final : public vantaro::ShortMessageSender {
public:
    std::int16_t sendShortMessage(std::uint32_t) override { return 0; }
};

// The MIDI error window has no screen here: its text goes to stderr once, then the warnings
// stop, so a port that fails throughout does not flood the terminal.
class ConsoleUi final : public vantaro::UiPort {
public:
    bool askYesNo(const std::string&) override { return false; }
    void showMessage(const std::string& text) override { std::cerr << "vantaro-replay: " << text << '\n'; }
    vantaro::MidiErrorChoice showMidiError(const std::string& codeText) override {
        std::cerr << "vantaro-replay: problem sending MIDI commands:" << codeText << '\n';
        return vantaro::MidiErrorChoice::StopWarnings;
    }
    void endProgram() override {}
};

// One line per directive: the man page vantaro-replay(1) tells the same at length.
constexpr const char* kHelp =
    "Usage: vantaro-replay [--port NAME] ACTIONS.dat SCRIPT\n"
    "Plays SCRIPT, a timeline of controller input, through Vantaro's engine with the actions\n"
    "of ACTIONS.dat (jmconfig.dat or an exported list) and prints one line per MIDI message:\n"
    "the tick, the value, the channel, the kind and number, the message word and the result.\n"
    "\n"
    "  --port NAME  also send each message to the first MIDI output whose name contains NAME\n"
    "  -h, --help   show this help and exit\n"
    "\n"
    "SCRIPT holds one directive a line; '#' starts a comment.\n"
    "  centre X Y Z R U V                    set the six axes' centres, as Calibrate stores them\n"
    "  width W                               set the dead zone around each centre (Joystick Response)\n"
    "  hand T                                set the glove's hand threshold (P5 Hand, 0..100)\n"
    "  finger T                              set the glove's finger threshold (P5 Fingers, 0..63)\n"
    "  joy X Y Z R U V BUTTONS POV           the joystick reads this from now on\n"
    "  nojoy                                 no joystick from now on\n"
    "  glove I M R P T X Y Z YAW PITCH ROLL  the glove reads this from now on\n"
    "  describe                              print every action as the window's list shows it\n"
    "  fail CODE                             every send from now on reports CODE (0: they succeed)\n"
    "  wait MS                               let MS milliseconds pass without a poll\n"
    "  tick [N]                              run N polls (1 when left out), one millisecond apart\n"
    "Axes are 0..65535; BUTTONS is the button word (bit n-1 is button n); POV is the hat in\n"
    "hundredths of a degree clockwise from up, 65535 when centred. I M R P T are the bends of\n"
    "index, middle, ring, pinky and thumb (0..63), the rest the hand's position and angles.\n"
    "\n"
    "Exit status: 0 when the script ran to its end; 2 for a bad command line, an unreadable\n"
    "file or a malformed script line (reported on stderr with its line number).\n";

int usage() {
    std::cerr << "usage: vantaro-replay [--port NAME] ACTIONS.dat SCRIPT\n";
    return 2;
}

// Opens the first output whose name contains part; false (with the reason on stderr) if none.
bool openPort(vantaro::MidiSender& sender, const std::string& part) {
    vantaro::MidiOutApi& api = sender.api();
    const auto n = api.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        if (api.midiOutGetDevCaps(id, name) != 0 || name.find(part) == std::string::npos) continue;
        const auto r = api.midiOutOpen(&sender.midiOutHandle(), id);
        if (r == 0) return true;
        std::cerr << "vantaro-replay: cannot open MIDI output \"" << name << "\", rc = " << r << '\n';
        return false;
    }
    std::cerr << "vantaro-replay: no MIDI output matches \"" << part << "\" (" << n << " outputs";
    if (n > 0) {
        std::cerr << ':';
        for (std::uint32_t id = 0; id < n; ++id) {
            std::string name;
            api.midiOutGetDevCaps(id, name);
            std::cerr << (id ? ", " : " ") << '"' << name << '"';
        }
    }
    std::cerr << ")\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    bool withPort = false;
    int first = 1;
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "--port") {
        if (argc < 3) return usage();
        port = argv[2];
        withPort = true;
        first = 3;
    }
    if (argc - first != 2) return usage();
    vantaro::ActionList list;
    if (auto error = vantaro::loadReplayActions(argv[first], list)) {
        std::cerr << "vantaro-replay: " << *error << '\n';
        return 2;
    }
    std::ifstream script(argv[first + 1]);
    if (!script) {
        std::cerr << "vantaro-replay: cannot open script " << argv[first + 1] << '\n';
        return 2;
    }
    if (!withPort) {
        AcceptingSender sender;
        vantaro::Replay replay(list, sender, std::cout);
        return replay.run(script, std::cerr);
    }
    vantaro::RtMidiOutput output;
    ConsoleUi ui;
    vantaro::MidiSender sender(output, ui);
    if (!openPort(sender, port)) return 2;
    int status = 0;
    {
        vantaro::Replay replay(list, sender, std::cout);
        status = replay.run(script, std::cerr);
    }
    // Closing waits for the messages still on their way to the port.
    output.midiOutClose(sender.midiOutHandle());
    return status;
}
