#include "ui/data_folder.h"
#include "ui/program_files.h"

#include "storage/file_io.h"

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

DataFolderChoice chooseDataFolder(const std::filesystem::path& programFolder,
                                  const std::filesystem::path& userDataFolder) {
    // An installed program never writes beside itself: its folder is the system's (or one shared
    // by every program of the prefix), even when this user may write there.
    const bool installed = runsInstalled(programFolder);
    if (!installed && folderWritable(programFolder)) return {programFolder, {}};
    if (userDataFolder.empty())
        return {programFolder, "The settings and actions in " + programFolder.string() +
                                   " cannot be written: changes will not be kept."};
    std::error_code ec;
    std::filesystem::create_directories(userDataFolder, ec);
    // The first start here carries on with what the program's folder held; later starts keep
    // the user's own files.
    std::string copied;
    for (const char* name : {"jmconfig.ini", "jmconfig.dat"}) {
        const std::optional<std::string> bytes = readWholeFile(programFolder / name);
        if (bytes && !std::filesystem::exists(userDataFolder / name, ec) &&
            createFileWith(userDataFolder / name, *bytes))
            copied += copied.empty() ? name : std::string(" and ") + name;
    }
    std::string note = "The settings and actions are kept in " + userDataFolder.string() + " because " +
                       (installed ? "Vantaro is installed in " + programFolder.string()
                                  : programFolder.string() + " cannot be written");
    note += copied.empty() ? "." : " (" + copied + " copied from there).";
    return {userDataFolder, note};
}

std::string alreadyRunningMessage(const std::filesystem::path& folder) {
    return "Vantaro is already running with the files in " + folder.string() +
           ".  Use that window, or close it first.";
}

} // namespace vantaro
