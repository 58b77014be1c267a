#pragma once
// Where the program's own files are: the help pages and the glove bridge library.
#include "devices/glove_bridge.h"

#include <filesystem>
#include <string_view>

namespace vantaro {

enum class ProgramFileKind {
    Page,    // help.html and the other pages the window's buttons open
    Library, // the glove bridge and the glove SDK layer it loads
};

// The installed folder for one kind of file, as seen from the executable's folder.
std::filesystem::path installedFolder(ProgramFileKind kind, const std::filesystem::path& executableFolder);

// The path of a named file of the program: beside the executable when it is there (a build
// folder, or a copied folder), else in the installed folder for its kind (share/vantaro or
// lib/vantaro, reached from the executable's bin folder). When it is in neither, the path beside
// the executable, so whatever reports the missing file names the usual place.
std::filesystem::path programFile(ProgramFileKind kind, std::string_view name,
                                  const std::filesystem::path& executableFolder = programFolder());

// True when the program runs from an installed layout: its pages are not beside it but in the
// installed pages folder. Such a program keeps the user's files in the user's own folder.
bool runsInstalled(const std::filesystem::path& executableFolder);

} // namespace vantaro
