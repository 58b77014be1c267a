// A MIDI output that refuses every message: the error window appears once per failure, never a
// second one over the first, and "Stop Warnings" silences it for the rest of the run.
#include "program_fixture.h"
#include "storage/action_file.h"
#include "support/virtual_stick.h"

#include <QComboBox>
#include <QLabel>

using namespace vantaro;
using namespace vantaro::test;

namespace {} // namespace

TEST(MidiErrorWindow, ShowsOncePerFailureAndStopWarningsSilencesIt) {
    quietSdlHints();
    Folder folder;
    ActionRecord note;
    note.buttonMask = 1;
    note.povDirection = kPovCentred;
    note.dataNumber = 60;
    note.high = 127;
    note.messageKind = kNoteOn;
    note.recordVersion = kRecordVersion;
    ActionList list;
    list[++list.actionCount] = note;
    writeFile(folder / "jmconfig.dat", encodeActions(list));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "config", " 1"));

    // A synth whose driver is busy: it opens, but takes no message. The poll runs on its timer,
    // which keeps ticking while the error window is open.
    Program p(folder.path());
    test::FakeMidiOut& busy = p.fakeMidi;
    busy.sendResult = MIDIERR_NOTREADY;
    p.options.runTimer = true;
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    ASSERT_EQ(w.Combo1->currentIndex(), 0);
    p.run();

    {
        // The window stays open for a while: the poll keeps ticking, but no second window opens.
        ModalAnswer okay(QStringLiteral("&Okay"), 150);
        stick.button(0, true);
        p.run(400);
        EXPECT_TRUE(okay.answered());
        EXPECT_EQ(okay.title(), QStringLiteral("Problem sending MIDI commands"));
        EXPECT_TRUE(okay.texts().contains(QStringLiteral(" 67 : Hardware is still busy.")));
        EXPECT_TRUE(okay.texts().contains(QStringLiteral("Error returned from MIDI Port:")));
    }
    ASSERT_EQ(p.port.midiErrors.size(), 1u);
    {
        ModalAnswer stop(QStringLiteral("&Stop Warnings"));
        stick.button(0, false);
        p.run(400);
        EXPECT_TRUE(stop.answered());
    }
    ASSERT_EQ(p.port.midiErrors.size(), 2u);
    EXPECT_TRUE(w.core.stopWarnings());

    const int sendsBefore = busy.attempts;
    stick.button(0, true);
    p.run(100);
    stick.button(0, false);
    p.run(100);
    EXPECT_GT(busy.attempts, sendsBefore); // still sent, still failing, but silently
    EXPECT_EQ(p.port.midiErrors.size(), 2u);
}
