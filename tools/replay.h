#pragma once
// vantaro-replay: the program without a window, its input a scripted timeline.
#include "midi/midi_out_api.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace vantaro {

// The longest script line and the most ticks one directive may ask for.
inline constexpr std::size_t kMaxScriptLine = 4096;
inline constexpr long long kMaxTicks = 1'000'000;

class Replay {
public:
    // Every message goes to output (null: an output that takes everything); one line per message
    // goes to out, and what goes wrong to err. Starts as the program does: with settings, from
    // that jmconfig.ini, which is read but never written; without, from nothing stored.
    Replay(MidiOutApi* output, std::ostream& out, std::ostream& err,
           const std::filesystem::path& settings = {});
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // The action list to play, read as the program reads its own; the reason when the program
    // would call the file damaged (or it cannot be read).
    std::optional<std::string> loadActions(const std::filesystem::path& path);

    // Opens output device deviceId for the sends, that one alone.
    MmResult openOutput(std::uint32_t deviceId);

    // Runs a script; returns the exit status (0, or 2 with a message on err for a malformed line).
    int run(std::istream& script);

    // Sends the output refused, not counting those a "fail" line made fail.
    long long failedSends() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    std::ostream& err_;
};

} // namespace vantaro
