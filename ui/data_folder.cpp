#include "ui/data_folder.h"
#include "ui/program_files.h"

#include <fstream>
#include <system_error>
#include <unistd.h>

namespace vantaro {

bool folderWritable(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    // Ask the system rather than read permission bits: it knows about read-only mounts and ACLs.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;
    const auto ini = folder / "jmconfig.ini";
    if (std::filesystem::exists(ini, ec) && ::access(ini.c_str(), W_OK) != 0) return false;
    return true;
}

std::filesystem::path chooseDataFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& userDataFolder) {
    // An installed program never writes beside itself: its folder is the system's (or one shared
    // by every program of the prefix), even when this user may write there.
    if (userDataFolder.empty() || (!runsInstalled(programFolder) && folderWritable(programFolder)))
        return programFolder;
    std::error_code ec;
    std::filesystem::create_directories(userDataFolder, ec);
    return userDataFolder;
}

} // namespace vantaro
