#pragma once
// Where jmconfig.ini and jmconfig.dat live.
#include <filesystem>
#include <string>
#include <vector>

namespace vantaro {

struct DataFolderChoice {
    std::filesystem::path folder;
    std::string note; // for the message log when the files are not in the program's folder
};

// A folder for the user's own files; with no folder, problem says (in a sentence) why there is none.
struct UserDataFolder {
    std::filesystem::path folder;
    std::string problem;
};
using UserDataFolders = std::vector<UserDataFolder>;

// The folders the user's own files may go to, best first, as the environment gives them:
// $XDG_DATA_HOME/Vantaro when that is an absolute path, then ~/.local/share/Vantaro when HOME
// names an existing folder (a home that is not there is never created). Either argument may be
// null (not set).
UserDataFolders userDataFolders(const char* xdgDataHome, const char* home);

// The program's folder when the program runs from its own folder and may write there; otherwise
// (an installed program, or a folder that takes no new files) the first of the user's folders
// that is a folder (created when missing) and takes new files. When one is chosen while the
// program's folder holds jmconfig.ini or jmconfig.dat, they are copied across, but never over a
// file the user's folder already has, and never an action file too long to be one. A user's
// folder that exists but takes no new files is used as it stands, and the note says that changes
// are not kept; with no user's folder at all, the program's folder is. The note also names every
// user's folder that cannot be used.
DataFolderChoice chooseDataFolder(const std::filesystem::path& programFolder, const UserDataFolders& user);
DataFolderChoice chooseDataFolder(const std::filesystem::path& programFolder,
                                  const std::filesystem::path& userDataFolder);
// The choice for this process, from its XDG_DATA_HOME and HOME.
DataFolderChoice chooseDataFolder(const std::filesystem::path& programFolder);

// True when a file can be created (or the settings file written) in folder.
bool folderWritable(const std::filesystem::path& folder);

// What a second copy of the program says before it ends.
std::string alreadyRunningMessage(const std::filesystem::path& folder);

// What the program says when it could lock neither its folder nor a file in it.
std::string lockUnavailableMessage(const std::filesystem::path& folder);

} // namespace vantaro
