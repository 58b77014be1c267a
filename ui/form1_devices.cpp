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
    connect(Combo1, &QComboBox::activated, this, [this](int index) {
        // A MIDI system that went away is dealt with before a device is opened.
        core_->checkDevices();
        core_->selectOutput(index);
    });
    connect(Combo2, &QComboBox::activated, this, [this](int index) { core_->selectJoystick(index); });
    // While dragged the values apply at once and are stored on release.
    connect(Slider1, &QSlider::valueChanged, this,
            [this](int v) { core_->setCentreWidth(v, !Slider1->isSliderDown()); });
    connect(Slider1, &QSlider::sliderReleased, this,
            [this] { core_->setCentreWidth(Slider1->value(), true); });
    connect(Slider8, &QSlider::valueChanged, this,
            [this](int v) { core_->setHandThreshold(v, !Slider8->isSliderDown()); });
    connect(Slider8, &QSlider::sliderReleased, this,
            [this] { core_->setHandThreshold(Slider8->value(), true); });
    connect(Slider9, &QSlider::valueChanged, this,
            [this](int v) { core_->setFingerThreshold(v, !Slider9->isSliderDown()); });
    connect(Slider9, &QSlider::sliderReleased, this,
            [this] { core_->setFingerThreshold(Slider9->value(), true); });
    connect(Command4, &QPushButton::clicked, this, [this] { core_->calibrate(); });
    connect(Command13, &QPushButton::clicked, this, [this] { (void)core_->centreGlove(); });
    connect(Command6, &QPushButton::clicked, this, &Form1::routeClicked);
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
