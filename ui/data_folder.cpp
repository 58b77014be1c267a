#include "ui/data_folder.h"
#include "ui/program_files.h"

#include "storage/action_file.h"
#include "storage/file_io.h"

#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace vantaro {

namespace fs = std::filesystem;

namespace {

// Sentences of one note stand apart by two blanks, as in the program's other messages.
void addSentence(std::string& text, const std::string& sentence) {
    if (sentence.empty()) return;
    if (!text.empty()) text += "  ";
    text += sentence;
}

bool takesNewFiles(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Far more than any settings file of the program holds (a few hundred bytes).
constexpr std::uint64_t kMaxSettingsCopyBytes = 1 << 20;

// Copies the program folder's files that the user's folder does not have yet. Only a file short
// enough to be what its name says is read, and then only up to that length: an action file
// longer than 1000 records is damaged, and a huge one would take all memory.
void copyAcross(const fs::path& from, const fs::path& to, std::string& copied, std::string& leftThere) {
    const struct {
        const char* name;
        std::uint64_t maxBytes;
        const char* tooLong;
    } files[] = {
        {"jmconfig.ini", kMaxSettingsCopyBytes, "it is too long to be Vantaro's settings"},
        {"jmconfig.dat", kMaxActionFileBytes, "it would hold more than 1000 actions, so it is damaged"},
    };
    for (const auto& f : files) {
        std::error_code ec;
        if (fs::exists(to / f.name, ec) || ec) continue;
        const std::optional<FileHead> head = readFileHead(from / f.name, f.maxBytes);
        if (!head) continue;
        if (head->size > f.maxBytes) {
            addSentence(leftThere, std::string(f.name) + " in " + from.string() + " was left there: at " +
                                       std::to_string(head->size) + " bytes " + f.tooLong + ".");
            continue;
        }
        if (createFileWith(to / f.name, head->bytes))
            copied += copied.empty() ? f.name : std::string(" and ") + f.name;
    }
}

} // namespace

bool folderWritable(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    // Ask the system rather than read permission bits: it knows about read-only mounts and ACLs.
    if (!takesNewFiles(folder)) return false;
    const auto ini = folder / "jmconfig.ini";
    if (fs::exists(ini, ec) && ::access(ini.c_str(), W_OK) != 0) return false;
    return true;
}

UserDataFolders userDataFolders(const char* xdgDataHome, const char* home) {
    UserDataFolders folders;
    if (xdgDataHome && *xdgDataHome) {
        const fs::path base(xdgDataHome);
        if (base.is_absolute())
            folders.push_back({base / "Vantaro", {}});
        else
            folders.push_back(
                {{}, "XDG_DATA_HOME (" + base.string() + ") is not an absolute path and is ignored."});
    }
    std::error_code ec;
    if (!home || !*home) {
        folders.push_back({{}, "There is no home folder: HOME is not set."});
    } else if (const fs::path h(home); !h.is_absolute() || !fs::is_directory(h, ec)) {
        // Such a HOME (/nonexistent, for one) says the user has no home: never make one.
        folders.push_back(
            {{}, "There is no home folder: HOME is " + h.string() + ", which is not a folder."});
    } else {
        const fs::path local = h / ".local" / "share" / "Vantaro";
        if (folders.empty() || folders.front().folder != local) folders.push_back({local, {}});
    }
    return folders;
}

DataFolderChoice chooseDataFolder(const fs::path& programFolder, const UserDataFolders& user) {
    // An installed program never writes beside itself: its folder is the system's (or one shared
    // by every program of the prefix), even when this user may write there.
    const bool installed = runsInstalled(programFolder);
    if (!installed && folderWritable(programFolder)) return {programFolder, {}};
    const std::string why = installed ? "Vantaro is installed in " + programFolder.string()
                                      : programFolder.string() + " cannot be written";

    std::string problems; // of the folders passed over
    for (const UserDataFolder& u : user) {
        if (u.folder.empty()) {
            addSentence(problems, u.problem);
            continue;
        }
        std::error_code made;
        fs::create_directories(u.folder, made);
        std::error_code ec;
        if (!fs::is_directory(u.folder, ec)) {
            addSentence(problems, "The data folder " + u.folder.string() + " cannot be used (" +
                                      (made ? made.message() : std::string("it is not a folder")) + ").");
            continue;
        }
        std::string note = "The settings and actions are kept in " + u.folder.string() + " because " + why;
        if (!takesNewFiles(u.folder)) {
            // The user's own files, shown as they are; a save there could only be written in place.
            note += ", but " + u.folder.string() + " cannot be written: changes will not be kept.";
        } else {
            // The first start here carries on with what the program's folder held; later starts
            // keep the user's own files.
            std::string copied;
            std::string leftThere;
            copyAcross(programFolder, u.folder, copied, leftThere);
            note += copied.empty() ? "." : " (" + copied + " copied from there).";
            addSentence(note, leftThere);
        }
        addSentence(note, problems);
        return {u.folder, note};
    }
    std::string note =
        installed && folderWritable(programFolder)
            ? "The settings and actions are kept in " + programFolder.string() +
                  ", where Vantaro is installed, because no folder of the user's own can be used."
            : "The settings and actions in " + programFolder.string() +
                  " cannot be written: changes will not be kept.";
    addSentence(note, problems);
    return {programFolder, note};
}

DataFolderChoice chooseDataFolder(const fs::path& programFolder, const fs::path& userDataFolder) {
    return chooseDataFolder(programFolder, userDataFolder.empty() ? UserDataFolders{}
                                                                  : UserDataFolders{{userDataFolder, {}}});
}

DataFolderChoice chooseDataFolder(const fs::path& programFolder) {
    return chooseDataFolder(programFolder,
                            userDataFolders(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
}

std::string alreadyRunningMessage(const fs::path& folder) {
    return "Vantaro is already running with the files in " + folder.string() +
           ".  Use that window, or close it first.";
}

std::string lockUnavailableMessage(const fs::path& folder) {
    return "The files in " + folder.string() +
           " cannot be locked, so a second copy of Vantaro started on them would not be noticed, and each "
           "would overwrite the other's changes.";
}

} // namespace vantaro
