// Route MIDI through the window: a keyboard's messages reach the synth and show in the log. The
// synth chosen in Midi Out as a musician meets it: picked again, and going and coming back.
#include "engine/numbers.h"
#include "program_fixture.h"
#include "storage/action_file.h"
#include "support/jack.h"
#include "support/records.h"
#include "support/virtual_stick.h"

#include <QAbstractItemView>
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

// The ports connected to port, by their full names.
std::vector<std::string> connectionsOf(jack_client_t* client, const std::string& port) {
    std::vector<std::string> names;
    if (const char** linked =
            jack_port_get_all_connections(client, jack_port_by_name(client, port.c_str()))) {
        for (const char** l = linked; *l; ++l)
            names.emplace_back(*l);
        jack_free(linked);
    }
    return names;
}

// Picks an entry as a user does with the keyboard: the list opens, the arrows move to the entry
// and Enter takes it, also when it is the entry shown already.
void pickEntry(QComboBox* list, int index) {
    QTest::keyClick(list, Qt::Key_F4);
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(view->isVisible());
    for (int row = view->currentIndex().row(); row < index; ++row)
        QTest::keyClick(view, Qt::Key_Down);
    for (int row = view->currentIndex().row(); row > index; --row)
        QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Return);
}

std::string firstLogLine(const Window& w) {
    return w.Text3->toPlainText().section(QLatin1Char('\n'), 0, 0).toStdString();
}

} // namespace

TEST(MidiOut, TheChosenSynthKeepsItsPatchbayLinksAndIsFollowedWhileItGoesAndComesBack) {
    quietSdlHints();
    Folder folder;
    ActionList list;
    list[++list.actionCount] = buttonAction(1); // Note On 60 on channel 0
    writeFile(folder / "jmconfig.dat", encodeActions(list));
    writeFile(folder / "jmconfig.ini", "[General]\r\nconfig= 1\r\nbigform= 1\r\n"
                                       "[Midi]\r\nDeviceName=ui-out-synth:in0\r\n"
                                       "[Joystick]\r\nDeviceName=Vantaro pad\r\n");
    Program p(folder.path(), Program::Midi::Jack);
    auto synth = std::make_unique<JackPeer>("ui-out-synth", 1, 0);
    JackPeer recorder("ui-out-recorder", 1, 0);
    Window& w = p.start();
    const QString entry = QStringLiteral("ui-out-synth:in0");
    ASSERT_EQ(w.Combo1->currentText(), entry);
    VirtualStick pad("Vantaro pad");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo2->currentIndex() == 0; }, 5000));

    // The recorder is linked to the program's port by hand, in a patchbay; picking the synth
    // again leaves the port as it is: no line, nothing stored, and a press reaches both.
    const std::vector<std::string> ours = connectionsOf(recorder.client(), synth->inputName());
    ASSERT_EQ(ours.size(), 1u);
    ASSERT_EQ(jack_connect(recorder.client(), ours[0].c_str(), recorder.inputName().c_str()), 0);
    ASSERT_TRUE(recorder.waitConnected());
    const std::string log = w.core.messageLog().text();
    const std::string settings = fileText(folder / "jmconfig.ini");
    pickEntry(w.Combo1, w.Combo1->currentIndex());
    EXPECT_EQ(w.Combo1->currentText(), entry);
    EXPECT_EQ(w.core.messageLog().text(), log);
    EXPECT_EQ(fileText(folder / "jmconfig.ini"), settings);
    pad.button(0, true);
    EXPECT_TRUE(synth->waitFor(1, [] { QTest::qWait(5); }));
    EXPECT_TRUE(recorder.waitFor(1, [] { QTest::qWait(5); }));
    EXPECT_EQ(connectionsOf(recorder.client(), recorder.inputName()), ours);
    pad.button(0, false); // heard before the synth goes: a send to nobody opens the error window
    EXPECT_TRUE(synth->waitFor(2, [] { QTest::qWait(5); }));

    // The synth goes: the log's first line says so and its entry is marked, also after the user
    // picks it; the stored name stays the bare name.
    synth.reset();
    const QString away = entry + QStringLiteral(" (not present)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo1->currentText() == away; }, 10000));
    EXPECT_EQ(firstLogLine(w), "The MIDI output \"ui-out-synth:in0\" has gone.");
    pickEntry(w.Combo1, w.Combo1->count() - 1);
    EXPECT_EQ(w.Combo1->currentText(), away);
    EXPECT_EQ(p.setting("Midi", "DeviceName"), "ui-out-synth:in0");

    // It is back: connected again by itself, said once in front, the mark gone, and it plays.
    synth = std::make_unique<JackPeer>("ui-out-synth", 1, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Combo1->currentText() == entry; }, 10000));
    EXPECT_TRUE(w.Text3->toPlainText().startsWith(
        QStringLiteral("Connected to the MIDI output \"ui-out-synth:in0\".\nThe MIDI output "
                       "\"ui-out-synth:in0\" has gone.\n")))
        << w.Text3->toPlainText().toStdString();
    EXPECT_EQ(w.Combo1->findText(away), -1);
    EXPECT_EQ(p.setting("Midi", "DeviceName"), "ui-out-synth:in0");
    pad.button(0, true);
    EXPECT_TRUE(synth->waitFor(1, [] { QTest::qWait(5); }));
    EXPECT_TRUE(p.port.messages.empty());
    EXPECT_TRUE(p.port.midiErrors.empty());
}

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
