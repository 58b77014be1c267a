#include "core/program_core.h"

#include "storage/settings.h"

#include <algorithm>
#include <optional>
#include <string>

namespace vantaro {

ProgramCore::ProgramCore(CoreDevices devices, CoreViews views, UiPort& ui, Clock& clock, CoreOptions options)
    : devices_(devices), views_(views), ui_(ui), clock_(clock), options_(std::move(options)),
      midiSender_(devices.midiOut, ui), engineIo_{actionList_,   captureRecord_, joystickState_, glove_,
                                                  expandedView_, messageLog_,    clock_,         midiSender_},
      joystick_(devices.joystick, views.joystick), outputPort_(midiSender_, views.outputs, ui),
      routing_(RoutingIo{devices.midiIn, midiSender_, messageLog_, ui, expandedView_,
                         options_.yieldToMessageLoop ? options_.yieldToMessageLoop : [] {}}),
      ownCounter_(options_.counter ? nullptr : makePerformanceCounter()),
      poll_(*this, views.lag, clock, glove_, options_.counter ? *options_.counter : *ownCounter_) {
    captureRecord_.povDirection = kPovCentred;
}

ProgramCore::~ProgramCore() = default;

// ---- the tick -------------------------------------------------------------------------------

void ProgramCore::readJoystick() {
    joystick_.readJoystick(joystickState_, captureRecord_, expandedView_ != 0);
}

void ProgramCore::doP5() {
    if (devices_.glove)
        vantaro::doP5(*devices_.glove, glove_, captureRecord_);
    else
        deriveGloveGesture(glove_, captureRecord_);
}

void ProgramCore::actions() {
    engine_.actions(engineIo_);
}

void ProgramCore::updateStatus() {
    vantaro::updateStatus(views_.status, shownTexts_, captureRecord_, joystick_.joystickCount() > 0, glove_,
                          expandedView_ != 0);
}

// ---- settings -------------------------------------------------------------------------------

std::filesystem::path ProgramCore::settingsPath() const {
    return options_.dataFolder.empty() ? std::filesystem::path() : settingsPathIn(options_.dataFolder);
}

std::filesystem::path ProgramCore::actionFilePath() const {
    return options_.dataFolder.empty() ? std::filesystem::path() : actionFilePathIn(options_.dataFolder);
}

bool ProgramCore::storeSetting(const SettingKey& key, std::int32_t value) {
    if (options_.dataFolder.empty()) return true;
    if (writeSettingValue(settingsPath(), key, value)) {
        settingsFailureShown_ = false;
        return true;
    }
    reportSettingsFailure();
    return false;
}

void ProgramCore::reportSettingsFailure() {
    // Reported once; the next successful write arms the report again.
    if (settingsFailureShown_) return;
    settingsFailureShown_ = true;
    ui_.showMessage("The settings could not be written to " + settingsPath().string() +
                    ".  Changed settings will not be kept until the file can be written again.");
}

// ---- devices --------------------------------------------------------------------------------

namespace {
// The stored name of the chosen entry; nothing for a file of an older version without it.
std::optional<std::string> storedName(const std::filesystem::path& ini, const SettingKey& number) {
    if (ini.empty()) return std::nullopt;
    std::string name = readSetting(ini, number.section, settings::kDeviceName);
    if (name.empty()) return std::nullopt;
    return name;
}
} // namespace

void ProgramCore::storeDevice(const SettingKey& number, int position, const std::string& name) {
    // A failed write leaves the choice for this run only; the device itself works.
    if (!storeSetting(number, position) || options_.dataFolder.empty()) return;
    if (!writeSetting(settingsPath(), number.section, settings::kDeviceName, name)) reportSettingsFailure();
}

int ProgramCore::listOutputs() {
    const int r = outputPort_.listDevices(readSettingInt16(settingsPath(), settings::midiDevice),
                                          storedName(settingsPath(), settings::midiDevice));
    if (outputPort_.chosenDevice() >= 0)
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    return r;
}

int ProgramCore::listJoysticks() {
    const int r = joystick_.listJoysticks(readSettingInt16(settingsPath(), settings::joystickDevice),
                                          storedName(settingsPath(), settings::joystickDevice));
    if (joystick_.chosenPosition() >= 0)
        storeDevice(settings::joystickDevice, joystick_.chosenPosition(), joystick_.chosenName());
    return r;
}

bool ProgramCore::selectOutput(int position) {
    if (!outputPort_.select(position)) return false;
    if (outputPort_.chosenPresent())
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    return true;
}

bool ProgramCore::selectJoystick(int position) {
    if (!joystick_.selectJoystick(position)) return false;
    storeDevice(settings::joystickDevice, position, joystick_.chosenName());
    return true;
}

void ProgramCore::refreshJoysticks() {
    const bool hadSticks = joystick_.joystickCount() > 0;
    const Joystick::Presence p = joystick_.refresh();
    if (!p.listChanged) return;
    if (p.chosenLeft) {
        // A stick that is gone lets go of everything it held, also when no other stick is left
        // to poll (the poll then reads nothing).
        joystickState_.joystickReading.dwButtons = 0;
        joystickState_.joystickReading.dwPOV = kPovCentred;
        captureRecord_.buttonMask = 0;
        captureRecord_.povDirection = kPovCentred;
    }
    if (joystick_.chosenPosition() >= 0)
        storeDevice(settings::joystickDevice, joystick_.chosenPosition(), joystick_.chosenName());
    const bool hasSticks = joystick_.joystickCount() > 0;
    if (hasSticks && !hadSticks)
        views_.joystick.showCalibrateButton(readSettingNumber(settingsPath(), settings::calibrated) != 1);
    if (!hasSticks && hadSticks) {
        views_.joystick.hideCalibrationPrompt();
        views_.joystick.hideCalibrateButton();
    }
}

void ProgramCore::checkDevices() {
    refreshJoysticks();
    const DeviceChange change = midiSender_.api().devicesChanged();
    if (change.lost) {
        outputPort_.lose();
        routing_.suspend();
    }
    if (!change.changed && !change.restarted) return;
    const int before = outputPort_.chosenDevice();
    if (outputPort_.refresh(change.restarted))
        messageLog_.appendLine("Connected to the MIDI output \"" + outputPort_.chosenName() + "\".");
    if (outputPort_.chosenPresent() && outputPort_.chosenDevice() != before)
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    routing_.refresh(change.restarted);
}

void ProgramCore::calibrate() {
    joystick_.calibrate(joystickState_);
    const JoyInfoEx& c = joystickState_.calibrationCentre;
    const SettingKey* keys[4] = {&settings::xCentre, &settings::yCentre, &settings::zCentre,
                                 &settings::rCentre};
    for (int k = 0; k < 4; ++k)
        storeSetting(*keys[k], c.axis(k));
    storeSetting(settings::calibrated, 1);
}

void ProgramCore::setCentreWidth(std::int32_t width, bool store) {
    joystickState_.centreWidth = width;
    if (store) storeSetting(settings::centerWidth, width);
}

void ProgramCore::shutDown(const std::function<void(const char* step)>& entering) {
    const auto step = [&](const char* name) {
        if (entering) entering(name);
    };
    try {
        step("while closing the MIDI output");
        outputPort_.close();
    } catch (...) {
    }
    try {
        step("while releasing the glove");
        if (devices_.glove) gloveShutDown(*devices_.glove, glove_);
    } catch (...) {
    }
    try {
        step("while closing the MIDI inputs");
        routing_.closeAll();
    } catch (...) {
    }
}

// ---- the action list and its file -----------------------------------------------------------

ActionFileContext ProgramCore::fileContext() {
    return ActionFileContext{actionList_, ui_, options_.dataFolder};
}

LoadResult ProgramCore::shown(LoadResult r, bool fresh) {
    if (r.outcome != LoadOutcome::Loaded) return r;
    refillList();
    // A list saved while a button was held must not swallow that button's next press. Not
    // after a save of the list in memory: a button held then is still held.
    if (fresh) engine_.listLoaded(actionList_);
    return r;
}

void ProgramCore::refillList() {
    views_.actionList.clear();
    for (int n = 1; n <= actionList_.actionCount; ++n)
        appendListLine(actionList_[n]);
}

LoadResult ProgramCore::loadActions() {
    ActionFileContext ctx = fileContext();
    return shown(loadconfig(actionFilePath(), ctx), true);
}

LoadResult ProgramCore::importActions(const std::filesystem::path& chosen) {
    ActionFileContext ctx = fileContext();
    return shown(importConfig(chosen, ctx), true);
}

SaveResult ProgramCore::exportActions(const std::filesystem::path& chosen) {
    ActionFileContext ctx = fileContext();
    return exportConfig(chosen, ctx);
}

bool ProgramCore::saveActions() {
    ActionFileContext ctx = fileContext();
    return saveconfig(actionFilePath(), ctx).status == SaveResult::Saved;
}

void ProgramCore::rewriteActionFile() {
    // The new contents replace the file whole once they are safely written, so the old file is
    // not deleted first: a failed write then leaves it intact.
    if (saveActions()) {
        ActionFileContext ctx = fileContext();
        shown(loadconfig(actionFilePath(), ctx), false);
        return;
    }
    // Not written (the user was told): the list box keeps showing the list in memory.
    refillList();
}

void ProgramCore::appendListLine(const ActionRecord& record) {
    appendActionLine(views_.actionList, listExtentWidth_, record);
}

} // namespace vantaro
