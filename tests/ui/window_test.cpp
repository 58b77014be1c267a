// The main window driven like a user drives it: real widgets, a virtual joystick, real files.
#include "engine/numbers.h"
#include "program_fixture.h"
#include "storage/action_file.h"
#include "storage/record_codec.h"
#include "support/records.h"
#include "support/temp_folder.h"
#include "support/virtual_stick.h"
#include "support/wait.h"
#include "ui/twips.h"

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>

using namespace vantaro;
using namespace vantaro::test;

namespace {

void settled(const std::filesystem::path& folder) {
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "config", " 1"));
}

ActionRecord buttonAction(int button, std::int16_t number, std::int16_t low = 0) {
    ActionRecord r;
    r.buttonMask = 1 << (button - 1);
    r.povDirection = kPovCentred;
    r.channel = 0;
    r.dataNumber = number;
    r.low = low;
    r.high = 127;
    r.delay = 40;
    r.increment = 1.5;
    r.messageKind = kNoteOn;
    r.recordVersion = kRecordVersion;
    r.currentValue = 55; // run-time value left in the file
    return r;
}

void storeActions(const std::filesystem::path& folder, const std::vector<ActionRecord>& records) {
    ActionList list;
    for (const ActionRecord& r : records)
        list[++list.actionCount] = r;
    writeFile(folder / "jmconfig.dat", encodeActions(list));
}

ActionList fileActions(const std::filesystem::path& folder) {
    ActionList list;
    EXPECT_TRUE(decodeActions(fileText(folder / "jmconfig.dat"), list));
    return list;
}

// Where a user clicks to hit a line of the action list.
void clickLine(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

// The middle of a slider's handle, where a press grabs it without paging.
QPoint handleOf(const QSlider* s) {
    QStyleOptionSlider o;
    o.initFrom(s);
    o.subControls = QStyle::SC_All;
    o.orientation = s->orientation();
    o.minimum = s->minimum();
    o.maximum = s->maximum();
    o.sliderPosition = s->sliderPosition();
    o.sliderValue = s->value();
    o.singleStep = s->singleStep();
    o.pageStep = s->pageStep();
    o.tickPosition = s->tickPosition();
    o.tickInterval = s->tickInterval();
    o.upsideDown = s->invertedAppearance();
    return s->style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderHandle, s).center();
}

// Keys go to the active window only.
void activate(Window& w) {
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { quietSdlHints(); }
    // A folder of an earlier run holding these actions, in the expanded or the compact view.
    void earlierRun(const std::vector<ActionRecord>& records, bool expanded) {
        storeActions(folder.path(), records);
        settled(folder.path());
        ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "bigform", expanded ? " 1" : " 0"));
    }
    // A folder of an earlier run whose settings hold these values, each {section, key, value}.
    void settledWith(std::initializer_list<std::array<const char*, 3>> values) {
        settled(folder.path());
        for (const auto& [section, key, value] : values)
            ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", section, key, value));
    }
    Folder folder;
};

} // namespace

TEST_F(WindowTest, HoldingAButtonAndClickingAddCreatesTheActionAndAdvances) {
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    ASSERT_EQ(w.Combo2->count(), 1);
    w.Slider3->setValue(0);
    w.Slider4->setValue(127);
    EXPECT_TRUE(w.Command8->isHidden());

    stick.button(2, true); // button 3
    p.run();
    EXPECT_EQ(w.Text1->text(), QStringLiteral(" 3"));
    QTest::mouseClick(w.Command1, Qt::LeftButton);

    ASSERT_EQ(w.actionList.actionCount, 1);
    const ActionList stored = fileActions(folder.path());
    ASSERT_EQ(stored.actionCount, 1);
    EXPECT_EQ(stored[1].buttonMask, 4);
    EXPECT_EQ(stored[1].channel, 0);
    EXPECT_EQ(stored[1].dataNumber, 127);
    EXPECT_EQ(stored[1].high, 127);
    EXPECT_EQ(stored[1].recordVersion, 3);
    EXPECT_EQ(w.Slider4->value(), 0);
    EXPECT_EQ(w.Slider3->value(), 1);
    EXPECT_EQ(w.Text6->text(), QStringLiteral(" 1"));
    EXPECT_EQ(p.setting("General", "Channel"), " 1");
    EXPECT_EQ(p.setting("General", "Controller"), " 0");
    EXPECT_EQ(p.setting("General", "Size"), " 1");
    ASSERT_EQ(w.List1->count(), 1);
    EXPECT_TRUE(
        w.List1->item(0)->text().startsWith(QStringLiteral("Button:  3  Channel:  0 Controller:  127")));
    EXPECT_FALSE(w.Command8->isHidden());

    // Enter is the default button: with the next button held it adds again.
    stick.button(2, false);
    stick.button(4, true);
    p.run();
    QTest::keyClick(&w.form, Qt::Key_Return);
    ASSERT_EQ(w.actionList.actionCount, 2);
    EXPECT_EQ(w.actionList[2].buttonMask, 16);
    EXPECT_EQ(w.actionList[2].channel, 1);
    EXPECT_EQ(w.actionList[2].dataNumber, 0);
    EXPECT_TRUE(p.port.messages.empty());
}

TEST_F(WindowTest, AddWithNothingHeldOrOnlyTheTopButtonChangesNothing) {
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    p.run();
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    stick.button(31, true); // button 32
    p.run();
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_EQ(w.actionList.actionCount, 0);
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_EQ(w.Slider4->value(), 0);
    EXPECT_EQ(fileText(folder / "jmconfig.dat"), "");
    EXPECT_TRUE(p.port.messages.empty());
}

TEST_F(WindowTest, AFullListRefusesAddOnlyWhenAnInputIsHeld) {
    storeActions(folder.path(), std::vector<ActionRecord>(kMaxActions, buttonAction(7, 1)));
    settled(folder.path());
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    ASSERT_EQ(w.actionList.actionCount, kMaxActions);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_TRUE(p.port.messages.empty());
    stick.button(0, true);
    p.run();
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_EQ(p.port.messages[0], "Max actions reached.  Use edit.");
    EXPECT_EQ(w.actionList.actionCount, kMaxActions);
    EXPECT_EQ(fileText(folder / "jmconfig.dat").size(), kMaxActions * kRecordBytes);
}

TEST_F(WindowTest, SaveAppliesOnlyTheChangedLowThoughItsLineIsClickedAgain) {
    storeActions(folder.path(), {buttonAction(1, 60), buttonAction(2, 61)});
    settled(folder.path());
    // Start-up marks every slider it restores; the line's own delay leaves Delay as it was.
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "Delay", " 40"));
    Program p(folder.path());
    Window& w = p.start();
    ASSERT_EQ(w.List1->count(), 2);
    w.Slider2->setValue(-300); // changed, then the mark is cleared by the selection below
    EXPECT_TRUE(w.Command3->isHidden());
    clickLine(w.List1, 1);
    EXPECT_FALSE(w.Command2->isHidden());
    EXPECT_TRUE(w.Command3->isHidden());
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(w.Slider5, Qt::Key_Right);
    EXPECT_EQ(w.Text8->text(), QStringLiteral(" 10"));
    EXPECT_FALSE(w.Command3->isHidden());

    // Clicking the selected line again, even with Ctrl, neither drops it nor the pending change.
    clickLine(w.List1, 1);
    clickLine(w.List1, 1, Qt::ControlModifier);
    EXPECT_EQ(w.List1->selectedItems(), QList<QListWidgetItem*>{w.List1->item(1)});
    EXPECT_FALSE(w.Command3->isHidden());
    QTest::mouseClick(w.Command3, Qt::LeftButton);

    ActionRecord expected = buttonAction(2, 61, 10);
    expected.currentValue = 0;
    const ActionList stored = fileActions(folder.path());
    ASSERT_EQ(stored.actionCount, 2);
    EXPECT_EQ(stored[2], expected);
    EXPECT_EQ(stored[1], buttonAction(1, 60));
    EXPECT_EQ(w.actionList[2], expected);
    EXPECT_TRUE(w.Command3->isHidden());
    EXPECT_EQ(w.List1->currentRow(), 1);
    EXPECT_TRUE(w.List1->item(1)->text().contains(QStringLiteral("Low:  10")));
}

TEST_F(WindowTest, OnlyAValueThatChangesMarksAndStoresAndAUserClickNeverGreysACheckBox) {
    storeActions(folder.path(), {buttonAction(1, 60)});
    settled(folder.path());
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "Toggle", "2"));
    Program p(folder.path());
    Window& w = p.start();
    clickLine(w.List1, 0);
    ASSERT_TRUE(w.Command3->isHidden());
    // Changed behind the window's back: only a store by the window can bring it back to 0.
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "Low", " 99"));

    const QPoint grip = handleOf(w.Slider5);
    QTest::mousePress(w.Slider5, Qt::LeftButton, Qt::NoModifier, grip);
    QTest::mouseRelease(w.Slider5, Qt::LeftButton, Qt::NoModifier, grip);
    EXPECT_EQ(w.Slider5->value(), 0);
    EXPECT_TRUE(w.Command3->isHidden());
    EXPECT_EQ(p.setting("General", "Low"), " 99");

    // A drag shows its value at once and stores it when let go.
    QTest::mousePress(w.Slider5, Qt::LeftButton, Qt::NoModifier, grip);
    QTest::mouseMove(w.Slider5, grip + QPoint(30, 0));
    const int dragged = w.Slider5->value();
    EXPECT_GT(dragged, 0);
    EXPECT_EQ(w.Text8->text(), QString::fromStdString(numberText(std::int64_t{dragged})));
    EXPECT_FALSE(w.Command3->isHidden());
    EXPECT_EQ(p.setting("General", "Low"), " 99");
    QTest::mouseRelease(w.Slider5, Qt::LeftButton, Qt::NoModifier, grip + QPoint(30, 0));
    EXPECT_EQ(p.setting("General", "Low"), numberText(std::int64_t{dragged}));

    // Toggle restored grey: the user's clicks give checked and clear only.
    ASSERT_EQ(w.Check3->checkState(), Qt::PartiallyChecked);
    const QPoint box(5, w.Check3->height() / 2);
    const char* expected[] = {"1", "0", "1", "0"};
    for (const char* value : expected) {
        QTest::mouseClick(w.Check3, Qt::LeftButton, Qt::NoModifier, box);
        EXPECT_NE(w.Check3->checkState(), Qt::PartiallyChecked);
        EXPECT_EQ(p.setting("General", "Toggle"), value);
    }
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(w.actionList[1].toggle, 0);
    EXPECT_EQ(w.actionList[1].low, dragged);
}

TEST_F(WindowTest, ChoosingAKindAloneDoesNotOfferSaveButIsAppliedByTheNextSave) {
    storeActions(folder.path(), {buttonAction(1, 60)});
    settled(folder.path());
    Program p(folder.path());
    Window& w = p.start();
    w.List1->setCurrentRow(0);
    w.Option1[2]->click();
    EXPECT_EQ(w.Label7->text(), QStringLiteral("Note"));
    EXPECT_TRUE(w.Command3->isHidden());
    w.Check1->click(); // Wrap
    EXPECT_FALSE(w.Command3->isHidden());
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(w.actionList[1].messageKind, kNoteOff);
    EXPECT_EQ(w.actionList[1].wrap, 1);
    EXPECT_EQ(p.setting("General", "Wrap"), "1");
}

TEST_F(WindowTest, DeleteAsksAndAlwaysStopsAsking) {
    storeActions(folder.path(),
                 {buttonAction(1, 1), buttonAction(2, 2), buttonAction(3, 3), buttonAction(4, 4)});
    settled(folder.path());
    Program p(folder.path());
    Window& w = p.start();
    w.List1->setCurrentRow(1);

    {
        ModalAnswer no(QStringLiteral("&No"));
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        EXPECT_TRUE(no.answered());
        EXPECT_EQ(no.title(), QStringLiteral("Delete"));
        EXPECT_TRUE(no.texts().contains(QStringLiteral("Are you sure you wish to delete this entry?")));
    }
    EXPECT_EQ(w.actionList.actionCount, 4);
    {
        // Enter is the key that adds: on the question it answers No.
        ModalAnswer enter{QString()};
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        EXPECT_TRUE(enter.answered());
    }
    EXPECT_EQ(w.actionList.actionCount, 4);
    {
        ModalAnswer yes(QStringLiteral("&Yes"));
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        EXPECT_TRUE(yes.answered());
    }
    ASSERT_EQ(w.actionList.actionCount, 3);
    EXPECT_EQ(w.actionList[2].dataNumber, 3); // the next action moved up and is now selected
    EXPECT_EQ(w.List1->currentRow(), 1);
    EXPECT_EQ(fileText(folder / "jmconfig.dat").size(), 3 * kRecordBytes);
    {
        ModalAnswer always(QStringLiteral("&Always"));
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        EXPECT_TRUE(always.answered());
    }
    ASSERT_EQ(w.actionList.actionCount, 2);
    EXPECT_EQ(w.List1->currentRow(), 1); // the deleted one was the last: the new last is selected

    // No more questions: a modal window now would block this click for good.
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    ASSERT_EQ(w.actionList.actionCount, 1);
    EXPECT_EQ(w.actionList[1].dataNumber, 1);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    EXPECT_EQ(w.actionList.actionCount, 0);
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_TRUE(w.Command2->isHidden());
    EXPECT_TRUE(w.Command3->isHidden());
    EXPECT_TRUE(w.Command8->isHidden());
    EXPECT_EQ(fileText(folder / "jmconfig.dat"), "");
}

TEST_F(WindowTest, TheViewSwitchResizesAndIsStored) {
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "config", " 1"));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "bigform", " 0"));
    int compact = 0, expanded = 0;
    {
        Program p(folder.path());
        Window& w = p.start();
        EXPECT_EQ(w.Command5->text(), QStringLiteral("&>"));
        EXPECT_FALSE(w.Text3->isVisible());
        compact = w.form.height();
        // The compact view ends with the Config frame.
        const QWidget* config = w.Combo2->parentWidget();
        EXPECT_NEAR(config->geometry().bottom() + 1, compact, 1);
        QTest::mouseClick(w.Command5, Qt::LeftButton);
        EXPECT_EQ(w.Command5->text(), QStringLiteral("&<"));
        EXPECT_TRUE(w.Text3->isVisible());
        EXPECT_TRUE(w.Command9->isVisible());
        expanded = w.form.height();
        EXPECT_GT(expanded, compact);
        EXPECT_LE(w.Command9->geometry().bottom(), expanded);
        EXPECT_EQ(p.setting("General", "bigform"), " 1");
    }
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "bigform", " 2"));
    Program p(folder.path());
    Window& w = p.start();
    EXPECT_EQ(w.form.height(), expanded);
    QTest::mouseClick(w.Command5, Qt::LeftButton);
    EXPECT_EQ(w.form.height(), expanded);
    EXPECT_EQ(p.setting("General", "bigform"), " 1");
    QTest::mouseClick(w.Command5, Qt::LeftButton);
    EXPECT_EQ(w.form.height(), compact);
    EXPECT_FALSE(w.Text3->isVisible());
    EXPECT_EQ(p.setting("General", "bigform"), " 0");
}

// The whole window, frame included, lies on its screen in either view, with Quit and Route MIDI
// reachable and a few lines of the list and the log; where the screen has room, the measures are
// the ones the window was made with. tests/CMakeLists.txt runs it on short screens too.
TEST_F(WindowTest, TheWindowFitsTheScreenInEitherView) {
    earlierRun({buttonAction(1, 60), buttonAction(2, 61), buttonAction(3, 62), buttonAction(4, 63)}, false);
    Program p(folder.path());
    Window& w = p.start();
    const QScreen* screen = w.form.screen();
    ASSERT_NE(screen, nullptr);
    if (const QString seen = qEnvironmentVariable("VANTARO_TEST_SCREEN"); !seen.isEmpty()) {
        ASSERT_EQ(QStringLiteral("%1x%2").arg(screen->size().width()).arg(screen->size().height()), seen);
    }
    const QRect area = screen->availableGeometry();
    const Twips t = Twips::forScreen();
    for (const bool expanded : {false, true, false}) {
        if (expanded != (w.core.expandedView() != 0)) QTest::mouseClick(w.Command5, Qt::LeftButton);
        SCOPED_TRACE(expanded ? "expanded" : "compact");
        // Upright, frame and all; across, the client area (at twice the scale the window is as wide as
        // the screen, and its side borders may not fit).
        const QRect outer = w.form.frameGeometry();
        EXPECT_TRUE(outer.top() >= area.top() && outer.bottom() <= area.bottom())
            << "window " << outer.top() << " to " << outer.bottom() << " on " << area.height();
        EXPECT_TRUE(w.form.geometry().left() >= area.left() && w.form.geometry().right() <= area.right());
        EXPECT_LT(w.List1->visualItemRect(w.List1->item(2)).bottom(), w.List1->viewport()->height());
        const int made =
            t.px((expanded ? Form1::kExpandedHeight : Form1::kCompactHeight) - Form1::kNonClientHeight);
        const bool room = made + outer.height() - w.form.height() <= area.height();
        EXPECT_EQ(w.List1->geometry() == t.rect(-15, 0, 9615, 2400), room);
        EXPECT_EQ(w.form.height() == made, room);
        if (!expanded) continue;
        for (const QPushButton* bottom : {w.Command9, w.Command6}) {
            EXPECT_TRUE(bottom->isVisible());
            EXPECT_TRUE(w.form.rect().contains(bottom->geometry()));
            EXPECT_GE(bottom->y(), w.Text3->geometry().bottom());
        }
        EXPECT_EQ(w.Text3->geometry() == t.rect(0, 8010, 9585, 2715), room);
        EXPECT_EQ(w.Command9->geometry() == t.rect(5820, 10740, 1215, 375), room);
        w.Text3->setPlainText(QStringLiteral("one\ntwo\nthree\nfour"));
        QTextCursor third(w.Text3->document()->findBlockByNumber(2));
        EXPECT_LE(w.Text3->cursorRect(third).bottom(), w.Text3->viewport()->height());
    }
}

TEST_F(WindowTest, AFirstStartWritesTheFirstRunSettings) {
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    const auto leftover = folder / ("jmconfig.ini.new-" + std::to_string(endedProcessId())).c_str();
    writeFile(leftover, "[General]\n");
    p.options.startupNote = "The settings and actions are kept in elsewhere.";
    Window& w = p.start();
    EXPECT_FALSE(std::filesystem::exists(leftover)); // a crashed save's file is cleared away
    EXPECT_EQ(w.core.messageLog().text(), "The settings and actions are kept in elsewhere.\r\n");
    EXPECT_EQ(p.port.splashes, 1);
    EXPECT_EQ(p.setting("Joystick", "calibrated"), " 0");
    EXPECT_EQ(p.setting("Joystick", "CenterWidth"), " 7000");
    EXPECT_EQ(p.setting("General", "Increment"), " 0");
    EXPECT_EQ(p.setting("General", "Low"), " 0");
    EXPECT_EQ(p.setting("General", "Delay"), " 0");
    EXPECT_EQ(p.setting("General", "High"), " 127");
    EXPECT_EQ(p.setting("General", "config"), " 1");
    EXPECT_EQ(p.setting("General", "bigform"), " 1");
    EXPECT_EQ(w.Command5->text(), QStringLiteral("&<"));
    EXPECT_EQ(w.Slider1->value(), 7000);
    EXPECT_EQ(w.Slider6->value(), 127);
    EXPECT_EQ(w.Text9->text(), QStringLiteral(" 127"));
    EXPECT_FALSE(w.Label13->isHidden());
    EXPECT_EQ(w.core.joystickState().autoCentre, 1);
    EXPECT_TRUE(std::filesystem::exists(folder / "jmconfig.dat"));
    EXPECT_EQ(w.form.windowTitle(), QStringLiteral("Vantaro v1.6"));
    // Without the glove bridge the glove panel offers the glove, silently.
    EXPECT_FALSE(w.Label2->isHidden());
    EXPECT_FALSE(w.Command12->isHidden());
    EXPECT_TRUE(w.Command13->isHidden());
    EXPECT_TRUE(w.Label11.value(0)->isHidden());
    EXPECT_TRUE(p.port.messages.empty());
}

TEST_F(WindowTest, AStoredChannelTooLargeIsReportedOnceAndStartUpGoesOn) {
    settled(folder.path());
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "Channel", "40000"));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "High", " 99"));
    Program p(folder.path());
    Window& w = p.start();
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_EQ(p.port.messages[0], "Overflow  6");
    EXPECT_EQ(w.editor.nextChannel, 0);
    EXPECT_EQ(p.setting("General", "Channel"), " 0");
    EXPECT_EQ(w.Slider6->value(), 99); // later statements still ran
}

TEST_F(WindowTest, ACorruptActionFileIsKeptAsideOnYesAndEndsTheProgramOnNo) {
    ActionRecord bad = buttonAction(1, 1);
    bad.recordVersion = 2;
    storeActions(folder.path(), {buttonAction(1, 1), bad});
    const std::string corrupt = fileText(folder / "jmconfig.dat");
    settled(folder.path());
    {
        Program p(folder.path());
        ModalAnswer no(QStringLiteral("&No"));
        p.start();
        EXPECT_TRUE(no.answered());
        EXPECT_TRUE(no.texts().contains(QStringLiteral("Error opening config file.  Delete config?")));
        EXPECT_EQ(p.port.ended, 1);
        EXPECT_EQ(fileText(folder / "jmconfig.dat"), corrupt);
    }
    Program p(folder.path());
    ModalAnswer yes(QStringLiteral("&Yes"));
    Window& w = p.start();
    EXPECT_TRUE(yes.answered());
    EXPECT_EQ(p.port.ended, 0);
    EXPECT_EQ(w.actionList.actionCount, 0);
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "jmconfig.dat"));
    EXPECT_EQ(fileText(folder / "jmconfig.dat"), "");
    EXPECT_EQ(fileText(folder / "jmconfig.dat.damaged"), corrupt);
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_NE(p.port.messages[0].find((folder / "jmconfig.dat.damaged").string()), std::string::npos);
}

TEST_F(WindowTest, ValueBoxesAreReadBackWhenLeft) {
    settled(folder.path());
    Program p(folder.path());
    Window& w = p.start();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));

    w.Text4->setFocus();
    w.Text4->selectAll();
    QTest::keyClicks(w.Text4, QStringLiteral(".125"));
    w.Text5->setFocus();
    EXPECT_EQ(w.Slider2->value(), 12);
    EXPECT_EQ(w.Text4->text(), QStringLiteral(" .12"));
    EXPECT_EQ(p.setting("General", "Increment"), " 12");

    w.Text5->selectAll();
    QTest::keyClicks(w.Text5, QStringLiteral("200"));
    w.Text8->setFocus();
    EXPECT_EQ(w.Slider4->value(), 127);
    EXPECT_EQ(w.Text5->text(), QStringLiteral(" 127"));

    // Out of range while the slider already stands at the end: the box is set back all the same.
    w.Text5->setFocus();
    w.Text5->selectAll();
    QTest::keyClicks(w.Text5, QStringLiteral("300"));
    w.Text8->setFocus();
    EXPECT_EQ(w.Text5->text(), QStringLiteral(" 127"));
}

TEST_F(WindowTest, KeysReachTheirButtonsInEitherView) {
    earlierRun({buttonAction(1, 60)}, false);
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    activate(w);
    stick.button(5, true); // held throughout: any Add that runs adds an action
    p.run();

    // The compact view hides the lower buttons, not their keys; Esc is the T-shirt button.
    QTest::keyClick(&w.form, Qt::Key_H, Qt::AltModifier);
    QTest::keyClick(&w.form, Qt::Key_B, Qt::AltModifier);
    QTest::keyClick(&w.form, Qt::Key_G, Qt::AltModifier);
    QTest::keyClick(&w.form, Qt::Key_Escape);
    // The pages travel with the program: each is a local file.
    const char* pages[] = {"/help.html", "/support.html", "/glove.html", "/support.html"};
    ASSERT_EQ(p.opened.size(), std::size(pages));
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        EXPECT_TRUE(p.opened[i].isLocalFile()) << p.opened[i].toString().toStdString();
        EXPECT_TRUE(p.opened[i].toLocalFile().endsWith(QLatin1String(pages[i])));
    }
    QTest::keyClick(&w.form, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(p.setting("Joystick", "calibrated"), " 1");
    EXPECT_TRUE(w.Label13->isHidden());
    EXPECT_EQ(w.actionList.actionCount, 1);

    // A focused push button takes Enter itself; elsewhere Enter is Add.
    clickLine(w.List1, 0);
    w.Command2->setFocus(Qt::TabFocusReason);
    {
        ModalAnswer no(QStringLiteral("&No"));
        QTest::keyClick(w.form.focusWidget(), Qt::Key_Return);
        EXPECT_TRUE(no.answered());
    }
    EXPECT_EQ(w.actionList.actionCount, 1);
    activate(w); // the offscreen platform does not hand activation back after a modal window
    w.Check1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.form.focusWidget(), Qt::Key_Return);
    ASSERT_EQ(w.actionList.actionCount, 2);
    // In a value box Enter first applies the box to its slider.
    QTest::mouseClick(w.Text8, Qt::LeftButton);
    w.Text8->selectAll();
    QTest::keyClicks(w.Text8, QStringLiteral("5"));
    QTest::keyClick(w.form.focusWidget(), Qt::Key_Enter);
    ASSERT_EQ(w.actionList.actionCount, 3);
    EXPECT_EQ(w.actionList[3].low, 5);
    w.Command5->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.form.focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(w.Text3->isVisible());
    EXPECT_EQ(w.actionList.actionCount, 3);

    // Expanded, the buttons' own keys work, and only once.
    QTest::keyClick(&w.form, Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&] { return p.opened.size() > 4; }, 5000, [] { QTest::qWait(5); }));
    QTest::qWait(300);
    EXPECT_EQ(p.opened.size(), 5u);

    QTest::mouseClick(w.Command5, Qt::LeftButton);
    ASSERT_FALSE(w.Text3->isVisible());
    QTest::keyClick(&w.form, Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(p.quits, 1);
}

TEST_F(WindowTest, ClosingTheWindowShutsDownLikeQuit) {
    settled(folder.path());
    Program p(folder.path());
    // The program bounds its end from here: before anything is released, once.
    int started = 0;
    bool openAtStart = false;
    p.options.shutDownStarted = [&] {
        ++started;
        openAtStart = p.program->window().core().midiSender().isOpen();
    };
    Window& w = p.start();
    ASSERT_GE(w.Combo1->currentIndex(), 0);
    ASSERT_TRUE(w.core.midiSender().isOpen());
    w.form.close();
    EXPECT_EQ(p.quits, 1);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(openAtStart);
    EXPECT_FALSE(w.core.midiSender().isOpen());
    EXPECT_FALSE(w.Timer1->isActive());
    w.form.shutDown(); // a second request changes nothing
    EXPECT_EQ(p.quits, 1);
    EXPECT_EQ(started, 1);
}

TEST_F(WindowTest, TheLogShowsSentMessagesOnlyInTheExpandedView) {
    earlierRun({buttonAction(1, 60)}, true);
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    p.run();
    stick.button(0, true);
    p.run();
    EXPECT_TRUE(w.Text3->toPlainText().contains(QStringLiteral("Note On")));
    const QString shown = w.Text3->toPlainText();

    QTest::mouseClick(w.Command5, Qt::LeftButton); // compact: nothing more is logged
    stick.button(0, false);
    p.run();
    stick.button(0, true);
    p.run();
    EXPECT_EQ(w.Text3->toPlainText(), shown);
    EXPECT_TRUE(p.port.midiErrors.empty());
}

TEST_F(WindowTest, ASettingsFileThatCannotBeWrittenIsReportedOnce) {
    settled(folder.path());
    std::filesystem::permissions(folder / "jmconfig.ini", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    Program p(folder.path());
    Window& w = p.start();
    w.Slider5->setValue(20);
    w.Slider6->setValue(30);
    QTest::mouseClick(w.Command5, Qt::LeftButton);
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_NE(p.port.messages[0].find("settings could not be written"), std::string::npos);
    EXPECT_EQ(p.setting("General", "Low"), "(missing)");
}

TEST_F(WindowTest, ImportIsStoredAtOnceAndKeptOnScreenWhenItCannotBe) {
    storeActions(folder.path(), {buttonAction(1, 60), buttonAction(2, 61)});
    settled(folder.path());
    const auto exported = folder / "set.dat";
    ActionList other;
    other[++other.actionCount] = buttonAction(9, 9);
    {
        Program p(folder.path());
        Window& w = p.start();
        const std::string programFile = fileText(folder / "jmconfig.dat");
        p.port.chosenFile = QString::fromStdString(exported.string());
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        EXPECT_EQ(fileText(exported), programFile);

        p.port.chosenFile.clear(); // cancelled: nothing happens
        QTest::mouseClick(w.Command7, Qt::LeftButton);
        EXPECT_EQ(w.actionList.actionCount, 2);

        writeFile(exported, encodeActions(other));
        p.port.chosenFile = QString::fromStdString(exported.string());
        clickLine(w.List1, 1);
        ASSERT_FALSE(w.Command2->isHidden());
        QTest::mouseClick(w.Command7, Qt::LeftButton);
        ASSERT_EQ(w.actionList.actionCount, 1);
        EXPECT_EQ(w.actionList[1].dataNumber, 9);
        EXPECT_EQ(w.List1->count(), 1);
        EXPECT_TRUE(w.List1->selectedItems().isEmpty()); // nothing chosen, nothing to save or delete
        EXPECT_TRUE(w.Command2->isHidden());
        EXPECT_EQ(fileText(folder / "jmconfig.dat"), encodeActions(other));
        EXPECT_EQ(p.setting("General", "Size"), " 1");
        EXPECT_TRUE(p.port.messages.empty());
    }

    // The next start shows the imported list; an import that cannot be stored is told as a failed
    // save is, and the imported list stays on screen.
    Program p(folder.path());
    Window& w = p.start();
    ASSERT_EQ(w.List1->count(), 1);
    EXPECT_EQ(w.actionList[1].dataNumber, 9);
    const std::string stored = encodeActions(other);
    other[++other.actionCount] = buttonAction(4, 31);
    writeFile(exported, encodeActions(other));
    std::filesystem::permissions(folder / "jmconfig.dat", std::filesystem::perms::owner_read);
    p.port.chosenFile = QString::fromStdString(exported.string());
    QTest::mouseClick(w.Command7, Qt::LeftButton);
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_EQ(p.port.messages[0], "Could not save the actions to " + (folder / "jmconfig.dat").string() +
                                      ".  They are kept in memory until you save again.");
    EXPECT_EQ(w.List1->count(), 2);
    EXPECT_EQ(w.actionList[2].dataNumber, 31);
    EXPECT_EQ(fileText(folder / "jmconfig.dat"), stored);
    EXPECT_EQ(p.setting("General", "Size"), " 1");
}

TEST_F(WindowTest, ExportAddsTheExtensionAndBothDialogsOpenInTheFolderUsedLast) {
    storeActions(folder.path(), {buttonAction(1, 60)});
    settled(folder.path());
    const std::filesystem::path dotted = folder / "a.b";
    std::filesystem::create_directory(dotted);
    Program p(folder.path());
    Window& w = p.start();
    const std::string programFile = fileText(folder / "jmconfig.dat");
    for (const auto& [chosen, written] : {std::pair{dotted / "list", dotted / "list.dat"},
                                          std::pair{folder / "my.list", folder / "my.list"}}) {
        p.port.chosenFile = QString::fromStdString(chosen.string());
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        EXPECT_EQ(fileText(written), programFile) << written;
    }
    EXPECT_FALSE(std::filesystem::exists(dotted / "list"));

    // The program's own dialogs: Export in one folder, then Import opens there. Qt keeps the
    // dialogs' history in the user's settings: here in the test's folder instead.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(folder.path().string()));
    p.port.realDialogs = true;
    const auto answer = [](const std::filesystem::path& file, QString& startedIn) {
        return [file, &startedIn](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            startedIn = dialog->directory().absolutePath();
            dialog->selectFile(QString::fromStdString(file.string()));
        };
    };
    QString exportStart, importStart;
    {
        ModalAnswer save(QStringLiteral("&Save"), 0, answer(dotted / "other", exportStart));
        QTest::mouseClick(w.Command8, Qt::LeftButton);
        EXPECT_TRUE(save.answered());
    }
    EXPECT_EQ(fileText(dotted / "other.dat"), programFile);
    {
        ModalAnswer open(QStringLiteral("&Open"), 0, answer(dotted / "other.dat", importStart));
        QTest::mouseClick(w.Command7, Qt::LeftButton);
        EXPECT_TRUE(open.answered());
    }
    EXPECT_NE(exportStart, QString::fromStdString(dotted.string()));
    EXPECT_EQ(importStart, QString::fromStdString(dotted.string()));
    EXPECT_EQ(w.List1->count(), 1);
    EXPECT_TRUE(p.port.messages.empty());
}

TEST_F(WindowTest, AfterSaveEnterAddsTheNextActionInsteadOfAskingToDelete) {
    storeActions(folder.path(), {buttonAction(1, 60)});
    settled(folder.path());
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    activate(w);
    clickLine(w.List1, 0);
    QTest::keyClick(w.Slider5, Qt::Key_Right);
    ASSERT_FALSE(w.Command3->isHidden());
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    ASSERT_TRUE(w.Command3->isHidden());
    EXPECT_EQ(w.actionList[1].low, 1);

    stick.button(3, true);
    p.run();
    ModalAnswer question(QStringLiteral("&No"));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(question.answered()) << "Enter asked to delete";
    ASSERT_EQ(w.actionList.actionCount, 2);
    EXPECT_EQ(w.actionList[2].buttonMask, 8);
}

TEST_F(WindowTest, StoredCheckBoxValuesRestoreOrAreRefused) {
    settledWith({{"General", "Toggle", "2"}, {"General", "Wrap", "7"}});
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    ASSERT_EQ(p.port.messages.size(), 1u);
    EXPECT_EQ(p.port.messages[0], "Invalid property value  380");
    EXPECT_EQ(w.Check3->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(w.Check1->checkState(), Qt::Unchecked);
    stick.button(1, true);
    p.run();
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    ASSERT_EQ(w.actionList.actionCount, 1);
    EXPECT_EQ(w.actionList[1].toggle, 2);
    EXPECT_EQ(w.actionList[1].wrap, 0);
    EXPECT_EQ(p.setting("General", "Toggle"), "2"); // not rewritten as 0 on the way
}

TEST_F(WindowTest, AddWithALineSelectedOffersSaveForTheAdvancedNumber) {
    storeActions(folder.path(), {buttonAction(1, 60)});
    settled(folder.path());
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    w.List1->setCurrentRow(0);
    EXPECT_TRUE(w.Command3->isHidden());
    stick.button(3, true);
    p.run();
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    ASSERT_EQ(w.actionList.actionCount, 2);
    EXPECT_FALSE(w.Command3->isHidden());
    EXPECT_EQ(w.editor.marks.changedController, 1);
}

TEST_F(WindowTest, StoredDeviceNumbersBeyondTheListsSelectNothing) {
    settledWith({{"Midi", "DeviceNumber", " 5000"}, {"Joystick", "DeviceNumber", " 3"}});
    Program p(folder.path());
    VirtualStick stick("Vantaro test stick");
    Window& w = p.start();
    EXPECT_GT(w.Combo1->count(), 0);
    EXPECT_EQ(w.Combo1->currentIndex(), -1);
    EXPECT_FALSE(w.core.midiSender().isOpen());
    EXPECT_EQ(w.Combo2->count(), 1);
    EXPECT_EQ(w.Combo2->currentIndex(), -1);
    EXPECT_TRUE(p.port.messages.empty());
}
