// The small windows on their own: how each one closes and what it answers.
#include "program_fixture.h"
#include "ui/forms.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

using namespace vantaro;
using namespace vantaro::test;

TEST(Splash, ClosesByItselfOnAKeyOrOnAMouseMove) {
    application();
    {
        Form3 splash(50);
        QElapsedTimer t;
        t.start();
        splash.exec(); // returns only when the window has closed
        EXPECT_GE(t.elapsed(), 40);
        EXPECT_EQ(splash.picture->pixmap().size(), QSize(320, 200));
    }
    {
        Form3 splash(60000);
        QTimer::singleShot(20, &splash, [&] { QTest::keyClick(&splash, Qt::Key_A); });
        QElapsedTimer t;
        t.start();
        splash.exec();
        EXPECT_LT(t.elapsed(), 30000);
    }
    {
        Form3 splash(60000);
        QTimer::singleShot(20, &splash, [&] { QTest::mouseMove(splash.picture, QPoint(100, 80)); });
        QElapsedTimer t;
        t.start();
        splash.exec();
        EXPECT_LT(t.elapsed(), 30000);
    }
}

TEST(DeleteConfirmation, EachButtonAndEscapeGiveTheirAnswer) {
    application();
    Form2 yes;
    QTimer::singleShot(0, &yes, [&] { yes.yesButton->click(); });
    yes.exec();
    EXPECT_EQ(yes.answer(), Form2::Answer::Yes);
    Form2 always;
    QTimer::singleShot(0, &always, [&] { always.alwaysButton->click(); });
    always.exec();
    EXPECT_EQ(always.answer(), Form2::Answer::Always);
    Form2 escape;
    QTimer::singleShot(0, &escape, [&] { QTest::keyClick(&escape, Qt::Key_Escape); });
    escape.exec();
    EXPECT_EQ(escape.answer(), Form2::Answer::No);
    EXPECT_EQ(escape.windowTitle(), QStringLiteral("Delete"));
    EXPECT_EQ(escape.yesButton->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(escape.alwaysButton->text(), QStringLiteral("&Always"));
    EXPECT_EQ(escape.noButton->text(), QStringLiteral("&No"));
}

TEST(RoutingPicker, ShowsThePreviousChoiceAndReturnsTheNewOneOnlyOnOkay) {
    application();
    QtUiPort port;
    const std::vector<std::string> ports{"Keyboard", "Pads", "Drums"};
    // Ctrl+clicks flip each line: Pads must have come up chosen to end up unchosen.
    auto flipAll = [](QWidget* modal) {
        auto* list = modal->findChild<QListWidget*>(QStringLiteral("List1"));
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < list->count(); ++row)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualItemRect(list->item(row)).center());
    };
    std::vector<bool> selected{false, true, false};
    {
        ModalAnswer okay(QStringLiteral("&Okay"), 0, flipAll);
        EXPECT_TRUE(port.pickRoutes(ports, selected));
        EXPECT_TRUE(okay.answered());
        EXPECT_EQ(okay.title(), QStringLiteral("Form5"));
    }
    EXPECT_EQ(selected, (std::vector<bool>{true, false, true}));

    // Closed without Okay: the choice stays as it was.
    QTimer::singleShot(20, [&] {
        flipAll(QApplication::activeModalWidget());
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    EXPECT_FALSE(port.pickRoutes(ports, selected));
    EXPECT_EQ(selected, (std::vector<bool>{true, false, true}));
}

// Enter answers the failure question with No: Yes is what sets the action list aside.
TEST(Question, NoIsTheDefaultButton) {
    application();
    QtUiPort port;
    bool noIsDefault = false;
    ModalAnswer no(QStringLiteral("&No"), 0, [&](QWidget* modal) {
        const auto* box = qobject_cast<QMessageBox*>(modal);
        noIsDefault = box && box->defaultButton() == box->button(QMessageBox::No);
    });
    EXPECT_FALSE(port.askYesNo("Error opening config file.  Delete config?"));
    EXPECT_TRUE(no.answered());
    EXPECT_TRUE(noIsDefault);
}
