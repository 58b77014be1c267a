#include "storage/action_file.h"

#include "storage/file_io.h"
#include "storage/record_codec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace vantaro {

namespace fs = std::filesystem;

fs::path actionFilePathIn(const fs::path& folder) {
    return folder / kActionFileName;
}

std::uint64_t recordCountForLength(std::uint64_t length) {
    const std::uint64_t whole = length / kRecordBytes;
    const std::uint64_t rest = length % kRecordBytes;
    if (rest * 2 > kRecordBytes || (rest * 2 == kRecordBytes && whole % 2 == 1)) return whole + 1;
    return whole;
}

std::string encodeActions(const ActionList& list) {
    // A count outside what the table holds must not read past it.
    const int count = std::clamp<int>(list.actionCount, 0, kMaxFileRecords);
    std::string bytes(static_cast<std::size_t>(count) * kRecordBytes, '\0');
    for (int n = 1; n <= count; ++n) {
        std::span<std::uint8_t, kRecordBytes> out(reinterpret_cast<std::uint8_t*>(bytes.data()) +
                                                      static_cast<std::size_t>(n - 1) * kRecordBytes,
                                                  kRecordBytes);
        encodeRecord(list[n], out);
    }
    return bytes;
}

bool decodeActions(std::string_view bytes, ActionList& out, int* badRecord) {
    const std::uint64_t count = recordCountForLength(bytes.size());
    if (count > static_cast<std::uint64_t>(kMaxFileRecords)) return false;
    for (std::size_t n = 1; n <= count; ++n) {
        std::array<std::uint8_t, kRecordBytes> raw{}; // missing bytes of a short last record read as 0
        const std::size_t start = (n - 1) * kRecordBytes;
        bytes.substr(start, kRecordBytes).copy(reinterpret_cast<char*>(raw.data()), kRecordBytes);
        const ActionRecord record = decodeRecord(raw);
        if (record.recordVersion != kRecordVersion) {
            if (badRecord) *badRecord = static_cast<int>(n);
            return false;
        }
        out[static_cast<int>(n)] = record;
    }
    out.actionCount = static_cast<std::int16_t>(count);
    return true;
}

std::string fileNamePart(std::string_view path) {
    const std::size_t sep = path.rfind(fs::path::preferred_separator);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

bool fileExists(const fs::path& path) {
    const std::string name = fileNamePart(path.string());
    if (name.empty() || name.front() == '.') return false; // hidden files do not count
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool nameTaken(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

namespace {

// Enough bytes for the largest file that still rounds to 1000 records.
static_assert(kMaxActionFileBytes == kMaxFileRecords * kRecordBytes + kRecordBytes / 2);
constexpr std::size_t kMaxReadBytes = kMaxActionFileBytes;

} // namespace

bool readActionFile(const fs::path& path, ActionList& list, MissingFile missing, std::string& reason) {
    const std::optional<FileHead> head = readFileHead(path, kMaxReadBytes);
    if (!head) {
        struct stat st {};
        // stat, not lstat: a link whose file is gone reads as no file, and the next save goes through it.
        if (missing == MissingFile::ReadsEmpty && ::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
            // No file yet: an empty list. Create the file as a marker where the folder allows; a
            // read-only folder still lets the program start, and a later save reports the problem.
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) ::close(fd);
            list.actionCount = 0;
            return true;
        }
        reason = "cannot read " + path.string() + " (missing, not a regular file, or not readable)";
        return false;
    }
    const std::uint64_t count = recordCountForLength(head->size);
    if (count > static_cast<std::uint64_t>(kMaxFileRecords)) {
        reason = path.string() + ": " + std::to_string(head->size) + " bytes hold " + std::to_string(count) +
                 " records, more than " + std::to_string(kMaxFileRecords);
        return false;
    }
    // Read apart from the live list: it changes only once the whole file has been read.
    auto staged = std::make_unique<ActionList>();
    int bad = 0;
    if (!decodeActions(head->bytes, *staged, &bad)) {
        reason = path.string() + ": record " + std::to_string(bad) + " is not of version " +
                 std::to_string(kRecordVersion);
        return false;
    }
    for (int n = 1; n <= staged->actionCount; ++n)
        list[n] = (*staged)[n];
    list.actionCount = staged->actionCount;
    return true;
}

bool writeActionFile(const fs::path& path, const ActionList& list) {
    return replaceFileContents(path, encodeActions(list));
}

std::optional<fs::path> keepDamagedFile(const fs::path& file) {
    for (int n = 1; n <= 1000; ++n) {
        fs::path kept = file;
        kept += n == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(n);
        if (renameWithoutReplacing(file, kept)) return kept;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

} // namespace vantaro
