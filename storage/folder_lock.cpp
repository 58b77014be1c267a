#include "storage/folder_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vantaro {

FolderLock::FolderLock(const std::filesystem::path& folder) {
    const std::filesystem::path path = folder / "jmconfig.lock";
    // O_NONBLOCK: whatever stands under that name, the open does not wait.
    const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
    if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | flags); // flock needs no write access
    if (fd_ < 0) return;
    // flock, not fcntl locks: those would be dropped when any descriptor of the file is closed.
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        state_ = errno == EWOULDBLOCK ? State::InUse : State::Unavailable;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    state_ = State::Held;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_); // the lock goes with the descriptor; the file stays for the next start
}

} // namespace vantaro
