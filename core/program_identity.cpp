#include "core/program_identity.h"

// Both come from the build, the one place that names them (no fallback: a build without them
// must not compile into a program that answers with a wrong name).
namespace vantaro {

std::string versionLine(std::string_view program) {
    return std::string(program) + " " VANTARO_VERSION;
}

std::string_view desktopEntryId() {
    return VANTARO_ID;
}

} // namespace vantaro
