#include "storage/file_io.h"
#include "storage/folder_lock.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

using namespace vantaro;
using vantaro::test::putBytes;
using vantaro::test::TempFolder;
namespace fs = std::filesystem;

TEST(SaveLeftovers, OnlyThoseOfProcessesThatEndedAreRemoved) {
    TempFolder dir;
    const std::string ended = std::to_string(vantaro::test::endedProcessId());
    const std::string running = std::to_string(::getppid());
    const std::vector<std::string> removed = {"jmconfig.ini.new-" + ended, "jmconfig.dat.new-" + ended};
    const std::vector<std::string> kept = {"jmconfig.dat.new-" + running, "jmconfig.dat",
                                           "jmconfig.dat.new-0",          "jmconfig.dat.new-12x",
                                           "notes.txt.new-" + ended,      "jmconfig.dat.damaged"};
    for (const auto& name : removed)
        putBytes(dir / name, "x");
    for (const auto& name : kept)
        putBytes(dir / name, "x");

    EXPECT_EQ(removeDeadSaveLeftovers(dir.path()), 2);
    for (const auto& name : removed)
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_EQ(removeDeadSaveLeftovers(dir / "missing"), 0);
}

TEST(FolderLock, OneHolderPerFolderUntilItEndsHoweverItEnds) {
    TempFolder a, b;
    {
        FolderLock first(a.path());
        EXPECT_EQ(first.state(), FolderLock::State::Held);
        EXPECT_TRUE(FolderLock(a.path()).inUse());
        EXPECT_EQ(FolderLock(b.path()).state(), FolderLock::State::Held);
    }
    EXPECT_EQ(FolderLock(a.path()).state(), FolderLock::State::Held);

    // A holder that is killed leaves its lock file behind, but not its lock.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        FolderLock lock(a.path());
        const char held = lock.state() == FolderLock::State::Held ? 'y' : 'n';
        if (::write(ready[1], &held, 1) != 1) ::_exit(1);
        for (;;)
            ::pause();
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    EXPECT_EQ(held, 'y');
    EXPECT_TRUE(FolderLock(a.path()).inUse());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(fs::exists(a / "jmconfig.lock"));
    EXPECT_EQ(FolderLock(a.path()).state(), FolderLock::State::Held);
}

TEST(FolderLock, WhateverStandsUnderTheLockFilesNameTwoCopiesNeverShareAFolder) {
    // A link to itself, a link to nothing, an empty folder: none is followed, each is replaced.
    const std::vector<std::function<void(const fs::path&)>> oddities = {
        [](const fs::path& lock) { fs::create_symlink(lock.filename(), lock); },
        [](const fs::path& lock) { fs::create_symlink(lock.parent_path() / "gone" / "x", lock); },
        [](const fs::path& lock) { fs::create_directory(lock); },
    };
    for (std::size_t i = 0; i < oddities.size(); ++i) {
        TempFolder a;
        oddities[i](a / "jmconfig.lock");
        FolderLock first(a.path());
        EXPECT_EQ(first.state(), FolderLock::State::Held) << i;
        EXPECT_TRUE(FolderLock(a.path()).inUse()) << i;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(a / "jmconfig.lock"))) << i;
        EXPECT_FALSE(fs::exists(a / "gone")) << i;
    }

    // A folder the user may read but not write holds no lock file of this user's: the folder
    // itself is locked.
    TempFolder b;
    fs::permissions(b.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    EXPECT_TRUE(vantaro::test::asOrdinaryUser([&] {
        FolderLock first(b.path());
        return first.state() == FolderLock::State::Held && FolderLock(b.path()).inUse();
    }));
    // Neither the folder nor a file in it: said, not taken for a lock.
    fs::permissions(b.path(), fs::perms::owner_all | fs::perms::others_exec);
    EXPECT_TRUE(vantaro::test::asOrdinaryUser(
        [&] { return FolderLock(b.path()).state() == FolderLock::State::Unavailable; }));
}
