#include "core/program_core.h"

#include "engine/numbers.h"
#include "storage/action_file.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vantaro {

namespace fs = std::filesystem;

namespace {

SettingsStore storeFor(const CoreOptions& o) {
    if (!o.dataFolder.empty())
        return SettingsStore(settingsPathIn(o.dataFolder), SettingsStore::Mode::ReadWrite);
    if (!o.readOnlySettings.empty()) return SettingsStore(o.readOnlySettings, SettingsStore::Mode::ReadOnly);
    return {};
}

constexpr std::uint64_t kNotShown = std::uint64_t{1} << 32;
// Follows the name of a chosen output device that is away.
constexpr std::string_view kAbsentMark = " (not present)";
constexpr std::string_view kLoadFailureQuestion = "Error opening config file.  Delete config?";

} // namespace

ProgramCore::ProgramCore(CoreDevices devices, CoreViews views, UiPort& ui, Clock& clock, CoreOptions options)
    : devices_(devices), views_(views), ui_(ui), clock_(clock), options_(std::move(options)),
      settings_(storeFor(options_)),
      midiSender_(devices.midiOut), engineIo_{actionList_,    captureRecord_,
                                              joystickState_, glove_,
                                              expandedView_,  messageLog_,
                                              clock_,         static_cast<ShortMessageSender&>(*this)},
      joystick_(devices.joystick), outputPort_(midiSender_),
      routing_(RoutingIo{devices.midiIn, static_cast<ShortMessageSender&>(*this), messageLog_, expandedView_,
                         options_.yieldToMessageLoop ? options_.yieldToMessageLoop : [] {},
                         [this](const std::string& text) { ui_.showMessage(text); }}),
      ownCounter_(options_.counter ? nullptr : makePerformanceCounter()),
      poll_(*this, clock, glove_, options_.counter ? *options_.counter : *ownCounter_) {
    captureRecord_.povDirection = kPovCentred;
    forgetRawLabels();
}

ProgramCore::~ProgramCore() = default;

// ---- the tick -------------------------------------------------------------------------------

void ProgramCore::readJoystick() {
    const bool expanded = expandedView_ != 0;
    const Joystick::Polled polled = joystick_.readJoystick(joystickState_, captureRecord_, expanded);
    if (polled.basic) {
        const JoyInfo& b = joystick_.basicReading();
        showRaw(RawLabels::Joystick, 0, "X Position:  ", b.wXpos);
        showRaw(RawLabels::Joystick, 1, "Y Position:  ", b.wYpos);
        showRaw(RawLabels::Joystick, 2, "Z Position:  ", b.wZpos);
        showRaw(RawLabels::Joystick, 3, "Buttons:  ", b.wButtons);
    }
    if (expanded && polled.extended) {
        const JoyInfoEx& r = joystickState_.joystickReading;
        showRaw(RawLabels::ExtendedJoystick, 0, "Rudder Position:  ", r.dwRpos);
        showRaw(RawLabels::ExtendedJoystick, 1, "U Position:  ", r.dwUpos);
        showRaw(RawLabels::ExtendedJoystick, 2, "V Position:  ", r.dwVpos);
        showRaw(RawLabels::ExtendedJoystick, 3, "Buttons:  ", r.dwButtons);
        showRaw(RawLabels::ExtendedJoystick, 4, "Button Number:  ", r.dwButtonNumber);
        showRaw(RawLabels::ExtendedJoystick, 5, "Point-Of-View Hat:  ", r.dwPOV);
    }
}

void ProgramCore::showRaw(RawLabels labels, int index, const char* prefix, std::uint32_t value) {
    std::uint64_t& shown = labels == RawLabels::Joystick ? shownJoystick_[static_cast<std::size_t>(index)]
                                                         : shownExtended_[static_cast<std::size_t>(index)];
    if (shown == value) return;
    shown = value;
    // Built on the stack: the poll runs every millisecond and must not allocate.
    char text[64];
    const std::size_t prefixLength = std::strlen(prefix);
    std::memcpy(text, prefix, prefixLength);
    char digits[24];
    std::size_t n = formatNumber(digits, value);
    const char* start = digits[0] == ' ' ? digits + 1 : digits; // plain decimal, no blank
    if (start != digits) --n;
    std::memcpy(text + prefixLength, start, n);
    views_.joystick.setRawLabel(labels, index, std::string_view(text, prefixLength + n));
}

void ProgramCore::forgetRawLabels() {
    shownJoystick_.fill(kNotShown);
    shownExtended_.fill(kNotShown);
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
    vantaro::updateStatus(shownTexts_, captureRecord_, joystick_.joystickCount() > 0, glove_,
                          expandedView_ != 0);
    shownTexts_.takeChanged(
        [this](LiveText box, std::string_view text) { views_.status.setLiveText(box, text); },
        [this](int element, std::string_view text) { views_.status.setValueLabel(element, text); });
}

void ProgramCore::showLag(std::string_view caption) {
    views_.lag.setLagCaption(caption);
}

std::int16_t ProgramCore::sendShortMessage(std::uint32_t message) {
    const std::int16_t r = midiSender_.send(message);
    if (r != 0 && !stopWarnings_ && !midiErrorOpen_) {
        lastSendError_ = r;
        midiErrorOpen_ = true;
        const MidiErrorChoice choice = ui_.showMidiError(midiErrorText(r));
        midiErrorOpen_ = false;
        if (choice == MidiErrorChoice::StopWarnings) stopWarnings_ = true;
    }
    return r;
}

// ---- settings -------------------------------------------------------------------------------

std::filesystem::path ProgramCore::actionFilePath() const {
    return options_.dataFolder.empty() ? fs::path() : actionFilePathIn(options_.dataFolder);
}

bool ProgramCore::storeSetting(const SettingKey& key, std::int32_t value) {
    if (settings_.write(key, value)) {
        settingsFailureShown_ = false;
        return true;
    }
    reportSettingsFailure();
    return false;
}

void ProgramCore::reportSettingsFailure() {
    // Told once; the next successful write arms it again.
    if (settingsFailureShown_) return;
    settingsFailureShown_ = true;
    ui_.showMessage("The settings could not be written to " + settingsPath().string() +
                    ".  Changed settings will not be kept until the file can be written again.");
}

// ---- devices --------------------------------------------------------------------------------

std::optional<std::string> ProgramCore::storedName(const SettingKey& number) const {
    // Nothing for a file of an older version, without the name.
    std::string name = settings_.read(number.section, settings::kDeviceName);
    if (name.empty()) return std::nullopt;
    return name;
}

void ProgramCore::storeDevice(const SettingKey& number, int position, const std::string& name) {
    // A failed write leaves the choice for this run only; the device itself works.
    if (!storeSetting(number, position)) return;
    if (!settings_.write(number.section, settings::kDeviceName, name)) reportSettingsFailure();
}

void ProgramCore::showOutputs() {
    std::vector<std::string> entries = outputPort_.entries();
    const int shown = outputPort_.shownEntry();
    // A chosen device that is away says so in its entry; the stored name stays the bare name.
    if (!outputPort_.chosenName().empty() && !outputPort_.chosenPresent() && shown >= 0 &&
        shown < static_cast<int>(entries.size()))
        entries[static_cast<std::size_t>(shown)] += kAbsentMark;
    if (entries != shownOutputs_) {
        views_.outputs.clear();
        for (const std::string& entry : entries)
            views_.outputs.addItem(entry);
        shownOutputs_ = std::move(entries);
        views_.outputs.setCurrentIndex(shown);
    } else if (shown != shownOutput_) {
        views_.outputs.setCurrentIndex(shown);
    }
    shownOutput_ = shown;
}

void ProgramCore::tellOpenFailure(OutputPort::Opened opened) {
    if (opened == OutputPort::Opened::None)
        ui_.showMessage("Couldn't open midi out, rc = " + std::to_string(outputPort_.lastResult()));
}

bool ProgramCore::listOutputs(std::optional<std::int16_t> stored) {
    const OutputPort::Listed listed = options_.openStoredDevices
                                          ? outputPort_.listDevices(stored, storedName(settings::midiDevice))
                                          : outputPort_.listDevices(std::int16_t{-1});
    showOutputs();
    tellOpenFailure(listed.opened);
    if (outputPort_.chosenDevice() >= 0)
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    return !listed.overflow;
}

bool ProgramCore::selectOutput(int position) {
    // The device open and working is left as it is: opening it again would drop the connections
    // made to its port elsewhere (a patchbay), and there is nothing new to store.
    if (outputPort_.isOpenAt(position)) return true;
    const OutputPort::Opened opened = outputPort_.select(position);
    if (opened == OutputPort::Opened::NotListed) return false;
    showOutputs();
    tellOpenFailure(opened);
    if (outputPort_.chosenPresent())
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    return true;
}

MmResult ProgramCore::chooseOutput(int position) {
    const OutputPort::Opened opened = outputPort_.select(position, false);
    if (opened == OutputPort::Opened::NotListed || opened == OutputPort::Opened::Waiting)
        return MMSYSERR_BADDEVICEID;
    showOutputs();
    storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    return outputPort_.lastResult();
}

void ProgramCore::showJoysticks() {
    views_.joystick.clearJoystickEntries();
    for (int p = 0; p < joystick_.joystickCount(); ++p)
        views_.joystick.addJoystickEntry(joystick_.nameAt(p));
}

bool ProgramCore::listJoysticks(std::optional<std::int16_t> stored) {
    const int r = options_.openStoredDevices
                      ? joystick_.listJoysticks(stored, storedName(settings::joystickDevice))
                      : joystick_.listJoysticks(std::int16_t{-1});
    showJoysticks();
    if (joystick_.joystickCount() == 0) {
        views_.joystick.hideCalibrationPrompt();
        views_.joystick.hideCalibrateButton();
    }
    if (joystick_.chosenPosition() >= 0) {
        views_.joystick.showSelectedEntry(joystick_.chosenPosition());
        storeDevice(settings::joystickDevice, joystick_.chosenPosition(), joystick_.chosenName());
    }
    return r != kOverflowError;
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
    showJoysticks();
    forgetRawLabels();
    if (joystick_.chosenPosition() >= 0) views_.joystick.showSelectedEntry(joystick_.chosenPosition());
    if (p.chosenLeft) {
        // A stick that is gone lets go of everything it held, so that no note hangs, also when
        // no other stick is left to poll (the poll then reads nothing). Its axes stay where they were.
        JoyInfoEx& reading = joystickState_.joystickReading;
        reading.dwButtons = 0;
        reading.dwButtonNumber = 0;
        reading.dwPOV = kPovCentred;
        captureRecord_.buttonMask = 0;
        captureRecord_.povDirection = kPovCentred;
    }
    if (joystick_.chosenPosition() >= 0)
        storeDevice(settings::joystickDevice, joystick_.chosenPosition(), joystick_.chosenName());
    const bool hasSticks = joystick_.joystickCount() > 0;
    if (hasSticks && !hadSticks)
        views_.joystick.showCalibrateButton(settings_.number(settings::calibrated) != 1);
    if (!hasSticks && hadSticks) {
        views_.joystick.hideCalibrationPrompt();
        views_.joystick.hideCalibrateButton();
    }
}

void ProgramCore::checkDevices() {
    refreshJoysticks();
    const DeviceChange change = midiSender_.api().devicesChanged();
    // Device lines go in front, as the engine's do, where the log is read from.
    if (change.serverStopped) messageLog_.prependLine("The JACK server has stopped.");
    if (change.serverRunning) messageLog_.prependLine("The JACK server is running.");
    const bool wasPresent = outputPort_.chosenPresent();
    if (change.lost) {
        outputPort_.lose();
        routing_.suspend();
    }
    if (!change.changed && !change.restarted) return;
    const int before = outputPort_.chosenDevice();
    const OutputPort::Refreshed refreshed = outputPort_.refresh(change.restarted);
    showOutputs();
    const std::string quoted = "\"" + outputPort_.chosenName() + "\"";
    // A server that stopped took the output with it and has said so already.
    if (wasPresent && !outputPort_.chosenPresent() && !change.serverStopped)
        messageLog_.prependLine("The MIDI output " + quoted + " has gone.");
    if (refreshed == OutputPort::Refreshed::Reopened)
        messageLog_.prependLine("Connected to the MIDI output " + quoted + ".");
    // Told once; choosing it in the list tries again.
    if (refreshed == OutputPort::Refreshed::ReopenFailed)
        messageLog_.prependLine("The MIDI output " + quoted + " is back, but it could not be opened (rc = " +
                                std::to_string(outputPort_.lastResult()) +
                                "): choose it in Midi Out to try again.");
    if (outputPort_.chosenPresent() && outputPort_.chosenDevice() != before)
        storeDevice(settings::midiDevice, outputPort_.chosenDevice(), outputPort_.chosenName());
    routing_.refresh(change.restarted);
}

void ProgramCore::calibrate() {
    Joystick::calibrate(joystickState_);
    views_.joystick.hideCalibrationPrompt();
    const JoyInfoEx& c = joystickState_.calibrationCentre;
    const SettingKey* keys[4] = {&settings::xCentre, &settings::yCentre, &settings::zCentre,
                                 &settings::rCentre};
    for (int k = 0; k < 4; ++k)
        storeSetting(*keys[k], c.axis(k));
    storeSetting(settings::calibrated, 1);
}

void ProgramCore::setCentres(const JoyInfoEx& centres) {
    // Only the six axis fields are used, as after a calibration.
    joystickState_.calibrationCentre = centres;
}

void ProgramCore::setCentreWidth(std::int32_t width, bool store) {
    joystickState_.centreWidth = width;
    if (store) storeSetting(settings::centerWidth, width);
}

void ProgramCore::setHandThreshold(std::int32_t threshold, bool store) {
    glove_.handThreshold = threshold;
    if (store) storeSetting(settings::centerP5Hand, threshold);
}

void ProgramCore::setFingerThreshold(std::int32_t threshold, bool store) {
    glove_.fingerThreshold = threshold;
    if (store) storeSetting(settings::centerP5Finger, threshold);
}

bool ProgramCore::centreGlove() {
    return devices_.glove && vantaro::centreGlove(*devices_.glove);
}

void ProgramCore::setGloveReadings(const std::array<std::uint8_t, 5>& bends,
                                   const std::array<float, 6>& pose) {
    glove_.gloveBends = bends;
    glove_.gloveButtons = {};
    glove_.glovePose = pose;
    glove_.glovePresent = true;
}

RoutePickerList ProgramCore::routePicker() {
    return routing_.loadPicker();
}

void ProgramCore::routeInputs(const std::vector<bool>& selected) {
    routing_.confirmPicker(selected);
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

void ProgramCore::appendActionLine(const ActionRecord& record) {
    const std::string line = describeAction(record);
    if (widenListExtent(listExtentWidth_, views_.actionList.lineWidth(line)))
        views_.actionList.setHorizontalExtent(listExtentWidth_ + 25);
    views_.actionList.addLine(line);
}

void ProgramCore::refillList() {
    views_.actionList.clear();
    for (int n = 1; n <= actionList_.actionCount; ++n)
        appendActionLine(actionList_[n]);
}

LoadResult ProgramCore::loaded(bool fresh) {
    refillList();
    // A list saved while a button was held must not swallow that button's next press. Not
    // after a save of the list in memory: a button held then is still held.
    if (fresh) engine_.listLoaded(actionList_);
    return LoadResult{LoadOutcome::Loaded, actionList_.actionCount > 0};
}

bool ProgramCore::writeList(const fs::path& fname, const std::string& failureText) {
    if (!writeActionFile(fname, actionList_)) {
        ui_.showMessage(failureText);
        return false;
    }
    storeListSize();
    return true;
}

void ProgramCore::storeListSize() {
    // "Size" follows only a save that succeeded; its own failure is told like any setting's.
    storeSetting(settings::size, std::clamp<std::int32_t>(actionList_.actionCount, 0, kMaxFileRecords));
}

bool ProgramCore::saveconfig(const fs::path& fname) {
    // Without a data folder nothing is stored: the list lives in memory only.
    if (fname.empty()) return false;
    return writeList(fname, "Could not save the actions to " + fname.string() +
                                ".  They are kept in memory until you save again.");
}

LoadResult ProgramCore::loadconfig(const fs::path& fname, bool fresh) {
    std::string reason;
    if (readActionFile(fname, actionList_, MissingFile::ReadsEmpty, reason)) return loaded(fresh);
    // Yes keeps the damaged file aside and starts empty, No ends the program.
    if (!ui_.askYesNo(std::string(kLoadFailureQuestion))) {
        ui_.endProgram();
        return {LoadOutcome::Ended, false};
    }
    const fs::path own = actionFilePath();
    // Whatever stands under the name is set aside, a folder or a link that leads nowhere as well:
    // otherwise the program could not start until the user removed it by hand.
    if (!nameTaken(own)) {
        ui_.showMessage(own.string() + " not found");
        ui_.endProgram();
        return {LoadOutcome::Ended, false};
    }
    const std::optional<fs::path> kept = keepDamagedFile(own);
    if (!kept) {
        // Reading again would fail again; keep what is in memory rather than ask in a loop.
        ui_.showMessage(own.string() + " could not be renamed to keep it.  The actions in memory are kept.");
        return {LoadOutcome::NotRead, false};
    }
    if (!readActionFile(fname, actionList_, MissingFile::ReadsEmpty, reason)) {
        ui_.showMessage(fname.string() + " could not be read.  The actions in memory are kept.");
        return {LoadOutcome::NotRead, false};
    }
    const LoadResult result = loaded(fresh);
    ui_.showMessage("The damaged action list was kept as " + kept->string() + ".  The list starts empty.");
    return result;
}

LoadResult ProgramCore::importFailed(const fs::path& fname) {
    // Never the program's own file: after the question, Yes keeps everything, No ends the program.
    if (!ui_.askYesNo(std::string(kLoadFailureQuestion))) {
        ui_.endProgram();
        return {LoadOutcome::Ended, false};
    }
    ui_.showMessage(fname.string() + " could not be read.  The action list is unchanged.");
    return {LoadOutcome::NotRead, false};
}

void ProgramCore::rewriteActionFile() {
    // The new contents replace the file whole once they are safely written, so the old file is
    // not deleted first: a failed write then leaves it intact.
    if (saveconfig(actionFilePath())) {
        loadconfig(actionFilePath(), false);
        return;
    }
    // Not written (the user was told): the list box keeps showing the list in memory.
    refillList();
}

AddOutcome ProgramCore::addAction(const EditorState& editor, const EditorControls& controls) {
    if (joystick_.joystickCount() == 0) captureRecord_.povDirection = kPovCentred;
    const AddOutcome outcome = vantaro::addAction(actionList_, captureRecord_, editor, controls, glove_);
    if (outcome == AddOutcome::ListFull) ui_.showMessage("Max actions reached.  Use edit.");
    if (outcome != AddOutcome::Added) return outcome;
    appendActionLine(actionList_[actionList_.actionCount]);
    saveconfig(actionFilePath());
    return outcome;
}

void ProgramCore::saveAction(int index, EditorState& editor, const EditorControls& controls) {
    vantaro::saveAction(actionList_, index, captureRecord_, editor, controls, glove_);
    rewriteActionFile();
}

bool ProgramCore::deleteAction(int index) {
    if (!removeAction(actionList_, index)) return false;
    rewriteActionFile();
    return true;
}

LoadResult ProgramCore::importActions(const fs::path& chosen) {
    if (chosen.empty()) return {LoadOutcome::Cancelled, false};
    std::string reason;
    // A chosen file that is not there is not created: it counts as unreadable.
    if (!readActionFile(chosen, actionList_, MissingFile::Fails, reason)) return importFailed(chosen);
    const LoadResult result = loaded(true);
    // The imported list is the program's list from now on, so it is stored at once like any other
    // change of it; otherwise the next start would bring the old list back. A failed write is told
    // as a failed save is, and the imported list stays.
    saveconfig(actionFilePath());
    return result;
}

SaveOutcome ProgramCore::exportActions(const fs::path& chosen) {
    if (chosen.empty()) return SaveOutcome::Cancelled;
    // A name typed without an extension gets the action file's own, or the Import dialog, which
    // offers *.dat files, would not show it. Only the file name counts: "/a.b/list" has none.
    fs::path target = chosen;
    if (!target.has_extension()) target += ".dat";
    switch (writeChosenFile(target, encodeActions(actionList_))) {
    case ChosenFileWrite::Written:
        storeListSize();
        return SaveOutcome::Saved;
    case ChosenFileWrite::Unchanged:
        // The program's own file is not involved: say which file failed and that nothing changed.
        ui_.showMessage("The export file " + target.string() +
                        " could not be written.  The action list is unchanged.");
        break;
    case ChosenFileWrite::Damaged:
        ui_.showMessage("The export file " + target.string() +
                        " could not be written, and what it held before could not be put back: it now "
                        "holds part of the list.  The action list in the program is unchanged.");
        break;
    }
    return SaveOutcome::Failed;
}

std::optional<std::string> ProgramCore::playActionFile(const fs::path& path) {
    std::string reason;
    if (!readActionFile(path, actionList_, MissingFile::Fails, reason)) return reason;
    loaded(true);
    return std::nullopt;
}

void ProgramCore::playActions(const ActionList& list) {
    actionList_ = list;
    loaded(true);
}

} // namespace vantaro
