#pragma once
// Shared by the glove tests: where the built libraries are, and what the simulated SDK heard.
#include "devices/glove_bridge.h"
#include "palmlet/sdk/p5sim.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vantaro::test {

// The folder of the built libpalmlet.so and libp5dll.so.
inline std::filesystem::path binFolder() {
    const char* bin = std::getenv("VANTARO_BIN");
    return bin ? std::filesystem::path(bin) : programFolder();
}

// The calls the simulated glove SDK received, oldest first.
inline std::vector<std::string> sdkCalls() {
    std::vector<std::string> calls;
    for (int i = 0; i < p5sim_call_count(); ++i)
        calls.emplace_back(p5sim_call(i));
    return calls;
}

} // namespace vantaro::test
