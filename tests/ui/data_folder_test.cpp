// Where the settings and the action list are kept, and where the program finds its own files.
#include "program_fixture.h"
#include "support/temp_folder.h"
#include "ui/data_folder.h"
#include "ui/program_files.h"

using namespace vantaro;
using namespace vantaro::test;
namespace fs = std::filesystem;

TEST(DataFolder, TheProgramFolderWhenWritableElseTheUsersOwn) {
    Folder program;
    Folder user;
    const DataFolderChoice writable = chooseDataFolder(program.path(), user / "Vantaro");
    EXPECT_EQ(writable.folder, program.path());
    EXPECT_EQ(writable.note, "");

    // A program folder that cannot take files (here: one that is not a folder at all).
    const auto notAFolder = program / "vantaro";
    writeFile(notAFolder, "");
    EXPECT_FALSE(folderWritable(notAFolder));
    const auto chosen = chooseDataFolder(notAFolder, user / "Vantaro");
    EXPECT_EQ(chosen.folder, user / "Vantaro");
    EXPECT_TRUE(fs::is_directory(chosen.folder));
    EXPECT_NE(chosen.note.find((user / "Vantaro").string()), std::string::npos);
}

TEST(DataFolder, AReadOnlyProgramFolderHandsItsFilesOverOnceAndNeverOverwrites) {
    Folder program;
    Folder user;
    const fs::path mine = user / "Vantaro";
    writeFile(program / "jmconfig.ini", "[General]\nconfig= 1\n");
    writeFile(program / "jmconfig.dat", std::string(84, '\3'));
    fs::permissions(program.path(), fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                                       fs::perms::others_write));
    fs::permissions(user.path(), fs::perms::all);

    // The check runs in the child; its choice and note stay there.
    EXPECT_TRUE(asOrdinaryUser([&] {
        const DataFolderChoice c = chooseDataFolder(program.path(), mine);
        return c.folder == mine &&
               c.note == "The settings and actions are kept in " + mine.string() + " because " +
                             program.path().string() +
                             " cannot be written (jmconfig.ini and jmconfig.dat copied from there).";
    }));
    EXPECT_EQ(fileText(mine / "jmconfig.ini"), "[General]\nconfig= 1\n");
    EXPECT_EQ(fileText(mine / "jmconfig.dat"), std::string(84, '\3'));

    // Later starts keep what the user's folder holds.
    writeFile(mine / "jmconfig.ini", "[General]\nconfig= 1\nHigh= 5\n");
    EXPECT_TRUE(asOrdinaryUser([&] {
        const DataFolderChoice c = chooseDataFolder(program.path(), mine);
        return c.folder == mine && c.note.find("copied") == std::string::npos;
    }));
    EXPECT_EQ(fileText(mine / "jmconfig.ini"), "[General]\nconfig= 1\nHigh= 5\n");
}

// A build folder holds everything beside the program; an installed program finds its pages and
// libraries in their installed folders and keeps the user's files in the user's folder, even
// where it may write (a prefix of the user's own, or root).
TEST(DataFolder, AnInstalledProgramFindsItsPartsAndKeepsFilesInTheUsersFolder) {
    Folder root;
    Folder user;
    const auto bin = root / "bin";
    const auto pages = installedFolder(ProgramFileKind::Page, bin);
    const auto libs = installedFolder(ProgramFileKind::Library, bin);
    ASSERT_NE(pages, libs);
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(pages);
    std::filesystem::create_directories(libs);

    // Nowhere yet: the place beside the program, which is what a failure names.
    EXPECT_EQ(programFile(ProgramFileKind::Page, "help.html", bin), bin / "help.html");
    EXPECT_FALSE(runsInstalled(bin));

    writeFile(pages / "help.html", "");
    writeFile(libs / "libpalmlet.so", "");
    EXPECT_EQ(programFile(ProgramFileKind::Page, "help.html", bin), pages / "help.html");
    EXPECT_EQ(programFile(ProgramFileKind::Library, "libpalmlet.so", bin), libs / "libpalmlet.so");
    // Each kind is looked for in its own folder only.
    EXPECT_EQ(programFile(ProgramFileKind::Page, "libpalmlet.so", bin), bin / "libpalmlet.so");
    EXPECT_TRUE(runsInstalled(bin));
    EXPECT_EQ(chooseDataFolder(bin, user / "Vantaro").folder, user / "Vantaro");
    EXPECT_TRUE(std::filesystem::is_directory(user / "Vantaro"));
    EXPECT_FALSE(std::filesystem::exists(bin / "jmconfig.ini"));

    // A copy beside the program wins: the program runs from its own folder again.
    writeFile(bin / "help.html", "");
    writeFile(bin / "libpalmlet.so", "");
    EXPECT_EQ(programFile(ProgramFileKind::Page, "help.html", bin), bin / "help.html");
    EXPECT_EQ(programFile(ProgramFileKind::Library, "libpalmlet.so", bin), bin / "libpalmlet.so");
    EXPECT_FALSE(runsInstalled(bin));
    EXPECT_EQ(chooseDataFolder(bin, user / "Vantaro").folder, bin);
}

namespace {

// A program folder laid out as installed: its files go to the user's folder, even for root.
fs::path installedProgram(const Folder& root) {
    const auto bin = root / "bin";
    fs::create_directories(bin);
    fs::create_directories(installedFolder(ProgramFileKind::Page, bin));
    writeFile(installedFolder(ProgramFileKind::Page, bin) / "help.html", "");
    return bin;
}

// Bytes this process has read so far.
std::uint64_t bytesRead() {
    const std::string io = fileText("/proc/self/io");
    return std::stoull(io.substr(io.find("rchar:") + 6));
}

} // namespace

TEST(DataFolder, AUsersFolderThatTakesNoNewFileIsUsedAsItStandsAndSaysChangesAreNotKept) {
    Folder program;
    Folder user;
    const fs::path mine = user / "Vantaro";
    fs::create_directories(mine);
    writeFile(mine / "jmconfig.dat", std::string(84, '\3'));
    fs::permissions(mine / "jmconfig.dat", fs::perms::all);
    fs::permissions(mine, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(user.path(), fs::perms::all);
    fs::permissions(program.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
    EXPECT_TRUE(asOrdinaryUser([&] {
        const DataFolderChoice c = chooseDataFolder(program.path(), mine);
        return c.folder == mine &&
               c.note.ends_with(mine.string() + " cannot be written: changes will not be kept.");
    }));
}

TEST(DataFolder, AUsersFolderThatCannotBeUsedIsNamedAndPassedOver) {
    Folder root;
    const fs::path bin = installedProgram(root);
    const fs::path home = root / "home";
    fs::create_directories(home);
    writeFile(root / "afile", "x");

    // XDG_DATA_HOME naming a file: ~/.local/share is used, and the note says where and why.
    const DataFolderChoice fromHome =
        chooseDataFolder(bin, userDataFolders((root / "afile").c_str(), home.c_str()));
    EXPECT_EQ(fromHome.folder, home / ".local/share/Vantaro");
    EXPECT_TRUE(fs::is_directory(fromHome.folder));
    EXPECT_NE(fromHome.note.find("The data folder " + (root / "afile/Vantaro").string() +
                                 " cannot be used (Not a directory)."),
              std::string::npos)
        << fromHome.note;
    EXPECT_EQ(fileText(root / "afile"), "x");

    // No usable home and nothing else: the program's folder, and no home is made.
    const fs::path missing = root / "nonexistent";
    for (const char* noHome : {static_cast<const char*>(nullptr), "", "relative/home", missing.c_str()}) {
        const DataFolderChoice c = chooseDataFolder(bin, userDataFolders(nullptr, noHome));
        EXPECT_EQ(c.folder, bin) << (noHome ? noHome : "(unset)");
        EXPECT_NE(c.note.find("There is no home folder: HOME is "), std::string::npos) << c.note;
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(userDataFolders("relative", home.c_str()).back().folder, home / ".local/share/Vantaro");
}

TEST(DataFolder, AnActionFileTooLongToBeOneIsNeitherReadNorCopied) {
    const std::uint64_t limit = 1000 * 84 + 42; // 1000 records, the half of one more rounding to even
    for (const std::uint64_t size : {limit, limit + 1, (std::uint64_t{1} << 32) + 840}) {
        Folder root;
        Folder user;
        const fs::path bin = installedProgram(root);
        writeFile(bin / "jmconfig.ini", "[General]\r\nconfig= 1\r\n");
        writeFile(bin / "jmconfig.dat", "");
        fs::resize_file(bin / "jmconfig.dat", size); // sparse: it takes no room on the disk

        const std::uint64_t before = bytesRead();
        const DataFolderChoice c = chooseDataFolder(bin, user / "Vantaro");
        EXPECT_LT(bytesRead() - before, 1u << 20) << size;
        EXPECT_EQ(fileText(user / "Vantaro/jmconfig.ini"), "[General]\r\nconfig= 1\r\n");
        if (size == limit) {
            EXPECT_EQ(fs::file_size(user / "Vantaro/jmconfig.dat"), limit);
            continue;
        }
        EXPECT_FALSE(fs::exists(user / "Vantaro/jmconfig.dat")) << size;
        EXPECT_NE(c.note.find("jmconfig.dat in " + bin.string() + " was left there: at " +
                              std::to_string(size) +
                              " bytes it would hold more than 1000 actions, so it is damaged."),
                  std::string::npos)
            << c.note;
    }
}
