// Start-up: the glove, the first run, the stored view, centres and controls, the action list
// and the devices, in that order, each step on its own.
#include "core/program_core.h"

#include "devices/glove_bridge.h"
#include "engine/numbers.h"
#include "storage/action_file.h"
#include "storage/file_io.h"

#include <exception>
#include <new>

namespace vantaro {

namespace {

constexpr int kInvalidPropertyValue = 380;

// Runs each start-up statement on its own: a failure is told once, kept for the result, and the
// next statement runs.
class StartupTrap {
public:
    StartupTrap(UiPort& ui, std::vector<std::string>& reports) : ui_(ui), reports_(reports) {}

    template <typename F> void operator()(F&& statement) {
        try {
            statement();
        } catch (const std::bad_alloc&) {
            report("Out of memory", 7);
        } catch (const std::exception& e) {
            report(e.what(), 5);
        }
    }

    void report(const std::string& description, int number) {
        // A missing glove bridge is normal on most machines: the program runs without the glove.
        if (isGloveBridgeFailure(description)) return;
        std::string text = description + " " + numberText(std::int64_t{number});
        reports_.push_back(text);
        ui_.showMessage(text);
    }
    void overflow() { report("Overflow", kOverflowError); }
    void invalid() { report("Invalid property value", kInvalidPropertyValue); }

    // The value, or a report and nothing when it did not fit its width.
    template <typename T> std::optional<T> fits(std::optional<T> value) {
        if (!value) overflow();
        return value;
    }

private:
    UiPort& ui_;
    std::vector<std::string>& reports_;
};

bool inRange(Control c, std::int32_t value) {
    const ControlRange r = controlRange(c);
    return value >= r.minimum && value <= r.maximum;
}

} // namespace

StartupResult ProgramCore::start() {
    StartupStages none;
    return start(none);
}

StartupResult ProgramCore::start(StartupStages& stages) {
    StartupResult result;
    StartupTrap trap(ui_, result.reports);
    if (!options_.dataFolder.empty()) removeDeadSaveLeftovers(options_.dataFolder);

    GloveWidgets gloveWidgets;
    if (devices_.glove) {
        trap([&] {
            GloveStart glove = gloveStartUp(*devices_.glove, glove_);
            for (const GloveFailure& f : glove.failures)
                trap.report(f.description, f.number);
            gloveWidgets = glove.widgets;
        });
    }
    if (!stages.gloveStarted(gloveWidgets)) {
        result.outcome = StartupResult::Outcome::Stopped;
        return result;
    }

    // Without any settings nothing is restored: everything starts as it stands.
    const bool restoring = settings_.mode() != SettingsStore::Mode::None;
    std::int16_t nextNumber = 0;
    std::int16_t nextChannel = 0;
    if (restoring) {
        bool firstRun = false;
        trap([&] { firstRun = settings_.number(settings::config) == 0; });
        if (firstRun) {
            trap([&] {
                bool written = true;
                for (const SettingKey* key : settings::firstRun)
                    written = settings_.write(*key, key->firstRunValue) && written;
                if (!written) reportSettingsFailure();
            });
            joystickState_.autoCentre = true;
        }

        trap([&] {
            if (const auto v = trap.fits(settings_.int16(settings::bigform))) expandedView_ = *v;
        });
        const std::pair<const SettingKey*, std::uint32_t*> centres[] = {
            {&settings::xCentre, &joystickState_.calibrationCentre.dwXpos},
            {&settings::yCentre, &joystickState_.calibrationCentre.dwYpos},
            {&settings::zCentre, &joystickState_.calibrationCentre.dwZpos},
            {&settings::rCentre, &joystickState_.calibrationCentre.dwRpos},
        };
        for (const auto& [key, centre] : centres)
            trap([&] {
                if (const auto v = trap.fits(settings_.int32(*key))) *centre = static_cast<std::uint32_t>(*v);
            });
        trap([&] {
            if (settings_.number(settings::calibrated) == 1) views_.joystick.hideCalibrationPrompt();
        });

        trap([&] {
            if (const auto v = trap.fits(settings_.int16(settings::controller))) nextNumber = *v;
        });
        trap([&] {
            if (const auto v = trap.fits(settings_.int16(settings::channel))) nextChannel = *v;
        });
        stages.nextActionRestored(nextNumber, nextChannel);
    }

    if (!options_.dataFolder.empty()) {
        LoadResult list;
        trap([&] { list = loadconfig(actionFilePath(), true); });
        if (list.outcome == LoadOutcome::Ended) {
            result.outcome = StartupResult::Outcome::Ended;
            return result;
        }
        result.showExport = list.showExport;
    }

    if (restoring) {
        // A stored value that fits its width but not its control is refused, and the control
        // keeps the value it had.
        const auto restore = [&](Control c, std::optional<std::int32_t> stored) {
            trap([&] {
                if (!trap.fits(stored)) return;
                if (!inRange(c, *stored)) return trap.invalid();
                switch (c) {
                case Control::CentreWidth:
                    joystickState_.centreWidth = *stored;
                    break;
                case Control::HandThreshold:
                    glove_.handThreshold = *stored;
                    break;
                case Control::FingerThreshold:
                    glove_.fingerThreshold = *stored;
                    break;
                default:
                    break;
                }
                stages.restore(c, *stored);
            });
        };
        const auto as32 = [](std::optional<std::int16_t> v) {
            return v ? std::optional<std::int32_t>(*v) : std::nullopt;
        };
        restore(Control::Wrap, as32(settings_.int16(settings::wrap)));
        restore(Control::Toggle, as32(settings_.int16(settings::toggle)));
        restore(Control::CentreWidth, settings_.int32(settings::centerWidth));
        restore(Control::HandThreshold, settings_.int32(settings::centerP5Hand));
        restore(Control::FingerThreshold, settings_.int32(settings::centerP5Finger));

        // Each editor slider runs its change step once more in any case, so that its box, its
        // setting and its mark are set even when the stored value is the slider's starting value.
        const std::pair<Control, std::optional<std::int32_t>> editorSliders[] = {
            {Control::Increment, settings_.int32(settings::increment)},
            {Control::Number, std::int32_t{nextNumber}},
            {Control::Channel, std::int32_t{nextChannel}},
            {Control::Low, settings_.int32(settings::low)},
            {Control::High, settings_.int32(settings::high)},
            {Control::Delay, settings_.int32(settings::delay)},
        };
        for (const auto& [control, stored] : editorSliders) {
            restore(control, stored);
            trap([&] { stages.editorStep(control); });
        }
    }

    trap([&] {
        if (!listOutputs(settings_.int16(settings::midiDevice))) trap.overflow();
    });
    trap([&] {
        if (!listJoysticks(settings_.int16(settings::joystickDevice))) trap.overflow();
    });
    return result;
}

} // namespace vantaro
