// Where the settings and the action list are kept.
#include "program_fixture.h"
#include "ui/data_folder.h"

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
