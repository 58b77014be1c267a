#include "storage/file_io.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantaro {

namespace fs = std::filesystem;

std::optional<FileHead> readFileHead(const fs::path& path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
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

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename itself durable; failure here does not undo the replacement.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool replaceFileContents(const fs::path& path, std::string_view bytes) {
    mode_t mode = 0666; // narrowed by the umask for a new file
    bool keepMode = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        // The user marked the file read-only: respect that even where the folder would allow a rename.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    // One temporary name per process, so two copies of the program never share one.
    fs::path temp = path;
    temp += ".new-" + std::to_string(::getpid());
    ::unlink(temp.c_str()); // a leftover of this process id from an earlier crash

    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (ok && keepMode) ok = ::fchmod(fd, mode) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    return true;
}

} // namespace vantaro
