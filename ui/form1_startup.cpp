// Start-up and shut-down of the main window: the program core starts, and the window shows what
// it restored.
#include "ui/form1.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#ifndef VANTARO_VERSION_MINOR
#define VANTARO_VERSION_MINOR 0
#endif
#ifndef VANTARO_VERSION_REVISION
#define VANTARO_VERSION_REVISION 0
#endif

namespace vantaro {

// The window's steps inside the core's start-up.
class Form1::Stages final : public StartupStages {
public:
    explicit Stages(Form1& window) : w_(window) {}

    bool gloveStarted(const GloveWidgets& shown) override {
        w_.applyGloveWidgets(shown);
        if (w_.options_.splashMs > 0) w_.ui_.showSplash(w_.options_.splashMs);
        if (w_.shutDown_) return false; // closed while the splash window was up: nothing more starts
        w_.setWindowTitle(windowCaption(VANTARO_VERSION_MINOR, VANTARO_VERSION_REVISION));
        return true;
    }
    void nextActionRestored(std::int16_t number, std::int16_t channel) override {
        w_.editor_.nextNumber = number;
        w_.editor_.nextChannel = channel;
    }
    void restore(Control control, std::int32_t value) override { w_.restore(control, value); }
    void editorStep(Control control) override { w_.sliderStep(w_.sliderFor(control)); }

private:
    Form1& w_;
};

void Form1::applyGloveWidgets(const GloveWidgets& shown) {
    Command12->setVisible(shown.getGloveButton);
    Command13->setVisible(shown.centreButton);
    Label2->setVisible(shown.noGloveLabel);
    for (QLabel* l : Label11)
        l->setVisible(shown.gloveLabels);
}

QSlider* Form1::sliderFor(Control control) const {
    switch (control) {
    case Control::CentreWidth:
        return Slider1;
    case Control::HandThreshold:
        return Slider8;
    case Control::FingerThreshold:
        return Slider9;
    case Control::Increment:
        return Slider2;
    case Control::Number:
        return Slider4;
    case Control::Channel:
        return Slider3;
    case Control::Low:
        return Slider5;
    case Control::High:
        return Slider6;
    case Control::Delay:
    case Control::Wrap:
    case Control::Toggle:
        break;
    }
    return Slider7;
}

// As the user would set it: the control's own change step runs when the value changes.
void Form1::restore(Control control, std::int32_t value) {
    if (control != Control::Wrap && control != Control::Toggle) {
        sliderFor(control)->setValue(value);
        return;
    }
    QCheckBox* box = control == Control::Wrap ? Check1 : Check3;
    // A stored 2 restores the box grey.
    if (value == 2) box->setTristate(true);
    box->setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
}

void Form1::startUp() {
    if (!options_.startupNote.empty()) core_->logLine(options_.startupNote);
    applyGloveWidgets(GloveWidgets{});
    Stages stages(*this);
    const StartupResult started = core_->start(stages);
    if (started.outcome != StartupResult::Outcome::Running) return;
    Command5->setText(core_->expandedView() == 0 ? QStringLiteral("&>") : QStringLiteral("&<"));
    applyViewHeight();
    if (started.showExport) Command8->show();
    if (options_.runTimer) {
        Timer1->start();
        deviceTimer_->start();
    }
}

void Form1::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (options_.shutDownStarted) options_.shutDownStarted();
    Timer1->stop();
    deviceTimer_->stop();
    // Every step is tried; nothing is reported from here on.
    core_->shutDown(options_.shutDownStep);
    if (options_.quit)
        options_.quit();
    else
        QCoreApplication::quit();
}

} // namespace vantaro
