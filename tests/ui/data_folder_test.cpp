// Where the settings and the action list are kept, and where the program finds its own files.
#include "program_fixture.h"
#include "ui/data_folder.h"
#include "ui/program_files.h"

using namespace vantaro;
using namespace vantaro::test;

TEST(DataFolder, TheProgramFolderWhenWritableElseTheUsersOwn) {
    Folder program;
    Folder user;
    EXPECT_EQ(chooseDataFolder(program.path(), user / "Vantaro"), program.path());

    // A program folder that cannot take files (here: one that is not a folder at all).
    const auto notAFolder = program / "vantaro";
    writeFile(notAFolder, "");
    EXPECT_FALSE(folderWritable(notAFolder));
    const auto chosen = chooseDataFolder(notAFolder, user / "Vantaro");
    EXPECT_EQ(chosen, user / "Vantaro");
    EXPECT_TRUE(std::filesystem::is_directory(chosen));
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
    EXPECT_EQ(chooseDataFolder(bin, user / "Vantaro"), user / "Vantaro");
    EXPECT_TRUE(std::filesystem::is_directory(user / "Vantaro"));
    EXPECT_FALSE(std::filesystem::exists(bin / "jmconfig.ini"));

    // A copy beside the program wins: the program runs from its own folder again.
    writeFile(bin / "help.html", "");
    writeFile(bin / "libpalmlet.so", "");
    EXPECT_EQ(programFile(ProgramFileKind::Page, "help.html", bin), bin / "help.html");
    EXPECT_EQ(programFile(ProgramFileKind::Library, "libpalmlet.so", bin), bin / "libpalmlet.so");
    EXPECT_FALSE(runsInstalled(bin));
    EXPECT_EQ(chooseDataFolder(bin, user / "Vantaro"), bin);
}
