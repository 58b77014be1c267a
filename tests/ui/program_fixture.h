#pragma once
// The whole program in a test: the real main window on the offscreen platform, real joysticks
// (SDL virtual sticks), the real MIDI output over JACK, and modal windows answered from a timer.
#include "devices/glove_bridge.h"
#include "devices/sdl_joystick.h"
#include "midi/jack_peer.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "storage/settings.h"
#include "ui/form1.h"
#include "ui/qt_poster.h"
#include "ui/qt_ui_port.h"

#include <QAbstractButton>
#include <QApplication>
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

class Folder {
public:
    Folder() {
        std::string templ = (std::filesystem::temp_directory_path() / "vantaro-ui-XXXXXX").string();
        if (!::mkdtemp(templ.data())) std::abort();
        path_ = templ;
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline std::string fileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// Finds the button with this caption on the modal window that opens next and clicks it. The
// window's caption and the texts of its labels are kept for the test to check.
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
    QString chosenFile; // what the Import and Export dialogs answer

    RecordingPort() {
        setEndProgram([this] { ++ended; });
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    MidiErrorChoice showMidiError(const std::string& codeText) override {
        midiErrors.push_back(codeText);
        return QtUiPort::showMidiError(codeText);
    }
    void showSplash(int) override { ++splashes; }
    QString importFileName() override { return chosenFile; }
    QString exportFileName() override { return chosenFile; }
};

struct Program {
    explicit Program(const std::filesystem::path& folder, MidiOutApi* output = nullptr)
        : poster(&application()), midiIn(poster), glove(folder), out(output ? *output : midi) {
        options.dataFolder = folder;
        options.splashMs = 1; // the port records the splash instead of showing it
        options.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        options.quit = [this] { ++quits; };
    }
    ~Program() {
        if (window) window->shutDown();
    }

    Form1& start() {
        window = std::make_unique<Form1>(ProgramDevices{out, joysticks, glove, midiIn}, port, options);
        port.setOwner(window.get());
        window->startUp();
        window->show();
        return *window;
    }
    // Lets the timer run the poll for a while.
    void run(int ms = 30) { QTest::qWait(ms); }

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

    // Held for the whole test: the window lists the server's ports by position, so other
    // tests' ports must not come and go meanwhile.
    ServerLock serverLock;
    SdlJoystickApi joysticks;
    RtMidiOutput midi;
    QtPoster poster;
    RtMidiInput midiIn;
    GloveBridge glove;
    MidiOutApi& out;
    RecordingPort port;
    Form1Options options;
    std::vector<QUrl> opened;
    int quits = 0;
    std::unique_ptr<Form1> window;
};

} // namespace vantaro::test
