#pragma once
// The action file: the action list as a headerless array of 84-byte records, its reading and
// writing, the failure question, and the Import and Export operations on a chosen path.
#include "engine/action_record.h"
#include "engine/ui_port.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

inline constexpr std::string_view kActionFileName = "jmconfig.dat";
inline constexpr std::string_view kLoadFailureQuestion = "Error opening config file.  Delete config?";

// Everything the action file operations read and change; owned by the main window.
struct ActionFileContext {
    ActionList& actionList;
    UiPort& ui;
    std::filesystem::path programFolder; // holds jmconfig.dat and jmconfig.ini
};

std::filesystem::path actionFilePathIn(const std::filesystem::path& folder);

// The records a file of this length holds: length / 84, halves to the even count.
std::uint64_t recordCountForLength(std::uint64_t length);

// The longest file that still counts at most 1000 records (1000 whole ones and half of another,
// which rounds down to the even 1000). No action file is read beyond it: a longer one is damaged.
inline constexpr std::uint64_t kMaxActionFileBytes = 1000 * 84 + 84 / 2;

// The stored form of records 1..actionCount.
std::string encodeActions(const ActionList& list);

// Reads a whole file's bytes into out (entries 1..count and actionCount; entries above are left
// alone). A trailing partial record reads with its missing bytes as zero. Returns false, with out
// partly written, when the file holds more than 1000 records or a record's version is not 3.
// badRecord, when given, receives the number of the record whose version is wrong.
[[nodiscard]] bool decodeActions(std::string_view bytes, ActionList& out, int* badRecord = nullptr);

// Reads a whole action file into list with the program's loading rules (count rounding, at most
// 1000 records, each of version 3). False, with the reason in reason and list untouched, where
// the program would call the file damaged or it cannot be read.
bool readActionFile(const std::filesystem::path& path, ActionList& list, std::string& reason);

struct SaveResult {
    enum Status { Saved, Failed, Cancelled } status = Failed;
    bool sizeWritten = false; // the "Size" setting, written only after a save that succeeded
};

enum class LoadOutcome {
    Loaded,    // the list now holds the file's actions (the caller shows them)
    NotRead,   // the file could not be read; the list is as it was
    Ended,     // the program was told to end
    Cancelled, // no file was chosen
};

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::NotRead;
    bool showExport = false; // the list is not empty: make "&Export" visible (never hidden here)
};

// Writes records 1..actionCount to fname, replacing it whole only once the new contents are safely
// on disk, then the "Size" setting. A failure is shown to the user; the list stays in memory.
SaveResult saveconfig(const std::filesystem::path& fname, ActionFileContext& ctx);

// Reads fname into a separate list; the live list changes only once the whole file has been read. A missing
// file reads as an empty list (and is created empty where possible). On a failure the user is asked
// kLoadFailureQuestion: for the program-folder file Yes renames it to jmconfig.dat.damaged (or .damaged-2,
// -3, ... beside older copies), says so and starts with an empty list, No ends the program; for any other
// file see importConfig.
LoadResult loadconfig(const std::filesystem::path& fname, ActionFileContext& ctx);

// Import of a chosen file (empty path: cancelled). A file that cannot be read, a missing one
// included, never touches the program-folder file or the list: after the question, Yes keeps
// everything and says the file could not be read, No ends the program.
LoadResult importConfig(const std::filesystem::path& chosen, ActionFileContext& ctx);

// Export to a chosen file (empty path: cancelled). A failure names that file; the list is unchanged.
// Where the chosen file had to be written in place and its former contents could not be put
// back, the message says that the file was changed.
SaveResult exportConfig(const std::filesystem::path& chosen, ActionFileContext& ctx);

// A normal (not hidden) file exists under exactly this name.
bool fileExists(const std::filesystem::path& path);

// The text after the last path separator; the whole text without one.
std::string fileNamePart(std::string_view path);

} // namespace vantaro
