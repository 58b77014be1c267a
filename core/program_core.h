#pragma once
// The program core: everything the program keeps for its life (the action list, the live
// joystick and glove state, the engine, the message log, the devices it chose), its start-up
// from the stored settings and its shut-down, and the one place where a tick's steps are wired
// together. No Qt: the window, the window-less mode, vantaro-replay, the tests and the benchmarks
// all drive this same object. Between start-up and shut-down it changes only through the
// operations below; everything else is read-only from outside.
#include "core/editor.h"
#include "core/front_end.h"
#include "core/settings_store.h"
#include "devices/glove.h"
#include "devices/joystick.h"
#include "engine/action_engine.h"
#include "engine/action_record.h"
#include "engine/clock.h"
#include "engine/input_state.h"
#include "engine/message_log.h"
#include "engine/performance_timer.h"
#include "engine/poll_cycle.h"
#include "engine/short_message.h"
#include "engine/texts.h"
#include "midi/midi_in_api.h"
#include "midi/midi_send.h"
#include "midi/output_port.h"
#include "midi/routing.h"
#include "storage/settings_keys.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantaro {

class GloveBridge;

struct CoreDevices {
    JoystickApi& joystick;
    MidiOutApi& midiOut;
    MidiInApi& midiIn;
    // Null when the glove readings are set from outside (a scripted run): the tick then only
    // derives the gesture from them.
    GloveBridge* glove = nullptr;
};

struct CoreOptions {
    // Holds jmconfig.ini and jmconfig.dat, both read and written. Empty: no action file, and
    // settings only from readOnlySettings.
    std::filesystem::path dataFolder;
    // Without a data folder: a jmconfig.ini that start-up reads as the program does, keeping
    // whatever it would write in memory (vantaro-replay --settings). Empty: no settings at all,
    // and start-up restores nothing.
    std::filesystem::path readOnlySettings;
    // False: start-up lists the devices but chooses none; the front end chooses them.
    bool openStoredDevices = true;
    // Runs the UI thread's waiting events, as routing's forwarding loop does between messages.
    std::function<void()> yieldToMessageLoop;
    // The lag's counter; unless given, the core picks one (the time-stamp counter where the
    // processor has an invariant one, else the monotonic clock) and owns it.
    const PerformanceCounter* counter = nullptr;
};

// What start-up came to.
struct StartupResult {
    enum class Outcome {
        Running, // started; the poll may run
        Stopped, // the front end ended the program during start-up (closed during the splash)
        Ended,   // the action file's failure path ended the program
    };
    Outcome outcome = Outcome::Running;
    // What start-up could not do, as it told the user, in order: the failure's description, a
    // blank and its number in the number form.
    std::vector<std::string> reports;
    bool showExport = false; // the list read is not empty
};

// What reading an action list came to.
enum class LoadOutcome {
    Loaded,    // the list now holds the file's actions
    NotRead,   // the file could not be read; the list is as it was
    Ended,     // the program was told to end
    Cancelled, // no file was chosen
};
struct LoadResult {
    LoadOutcome outcome = LoadOutcome::NotRead;
    bool showExport = false; // the list is not empty: make "&Export" visible (never hidden here)
};

enum class SaveOutcome { Saved, Failed, Cancelled };

class ProgramCore final : private TickSteps, public ShortMessageSender {
public:
    ProgramCore(CoreDevices devices, CoreViews views, UiPort& ui, Clock& clock, CoreOptions options);
    ~ProgramCore() override;
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    // ---- lifecycle
    // Start-up, once: the glove, the first run, the stored view, centres and controls, the
    // action list, then the MIDI outputs and the joysticks with their stored choices. Each
    // failing step is told to the user through the UI port and start-up goes on.
    StartupResult start(StartupStages& stages);
    StartupResult start();
    // One poll: joystick, glove, actions, live texts, lag. False when skipped (a tick is
    // already running, suspended in a modal window its actions opened).
    bool tick() { return poll_.tick(); }
    // Devices that came or went: the joystick and output lists follow them, a stick that left
    // lets go of whatever it held, the wanted devices are chosen again when they are back, and
    // routed inputs are routed again. A few times a second, off the 1 ms tick.
    void checkDevices();
    // Shut-down: output, glove, routing closed in that order, every failure ignored. entering,
    // when given, hears each step as it begins, named by a literal ("while closing the MIDI output").
    void shutDown(const std::function<void(const char* step)>& entering = {});

    // ---- settings: every write goes through here, and a failure is told once until a write
    // succeeds again.
    std::filesystem::path settingsPath() const { return settings_.path(); }
    std::filesystem::path actionFilePath() const;
    bool storeSetting(const SettingKey& key, std::int32_t value);

    // ---- devices and their controls
    // The user picked a list entry; false when it is not in the list.
    bool selectOutput(int position);
    bool selectJoystick(int position);
    // A front end that names its output itself (vantaro-replay --port): only that device is
    // opened and chosen, never another in its place, and nothing is said. Its open's result.
    MmResult chooseOutput(int position);
    // Calibrate: the last reading becomes the centre, and X, Y, Z, R and "calibrated" are stored.
    void calibrate();
    // Centres set from outside, in memory only (a scripted run's "centre").
    void setCentres(const JoyInfoEx& centres);
    // The sliders of the Config box: each applies from the next poll; stored only when store is set.
    void setCentreWidth(std::int32_t width, bool store);
    void setHandThreshold(std::int32_t threshold, bool store);
    void setFingerThreshold(std::int32_t threshold, bool store);
    // The glove takes the hand's current position as its reference; false when it could not.
    bool centreGlove();
    // A glove without a bridge (a scripted run) reads this from now on, and counts as present.
    void setGloveReadings(const std::array<std::uint8_t, 5>& bends, const std::array<float, 6>& pose);
    // The routing picker's list, and the user's choice from it.
    RoutePickerList routePicker();
    void routeInputs(const std::vector<bool>& selected);
    // The one send of a MIDI message, with its error window (until the user stops the warnings).
    std::int16_t sendShortMessage(std::uint32_t message) override;

    // ---- the action list. Each change is written to the action file at once.
    // Add: the held input becomes a new last action; its line is shown and the file written.
    AddOutcome addAction(const EditorState& editor, const EditorControls& controls);
    // Save of the action at index (1-based) from the editor's changed controls.
    void saveAction(int index, EditorState& editor, const EditorControls& controls);
    // Delete; false when there is no such action.
    bool deleteAction(int index);
    // Import and Export of a chosen file (empty path: cancelled). An imported list is written to
    // the action file at once; an export name without an extension gets ".dat".
    LoadResult importActions(const std::filesystem::path& chosen);
    SaveOutcome exportActions(const std::filesystem::path& chosen);
    // A list from a file of the user's, played from now on as a list read at start-up; nothing is
    // asked. The reason, when the file cannot be read or is damaged (the list is then kept).
    std::optional<std::string> playActionFile(const std::filesystem::path& path);
    // A list given whole, played from now on as a list read at start-up (tests, benchmarks).
    void playActions(const ActionList& list);

    // ---- the view and the message log
    std::int16_t expandedView() const { return expandedView_; }
    // The lower half shown or not: the engine, the poll and routing fill it only while shown.
    void setExpandedView(std::int16_t expanded) { expandedView_ = expanded; }
    // A line at the end of the message log.
    void logLine(std::string_view line) { messageLog_.appendLine(line); }
    void clearLog() { messageLog_.clear(); }
    void setLogListener(MessageLog::Listener* listener) { messageLog_.setListener(listener); }

    // ---- read-only views of the state, for the front ends and tests
    const ActionList& actionList() const { return actionList_; }
    const ActionRecord& captureRecord() const { return captureRecord_; }
    const JoystickState& joystickState() const { return joystickState_; }
    const GloveState& glove() const { return glove_; }
    const MessageLog& messageLog() const { return messageLog_; }
    const ActionEngine& engine() const { return engine_; }
    const MidiSender& midiSender() const { return midiSender_; }
    const Joystick& joystick() const { return joystick_; }
    const OutputPort& outputPort() const { return outputPort_; }
    const Routing& routing() const { return routing_; }
    const PollCycle& poll() const { return poll_; }
    std::int16_t lastSendError() const { return lastSendError_; }
    bool stopWarnings() const { return stopWarnings_; }

private:
    // The tick's steps, in the order PollCycle runs them.
    void readJoystick() override;
    void doP5() override;
    void actions() override;
    void updateStatus() override;
    void showLag(std::string_view caption) override;

    void reportSettingsFailure();
    void storeDevice(const SettingKey& number, int position, const std::string& name);
    std::optional<std::string> storedName(const SettingKey& number) const;
    bool listOutputs(std::optional<std::int16_t> stored);
    bool listJoysticks(std::optional<std::int16_t> stored);
    void tellOpenFailure(OutputPort::Opened opened);
    void showOutputs();
    void showJoysticks();
    void showRaw(RawLabels labels, int index, const char* prefix, std::uint32_t value);
    void forgetRawLabels();
    void refreshJoysticks();

    // The action file operations, with what the user is told; loadconfig reads the program
    // folder's file, with its failure path. fresh: a list read anew, whose held buttons start
    // released.
    bool saveconfig(const std::filesystem::path& fname);
    LoadResult loadconfig(const std::filesystem::path& fname, bool fresh);
    LoadResult importFailed(const std::filesystem::path& fname);
    LoadResult loaded(bool fresh);
    bool writeList(const std::filesystem::path& fname, const std::string& failureText);
    void storeListSize();
    void rewriteActionFile();
    void refillList();
    void appendActionLine(const ActionRecord& record);

    CoreDevices devices_;
    CoreViews views_;
    UiPort& ui_;
    Clock& clock_;
    CoreOptions options_;
    SettingsStore settings_;
    bool settingsFailureShown_ = false;

    ActionList actionList_;
    ActionRecord captureRecord_;
    JoystickState joystickState_;
    GloveState glove_;
    std::int16_t expandedView_ = 0; // stored as "bigform"; a stored 2 counts as expanded too
    MessageLog messageLog_;
    ActionEngine engine_;
    MidiSender midiSender_;
    std::int16_t lastSendError_ = 0;
    bool stopWarnings_ = false;
    bool midiErrorOpen_ = false; // never a second error window over the first
    EngineIo engineIo_;
    ShownTexts shownTexts_;
    std::int32_t listExtentWidth_ = 0;
    Joystick joystick_;
    // What each raw label shows; a value above 32 bits means "not written yet".
    std::array<std::uint64_t, 4> shownJoystick_{};
    std::array<std::uint64_t, 6> shownExtended_{};
    std::vector<std::string> shownOutputs_;
    int shownOutput_ = -1;
    OutputPort outputPort_;
    Routing routing_;
    std::unique_ptr<PerformanceCounter> ownCounter_;
    PollCycle poll_;
};

// No MIDI inputs: a core that routes nothing.
class NoMidiInputs final : public MidiInApi {
public:
    std::uint32_t midiInGetNumDevs() override { return 0; }
    MmResult midiInGetDevCaps(std::uint32_t, std::string&) override { return MMSYSERR_BADDEVICEID; }
    std::unique_ptr<MidiInReader> createReader() override { return nullptr; }
};

} // namespace vantaro
