#pragma once
// The whole program in a test: the real main window on the offscreen platform, real joysticks
// (SDL virtual sticks), a fake or the real MIDI output, and modal windows answered from a timer.
#include "storage/settings.h"
#include "support/fake_midi_out.h"
#include "support/jack.h"
#include "support/temp_folder.h"
#include "ui/desktop_program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace vantaro::test {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own globals are gone by the time static objects are.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

using Folder = TempFolder;

inline std::string fileText(const std::filesystem::path& p) {
    return fileBytes(p);
}
inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    putBytes(p, bytes);
}

// Finds the button with this caption on the modal window that opens next and clicks it; with no
// caption, presses Enter there instead. The window's caption and the texts of its labels are kept
// for the test to check.
class ModalAnswer {
public:
    explicit ModalAnswer(QString caption, int waitMs = 0, std::function<void(QWidget*)> first = {})
        : caption_(std::move(caption)), waitMs_(waitMs), first_(std::move(first)) {
        arm();
    }
    bool answered() const { return answered_; }
    const QString& title() const { return title_; }
    const QStringList& texts() const { return texts_; }

private:
    void arm() {
        QTimer::singleShot(5, &guard_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                if (++tries_ < 2000) arm();
                return;
            }
            title_ = modal->windowTitle();
            for (const QObject* o : modal->findChildren<QObject*>()) {
                const QVariant t = o->property("text");
                if (t.isValid() && !qobject_cast<const QAbstractButton*>(o)) texts_ << t.toString();
            }
            if (first_) first_(modal);
            if (waitMs_ > 0) QTest::qWait(waitMs_);
            if (caption_.isEmpty()) {
                answered_ = true;
                QTest::keyClick(modal, Qt::Key_Return);
                return;
            }
            for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
                if (b->text() == caption_) {
                    answered_ = true;
                    b->click();
                    return;
                }
            }
            ADD_FAILURE() << "no button " << caption_.toStdString() << " on " << title_.toStdString();
        });
    }

    QObject guard_; // a pending check dies with the answer
    QString caption_;
    int waitMs_;
    std::function<void(QWidget*)> first_;
    int tries_ = 0;
    bool answered_ = false;
    QString title_;
    QStringList texts_;
};

// The program's windows, with every message box and program end recorded.
class RecordingPort final : public QtUiPort {
public:
    std::vector<std::string> messages;
    std::vector<std::string> midiErrors;
    int ended = 0;
    int splashes = 0;
    QString chosenFile;       // what the Import and Export dialogs answer
    bool realDialogs = false; // the program's own file dialogs instead, for the test to drive

    RecordingPort() {
        setEndProgram([this] { ++ended; });
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    MidiErrorChoice showMidiError(const std::string& codeText) override {
        midiErrors.push_back(codeText);
        return QtUiPort::showMidiError(codeText);
    }
    void showSplash(int) override { ++splashes; }
    QString importFileName() override { return realDialogs ? QtUiPort::importFileName() : chosenFile; }
    QString exportFileName() override { return realDialogs ? QtUiPort::exportFileName() : chosenFile; }
};

// The main window's widgets by their names, and what it keeps, as a test reads them.
struct Window {
    explicit Window(Form1& f)
        : form(f), core(f.core()), actionList(f.core().actionList()), editor(f.editor()) {
        auto find = [&f](auto*& widget, const char* name, int index = 0) {
            using W = std::remove_pointer_t<std::remove_reference_t<decltype(widget)>>;
            widget = f.findChildren<W*>(QString::fromLatin1(name)).value(index);
            if (!widget) ADD_FAILURE() << "no widget " << name;
        };
        find(List1, "List1");
        QPushButton** buttons[] = {&Command1,  &Command2,  &Command3, &Command4, &Command5,
                                   &Command6,  &Command7,  &Command8, &Command9, &Command10,
                                   &Command11, &Command12, &Command13};
        for (int i = 0; i < 13; ++i)
            find(*buttons[i], ("Command" + std::to_string(i + 1)).c_str());
        QLineEdit** boxes[] = {&Text1, &Text2, &Text4,  &Text5,  &Text6, &Text7,
                               &Text8, &Text9, &Text10, &Text11, &Text12};
        const int boxNumbers[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        for (int i = 0; i < 11; ++i)
            find(*boxes[i], ("Text" + std::to_string(boxNumbers[i])).c_str());
        find(Text3, "Text3");
        QSlider** sliders[] = {&Slider1, &Slider2, &Slider3, &Slider4, &Slider5,
                               &Slider6, &Slider7, &Slider8, &Slider9};
        for (int i = 0; i < 9; ++i)
            find(*sliders[i], ("Slider" + std::to_string(i + 1)).c_str());
        for (int i = 0; i < 3; ++i)
            find(Option1[static_cast<std::size_t>(i)], "Option1", i);
        find(Check1, "Check1");
        find(Check3, "Check3");
        find(Combo1, "Combo1");
        find(Combo2, "Combo2");
        find(Label2, "Label2");
        find(Label7, "Label7");
        find(Label12, "Label12");
        find(Label13, "Label13");
        Label11 = f.findChildren<QLabel*>(QStringLiteral("Label11"));
        find(Timer1, "Timer1");
    }

    Form1& form;
    const ProgramCore& core;
    const ActionList& actionList;
    const EditorState& editor;

    QListWidget* List1 = nullptr;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7, *Command8,
        *Command9, *Command10, *Command11, *Command12, *Command13;
    QLineEdit *Text1, *Text2, *Text4, *Text5, *Text6, *Text7, *Text8, *Text9, *Text10, *Text11, *Text12;
    QPlainTextEdit* Text3 = nullptr;
    QSlider *Slider1, *Slider2, *Slider3, *Slider4, *Slider5, *Slider6, *Slider7, *Slider8, *Slider9;
    std::array<QRadioButton*, 3> Option1{};
    QCheckBox *Check1 = nullptr, *Check3 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr;
    QLabel *Label2 = nullptr, *Label7 = nullptr, *Label12 = nullptr, *Label13 = nullptr;
    QList<QLabel*> Label11;
    QTimer* Timer1 = nullptr;
};

// The desktop program on a folder. By default its MIDI output is a fake one with a single
// device and the poll runs only when the test runs it (run()), so no JACK server is needed;
// Midi::Jack uses the machine's MIDI system and holds the JACK server for the whole test.
struct Program {
    enum class Midi { Fake, Jack };

    explicit Program(const std::filesystem::path& folder, Midi midi = Midi::Fake) : midi_(midi) {
        application();
        if (midi == Midi::Jack) serverLock = std::make_unique<ServerLock>();
        options.dataFolder = folder;
        options.splashMs = 1; // the port records the splash instead of showing it
        options.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        options.quit = [this] { ++quits; };
        options.runTimer = midi == Midi::Jack;
    }
    ~Program() {
        window.reset();
        program.reset();
    }

    Window& start() {
        program = std::make_unique<DesktopProgram>(port, options, options.dataFolder,
                                                   midi_ == Midi::Fake ? &fakeMidi : nullptr);
        program->start();
        window = std::make_unique<Window>(program->window());
        return *window;
    }
    // Lets the poll run: ms ticks when the test runs them, else the timer for ms milliseconds.
    void run(int ms = 30) {
        if (options.runTimer) {
            QTest::qWait(ms);
            return;
        }
        for (int i = 0; i < ms; ++i) {
            program->window().tick();
            QCoreApplication::processEvents();
        }
    }

    // The value exactly as the settings file holds it (reading a setting removes the blanks).
    std::string setting(const std::string& section, const std::string& key) const {
        std::istringstream in(fileText(options.dataFolder / "jmconfig.ini"));
        std::string line, current;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.front() == '[')
                current = line.substr(1, line.find(']') - 1);
            else if (current == section && line.rfind(key + "=", 0) == 0)
                return line.substr(key.size() + 1);
        }
        return "(missing)";
    }

    Midi midi_;
    // The window lists the server's ports by position, so other tests' ports must not come and
    // go meanwhile.
    std::unique_ptr<ServerLock> serverLock;
    FakeMidiOut fakeMidi{{"Test synth"}};
    RecordingPort port;
    Form1Options options;
    std::vector<QUrl> opened;
    int quits = 0;
    std::unique_ptr<DesktopProgram> program;
    std::unique_ptr<Window> window;
};

} // namespace vantaro::test
