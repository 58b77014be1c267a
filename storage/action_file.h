#pragma once
// The action file: the action list as a headerless array of 84-byte records, read and written
// whole. Results only: what the user is told about a file that cannot be read or written is the
// program core's to decide.
#include "engine/action_record.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

inline constexpr std::string_view kActionFileName = "jmconfig.dat";

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

// What reading a path where no file is comes to.
enum class MissingFile {
    ReadsEmpty, // an empty list, and an empty file is created there where the folder allows
    Fails,      // a failure like any other
};

// Reads a whole action file into list with the program's loading rules (count rounding, at most
// 1000 records, each of version 3). False, with the reason in reason and list untouched, where
// the file cannot be read or is damaged. Never waits: a FIFO or a device is refused at once.
[[nodiscard]] bool readActionFile(const std::filesystem::path& path, ActionList& list, MissingFile missing,
                                  std::string& reason);

// Writes records 1..actionCount to path, replacing it whole only once the new contents are safely
// on disk. False when nothing was written; the file is then as it was.
[[nodiscard]] bool writeActionFile(const std::filesystem::path& path, const ActionList& list);

// Moves a damaged file aside under a name of its own beside it, file.damaged (or .damaged-2, -3,
// ... beside older copies), never over a copy kept earlier. The new name, or nothing when it could
// not be moved.
std::optional<std::filesystem::path> keepDamagedFile(const std::filesystem::path& file);

// Anything at all stands under this name: a file, a folder, a link (even one that leads nowhere
// or round in a loop).
bool nameTaken(const std::filesystem::path& path);

// A normal (not hidden) file exists under exactly this name.
bool fileExists(const std::filesystem::path& path);

// The text after the last path separator; the whole text without one.
std::string fileNamePart(std::string_view path);

} // namespace vantaro
