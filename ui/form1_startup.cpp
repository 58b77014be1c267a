// Start-up and shut-down of the main window, and the device controls' handlers.
#include "ui/form1.h"
#include "ui/form1_views.h"

#include "devices/glove_bridge.h"

#include "engine/numbers.h"
#include "storage/file_io.h"
#include "storage/settings.h"
#include "storage/settings_keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <new>
#include <stdexcept>
#include <utility>

#ifndef VANTARO_VERSION_MINOR
#define VANTARO_VERSION_MINOR 0
#endif
#ifndef VANTARO_VERSION_REVISION
#define VANTARO_VERSION_REVISION 0
#endif

namespace vantaro {

namespace {

// A failing start-up statement: what the trap reports.
struct StartupFailure {
    std::string description;
    int number;
};

constexpr int kInvalidPropertyValue = 380;

StartupFailure overflow() {
    return {"Overflow", kOverflowError};
}

// Runs each start-up statement on its own: a failure is reported once and the next statement runs.
class StartupTrap {
public:
    explicit StartupTrap(UiPort& ui) : ui_(ui) {}

    template <typename F> void operator()(F&& statement) {
        try {
            statement();
        } catch (const StartupFailure& f) {
            report(f.description, f.number);
        } catch (const GloveBridgeError& e) {
            report(e.what(), e.number());
        } catch (const std::bad_alloc&) {
            report("Out of memory", 7);
        } catch (const std::exception& e) {
            report(e.what(), 5);
        }
    }

private:
    void report(const std::string& description, int number) {
        // A missing glove bridge is normal on most machines: the program runs without the glove.
        if (isGloveBridgeFailure(description)) return;
        ui_.showMessage(description + " " + numberText(std::int64_t{number}));
    }
    UiPort& ui_;
};

std::int16_t need16(std::optional<std::int16_t> v) {
    if (!v) throw overflow();
    return *v;
}

std::int32_t need32(std::optional<std::int32_t> v) {
    if (!v) throw overflow();
    return *v;
}

void setSlider(QSlider* slider, std::int32_t value) {
    if (value < slider->minimum() || value > slider->maximum())
        throw StartupFailure{"Invalid property value", kInvalidPropertyValue};
    slider->setValue(value);
}

void setCheck(QCheckBox* box, std::int16_t value) {
    switch (value) {
    case 0:
        box->setCheckState(Qt::Unchecked);
        break;
    case 1:
        box->setCheckState(Qt::Checked);
        break;
    case 2:
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        break;
    default:
        throw StartupFailure{"Invalid property value", kInvalidPropertyValue};
    }
}

} // namespace

void Form1::connectDevices() {
    connect(Combo1, &QComboBox::activated, this, [this](int index) {
        // A MIDI system that went away is dealt with before a device is opened.
        core_->checkDevices();
        core_->selectOutput(index);
    });
    connect(Combo2, &QComboBox::activated, this, [this](int index) { core_->selectJoystick(index); });
    // While dragged the width applies at once and is stored on release.
    connect(Slider1, &QSlider::valueChanged, this,
            [this](int v) { core_->setCentreWidth(v, !Slider1->isSliderDown()); });
    connect(Slider1, &QSlider::sliderReleased, this,
            [this] { core_->setCentreWidth(Slider1->value(), true); });
    connect(Slider8, &QSlider::valueChanged, this, [this](int v) {
        core_->glove().handThreshold = v;
        if (!Slider8->isSliderDown()) storeSetting(settings::centerP5Hand, v);
    });
    connect(Slider8, &QSlider::sliderReleased, this,
            [this] { storeSetting(settings::centerP5Hand, Slider8->value()); });
    connect(Slider9, &QSlider::valueChanged, this, [this](int v) {
        core_->glove().fingerThreshold = v;
        if (!Slider9->isSliderDown()) storeSetting(settings::centerP5Finger, v);
    });
    connect(Slider9, &QSlider::sliderReleased, this,
            [this] { storeSetting(settings::centerP5Finger, Slider9->value()); });
    connect(Command4, &QPushButton::clicked, this, [this] { core_->calibrate(); });
    connect(Command13, &QPushButton::clicked, this, [this] { (void)centreGlove(devices_.glove); });
    connect(Command7, &QPushButton::clicked, this, &Form1::importClicked);
    connect(Command8, &QPushButton::clicked, this, &Form1::exportClicked);
    connect(Command6, &QPushButton::clicked, this, &Form1::routeClicked);
}

void Form1::applyGloveWidgets(const GloveWidgets& shown) {
    Command12->setVisible(shown.getGloveButton);
    Command13->setVisible(shown.centreButton);
    Label2->setVisible(shown.noGloveLabel);
    for (QLabel* l : Label11)
        l->setVisible(shown.gloveLabels);
}

void Form1::startUp() {
    StartupTrap trap(ui_);
    const auto ini = settingsPath();
    JoystickState& joystick = core_->joystickState();
    GloveState& glove = core_->glove();
    removeDeadSaveLeftovers(options_.dataFolder);
    if (!options_.startupNote.empty()) core_->messageLog().appendLine(options_.startupNote);

    applyGloveWidgets(GloveWidgets{});
    trap([&] { applyGloveWidgets(gloveStartUp(devices_.glove, core_->glove(), ui_)); });
    if (options_.splashMs > 0) trap([&] { ui_.showSplash(options_.splashMs); });
    if (shutDown_) return; // closed while the splash window was up: nothing more starts
    setWindowTitle(windowCaption(VANTARO_VERSION_MINOR, VANTARO_VERSION_REVISION));

    bool firstRun = false;
    trap([&] { firstRun = readSettingNumber(ini, settings::config) == 0; });
    if (firstRun) {
        trap([&] {
            if (!writeFirstRunSettings(ini)) core_->reportSettingsFailure();
        });
        joystick.autoCentre = 1;
    }

    trap([&] { core_->setExpandedView(need16(readSettingInt16(ini, settings::bigform))); });
    Command5->setText(core_->expandedView() == 0 ? QStringLiteral("&>") : QStringLiteral("&<"));
    applyViewHeight();

    const std::pair<const SettingKey*, std::uint32_t*> centres[] = {
        {&settings::xCentre, &joystick.calibrationCentre.dwXpos},
        {&settings::yCentre, &joystick.calibrationCentre.dwYpos},
        {&settings::zCentre, &joystick.calibrationCentre.dwZpos},
        {&settings::rCentre, &joystick.calibrationCentre.dwRpos},
    };
    for (const auto& [key, centre] : centres)
        trap([&] { *centre = static_cast<std::uint32_t>(need32(readSettingInt32(ini, *key))); });
    trap([&] {
        if (readSettingNumber(ini, settings::calibrated) == 1) Label13->hide();
    });

    trap([&] { editor_.nextNumber = need16(readSettingInt16(ini, settings::controller)); });
    trap([&] { editor_.nextChannel = need16(readSettingInt16(ini, settings::channel)); });

    trap([&] { loadActions(); });
    if (ended_) return;

    trap([&] { setCheck(Check1, need16(readSettingInt16(ini, settings::wrap))); });
    trap([&] { setCheck(Check3, need16(readSettingInt16(ini, settings::toggle))); });

    trap([&] { setSlider(Slider1, need32(readSettingInt32(ini, settings::centerWidth))); });
    trap([&] { setSlider(Slider8, need32(readSettingInt32(ini, settings::centerP5Hand))); });
    trap([&] { setSlider(Slider9, need32(readSettingInt32(ini, settings::centerP5Finger))); });
    // The width the poll uses is the slider's, also when the stored value equals its start.
    joystick.centreWidth = Slider1->value();
    glove.handThreshold = Slider8->value();
    glove.fingerThreshold = Slider9->value();

    // Each editor slider runs its change step once more in any case, so that its box, its setting
    // and its mark are set even when the stored value is the slider's starting value.
    struct Restore {
        QSlider* slider;
        std::function<std::int32_t()> value;
    };
    const Restore restores[] = {
        {Slider2, [&] { return need32(readSettingInt32(ini, settings::increment)); }},
        {Slider4, [&] { return std::int32_t{editor_.nextNumber}; }},
        {Slider3, [&] { return std::int32_t{editor_.nextChannel}; }},
        {Slider5, [&] { return need32(readSettingInt32(ini, settings::low)); }},
        {Slider6, [&] { return need32(readSettingInt32(ini, settings::high)); }},
        {Slider7, [&] { return need32(readSettingInt32(ini, settings::delay)); }},
    };
    for (const Restore& r : restores) {
        trap([&] { setSlider(r.slider, r.value()); });
        trap([&] { sliderStep(r.slider); });
    }

    trap([&] {
        if (core_->listOutputs() == kOverflowError) throw overflow();
    });
    trap([&] {
        if (core_->listJoysticks() == kOverflowError) throw overflow();
    });

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
