#pragma once
// Where jmconfig.ini and jmconfig.dat live.
#include <filesystem>

namespace vantaro {

// The program's folder when the program runs from its own folder and may write there; otherwise
// (an installed program, or a read-only folder) the user's own application data folder, created
// when missing.
std::filesystem::path chooseDataFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& userDataFolder);

// True when a file can be created (or the settings file written) in folder.
bool folderWritable(const std::filesystem::path& folder);

} // namespace vantaro
