#pragma once
// Whole-file reads and crash-safe replacement of a file's contents.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

// The file's bytes, or nullopt when it does not exist, is not a regular file or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// At most maxBytes from the start of a regular file, and the file's full size; nullopt as above.
struct FileHead {
    std::string bytes;
    std::uint64_t size = 0;
};
std::optional<FileHead> readFileHead(const std::filesystem::path& path, std::size_t maxBytes);

// Writes bytes to a new file beside path, flushes it to disk and renames it over path, so that
// a crash or power loss leaves either the old or the new contents, never a mix. An existing file
// without any write permission bit is treated as read-only and left alone. Returns false when
// nothing was replaced.
[[nodiscard]] bool replaceFileContents(const std::filesystem::path& path, std::string_view bytes);

} // namespace vantaro
