#include "storage/folder_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantaro {

namespace {

enum class Locked { Yes, InUse, No };

// flock, not fcntl locks: those would be dropped when any descriptor of the file is closed.
Locked lockWithoutWaiting(int& fd) {
    if (fd < 0) return Locked::No;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const Locked result = errno == EWOULDBLOCK ? Locked::InUse : Locked::No;
        ::close(fd);
        fd = -1;
        return result;
    }
    return Locked::Yes;
}

// Removes what stands under path unless it is a regular file; true when path is free or a
// regular file afterwards. A folder goes only when empty: its contents are not ours.
bool clearNonRegular(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (S_ISREG(st.st_mode)) return true;
    return (S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0 || errno == ENOENT;
}

// The lock file, opened without following a link and without waiting on whatever stands there.
int openLockFile(const std::filesystem::path& path) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (!clearNonRegular(path)) return -1;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | flags); // flock needs no write access
    if (fd < 0) return -1;
    // Something else may have been put there meanwhile; only a regular file is a lock file.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FolderLock::FolderLock(const std::filesystem::path& folder) {
    // The folder first: its holder alone goes on to jmconfig.lock, so two copies starting together
    // never each replace it with a lock file of their own. (Where no folder can be locked, as on
    // some network file systems, the lock file is all there is.)
    folderFd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const Locked onFolder = lockWithoutWaiting(folderFd_);
    if (onFolder == Locked::InUse) {
        state_ = State::InUse;
        return;
    }
    fileFd_ = openLockFile(folder / "jmconfig.lock");
    const Locked onFile = lockWithoutWaiting(fileFd_);
    if (onFile == Locked::InUse) {
        // An older copy, which locks the file alone.
        if (folderFd_ >= 0) ::close(folderFd_);
        folderFd_ = -1;
        state_ = State::InUse;
        return;
    }
    state_ = onFolder == Locked::Yes || onFile == Locked::Yes ? State::Held : State::Unavailable;
}

FolderLock::~FolderLock() {
    // The locks go with the descriptors; the file stays for the next start.
    if (fileFd_ >= 0) ::close(fileFd_);
    if (folderFd_ >= 0) ::close(folderFd_);
}

} // namespace vantaro
