// Joysticks plugged and unplugged under a running window: the list follows, the chosen stick
// is chosen again when it is back, and a held button is released when its stick goes.
#include "program_fixture.h"
#include "support/records.h"
#include "support/virtual_stick.h"

#include "engine/numbers.h"
#include "engine/short_message.h"
#include "storage/action_file.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace vantaro;
using namespace vantaro::test;

TEST(WindowDevices, SticksComeAndGoWhileTheWindowRuns) {
    quietSdlHints();
    Folder folder;
    ActionList list;
    list[++list.actionCount] = buttonAction(1);
    writeFile(folder / "jmconfig.dat", encodeActions(list));
    Program p(folder.path());
    Window& w = p.start(); // a first start: no stick yet
    EXPECT_EQ(w.Combo2->count(), 0);
    EXPECT_TRUE(w.Command4->isHidden());
    QTest::mouseClick(w.Command5, Qt::LeftButton); // the expanded view shows the calibration button

    auto pad = std::make_unique<VirtualStick>("Vantaro pad");
    w.form.checkDevices();
    ASSERT_EQ(w.Combo2->count(), 1);
    EXPECT_FALSE(w.Command4->isHidden());
    EXPECT_FALSE(w.Label13->isHidden()) << "not calibrated yet";
    w.Combo2->setCurrentIndex(0);
    emit w.Combo2->activated(0);
    EXPECT_EQ(p.setting("Joystick", "DeviceName"), "Vantaro pad");

    pad->button(0, true);
    p.run(3);
    ASSERT_EQ(p.fakeMidi.sent, (std::vector<std::uint32_t>{packShortMessage(0x90, 60, 127)}));
    pad.reset();
    w.form.checkDevices();
    p.run(3);
    EXPECT_EQ(w.Combo2->count(), 0);
    EXPECT_TRUE(w.Command4->isHidden());
    EXPECT_EQ(p.fakeMidi.sent.back(), packShortMessage(0x90, 60, 0)) << "released when its stick went";

    pad = std::make_unique<VirtualStick>("Vantaro pad");
    w.form.checkDevices();
    EXPECT_EQ(w.Combo2->currentIndex(), 0) << "chosen again without a click";
    pad->button(0, true);
    p.run(3);
    EXPECT_EQ(p.fakeMidi.sent.back(), packShortMessage(0x90, 60, 127));
    EXPECT_TRUE(p.port.messages.empty());
}

TEST(WindowDevices, CalibrateInAFirstRunLetsAnAxisBeCaptured) {
    quietSdlHints();
    Folder folder;
    VirtualStick stick("Vantaro pad");
    Program p(folder.path());
    Window& w = p.start(); // a first run: the centre follows the stick
    ASSERT_EQ(w.Combo2->currentIndex(), 0);
    ASSERT_FALSE(w.Label13->isHidden());
    stick.axis(1, 32767);
    p.run(3);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    EXPECT_EQ(w.actionList.actionCount, 0) << "pushed, yet the centre";

    stick.axis(1, 0);
    p.run(3);
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    EXPECT_TRUE(w.Label13->isHidden());
    EXPECT_EQ(p.setting("Joystick", "calibrated"), " 1");
    stick.axis(1, 32767);
    p.run(3);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    ASSERT_EQ(w.actionList.actionCount, 1);
    EXPECT_EQ(w.actionList[1].axisMask, 2);
    EXPECT_EQ(w.actionList[1].buttonMask, 0);
    EXPECT_TRUE(p.port.messages.empty());
}
