#pragma once
// vantaro-replay: the real engine driven by a scripted input timeline.
#include "engine/action_engine.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace vantaro {

// Reads a stored action list; a file that is not a whole list of valid records gives an error text.
std::optional<std::string> loadReplayActions(const std::filesystem::path& path, ActionList& list);

class Replay {
public:
    // Every message goes to sender; one line per message goes to out.
    Replay(ActionList& list, ShortMessageSender& sender, std::ostream& out);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Runs a script; returns the exit status (0, or 2 with a message on err for a malformed line).
    int run(std::istream& script, std::ostream& err);

private:
    struct State;
    State* state_;
};

} // namespace vantaro
