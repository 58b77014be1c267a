#pragma once
// Where jmconfig.ini and jmconfig.dat live.
#include <filesystem>
#include <string>

namespace vantaro {

struct DataFolderChoice {
    std::filesystem::path folder;
    std::string note; // one line for the message log when the files are not in the program's folder
};

// The program's folder when the program runs from its own folder and may write there; otherwise
// (an installed program, or a read-only folder) the user's own application data folder, created
// when missing. When that folder is used while the
// program's folder holds jmconfig.ini or jmconfig.dat, they are copied across, but never over a
// file the user's folder already has.
DataFolderChoice chooseDataFolder(const std::filesystem::path& programFolder,
                                  const std::filesystem::path& userDataFolder);

// True when a file can be created (or the settings file written) in folder.
bool folderWritable(const std::filesystem::path& folder);

// What a second copy of the program says before it ends.
std::string alreadyRunningMessage(const std::filesystem::path& folder);

} // namespace vantaro
