#include "storage/file_io.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vantaro {

namespace fs = std::filesystem;

namespace {

void closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

int openRegularFile(const fs::path& path, int flags) {
    // Looking first means a device never sees an open at all (some act on it: a tape rewinds).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Something else may stand there by now: without O_NONBLOCK the open of a FIFO waits for a writer.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        closeKeepingErrno(fd);
        errno = EINVAL;
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    return fd;
}

std::optional<FileHead> readFileHead(const fs::path& path, std::size_t maxBytes) {
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    FileHead head;
    head.size = static_cast<std::uint64_t>(st.st_size);
    char buf[65536];
    while (head.bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - head.bytes.size());
        const ssize_t n = ::read(fd, buf, want);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        head.bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return head;
}

std::optional<std::string> readWholeFile(const fs::path& path) {
    std::optional<FileHead> head = readFileHead(path, static_cast<std::size_t>(-1));
    if (!head) return std::nullopt;
    return std::move(head->bytes);
}

namespace {

constexpr std::string_view kNewSuffix = ".new-";

// Writes bytes at offset; returns how many were written before a failure (all on success).
std::size_t writeAt(int fd, std::string_view bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Makes the rename itself durable; failure here does not undo the replacement.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// One temporary name per process, so two copies of the program never share one.
fs::path newFileFor(const fs::path& path) {
    fs::path temp = path;
    temp += std::string(kNewSuffix) + std::to_string(::getpid());
    return temp;
}

// Writes bytes to a fresh file (which must not exist) and flushes it; false leaves no file.
bool writeNewFile(const fs::path& temp, std::string_view bytes, mode_t mode, bool keepMode) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = writeAt(fd, bytes, 0) == bytes.size();
    if (ok && keepMode) ok = ::fchmod(fd, mode) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
    }
    return ok;
}

// The file a chain of symbolic links ends at (the path itself when it is no link). A chain that
// does not end is left for the caller's stat to report.
fs::path followLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// Holds SIGALRM back on this thread for as long as it lives: the program's shut-down bound waits
// for the file in hand to be whole, then ends the program at once.
class SaveInProgress {
public:
    SaveInProgress() {
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        ::pthread_sigmask(SIG_BLOCK, &alarm, &before_);
    }
    ~SaveInProgress() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SaveInProgress(const SaveInProgress&) = delete;
    SaveInProgress& operator=(const SaveInProgress&) = delete;

private:
    sigset_t before_{};
};

enum class Renamed { Yes, No, FolderRefused };

// The safe way: a new file, flushed, renamed over path (a file, not a link). FolderRefused: the
// folder takes no new file, while path exists as a regular file the user may write.
Renamed replaceByRename(const fs::path& path, std::string_view bytes) {
    mode_t mode = 0666; // narrowed by the umask for a new file
    bool keepMode = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Renamed::No;
        // The user marked the file read-only: respect that even where the folder would allow a rename.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Renamed::No;
        mode = st.st_mode & 07777;
        keepMode = true;
    } else if (errno != ENOENT) {
        return Renamed::No;
    }

    const fs::path temp = newFileFor(path);
    ::unlink(temp.c_str()); // a leftover of this process id from an earlier crash

    if (!writeNewFile(temp, bytes, mode, keepMode))
        return keepMode && (errno == EACCES || errno == EPERM) ? Renamed::FolderRefused : Renamed::No;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return Renamed::No;
    }
    syncFolder(path.parent_path());
    return Renamed::Yes;
}

bool readAllAt(int fd, std::string& into, off_t offset) {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t n =
            ::pread(fd, into.data() + done, into.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Not crash-safe, so only for a file the user chose, after the safe way was refused. Only the
// first bytes.size() bytes and the length change, so only those are kept for putting back.
ChosenFileWrite writeInPlace(const fs::path& path, std::string_view bytes) {
    const int fd = openRegularFile(path, O_RDWR);
    if (fd < 0) return ChosenFileWrite::Unchanged;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return ChosenFileWrite::Unchanged;
    }
    const off_t oldSize = st.st_size;
    std::string kept(std::min<std::uint64_t>(static_cast<std::uint64_t>(oldSize), bytes.size()), '\0');
    if (!readAllAt(fd, kept, 0)) {
        ::close(fd);
        return ChosenFileWrite::Unchanged;
    }
    const auto newSize = static_cast<off_t>(bytes.size());
    // Reserved first: a full disk or a file size limit refuses here. Reserving changes no byte of
    // the file, only (when it grows) its length, which is put back below.
    bool ok = newSize == 0 || ::posix_fallocate(fd, 0, newSize) == 0;
    std::size_t written = 0;
    if (ok) {
        written = writeAt(fd, bytes, 0);
        ok = written == bytes.size();
    }
    if (ok && newSize < oldSize) ok = ::ftruncate(fd, newSize) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (ok) {
        ::close(fd);
        return ChosenFileWrite::Written;
    }
    // Only what was overwritten goes back, so whatever stopped the write (a size limit, say) does
    // not stop this; what was written past the old end goes with the old length.
    const std::string_view overwritten = std::string_view(kept).substr(0, written);
    bool back = writeAt(fd, overwritten, 0) == overwritten.size();
    struct stat now {};
    if (back && (::fstat(fd, &now) != 0 || now.st_size != oldSize)) back = ::ftruncate(fd, oldSize) == 0;
    if (back && written > 0) back = ::fsync(fd) == 0;
    ::close(fd);
    return back ? ChosenFileWrite::Unchanged : ChosenFileWrite::Damaged;
}

} // namespace

bool replaceFileContents(const fs::path& given, std::string_view bytes) {
    const SaveInProgress saving;
    // Through a link, the link's target is what the user keeps: replace that, not the link.
    return replaceByRename(followLinks(given), bytes) == Renamed::Yes;
}

ChosenFileWrite writeChosenFile(const fs::path& given, std::string_view bytes) {
    const SaveInProgress saving;
    const fs::path path = followLinks(given);
    switch (replaceByRename(path, bytes)) {
    case Renamed::Yes:
        return ChosenFileWrite::Written;
    case Renamed::FolderRefused:
        // A folder the user may not add files to can still hold a file the user may write.
        return writeInPlace(path, bytes);
    case Renamed::No:
        break;
    }
    return ChosenFileWrite::Unchanged;
}

bool renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // A file system without that kind of rename: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // Nor hard links (FAT): look, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && ::rename(from.c_str(), to.c_str()) == 0;
}

bool createFileWith(const fs::path& path, std::string_view bytes) {
    const fs::path temp = newFileFor(path);
    ::unlink(temp.c_str());
    if (!writeNewFile(temp, bytes, 0666, false)) return false;
    if (!renameWithoutReplacing(temp, path)) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

namespace {

// The process id in the name of a save's new file of jmconfig.ini or jmconfig.dat.
std::optional<pid_t> leftoverPid(std::string_view name) {
    for (std::string_view file : {"jmconfig.ini", "jmconfig.dat"}) {
        if (!name.starts_with(file) || !name.substr(file.size()).starts_with(kNewSuffix)) continue;
        const std::string_view digits = name.substr(file.size() + kNewSuffix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return {};
        pid_t pid = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
        // 0 and negative numbers would make kill() address whole process groups.
        if (ec != std::errc() || end != digits.data() + digits.size() || pid <= 0) return {};
        return pid;
    }
    return {};
}

} // namespace

int removeDeadSaveLeftovers(const fs::path& folder) {
    std::vector<fs::path> dead;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<pid_t> pid = leftoverPid(it->path().filename().native());
        // EPERM: the process runs under another user, and may still be saving.
        if (pid && ::kill(*pid, 0) != 0 && errno == ESRCH) dead.push_back(it->path());
    }
    int removed = 0;
    for (const fs::path& p : dead) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(p.c_str()) == 0) ++removed;
    }
    return removed;
}

} // namespace vantaro
