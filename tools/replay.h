#pragma once
// vantaro-replay: the program core driven by a scripted input timeline.
#include "engine/action_record.h"
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

// Reads a stored action list with the program's own loading rules; the reason when the program
// would have called the file damaged.
std::optional<std::string> loadReplayActions(const std::filesystem::path& path, ActionList& list);

class Replay {
public:
    // Every message goes to output (null: an output that takes everything); one line per message
    // goes to out, and what goes wrong to err.
    Replay(const ActionList& list, MidiOutApi* output, std::ostream& out, std::ostream& err);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Opens output device deviceId for the sends.
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
