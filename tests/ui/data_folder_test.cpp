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
