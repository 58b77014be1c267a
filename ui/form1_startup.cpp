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
    gloveShopButton_->setVisible(shown.getGloveButton);
    gloveCentreButton_->setVisible(shown.centreButton);
    noGloveLabel_->setVisible(shown.noGloveLabel);
    for (QLabel* l : gloveLabels_)
        l->setVisible(shown.gloveLabels);
}

QSlider* Form1::sliderFor(Control control) const {
    switch (control) {
    case Control::CentreWidth:
        return centreWidthSlider_;
    case Control::HandThreshold:
        return handSlider_;
    case Control::FingerThreshold:
        return fingerSlider_;
    case Control::Increment:
        return incrementSlider_;
    case Control::Number:
        return numberSlider_;
    case Control::Channel:
        return channelSlider_;
    case Control::Low:
        return lowSlider_;
    case Control::High:
        return highSlider_;
    case Control::Delay:
    case Control::Wrap:
    case Control::Toggle:
        break;
    }
    return delaySlider_;
}

// As the user would set it: the control's own change step runs when the value changes.
void Form1::restore(Control control, std::int32_t value) {
    if (control != Control::Wrap && control != Control::Toggle) {
        sliderFor(control)->setValue(value);
        return;
    }
    QCheckBox* box = control == Control::Wrap ? wrapBox_ : toggleBox_;
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
    viewButton_->setText(core_->expandedView() == 0 ? QStringLiteral("&>") : QStringLiteral("&<"));
    applyViewHeight();
    if (started.showExport) exportButton_->show();
    if (options_.runTimer) {
        pollTimer_->start();
        deviceTimer_->start();
    }
}

void Form1::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (options_.shutDownStarted) options_.shutDownStarted();
    pollTimer_->stop();
    deviceTimer_->stop();
    // Every step is tried; nothing is reported from here on.
    core_->shutDown(options_.shutDownStep);
    if (options_.quit)
        options_.quit();
    else
        QCoreApplication::quit();
}

} // namespace vantaro
