// Route MIDI through the window: a keyboard's messages reach the synth and show in the log.
#include "engine/numbers.h"
#include "program_fixture.h"
#include "support/jack.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace vantaro;
using namespace vantaro::test;

namespace {

// The list position whose name is the start of the port's full name.
int positionOf(const std::vector<std::string>& names, const std::string& port) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty() && port.rfind(names[i], 0) == 0) return static_cast<int>(i);
    return -1;
}

} // namespace

TEST(RouteMidi, APickedKeyboardIsPassedThroughAndLogged) {
    Folder folder;
    JackPeer peer("ui-route-peer", 1, 1); // in0: the synth, out0: the keyboard
    Program p(folder.path(), Program::Midi::Jack);
    RtMidiOutput lister;
    std::vector<std::string> outputs;
    for (std::uint32_t id = 0, n = lister.midiOutGetNumDevs(); id < n; ++id) {
        std::string name;
        lister.midiOutGetDevCaps(id, name);
        outputs.push_back(name);
    }
    const int synth = positionOf(outputs, peer.inputName());
    ASSERT_GE(synth, 0);
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "config", " 1"));
    ASSERT_TRUE(writeSetting(folder / "jmconfig.ini", "General", "bigform", " 1"));
    ASSERT_TRUE(
        writeSetting(folder / "jmconfig.ini", "Midi", "DeviceNumber", numberText(std::int64_t{synth})));
    Window& w = p.start();
    ASSERT_EQ(w.Combo1->currentIndex(), synth);

    int picked = -1;
    {
        ModalAnswer okay(QStringLiteral("&Okay"), 0, [&](QWidget* picker) {
            auto* list = picker->findChild<QListWidget*>(QStringLiteral("List1"));
            std::vector<std::string> names;
            for (int i = 0; i < list->count(); ++i)
                names.push_back(list->item(i)->text().toStdString());
            picked = positionOf(names, peer.outputName());
            if (picked >= 0) list->item(picked)->setSelected(true);
        });
        QTest::mouseClick(w.Command6, Qt::LeftButton);
        EXPECT_TRUE(okay.answered());
        EXPECT_EQ(okay.title(), QStringLiteral("Form5"));
    }
    ASSERT_GE(picked, 0);

    // The ports are connected by the server a moment after the picker closed: play until heard.
    bool heard = false;
    for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
        peer.send(0, {0x90, 0x3C, 0x64});
        heard = peer.waitFor(
            1, [&] { QTest::qWait(5); }, 0, std::chrono::milliseconds(250));
    }
    EXPECT_TRUE(heard);
    ASSERT_FALSE(peer.received().empty());
    EXPECT_EQ(peer.received()[0], (Bytes{0x90, 0x3C, 0x64}));
    p.run(50);
    EXPECT_TRUE(w.Text3->toPlainText().contains(QStringLiteral("Routing : 90 3C 64")));
    EXPECT_TRUE(p.port.midiErrors.empty());
}
