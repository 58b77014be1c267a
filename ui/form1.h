#pragma once
// The main window: every widget of the program and their event steps over the program core,
// which it starts and shuts down. It keeps only what is a widget's, and the editor's state.
#include "core/editor.h"
#include "core/program_core.h"
#include "engine/clock.h"
#include "storage/settings_keys.h"
#include "ui/qt_ui_port.h"

#include <QMetaObject>
#include <QRect>
#include <QUrl>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QShortcut;
class QSlider;
class QTimer;

namespace vantaro {

class GloveBridge;
class JoystickApi;
class MidiInApi;
class MidiOutApi;
struct Form1Views;

// The devices the window works with; owned by main() (or a test) and outliving the window.
struct ProgramDevices {
    MidiOutApi& midiOut;
    JoystickApi& joystick;
    GloveBridge& glove;
    MidiInApi& midiIn;
};

struct Form1Options {
    std::filesystem::path dataFolder;         // where jmconfig.ini and jmconfig.dat live
    std::string startupNote;                  // a line for the message log at start-up, if any
    int splashMs = 5000;                      // 0: no splash window
    std::function<void(const QUrl&)> openUrl; // defaults to the desktop's browser
    std::function<void()> quit;               // the end of shut-down; defaults to leaving the event loop
    std::function<void()> shutDownStarted;    // the start of shut-down, before any device is released
    // Each step of shut-down as it begins, named by a literal ("while closing the MIDI output").
    std::function<void(const char*)> shutDownStep;
    bool runTimer = true; // false: the poll runs only when tick() is called (tests that step it)
};

class Form1 final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 9585; // twips
    static constexpr int kCompactHeight = 6550;
    static constexpr int kExpandedHeight = 11505;
    static constexpr int kNonClientHeight = 370; // title bar and border, part of the outer heights

    Form1(ProgramDevices devices, QtUiPort& ui, Form1Options options, QWidget* parent = nullptr);
    ~Form1() override;

    // Runs the start-up sequence; call once, before the window is shown.
    void startUp();
    // Releases the devices in order; the quit and close paths both end here.
    void shutDown();
    bool hasShutDown() const { return shutDown_; }
    // One poll: devices, engine, live texts, log. Timer1 calls it every millisecond.
    void tick();
    // Devices that came or went; a timer calls it a few times a second.
    void checkDevices();

    std::filesystem::path settingsPath() const { return core_->settingsPath(); }
    std::filesystem::path actionFilePath() const { return core_->actionFilePath(); }

    // What the window keeps, for reading (the screenshot program, tests).
    const ProgramCore& core() const { return *core_; }
    const EditorState& editor() const { return editor_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    class Stages;

    void buildWindow();
    void connectEditor();
    void connectDevices();
    void applyGloveWidgets(const GloveWidgets& shown);
    void applyViewHeight();
    int frameHeightEstimate() const;
    void followScreen();
    void switchView();
    QSlider* sliderFor(Control control) const;
    void restore(Control control, std::int32_t value);

    // The editor's event steps.
    void selectionStep();
    void sliderStep(QSlider* slider);
    void sliderLetGo(QSlider* slider);
    const SettingKey& sliderSetting(const QSlider* slider) const;
    void valueBoxLeft(QLineEdit* box);
    void markChanged(bool& mark);
    void kindStep(int index);
    void addClicked();
    void saveClicked();
    void deleteClicked();
    EditorControls controls() const;
    int selectedLine() const;
    void selectLine(int line);

    void storeSetting(const SettingKey& key, std::int32_t value);
    void importClicked();
    void exportClicked();
    void routeClicked();
    void refreshLog();

    // Widgets; each carries, as its object name, the name the program's texts use for it.
    QListWidget* actionLines_;
    QPushButton *addButton_, *deleteButton_, *saveButton_, *calibrateButton_, *viewButton_, *routeButton_,
        *importButton_, *exportButton_, *quitButton_, *helpButton_, *shirtButton_, *gloveShopButton_,
        *gloveCentreButton_;
    QLabel *noGloveLabel_, *numberCaption_, *lagLabel_, *centrePrompt_;
    std::array<QLabel*, 4> joystickLines_{}; // in Joystick Values
    std::array<QLabel*, 6> extendedLines_{}; // in Extended Joystick Values
    std::array<QLabel*, 28> gloveLabels_{};
    QLineEdit *buttonBox_, *axisBox_, *incrementBox_, *numberBox_, *channelBox_, *povBox_, *lowBox_,
        *highBox_, *delayBox_, *handBox_, *fingersBox_;
    QPlainTextEdit* messageLog_;
    std::array<QRadioButton*, 3> kindOptions_{};
    QCheckBox *wrapBox_, *toggleBox_;
    QSlider *centreWidthSlider_, *incrementSlider_, *channelSlider_, *numberSlider_, *lowSlider_,
        *highSlider_, *delaySlider_, *handSlider_, *fingerSlider_;
    QComboBox *outputList_, *joystickList_;
    QGroupBox *gloveFrame_, *joystickFrame_, *extendedFrame_, *configFrame_;
    QTimer* pollTimer_;
    QTimer* deviceTimer_;
    // The lower buttons' keys while the compact view hides the buttons themselves.
    std::array<QShortcut*, 7> compactKeys_{};
    // Where buildWindow put each widget of the client area; a short screen shrinks from these.
    std::vector<std::pair<QWidget*, QRect>> placed_;
    int fittedFrame_ = 0; // the frame height the last fit allowed for
    QMetaObject::Connection screenArea_;

    ProgramDevices devices_;
    QtUiPort& ui_;
    Form1Options options_;
    SteadyClock clock_;
    EditorState editor_;
    QSlider* draggedUnstored_ = nullptr; // moved by a drag whose value is stored at the release
    bool shownOnce_ = false;
    bool shutDown_ = false;
    std::uint64_t shownLogRevision_ = 0;
    std::unique_ptr<Form1Views> views_;
    std::unique_ptr<ProgramCore> core_;
};

// The caption of the main window for a version: "Vantaro v" with minor and revision.
QString windowCaption(int minor, int revision);

} // namespace vantaro
