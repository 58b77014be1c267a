// Where the settings and the action list are kept.
#include "program_fixture.h"
#include "support/temp_folder.h"
#include "ui/data_folder.h"

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
