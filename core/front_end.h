#pragma once
// What a front end of the program gives the core: the user interface for questions and messages,
// the widgets the core writes, and its share of start-up. The window implements them with Qt, the
// window-less mode and vantaro-replay with the console, the tests with scripted doubles.
#include "devices/glove.h"
#include "engine/texts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vantaro {

enum class MidiErrorChoice { Okay, StopWarnings };

class UiPort {
public:
    virtual ~UiPort() = default;
    // Modal question with Yes and No buttons and the program's title; true = Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // Modal message box with only an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // The modal MIDI error window; codeText is the line it shows under its heading.
    virtual MidiErrorChoice showMidiError(const std::string& codeText) = 0;
    // End the program at once: no shut-down steps, nothing saved.
    virtual void endProgram() = 0;
};

// The action list box (List1).
class ActionListView {
public:
    virtual ~ActionListView() = default;
    // Width of the line in the list's font, in pixels (may be fractional).
    virtual double lineWidth(std::string_view line) = 0;
    virtual void setHorizontalExtent(std::int32_t pixels) = 0;
    virtual void addLine(std::string_view line) = 0;
    virtual void clear() = 0;
};

// The live input boxes (Text1, Text2, Text7, Text11, Text12) and the glove value labels.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual void setLiveText(LiveText box, std::string_view text) = 0;
    // element 14..18 finger bends, 19..21 glove buttons, 22..27 hand values
    virtual void setValueLabel(int element, std::string_view text) = 0;
};

// The raw-value label arrays of the expanded view.
enum class RawLabels { Joystick, ExtendedJoystick };

// The joystick list (Combo2), the calibration prompt and button, and the raw-value labels.
class JoystickView {
public:
    virtual ~JoystickView() = default;
    // Empties the joystick list, before it is filled again.
    virtual void clearJoystickEntries() = 0;
    // Appends a product name to the joystick list.
    virtual void addJoystickEntry(std::string_view productName) = 0;
    // Shows position as the chosen entry; only shows it (the core has chosen already).
    virtual void showSelectedEntry(int position) = 0;
    virtual void hideCalibrationPrompt() = 0; // Label13
    virtual void hideCalibrateButton() = 0;   // Command4
    // A stick came while none was listed: the button again, and the prompt when not calibrated.
    virtual void showCalibrateButton(bool withPrompt) = 0;
    virtual void setRawLabel(RawLabels labels, int index, std::string_view caption) = 0;
};

// The drop-down list of MIDI output devices (Combo1). Written only: the output port keeps its
// own choice, and setCurrentIndex only shows it.
class OutputListView {
public:
    virtual ~OutputListView() = default;
    virtual void clear() = 0;
    virtual void addItem(const std::string& text) = 0;
    virtual void setCurrentIndex(int index) = 0;
};

// The lag display (Label12).
class LagView {
public:
    virtual ~LagView() = default;
    virtual void setLagCaption(std::string_view caption) = 0;
};

struct CoreViews {
    ActionListView& actionList;
    StatusView& status;
    JoystickView& joystick;
    OutputListView& outputs;
    LagView& lag;
};

// Views that show nothing: a core without a window (the window-less mode, vantaro-replay,
// benchmarks, tests).
struct NullViews final : ActionListView, StatusView, JoystickView, OutputListView, LagView {
    double lineWidth(std::string_view) override { return 0; }
    void setHorizontalExtent(std::int32_t) override {}
    void addLine(std::string_view) override {}
    void clear() override {}
    void setLiveText(LiveText, std::string_view) override {}
    void setValueLabel(int, std::string_view) override {}
    void clearJoystickEntries() override {}
    void addJoystickEntry(std::string_view) override {}
    void showSelectedEntry(int) override {}
    void hideCalibrationPrompt() override {}
    void hideCalibrateButton() override {}
    void showCalibrateButton(bool) override {}
    void setRawLabel(RawLabels, int, std::string_view) override {}
    void addItem(const std::string&) override {}
    void setCurrentIndex(int) override {}
    void setLagCaption(std::string_view) override {}

    CoreViews views() { return CoreViews{*this, *this, *this, *this, *this}; }
};

// The controls whose stored values start-up restores, in the order it restores them.
enum class Control {
    Wrap,            // Check1, 0..2 (2: grey)
    Toggle,          // Check3, 0..2
    CentreWidth,     // Slider1
    HandThreshold,   // Slider8
    FingerThreshold, // Slider9
    Increment,       // Slider2, in hundredths
    Number,          // Slider4, the next action's note or controller
    Channel,         // Slider3, the next action's channel
    Low,             // Slider5
    High,            // Slider6
    Delay,           // Slider7
};

// The values each control takes; a stored value outside them is refused at start-up.
struct ControlRange {
    std::int32_t minimum;
    std::int32_t maximum;
};
constexpr ControlRange controlRange(Control c) {
    switch (c) {
    case Control::Wrap:
    case Control::Toggle:
        return {0, 2};
    case Control::CentreWidth:
        return {0, 20000};
    case Control::HandThreshold:
        return {0, 100};
    case Control::FingerThreshold:
        return {0, 63};
    case Control::Increment:
        return {-12700, 12700};
    case Control::Channel:
        return {0, 15};
    case Control::Number:
    case Control::Low:
    case Control::High:
        return {0, 127};
    case Control::Delay:
        return {0, 10000};
    }
    return {0, 0};
}

// A front end's steps inside start-up, each at its place in the order. By default there are none.
class StartupStages {
public:
    virtual ~StartupStages() = default;
    // The glove's step is done and these glove widgets show; the splash window goes here.
    // False: the program is ending, and start-up stops before the settings are read.
    virtual bool gloveStarted(const GloveWidgets&) { return true; }
    // The next action's note and channel as stored (the editor's next values).
    virtual void nextActionRestored(std::int16_t /*number*/, std::int16_t /*channel*/) {}
    // A control takes its stored value, which lies in its range.
    virtual void restore(Control, std::int32_t) {}
    // An editor slider's change step, run once more for each after its value, in any case.
    virtual void editorStep(Control) {}
};

} // namespace vantaro
