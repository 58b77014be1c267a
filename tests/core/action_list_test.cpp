// The action list in the program core: what the user is told about the action file, the
// program-folder file's failure path, Import and Export, and the list box it keeps.
#include "storage/action_file.h"
#include "storage/settings.h"
#include "support/core_rig.h"
#include "support/records.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vantaro {
namespace {

namespace fs = std::filesystem;
using test::fileBytes;
using test::putBytes;

const std::string kQuestion = "Error opening config file.  Delete config?";

ActionRecord makeAction(int seed) {
    ActionRecord r = test::buttonAction(1 << (seed % 31), kNoteOn, seed % 16, seed % 128);
    r.messageKind = kControllerChange;
    return r;
}

std::unique_ptr<ActionList> listOf(int count) {
    auto list = std::make_unique<ActionList>();
    for (int n = 1; n <= count; ++n)
        (*list)[n] = makeAction(n);
    list->actionCount = static_cast<std::int16_t>(count);
    return list;
}

std::string fileOf(int count) {
    return encodeActions(*listOf(count));
}

// The program on a data folder of its own.
struct Program {
    explicit Program(int inMemory = 0) {
        if (inMemory > 0) rig->playActions(*listOf(inMemory));
    }
    fs::path dat() const { return folder / "jmconfig.dat"; }
    fs::path ini() const { return folder / "jmconfig.ini"; }

    test::TempFolder folder;
    test::CoreRig rig{folder.path()};
};

TEST(ActionList, EachSaveWritesTheListAndItsSizeAndAFailureIsTold) {
    Program p(2);
    putBytes(p.dat(), fileOf(5));
    EXPECT_EQ(p.rig->exportActions(p.dat()), SaveOutcome::Saved);
    EXPECT_EQ(fileBytes(p.dat()), fileOf(2));
    EXPECT_EQ(fileBytes(p.ini()), "[General]\nSize= 2\n");

    // A delete writes the file whole; one that cannot be written is told and the list stays in
    // memory, shown as it is there.
    fs::permissions(p.dat(), fs::perms::owner_read);
    ASSERT_TRUE(p.rig->deleteAction(1));
    EXPECT_EQ(fileBytes(p.dat()), fileOf(2));
    ASSERT_EQ(p.rig.ui.messages.size(), 1u);
    EXPECT_EQ(p.rig.ui.messages[0], "Could not save the actions to " + p.dat().string() +
                                        ".  They are kept in memory until you save again.");
    EXPECT_EQ(p.rig->actionList().actionCount, 1);
    EXPECT_EQ(p.rig.views.lines, std::vector<std::string>{describeAction(makeAction(2))});
    EXPECT_EQ(readSetting(p.ini(), "General", "Size"), "2") << "only a save that succeeded sets it";

    fs::permissions(p.dat(), fs::perms::owner_all);
    ASSERT_TRUE(p.rig->deleteAction(1));
    EXPECT_EQ(fs::file_size(p.dat()), 0u);
    EXPECT_EQ(fileBytes(p.ini()), "[General]\nSize= 0\n");
    EXPECT_FALSE(p.rig->deleteAction(1)) << "no such action";
}

TEST(ActionList, AMissingProgramFileStartsEmptyWithoutAQuestion) {
    Program p;
    const StartupResult r = p.rig->start();
    EXPECT_EQ(r.outcome, StartupResult::Outcome::Running);
    EXPECT_FALSE(r.showExport);
    EXPECT_EQ(p.rig->actionList().actionCount, 0);
    EXPECT_EQ(fileBytes(p.dat()), "");
    EXPECT_TRUE(p.rig.ui.questions.empty());
    EXPECT_TRUE(p.rig.ui.messages.empty());

    Program q;
    putBytes(q.dat(), fileOf(1000));
    EXPECT_TRUE(q.rig->start().showExport);
    EXPECT_EQ(q.rig->actionList().actionCount, 1000);
    EXPECT_EQ(q.rig.views.lines.size(), 1000u);
}

TEST(ActionList, ADamagedProgramFileAsksAndYesKeepsItAsideAndStartsEmpty) {
    Program p(2);
    std::string bad = fileOf(1000);
    bad[999 * 84 + 56] = 4; // version of record 1000
    putBytes(p.dat(), bad);

    // A tick while the question is open sees the old list whole.
    int seenCount = -1;
    p.rig.ui.whileOpen = [&] { seenCount = p.rig->actionList().actionCount; };
    p.rig.ui.answers = {true};
    const StartupResult r = p.rig->start();
    EXPECT_EQ(seenCount, 2);
    EXPECT_EQ(r.outcome, StartupResult::Outcome::Running);
    EXPECT_EQ(p.rig.ui.questions, std::vector<std::string>{kQuestion});
    EXPECT_EQ(p.rig->actionList().actionCount, 0);
    EXPECT_TRUE(p.rig.views.lines.empty());
    EXPECT_EQ(fileBytes(p.dat()), "");
    EXPECT_EQ(p.rig.ui.ended, 0);
    const fs::path kept = p.folder / "jmconfig.dat.damaged";
    EXPECT_EQ(fileBytes(kept), bad);
    EXPECT_EQ(p.rig.ui.messages, std::vector<std::string>{"The damaged action list was kept as " +
                                                          kept.string() + ".  The list starts empty."});

    // A second damaged file never replaces the first kept copy.
    const std::string bad2 = bad.substr(0, 84) + std::string(84, '\0');
    putBytes(p.dat(), bad2);
    test::CoreRig again(p.folder.path());
    again.ui.answers = {true};
    again->start();
    EXPECT_EQ(fileBytes(kept), bad);
    EXPECT_EQ(fileBytes(p.folder / "jmconfig.dat.damaged-2"), bad2);
    ASSERT_EQ(again.ui.messages.size(), 1u);
    EXPECT_NE(again.ui.messages[0].find("jmconfig.dat.damaged-2"), std::string::npos);
}

TEST(ActionList, ADamagedProgramFileAndNoEndsTheProgramTouchingNothing) {
    for (const std::string& bad :
         {fileOf(1000) + fileOf(1), fileOf(1).substr(0, 56) + std::string(28, '\0')}) {
        Program p(1);
        p.rig.midi.names = {"Synth"};
        putBytes(p.dat(), bad);
        p.rig.ui.answers = {false};
        EXPECT_EQ(p.rig->start().outcome, StartupResult::Outcome::Ended);
        EXPECT_EQ(p.rig.ui.ended, 1);
        EXPECT_EQ(fileBytes(p.dat()), bad);
        EXPECT_EQ(p.rig->actionList().actionCount, 1);
        EXPECT_TRUE(p.rig.midi.opened.empty()) << "start-up stops there: no device is opened";
    }

    // What is no regular file takes the same path at once, never waiting for a writer.
    Program fifo;
    ASSERT_EQ(::mkfifo(fifo.dat().c_str(), 0600), 0);
    fifo.rig.ui.answers = {false};
    EXPECT_EQ(fifo.rig->start().outcome, StartupResult::Outcome::Ended);
    EXPECT_EQ(fifo.rig.ui.questions.size(), 1u);
}

TEST(ActionList, WhateverStandsUnderTheProgramFilesNameIsSetAsideOnYesAndTheListStartsEmpty) {
    // A folder, a link round in a loop, a chain of links longer than the system follows: none can
    // be read, and none may keep the program from starting.
    const std::vector<std::function<void(const fs::path&)>> makers = {
        [](const fs::path& dat) { fs::create_directory(dat); },
        [](const fs::path& dat) { fs::create_symlink(dat.filename(), dat); },
        [](const fs::path& dat) {
            putBytes(dat.parent_path() / "end.dat", fileOf(1));
            fs::path next = "end.dat";
            for (int n = 1; n <= 42; ++n) {
                const std::string link = "link" + std::to_string(n);
                fs::create_symlink(next, dat.parent_path() / link);
                next = link;
            }
            fs::create_symlink(next, dat);
        }};
    for (std::size_t k = 0; k < makers.size(); ++k) {
        Program p;
        makers[k](p.dat());
        const fs::file_type before = fs::symlink_status(p.dat()).type();
        p.rig.ui.answers = {true};
        EXPECT_EQ(p.rig->start().outcome, StartupResult::Outcome::Running) << k;
        EXPECT_EQ(p.rig->actionList().actionCount, 0) << k;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p.dat()))) << k;
        EXPECT_EQ(fileBytes(p.dat()), "") << k;
        const fs::path kept = p.folder / "jmconfig.dat.damaged";
        EXPECT_EQ(fs::symlink_status(kept).type(), before) << k << ": the very thing, set aside";
        EXPECT_EQ(p.rig.ui.messages, std::vector<std::string>{"The damaged action list was kept as " +
                                                              kept.string() + ".  The list starts empty."})
            << k;
        EXPECT_EQ(p.rig.ui.ended, 0) << k;
    }

    // Gone while the question was open: nothing to set aside, and the program ends as it says so.
    Program gone;
    fs::create_directory(gone.dat());
    gone.rig.ui.whileOpen = [&] { fs::remove(gone.dat()); };
    gone.rig.ui.answers = {true};
    EXPECT_EQ(gone.rig->start().outcome, StartupResult::Outcome::Ended);
    EXPECT_EQ(gone.rig.ui.messages, std::vector<std::string>{gone.dat().string() + " not found"});
    EXPECT_EQ(gone.rig.ui.ended, 1);
}

TEST(ActionList, ExportThenImportGivesBackTheListAndStoresItAtOnce) {
    Program p;
    auto seven = listOf(7);
    (*seven)[3].increment = 0.01;
    p.rig->playActions(*seven);
    putBytes(p.dat(), fileOf(2));
    const fs::path chosen = p.folder / "set.dat";
    EXPECT_EQ(p.rig->exportActions(chosen), SaveOutcome::Saved);
    EXPECT_EQ(p.rig->exportActions(""), SaveOutcome::Cancelled);

    Program q;
    const LoadResult r = q.rig->importActions(chosen);
    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(r.showExport);
    ASSERT_EQ(q.rig->actionList().actionCount, 7);
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(q.rig->actionList()[n], (*seven)[n]) << n;
    EXPECT_EQ(q.rig.views.lines.size(), 7u);
    EXPECT_EQ(fileBytes(q.dat()), fileBytes(chosen)); // the imported list is the program's now
    EXPECT_EQ(readSetting(q.ini(), "General", "Size"), "7");

    // Importing the program folder's own file directly works the same way.
    EXPECT_EQ(q.rig->importActions(p.dat()).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(q.rig->actionList().actionCount, 2);
    EXPECT_EQ(fileBytes(p.dat()), fileOf(2));
    EXPECT_EQ(fileBytes(q.dat()), fileOf(2));
    EXPECT_EQ(q.rig->importActions("").outcome, LoadOutcome::Cancelled);

    // An export that fails names the export file, not the program's own.
    EXPECT_EQ(q.rig->exportActions(p.folder / "missing" / "x.dat"), SaveOutcome::Failed);
    EXPECT_EQ(q.rig.ui.messages,
              std::vector<std::string>{"The export file " + (p.folder / "missing" / "x.dat").string() +
                                       " could not be written.  The action list is unchanged."});
    EXPECT_EQ(readSetting(q.ini(), "General", "Size"), "2") << "no Size after a failed export";
}

TEST(ActionList, ABadImportKeepsTheListAndTheProgramFile) {
    Program p(3);
    putBytes(p.dat(), fileOf(3));
    const fs::path chosen = p.folder / "broken.dat";
    std::string bad = fileOf(2);
    bad[56] = 9;
    putBytes(chosen, bad);

    p.rig.ui.answers = {true};
    EXPECT_EQ(p.rig->importActions(chosen).outcome, LoadOutcome::NotRead);
    EXPECT_EQ(p.rig.ui.questions, std::vector<std::string>{kQuestion});
    EXPECT_EQ(p.rig.ui.messages, std::vector<std::string>{
                                     chosen.string() + " could not be read.  The action list is unchanged."});
    EXPECT_EQ(p.rig->actionList().actionCount, 3);
    EXPECT_EQ(p.rig->actionList()[2], makeAction(2));
    EXPECT_EQ(fileBytes(p.dat()), fileOf(3));
    EXPECT_EQ(fileBytes(chosen), bad);
    EXPECT_EQ(p.rig.ui.ended, 0);

    // A chosen file that does not exist is not created and counts as unreadable.
    p.rig.ui.answers = {true};
    EXPECT_EQ(p.rig->importActions(p.folder / "nothing.dat").outcome, LoadOutcome::NotRead);
    EXPECT_FALSE(fs::exists(p.folder / "nothing.dat"));

    p.rig.ui.answers = {false};
    EXPECT_EQ(p.rig->importActions(chosen).outcome, LoadOutcome::Ended);
    EXPECT_EQ(p.rig.ui.ended, 1);
    EXPECT_EQ(fileBytes(p.dat()), fileOf(3));
}

// A core without a data folder stores nothing: not the list, not a setting.
TEST(ActionList, WithoutADataFolderNothingIsWritten) {
    test::TempFolder cwd;
    const fs::path before = fs::current_path();
    fs::current_path(cwd.path());
    test::CoreRig rig;
    rig->playActions(*listOf(2));
    EXPECT_EQ(rig->exportActions(cwd / "set.dat"), SaveOutcome::Saved);
    EXPECT_TRUE(rig->deleteAction(1));
    EXPECT_EQ(rig.views.lines.size(), 1u);
    EXPECT_TRUE(rig.ui.messages.empty());
    fs::current_path(before);
    EXPECT_EQ(test::entryCount(cwd.path()), 1) << "set.dat alone; no jmconfig.ini, no jmconfig.dat";
}

TEST(ActionList, TheListScrollsSidewaysToItsWidestLineRoundedHalfToEven) {
    test::CoreRig rig;
    const ActionRecord r = test::joystickAction(kControllerChange, 0, 0);
    auto six = std::make_unique<ActionList>();
    for (int n = 1; n <= 6; ++n)
        (*six)[n] = r;
    six->actionCount = 6;
    // 100.5 -> 100; narrower: kept; 101.5 -> 102; 102.4 -> 102, not wider; no width that fits:
    // kept, the line still added.
    rig.views.widths = {100.5, 99.0, 101.5, 102.4, 1e300, std::nan("")};
    rig->playActions(*six);
    EXPECT_EQ(rig.views.extents, (std::vector<std::int32_t>{125, 127}));
    ASSERT_EQ(rig.views.lines.size(), 6u);
    EXPECT_EQ(rig.views.lines[0], describeAction(r));

    // A list shown anew does not shrink the extent.
    six->actionCount = 1;
    rig.views.widths = {50};
    rig->playActions(*six);
    EXPECT_EQ(rig.views.extents.size(), 2u);
    EXPECT_EQ(rig.views.lines.size(), 1u);
}

} // namespace
} // namespace vantaro
