// vantaro-replay [--port NAME] ACTIONS.dat SCRIPT: plays a scripted input timeline through
// the program core; with --port every message goes out on a real MIDI output.
#include "midi/rtmidi_output.h"
#include "tools/replay.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

int usage() {
    std::cerr << "usage: vantaro-replay [--port NAME] ACTIONS.dat SCRIPT\n";
    return 2;
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
    // Opening a FIFO or a device would wait for a writer; a folder reads as nothing.
    const std::filesystem::path scriptPath = argv[first + 1];
    std::error_code ec;
    std::ifstream script;
    if (std::filesystem::is_regular_file(scriptPath, ec)) script.open(scriptPath);
    if (!script.is_open()) {
        std::cerr << "vantaro-replay: cannot open script " << scriptPath.string() << '\n';
        return 2;
    }
    if (!withPort) {
        vantaro::Replay replay(list, nullptr, std::cout, std::cerr);
        return play(replay, script);
    }
    vantaro::RtMidiOutput output;
    const int id = findPort(output, port);
    if (id < 0) return 2;
    int status = 0;
    {
        // Closing, at the end of this block, waits for the messages still on their way.
        vantaro::Replay replay(list, &output, std::cout, std::cerr);
        if (const auto r = replay.openOutput(static_cast<std::uint32_t>(id)); r != 0) {
            std::string name;
            output.midiOutGetDevCaps(static_cast<std::uint32_t>(id), name);
            std::cerr << "vantaro-replay: cannot open MIDI output \"" << name << "\", rc = " << r << '\n';
            return 2;
        }
        status = play(replay, script);
    }
    return status;
}
