#include "storage/action_file.h"
#include "storage/file_io.h"
#include "storage/record_codec.h"
#include "storage/settings.h"
#include "storage/settings_keys.h"
#include "support/records.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vantaro;
using vantaro::test::fileBytes;
using vantaro::test::putBytes;
using vantaro::test::TempFolder;
namespace fs = std::filesystem;

namespace {

// A data folder and a list in memory, read and written with the program's rules. What the user
// is told about these files is the program core's, tested there.
struct Program {
    TempFolder folder;
    std::unique_ptr<ActionList> list = std::make_unique<ActionList>();
    std::string reason; // why the last read failed

    fs::path dat() const { return actionFilePathIn(folder.path()); }
    fs::path ini() const { return settingsPathIn(folder.path()); }
    bool save(const fs::path& to) { return writeActionFile(to, *list); }
    bool read(const fs::path& from, MissingFile missing = MissingFile::ReadsEmpty) {
        return readActionFile(from, *list, missing, reason);
    }
};

ActionRecord makeAction(int seed) {
    ActionRecord r;
    r.buttonMask = 1 << (seed % 31);
    r.povDirection = kPovCentred;
    r.channel = static_cast<std::int16_t>(seed % 16);
    r.dataNumber = static_cast<std::int16_t>(seed % 128);
    r.high = 127;
    r.recordVersion = kRecordVersion;
    return r;
}

void fill(ActionList& list, int count) {
    for (int n = 1; n <= count; ++n)
        list[n] = makeAction(n);
    list.actionCount = static_cast<std::int16_t>(count);
}

std::string fileOf(int count) {
    auto list = std::make_unique<ActionList>();
    fill(*list, count);
    return encodeActions(*list);
}

void putLE(std::string& b, std::size_t offset, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        b[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

bool sameBits(const ActionRecord& a, const ActionRecord& b) {
    ActionRecord x = a, y = b;
    const bool doubles =
        std::bit_cast<std::uint64_t>(a.increment) == std::bit_cast<std::uint64_t>(b.increment) &&
        std::bit_cast<std::uint64_t>(a.currentValue) == std::bit_cast<std::uint64_t>(b.currentValue);
    x.increment = y.increment = 0;
    x.currentValue = y.currentValue = 0;
    return doubles && x == y;
}

} // namespace

TEST(ActionFile, EveryFieldIsStoredAtItsOffsetAndReadBackBitForBit) {
    Program p;
    ActionRecord r;
    r.axisMask = -2;
    r.buttonMask = static_cast<std::int32_t>(0x80000003u);
    r.channel = 15;
    r.dataNumber = 127;
    r.increment = 0.01;
    r.currentValue = std::bit_cast<double>(0x7FF8000000000123ull); // a NaN with a payload
    r.lastButtonState = 0x01020304;
    r.reservedA = 0x1122;
    r.povDirection = 31500;
    r.wrap = 1;
    r.low = 3;
    r.high = 120;
    r.delay = 10000;
    r.reservedB = -7;
    r.reservedC = -100000;
    r.toggle = 2;
    r.reservedD = 0x3344;
    r.reservedE = 0x5566;
    r.recordVersion = 3;
    r.fingerSelect = {1, 2, 3, 4, 5};
    r.isGlove = 1;
    r.handAxisSelect = {-1, 0, 1, -32768, 32767, 6};
    r.messageKind = kNoteOff;
    (*p.list)[1] = makeAction(1);
    (*p.list)[2] = r;
    p.list->actionCount = 2;

    ASSERT_TRUE(p.save(p.dat()));
    const std::string bytes = fileBytes(p.dat());
    ASSERT_EQ(bytes.size(), 168u);

    std::string expected(84, '\0');
    putLE(expected, 0, 0xFFFE, 2);
    putLE(expected, 2, 0x80000003u, 4);
    putLE(expected, 6, 15, 2);
    putLE(expected, 8, 127, 2);
    putLE(expected, 10, std::bit_cast<std::uint64_t>(0.01), 8);
    putLE(expected, 18, 0x7FF8000000000123ull, 8);
    putLE(expected, 26, 0x01020304, 4);
    putLE(expected, 30, 0x1122, 2);
    putLE(expected, 32, 31500, 4);
    putLE(expected, 36, 1, 2);
    putLE(expected, 38, 3, 2);
    putLE(expected, 40, 120, 2);
    putLE(expected, 42, 10000, 2);
    putLE(expected, 44, 0xFFF9, 2);
    putLE(expected, 46, static_cast<std::uint32_t>(-100000), 4);
    putLE(expected, 50, 2, 2);
    putLE(expected, 52, 0x3344, 2);
    putLE(expected, 54, 0x5566, 2);
    putLE(expected, 56, 3, 2);
    for (int k = 0; k < 5; ++k)
        putLE(expected, 58 + 2 * static_cast<std::size_t>(k), static_cast<std::uint64_t>(k + 1), 2);
    putLE(expected, 68, 1, 2);
    const std::uint16_t hand[6] = {0xFFFF, 0, 1, 0x8000, 0x7FFF, 6};
    for (int k = 0; k < 6; ++k)
        putLE(expected, 70 + 2 * static_cast<std::size_t>(k), hand[k], 2);
    putLE(expected, 82, 2, 2);
    EXPECT_EQ(bytes.substr(84), expected);
    EXPECT_FALSE(fs::exists(p.ini())) << "the action file alone; its setting is the program's";

    Program q;
    fs::copy_file(p.dat(), q.dat());
    ASSERT_TRUE(q.read(q.dat())) << q.reason;
    ASSERT_EQ(q.list->actionCount, 2);
    EXPECT_TRUE(sameBits((*q.list)[1], (*p.list)[1]));
    EXPECT_TRUE(sameBits((*q.list)[2], r));
}

TEST(ActionFile, SaveWritesExactlyTheList) {
    Program p;
    putBytes(p.dat(), fileOf(5));
    fill(*p.list, 2);
    ASSERT_TRUE(p.save(p.dat()));
    EXPECT_EQ(fileBytes(p.dat()), fileOf(2)); // the longer old file is gone entirely

    p.list->actionCount = 0;
    EXPECT_TRUE(p.save(p.dat()));
    EXPECT_EQ(fs::file_size(p.dat()), 0u);
}

TEST(ActionFile, AFailedSaveKeepsTheOldFile) {
    Program p;
    fill(*p.list, 3);
    EXPECT_FALSE(p.save(p.folder / "missing" / "x.dat"));

    putBytes(p.dat(), fileOf(1));
    fs::permissions(p.dat(), fs::perms::owner_read);
    EXPECT_FALSE(p.save(p.dat()));
    EXPECT_EQ(fileBytes(p.dat()), fileOf(1));
    EXPECT_EQ(p.list->actionCount, 3);
    EXPECT_EQ(vantaro::test::entryCount(p.folder.path()), 1); // no temporary file left
}

TEST(ActionFile, AMissingFileReadsAsAnEmptyListOrFailsAsAsked) {
    Program p;
    fill(*p.list, 2);
    EXPECT_FALSE(p.read(p.dat(), MissingFile::Fails));
    EXPECT_NE(p.reason.find("cannot read"), std::string::npos) << p.reason;
    EXPECT_FALSE(fs::exists(p.dat())) << "nothing is created then";
    EXPECT_EQ(p.list->actionCount, 2);

    ASSERT_TRUE(p.read(p.dat()));
    EXPECT_EQ(p.list->actionCount, 0);
    ASSERT_TRUE(fs::exists(p.dat())); // created empty
    EXPECT_EQ(fs::file_size(p.dat()), 0u);

    EXPECT_TRUE(p.read(p.dat(), MissingFile::Fails)); // now zero-length
    EXPECT_EQ(p.list->actionCount, 0);
}

TEST(ActionFile, TheCountFollowsTheLengthWithTiesToEven) {
    EXPECT_EQ(recordCountForLength(84 * 3 + 41), 3u);
    EXPECT_EQ(recordCountForLength(84 * 3 + 43), 4u);
    EXPECT_EQ(recordCountForLength(84 * 2 + 42), 2u);
    EXPECT_EQ(recordCountForLength(84 * 3 + 42), 4u);
    EXPECT_EQ(recordCountForLength(126), 2u);
    EXPECT_EQ(recordCountForLength(210), 2u);
    EXPECT_EQ(recordCountForLength(41), 0u);

    Program p;
    putBytes(p.dat(), fileOf(3) + std::string(41, '\x7f')); // the stray bytes round away
    EXPECT_TRUE(p.read(p.dat()));
    EXPECT_EQ(p.list->actionCount, 3);

    // A short last record whose version is present reads with its missing bytes as zero.
    auto four = std::make_unique<ActionList>();
    fill(*four, 4);
    ActionRecord& glove = (*four)[4];
    glove.fingerSelect = {1, 1, 1, 1, 1};
    glove.handAxisSelect = {1, 0, 0, 0, 0, -1};
    glove.messageKind = kNoteOff;
    putBytes(p.dat(), encodeActions(*four).substr(0, 84 * 3 + 58));
    EXPECT_TRUE(p.read(p.dat()));
    ASSERT_EQ(p.list->actionCount, 4);
    const ActionRecord fourth = makeAction(4); // the glove fields and the kind were cut off
    EXPECT_EQ((*p.list)[4], fourth);

    // One that ends before its version fails it.
    putBytes(p.dat(), fileOf(3) + std::string(43, '\0'));
    EXPECT_FALSE(p.read(p.dat()));
    EXPECT_NE(p.reason.find("record 4 is not of version 3"), std::string::npos) << p.reason;
}

TEST(ActionFile, AThousandRecordsReadAndOneMoreIsAFailure) {
    Program p;
    putBytes(p.dat(), fileOf(1000));
    EXPECT_TRUE(p.read(p.dat()));
    EXPECT_EQ(p.list->actionCount, 1000);

    putBytes(p.dat(), fileOf(1000) + fileOf(1));
    EXPECT_FALSE(p.read(p.dat()));
    EXPECT_NE(p.reason.find("more than 1000"), std::string::npos) << p.reason;
    EXPECT_EQ(p.list->actionCount, 1000); // untouched
    EXPECT_EQ(fs::file_size(p.dat()), 1001u * 84);

    // A huge file is refused by its length alone.
    fs::resize_file(p.dat(), std::uint64_t{1} << 36);
    EXPECT_FALSE(p.read(p.dat()));
}

// A FIFO nobody writes to: an open that waits for a writer would hang here for good, and
// ctest's time limit would report it.
TEST(ActionFile, WhatIsNoRegularFileFailsAtOnce) {
    Program p;
    ASSERT_EQ(::mkfifo(p.dat().c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(p.ini().c_str(), 0600), 0);
    EXPECT_FALSE(p.read(p.dat()));
    EXPECT_FALSE(p.read(p.dat(), MissingFile::Fails));
    EXPECT_EQ(readSetting(p.ini(), "General", "config"), "");
    EXPECT_FALSE(writeSetting(p.ini(), "General", "config", " 1"));
    EXPECT_TRUE(fs::is_fifo(p.ini()));

    const fs::path pipe = p.folder / "pipe.dat";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink(pipe, p.folder / "link.dat");
    fill(*p.list, 2);
    for (const fs::path& chosen : {pipe, p.folder / "link.dat", p.folder.path(), fs::path("/dev/zero")}) {
        EXPECT_FALSE(p.read(chosen, MissingFile::Fails)) << chosen;
        EXPECT_FALSE(p.save(chosen)) << chosen;
    }
    EXPECT_EQ(p.list->actionCount, 2);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_symlink(p.folder / "link.dat"));
}

TEST(ActionFile, SavingThroughALinkReplacesTheFileItLeadsTo) {
    Program p;
    TempFolder elsewhere;
    putBytes(elsewhere / "actions.dat", fileOf(1));
    putBytes(elsewhere / "settings.ini", "[General]\r\nWrap=0\r\n");
    fs::create_symlink(elsewhere / "actions.dat", p.dat());
    // A relative link leads from the link's own folder.
    fs::create_symlink(fs::path("..") / elsewhere.path().filename() / "settings.ini", p.ini());

    fill(*p.list, 3);
    EXPECT_TRUE(p.save(p.dat()));
    EXPECT_TRUE(writeSettingValue(p.ini(), settings::size, 3));
    EXPECT_TRUE(fs::is_symlink(p.dat()));
    EXPECT_TRUE(fs::is_symlink(p.ini()));
    EXPECT_EQ(fileBytes(elsewhere / "actions.dat"), fileOf(3));
    EXPECT_EQ(fileBytes(elsewhere / "settings.ini"), "[General]\r\nWrap=0\r\nSize= 3\r\n");
    EXPECT_EQ(vantaro::test::entryCount(elsewhere.path()), 2);

    // A link whose file is gone reads as an empty list, and the next save makes the file.
    fs::remove(elsewhere / "actions.dat");
    EXPECT_TRUE(p.read(p.dat()));
    EXPECT_EQ(p.list->actionCount, 0);
    fill(*p.list, 2);
    EXPECT_TRUE(p.save(p.dat()));
    EXPECT_TRUE(fs::is_symlink(p.dat()));
    EXPECT_EQ(fileBytes(elsewhere / "actions.dat"), fileOf(2));
}

TEST(ActionFile, InAFolderThatTakesNoNewFileOnlyAnExportIsWrittenInPlaceAndNeverHalfway) {
    Program p;
    const fs::path shared = p.folder / "shared";
    const fs::path target = shared / "set.dat";
    const fs::path own = shared / "jmconfig.dat";
    fs::create_directory(shared);
    putBytes(target, fileOf(5));
    putBytes(own, fileOf(5));
    const auto all = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    const auto writable = all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(p.folder.path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(target, writable);
    fs::permissions(own, writable);
    fs::permissions(shared, readable);

    EXPECT_TRUE(vantaro::test::asOrdinaryUser([&] {
        const auto exported = [&](int count) {
            fill(*p.list, count);
            return writeChosenFile(target, encodeActions(*p.list)) == ChosenFileWrite::Written &&
                   fileBytes(target) == fileOf(count);
        };
        if (!exported(2) || !exported(60)) return false; // shorter, then longer
        // A full disk (here: a file size limit, 4096 bytes) refuses the reserved size of a longer
        // list before a byte of the file changes; a shorter one stops its write half way, and what
        // it overwrote is put back.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return false;
        for (const int count : {999, 55}) {
            fill(*p.list, count);
            (*p.list)[1].high = 1; // unlike the file's first record
            if (writeChosenFile(target, encodeActions(*p.list)) != ChosenFileWrite::Unchanged) return false;
        }
        return true;
    }));
    EXPECT_EQ(fileBytes(target), fileOf(60));
    // The program's own file is never written in place: a cut save there would lose it.
    EXPECT_TRUE(vantaro::test::asOrdinaryUser([&] { return !p.save(own); }));
    EXPECT_EQ(fileBytes(own), fileOf(5));
    EXPECT_EQ(vantaro::test::entryCount(shared), 2);
    fs::permissions(shared, all);
}

TEST(ActionFile, FileNamePartAndFileExists) {
    EXPECT_EQ(fileNamePart("/music/sets/live.dat"), "live.dat");
    EXPECT_EQ(fileNamePart("live.dat"), "live.dat");
    EXPECT_EQ(fileNamePart("/music/"), "");
    EXPECT_EQ(fileNamePart(""), "");

    TempFolder dir;
    putBytes(dir / "live.dat", "x");
    putBytes(dir / ".hidden.dat", "x");
    fs::create_directory(dir / "folder.dat");
    EXPECT_TRUE(fileExists(dir / "live.dat"));
    EXPECT_FALSE(fileExists(dir / "gone.dat"));
    EXPECT_FALSE(fileExists(dir / ".hidden.dat"));
    EXPECT_FALSE(fileExists(dir / "folder.dat"));
    EXPECT_FALSE(fileExists(""));
}
