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
        Unavailable, // no lock file could be opened (a read-only folder, where nothing is written anyway)
    };

    // Takes the lock on folder's jmconfig.lock without waiting. The system releases it when the
    // holder ends in any way, a crash included, so a stale lock file never stops a start.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }
    bool inUse() const { return state_ == State::InUse; }

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

} // namespace vantaro
