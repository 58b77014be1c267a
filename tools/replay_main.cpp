// vantaro-replay [--port NAME] ACTIONS.dat SCRIPT: plays a scripted input timeline through
// the real engine; with --port every message goes out on a real MIDI output.
#include "midi/midi_send.h"
#include "midi/rtmidi_output.h"
#include "storage/file_io.h"
#include "tools/replay.h"

#include <iostream>
#include <memory>
#include <sstream>

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
    // Only a regular file: a FIFO or device would make the open wait forever.
    const std::optional<std::string> scriptText = vantaro::readWholeFile(argv[first + 1]);
    if (!scriptText) {
        std::cerr << "vantaro-replay: cannot open script " << argv[first + 1] << '\n';
        return 2;
    }
    std::istringstream script(*scriptText);
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
