// A MIDI output that refuses every message: the error window appears once per failure, never a
// second one over the first, and "Stop Warnings" silences it for the rest of the run.
#include "devices/virtual_stick.h"
#include "program_fixture.h"
#include "storage/action_file.h"

#include <QComboBox>
#include <QLabel>

using namespace vantaro;
using namespace vantaro::test;

namespace {

// Stands in for a synth whose driver is busy: it opens, but takes no message.
class BusyOutput final : public MidiOutApi {
public:
    int sends = 0;
    std::uint32_t midiOutGetNumDevs() override { return 1; }
    MmResult midiOutGetDevCaps(std::uint32_t id, std::string& name) override {
        if (id != 0) return MMSYSERR_BADDEVICEID;
        name = "Busy synth";
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t id) override {
        if (id != 0) return MMSYSERR_BADDEVICEID;
        *handle = 7;
        return MMSYSERR_NOERROR;
    }
    MmResult midiOutClose(MidiOutHandle) override { return MMSYSERR_NOERROR; }
    MmResult midiOutShortMsg(MidiOutHandle, std::uint32_t) override {
        ++sends;
        return MIDIERR_NOTREADY;
    }
};

} // namespace

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

    BusyOutput busy;
    Program p(folder.path(), &busy);
    VirtualStick stick("Vantaro test stick");
    Form1& w = p.start();
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
    EXPECT_TRUE(w.midiSender.stopWarnings());

    const int sendsBefore = busy.sends;
    stick.button(0, true);
    p.run(100);
    stick.button(0, false);
    p.run(100);
    EXPECT_GT(busy.sends, sendsBefore); // still sent, still failing, but silently
    EXPECT_EQ(p.port.midiErrors.size(), 2u);
}
