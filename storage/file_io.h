#pragma once
// Whole-file reads and crash-safe replacement of a file's contents.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

// Opens path (with O_RDONLY or O_WRONLY in flags) only when it is a regular file, or a link to
// one; a FIFO, device or folder is refused at once instead of waiting for a writer. The
// descriptor is blocking and close-on-exec; -1 (errno set, EINVAL for "not a regular file")
// otherwise. Every file the program reads goes through here.
int openRegularFile(const std::filesystem::path& path, int flags);

// The file's bytes, or nullopt when it does not exist, is not a regular file or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// At most maxBytes from the start of a regular file, and the file's full size; nullopt as above.
struct FileHead {
    std::string bytes;
    std::uint64_t size = 0;
};
std::optional<FileHead> readFileHead(const std::filesystem::path& path, std::size_t maxBytes);

// Writes bytes to a new file beside path, flushes it to disk and renames it over path, so that
// a crash or power loss leaves either the old or the new contents, never a mix. A symbolic link
// is followed: the file it leads to is replaced and the link stays. An existing file without any
// write permission bit is treated as read-only and left alone. A folder that refuses the new file
// refuses the save: the program's own files are never written in place, where a cut write would
// lose them. Returns false when nothing was replaced.
//
// While this (or writeChosenFile) runs, the calling thread holds SIGALRM back, so a time bound
// built on it (the program's shut-down bound) takes effect only once the file is whole.
[[nodiscard]] bool replaceFileContents(const std::filesystem::path& path, std::string_view bytes);

enum class ChosenFileWrite {
    Written,
    Unchanged, // nothing was written, or what was written has been put back
    Damaged,   // a write in place failed and the former contents could not be put back
};

// For a file the user chose (Export): replaced as replaceFileContents does. Where the folder
// refuses a new file but the file itself may be read and written, it is written in place instead:
// the new size is reserved first (a full disk refuses it before a byte changes), the bytes about to
// be overwritten are kept, and on any failure after that they are put back.
[[nodiscard]] ChosenFileWrite writeChosenFile(const std::filesystem::path& path, std::string_view bytes);

// Creates path with bytes only when no file of that name exists; false when one does or the
// file could not be written. A crash leaves no partial file under that name.
[[nodiscard]] bool createFileWith(const std::filesystem::path& path, std::string_view bytes);

// Renames from to to unless to exists; false (errno EEXIST) when it does.
[[nodiscard]] bool renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes what interrupted saves of jmconfig.ini and jmconfig.dat left in folder: the new files
// of processes that no longer run. Those of a live process (possibly still saving) are kept.
// Returns how many were removed.
int removeDeadSaveLeftovers(const std::filesystem::path& folder);

} // namespace vantaro
