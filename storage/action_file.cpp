#include "storage/action_file.h"

#include "engine/numbers.h"
#include "storage/file_io.h"
#include "storage/record_codec.h"
#include "storage/settings_keys.h"

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

namespace {

// The "Size" setting, which follows every save that succeeded.
SaveResult saved(ActionFileContext& ctx) {
    return SaveResult{
        SaveResult::Saved,
        writeSettingValue(settingsPathIn(ctx.programFolder), settings::size,
                          std::clamp<std::int32_t>(ctx.actionList.actionCount, 0, kMaxFileRecords))};
}

} // namespace

SaveResult saveconfig(const fs::path& fname, ActionFileContext& ctx) {
    if (replaceFileContents(fname, encodeActions(ctx.actionList))) return saved(ctx);
    ctx.ui.showMessage("Could not save the actions to " + fname.string() +
                       ".  They are kept in memory until you save again.");
    return SaveResult{};
}

namespace {

static_assert(kMaxActionFileBytes == kMaxFileRecords * kRecordBytes + kRecordBytes / 2);
constexpr std::size_t kMaxReadBytes = kMaxActionFileBytes;

enum class MissingFile { CreateEmpty, Fail };

// The whole file into staged, or false. Nothing live is touched.
bool readInto(const fs::path& fname, ActionList& staged, MissingFile missing) {
    std::optional<FileHead> head = readFileHead(fname, kMaxReadBytes);
    if (!head) {
        struct stat st {};
        // stat, not lstat: a link whose file is gone reads as no file, and the next save goes through it.
        if (::stat(fname.c_str(), &st) == 0 || errno != ENOENT || missing == MissingFile::Fail) return false;
        // No file yet: an empty list. Create the file as a marker where the folder allows; a
        // read-only folder still lets the program start, and a later save reports the problem.
        const int fd = ::open(fname.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) ::close(fd);
        staged.actionCount = 0;
        return true;
    }
    if (recordCountForLength(head->size) > static_cast<std::uint64_t>(kMaxFileRecords)) return false;
    return decodeActions(head->bytes, staged);
}

LoadResult replaceLive(const ActionList& staged, ActionFileContext& ctx) {
    for (int n = 1; n <= staged.actionCount; ++n)
        ctx.actionList[n] = staged[n];
    ctx.actionList.actionCount = staged.actionCount;
    return LoadResult{LoadOutcome::Loaded, staged.actionCount > 0};
}

bool isProgramFile(const fs::path& fname, const fs::path& programFolder) {
    const fs::path own = actionFilePathIn(programFolder);
    std::error_code ec;
    if (fs::equivalent(fname, own, ec)) return true;
    return fs::absolute(fname, ec).lexically_normal() == fs::absolute(own, ec).lexically_normal();
}

// The damaged file under a name of its own beside it, never over a copy kept earlier.
std::optional<fs::path> keepDamaged(const fs::path& own) {
    for (int n = 1; n <= 1000; ++n) {
        fs::path kept = own;
        kept += n == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(n);
        if (renameWithoutReplacing(own, kept)) return kept;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

LoadResult failedProgramFile(const fs::path& fname, ActionFileContext& ctx) {
    if (!ctx.ui.askYesNo(std::string(kLoadFailureQuestion))) {
        ctx.ui.endProgram();
        return {LoadOutcome::Ended, false};
    }
    const fs::path own = actionFilePathIn(ctx.programFolder);
    if (!fileExists(own)) {
        ctx.ui.showMessage(own.string() + " not found");
        ctx.ui.endProgram();
        return {LoadOutcome::Ended, false};
    }
    const std::optional<fs::path> kept = keepDamaged(own);
    if (!kept) {
        // Reading again would fail again; keep what is in memory rather than ask in a loop.
        ctx.ui.showMessage(own.string() +
                           " could not be renamed to keep it.  The actions in memory are kept.");
        return {LoadOutcome::NotRead, false};
    }
    auto staged = std::make_unique<ActionList>();
    if (!readInto(fname, *staged, MissingFile::CreateEmpty)) {
        ctx.ui.showMessage(fname.string() + " could not be read.  The actions in memory are kept.");
        return {LoadOutcome::NotRead, false};
    }
    const LoadResult result = replaceLive(*staged, ctx);
    ctx.ui.showMessage("The damaged action list was kept as " + kept->string() + ".  The list starts empty.");
    return result;
}

LoadResult failedImport(const fs::path& fname, ActionFileContext& ctx) {
    if (!ctx.ui.askYesNo(std::string(kLoadFailureQuestion))) {
        ctx.ui.endProgram();
        return {LoadOutcome::Ended, false};
    }
    ctx.ui.showMessage(fname.string() + " could not be read.  The action list is unchanged.");
    return {LoadOutcome::NotRead, false};
}

} // namespace

bool readActionFile(const fs::path& path, ActionList& list, std::string& reason) {
    const std::optional<FileHead> head = readFileHead(path, kMaxReadBytes);
    if (!head) {
        reason = "cannot read " + path.string() + " (missing, not a regular file, or not readable)";
        return false;
    }
    const std::uint64_t count = recordCountForLength(head->size);
    if (count > static_cast<std::uint64_t>(kMaxFileRecords)) {
        reason = path.string() + ": " + std::to_string(head->size) + " bytes hold " + std::to_string(count) +
                 " records, more than " + std::to_string(kMaxFileRecords);
        return false;
    }
    auto staged = std::make_unique<ActionList>();
    int bad = 0;
    if (!decodeActions(head->bytes, *staged, &bad)) {
        reason = path.string() + ": record " + std::to_string(bad) + " is not of version " +
                 std::to_string(kRecordVersion);
        return false;
    }
    list = *staged;
    return true;
}

LoadResult loadconfig(const fs::path& fname, ActionFileContext& ctx) {
    auto staged = std::make_unique<ActionList>();
    if (readInto(fname, *staged, MissingFile::CreateEmpty)) return replaceLive(*staged, ctx);
    return isProgramFile(fname, ctx.programFolder) ? failedProgramFile(fname, ctx) : failedImport(fname, ctx);
}

LoadResult importConfig(const fs::path& chosen, ActionFileContext& ctx) {
    if (chosen.empty()) return {LoadOutcome::Cancelled, false};
    auto staged = std::make_unique<ActionList>();
    if (readInto(chosen, *staged, MissingFile::Fail)) return replaceLive(*staged, ctx);
    return failedImport(chosen, ctx);
}

SaveResult exportConfig(const fs::path& chosen, ActionFileContext& ctx) {
    if (chosen.empty()) return SaveResult{SaveResult::Cancelled, false};
    switch (writeChosenFile(chosen, encodeActions(ctx.actionList))) {
    case ChosenFileWrite::Written:
        return saved(ctx);
    case ChosenFileWrite::Unchanged:
        // The program's own file is not involved: say which file failed and that nothing changed.
        ctx.ui.showMessage("The export file " + chosen.string() +
                           " could not be written.  The action list is unchanged.");
        break;
    case ChosenFileWrite::Damaged:
        ctx.ui.showMessage("The export file " + chosen.string() +
                           " could not be written, and what it held before could not be put back: it now "
                           "holds part of the list.  The action list in the program is unchanged.");
        break;
    }
    return SaveResult{SaveResult::Failed, false};
}

} // namespace vantaro
