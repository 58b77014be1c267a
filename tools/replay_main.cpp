// vantaro-replay ACTIONS.dat SCRIPT: plays a scripted input timeline through the real engine.
#include "tools/replay.h"

#include <fstream>
#include <iostream>

namespace {

// Without a port every send succeeds; the script's "fail" directive says otherwise.
class AcceptingSender final : public vantaro::ShortMessageSender {
public:
    std::int16_t sendShortMessage(std::uint32_t) override { return 0; }
};

int usage() {
    std::cerr << "usage: vantaro-replay ACTIONS.dat SCRIPT\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
    vantaro::ActionList list;
    if (auto error = vantaro::loadReplayActions(argv[1], list)) {
        std::cerr << "vantaro-replay: " << *error << '\n';
        return 2;
    }
    std::ifstream script(argv[2]);
    if (!script) {
        std::cerr << "vantaro-replay: cannot open script " << argv[2] << '\n';
        return 2;
    }
    AcceptingSender sender;
    vantaro::Replay replay(list, sender, std::cout);
    return replay.run(script, std::cerr);
}
