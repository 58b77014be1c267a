#pragma once
// One running copy of the program per data folder: two copies writing the same jmconfig.dat and
// jmconfig.ini would each overwrite the other's changes.
#include <filesystem>

namespace vantaro {

class FolderLock {
public:
    enum class State {
        Held,        // this process holds the folder until the lock is destroyed or the process ends
        InUse,       // another running process holds it
        Unavailable, // neither the folder nor a lock file in it could be locked: a second copy
                     // would go unnoticed, which the caller tells the user
    };

    // Takes two locks without waiting: one on the folder itself, which needs no file and so also
    // holds in a folder the user may only read, and one on the folder's jmconfig.lock, which older
    // copies of the program look at. jmconfig.lock is never followed as a link: whatever stands
    // under that name that is not a regular file (a link, even one to itself or to nothing, an
    // empty folder) is replaced by one. The system releases both when the holder ends in any way,
    // a crash included, so a stale lock file never stops a start.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }
    bool inUse() const { return state_ == State::InUse; }

private:
    int folderFd_ = -1;
    int fileFd_ = -1;
    State state_ = State::Unavailable;
};

} // namespace vantaro
