#include "ui/program_files.h"

#include <system_error>

// The installed folders, relative to the executable's folder; the build compiles in the ones of
// its install layout, so a program installed under any prefix finds its parts.
#ifndef VANTARO_PAGES_FROM_BIN
#define VANTARO_PAGES_FROM_BIN "../share/vantaro"
#endif
#ifndef VANTARO_LIBRARY_FROM_BIN
#define VANTARO_LIBRARY_FROM_BIN "../lib/vantaro"
#endif

namespace vantaro {

namespace {

bool isFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::filesystem::path installedFolder(ProgramFileKind kind, const std::filesystem::path& executableFolder) {
    return (executableFolder /
            (kind == ProgramFileKind::Page ? VANTARO_PAGES_FROM_BIN : VANTARO_LIBRARY_FROM_BIN))
        .lexically_normal();
}

std::filesystem::path programFile(ProgramFileKind kind, std::string_view name,
                                  const std::filesystem::path& executableFolder) {
    const auto beside = executableFolder / name;
    if (isFile(beside)) return beside;
    const auto installed = installedFolder(kind, executableFolder) / name;
    if (isFile(installed)) return installed;
    return beside;
}

bool runsInstalled(const std::filesystem::path& executableFolder) {
    return !isFile(executableFolder / "help.html") &&
           isFile(installedFolder(ProgramFileKind::Page, executableFolder) / "help.html");
}

} // namespace vantaro
