#pragma once
// The core objects the main window drives, and the window's side of their view interfaces.
#include "devices/glove.h"
#include "devices/glove_bridge.h"
#include "devices/joystick.h"
#include "engine/poll_cycle.h"
#include "engine/texts.h"
#include "midi/output_port.h"
#include "midi/routing.h"
#include "storage/action_file.h"
#include "ui/form1.h"

#include <QString>
#include <array>
#include <memory>
#include <string>

namespace vantaro {

class Form1;

// Every view interface the core writes through, implemented on the main window's widgets.
class Form1Views final : public ActionListView,
                         public StatusView,
                         public JoystickView,
                         public TickSteps,
                         public LagView {
public:
    explicit Form1Views(Form1& w) : w_(w) {}

    // ActionListView
    double lineWidth(std::string_view line) override;
    void setHorizontalExtent(std::int32_t pixels) override;
    void addLine(std::string_view line) override;
    void clear() override;
    // StatusView
    void setLiveText(LiveText box, std::string_view text) override;
    void setValueLabel(int element, std::string_view text) override;
    // JoystickView
    void addJoystickEntry(std::string_view productName) override;
    void showSelectedEntry(int position) override;
    void hideCalibrationPrompt() override;
    void hideCalibrateButton() override;
    void setRawLabel(RawLabels labels, int index, std::string_view caption) override;
    // TickSteps
    void readJoystick() override;
    void doP5() override;
    void actions() override;
    void updateStatus() override;
    // LagView
    void setLagCaption(std::string_view caption) override;

    bool showingProgrammatically() const { return programmatic_ > 0; }

private:
    Form1& w_;
    int programmatic_ = 0; // > 0 while the core sets a list's shown entry
    std::int32_t extent_ = 0;
};

// The MIDI output list (Combo1). Kept apart from the other views: both lists have a clear().
class Form1OutputList final : public OutputListView {
public:
    explicit Form1OutputList(Form1& w) : w_(w) {}
    void clear() override;
    void addItem(const std::string& text) override;
    int count() const override;
    void setCurrentIndex(int index) override;
    int currentIndex() const override;

private:
    Form1& w_;
};

struct Form1Core {
    Form1Core(Form1& w, Form1Views& views, const ProgramDevices& devices);

    Form1Views& views;
    Form1OutputList outputList;
    GloveBridge& gloveBridge;
    Joystick joystick;
    OutputPort outputPort;
    std::unique_ptr<PerformanceCounter> lagCounter; // made once: it calibrates itself
    PollCycle poll;
    ShownTexts shownTexts;
    std::int32_t listExtentWidth = 0;
    ActionFileContext actionFile;
    Routing routing;
};

} // namespace vantaro
