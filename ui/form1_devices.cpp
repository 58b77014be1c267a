// The device controls of the Config box and the lower half: the output and joystick lists, the
// response sliders, Calibrate, the glove's Center, and Route MIDI.
#include "ui/form1.h"

#include "storage/settings_keys.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QSlider>

namespace vantaro {

void Form1::connectDevices() {
    connect(outputList_, &QComboBox::activated, this, [this](int index) {
        // A MIDI system that went away is dealt with before a device is opened.
        core_->checkDevices();
        core_->selectOutput(index);
    });
    connect(joystickList_, &QComboBox::activated, this, [this](int index) { core_->selectJoystick(index); });
    // While dragged the values apply at once and are stored on release.
    connect(centreWidthSlider_, &QSlider::valueChanged, this,
            [this](int v) { core_->setCentreWidth(v, !centreWidthSlider_->isSliderDown()); });
    connect(centreWidthSlider_, &QSlider::sliderReleased, this,
            [this] { core_->setCentreWidth(centreWidthSlider_->value(), true); });
    connect(handSlider_, &QSlider::valueChanged, this,
            [this](int v) { core_->setHandThreshold(v, !handSlider_->isSliderDown()); });
    connect(handSlider_, &QSlider::sliderReleased, this,
            [this] { core_->setHandThreshold(handSlider_->value(), true); });
    connect(fingerSlider_, &QSlider::valueChanged, this,
            [this](int v) { core_->setFingerThreshold(v, !fingerSlider_->isSliderDown()); });
    connect(fingerSlider_, &QSlider::sliderReleased, this,
            [this] { core_->setFingerThreshold(fingerSlider_->value(), true); });
    connect(calibrateButton_, &QPushButton::clicked, this, [this] { core_->calibrate(); });
    connect(gloveCentreButton_, &QPushButton::clicked, this, [this] { (void)core_->centreGlove(); });
    connect(routeButton_, &QPushButton::clicked, this, &Form1::routeClicked);
}

void Form1::routeClicked() {
    // A MIDI system that went away is dealt with before the picker looks at the ports.
    core_->checkDevices();
    const RoutePickerList list = core_->routePicker();
    std::vector<bool> selected = list.selected;
    if (ui_.pickRoutes(list.names, selected)) core_->routeInputs(selected);
    refreshLog();
}

} // namespace vantaro
