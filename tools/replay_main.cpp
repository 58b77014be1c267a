// vantaro-replay [--settings FILE] [--port NAME] ACTIONS.dat SCRIPT: plays a scripted input
// timeline through the program without its window; with --settings it starts from a user's
// jmconfig.ini (never writing it), with --port every message goes out on a real MIDI output.
#include "core/program_identity.h"
#include "midi/rtmidi_output.h"
#include "tools/replay.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

// One line per directive: the man page vantaro-replay(1) tells the same at length.
constexpr const char* kHelp =
    "Usage: vantaro-replay [--settings FILE] [--port NAME] ACTIONS.dat SCRIPT\n"
    "Plays SCRIPT, a timeline of controller input, through Vantaro's engine with the actions\n"
    "of ACTIONS.dat (jmconfig.dat or an exported list) and prints one line per MIDI message:\n"
    "the tick, the value, the channel, the kind and number, the message word and the result.\n"
    "\n"
    "  --settings FILE  start as Vantaro does from FILE, a jmconfig.ini: the stored centres,\n"
    "                   dead zone and glove thresholds, and the first-run rule (FILE is only read)\n"
    "  --port NAME      also send each message to the first MIDI output whose name contains NAME\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "\n"
    "SCRIPT holds one directive a line; '#' starts a comment.\n"
    "  centre X Y Z R U V                    set the six axes' centres, as Calibrate stores them\n"
    "  width W                               set the dead zone around each centre (Joystick Response)\n"
    "  hand T                                set the glove hand threshold (P5 Hand Response, 0..100)\n"
    "  finger T                              set the glove finger threshold (P5 Finger Response, 0..63)\n"
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
    "A script line may hold up to 4096 characters, and one tick directive up to 1000000 polls.\n"
    "\n"
    "Exit status: 0 when the script ran to its end; 2 for a bad command line, an unreadable or\n"
    "damaged file or a malformed script line (reported on stderr with its line number); 1 when\n"
    "the output could not be written or sends to the MIDI port failed (their count on stderr).\n";

constexpr const char* kUsage = "usage: vantaro-replay [--settings FILE] [--port NAME] ACTIONS.dat SCRIPT\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

// Opening a FIFO or a device would wait for a writer; a folder reads as nothing.
bool regularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The first output whose name contains part; -1 (with the reason on stderr) if none.
int findPort(vantaro::MidiOutApi& api, const std::string& part) {
    const auto n = api.midiOutGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        if (api.midiOutGetDevCaps(id, name) == 0 && name.find(part) != std::string::npos)
            return static_cast<int>(id);
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
    return -1;
}

// Plays the script; 0, 2 for bad input, 1 when output could not be written or sends failed.
int play(vantaro::Replay& replay, std::istream& script) {
    const int status = replay.run(script);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "vantaro-replay: the output could not be written\n";
        return status != 0 ? status : 1;
    }
    if (status == 0 && replay.failedSends() > 0) {
        std::cerr << "vantaro-replay: " << replay.failedSends() << " sends failed\n";
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    std::filesystem::path settings;
    bool withPort = false;
    int first = 1;
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (argc >= 2 && (std::string(argv[1]) == "--version" || std::string(argv[1]) == "-V")) {
        std::cout << vantaro::versionLine("vantaro-replay") << '\n';
        return 0;
    }
    for (; first < argc; first += 2) {
        const std::string option = argv[first];
        if (option != "--port" && option != "--settings") break;
        if (first + 1 >= argc) return usage();
        if (option == "--port") {
            port = argv[first + 1];
            withPort = true;
        } else {
            settings = argv[first + 1];
        }
    }
    if (argc - first != 2) return usage();
    // A settings file that is not there would start as a first run: almost surely a wrong name.
    if (!settings.empty() && (!regularFile(settings) || ::access(settings.c_str(), R_OK) != 0)) {
        std::cerr << "vantaro-replay: cannot read settings " << settings.string() << '\n';
        return 2;
    }
    // The output exists before the program starts, as the machine's MIDI system does.
    std::unique_ptr<vantaro::RtMidiOutput> output;
    if (withPort) output = std::make_unique<vantaro::RtMidiOutput>();
    int status = 0;
    {
        // Closing, at the end of this block, waits for the messages still on their way.
        vantaro::Replay replay(output.get(), std::cout, std::cerr, settings);
        if (auto error = replay.loadActions(argv[first])) {
            std::cerr << "vantaro-replay: " << *error << '\n';
            return 2;
        }
        const std::filesystem::path scriptPath = argv[first + 1];
        std::ifstream script;
        if (regularFile(scriptPath)) script.open(scriptPath);
        if (!script.is_open()) {
            std::cerr << "vantaro-replay: cannot open script " << scriptPath.string() << '\n';
            return 2;
        }
        if (withPort) {
            const int id = findPort(*output, port);
            if (id < 0) return 2;
            if (const auto r = replay.openOutput(static_cast<std::uint32_t>(id)); r != 0) {
                std::string name;
                output->midiOutGetDevCaps(static_cast<std::uint32_t>(id), name);
                std::cerr << "vantaro-replay: cannot open MIDI output \"" << name << "\", rc = " << r << '\n';
                return 2;
            }
        }
        status = play(replay, script);
    }
    return status;
}
