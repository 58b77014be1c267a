#pragma once
// The program core: everything the main window keeps for the life of the program (the action
// list, the live joystick and glove state, the engine, the message log, the devices it chose)
// and the one place where a tick's steps are wired together. No Qt: the window, vantaro-replay,
// the tests and the benchmarks all drive this same object.
#include "devices/glove.h"
#include "devices/joystick.h"
#include "engine/action_engine.h"
#include "engine/action_record.h"
#include "engine/clock.h"
#include "engine/input_state.h"
#include "engine/message_log.h"
#include "engine/performance_timer.h"
#include "engine/poll_cycle.h"
#include "engine/texts.h"
#include "engine/ui_port.h"
#include "midi/midi_in_api.h"
#include "midi/midi_send.h"
#include "midi/output_port.h"
#include "midi/routing.h"
#include "storage/action_file.h"
#include "storage/settings_keys.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

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

// The widgets the core writes, each behind its own small interface.
struct CoreViews {
    ActionListView& actionList; // List1
    StatusView& status;         // the live boxes and the glove value labels
    JoystickView& joystick;     // Combo2, the calibration prompt and button, the raw labels
    OutputListView& outputs;    // Combo1
    LagView& lag;               // Label12
};

struct CoreOptions {
    // Holds jmconfig.ini and jmconfig.dat. Empty: nothing is read or stored (a scripted run).
    std::filesystem::path dataFolder;
    // Runs the UI thread's waiting events, as routing's forwarding loop does between messages.
    std::function<void()> yieldToMessageLoop;
    // The lag's counter; unless given, the core picks one (the time-stamp counter where the
    // processor has an invariant one, else the monotonic clock) and owns it.
    const PerformanceCounter* counter = nullptr;
};

class ProgramCore final : private TickSteps {
public:
    ProgramCore(CoreDevices devices, CoreViews views, UiPort& ui, Clock& clock, CoreOptions options);
    ~ProgramCore() override;
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    // One poll: joystick, glove, actions, live texts, lag. False when skipped (a tick is
    // already running, suspended in a modal window its actions opened).
    bool tick() { return poll_.tick(); }

    // ---- settings: every write goes through here, and a failure is reported once until a
    // write succeeds again.
    std::filesystem::path settingsPath() const;
    std::filesystem::path actionFilePath() const;
    bool storeSetting(const SettingKey& key, std::int32_t value);
    void reportSettingsFailure();

    // ---- devices
    // Start-up: the lists, each opening or choosing the stored entry (and storing it again).
    // Return 0, or kOverflowError when the stored number does not fit 16 bits.
    int listOutputs();
    int listJoysticks();
    // The user picked a list entry; false when it is not in the list.
    bool selectOutput(int position);
    bool selectJoystick(int position);
    // Calibrate: the last reading becomes the centre, and X, Y, Z, R and "calibrated" are stored.
    void calibrate();
    // Slider1: the width applies from the next poll; stored only when store is set.
    void setCentreWidth(std::int32_t width, bool store);
    // Devices that came or went: the joystick and output lists follow them, the wanted devices
    // are chosen again when they are back, and routed inputs are routed again. A few times a
    // second, off the 1 ms tick.
    void checkDevices();
    // Shut-down: output, glove, routing closed in that order, every failure ignored. entering,
    // when given, hears each step as it begins, named by a literal ("while closing the MIDI output").
    void shutDown(const std::function<void(const char* step)>& entering = {});

    // ---- the action list and its file. Loading refills the list box from the list; a list
    // loaded at start-up or imported starts with none of its buttons held.
    LoadResult loadActions();
    LoadResult importActions(const std::filesystem::path& chosen);
    SaveResult exportActions(const std::filesystem::path& chosen);
    bool saveActions();
    // After a change in the middle of the list: the file is written whole and read back; when
    // it cannot be written the list box shows the list in memory.
    void rewriteActionFile();
    void appendListLine(const ActionRecord& record);

    // ---- the state, for the window's event steps and for tests
    ActionList& actionList() { return actionList_; }
    const ActionList& actionList() const { return actionList_; }
    ActionRecord& captureRecord() { return captureRecord_; }
    JoystickState& joystickState() { return joystickState_; }
    const JoystickState& joystickState() const { return joystickState_; }
    GloveState& glove() { return glove_; }
    const GloveState& glove() const { return glove_; }
    MessageLog& messageLog() { return messageLog_; }
    const MessageLog& messageLog() const { return messageLog_; }
    ActionEngine& engine() { return engine_; }
    MidiSender& midiSender() { return midiSender_; }
    const MidiSender& midiSender() const { return midiSender_; }
    Joystick& joystick() { return joystick_; }
    const Joystick& joystick() const { return joystick_; }
    OutputPort& outputPort() { return outputPort_; }
    Routing& routing() { return routing_; }
    const PollCycle& poll() const { return poll_; }
    GloveBridge* gloveBridge() { return devices_.glove; }
    UiPort& ui() { return ui_; }

    std::int16_t expandedView() const { return expandedView_; }
    void setExpandedView(std::int16_t on) { expandedView_ = on; }

private:
    // The tick's steps, in the order PollCycle runs them.
    void readJoystick() override;
    void doP5() override;
    void actions() override;
    void updateStatus() override;

    void storeDevice(const SettingKey& number, int position, const std::string& name);
    void refreshJoysticks();
    LoadResult shown(LoadResult r, bool fresh);
    void refillList();
    ActionFileContext fileContext();

    CoreDevices devices_;
    CoreViews views_;
    UiPort& ui_;
    Clock& clock_;
    CoreOptions options_;
    bool settingsFailureShown_ = false;

    ActionList actionList_;
    ActionRecord captureRecord_;
    JoystickState joystickState_;
    GloveState glove_;
    std::int16_t expandedView_ = 0;
    MessageLog messageLog_;
    ActionEngine engine_;
    MidiSender midiSender_;
    EngineIo engineIo_;
    ShownTexts shownTexts_;
    std::int32_t listExtentWidth_ = 0;
    Joystick joystick_;
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

// Views that show nothing: for a core without a window (vantaro-replay, benchmarks, tests).
// The output list only counts its entries, so that choosing one works as in the window.
struct NullViews final : ActionListView, StatusView, JoystickView, LagView {
    struct Outputs final : OutputListView {
        void clear() override { count_ = 0, current_ = -1; }
        void addItem(const std::string&) override { ++count_; }
        int count() const override { return count_; }
        void setCurrentIndex(int index) override { current_ = index; }
        int currentIndex() const override { return current_; }

    private:
        int count_ = 0;
        int current_ = -1;
    };

    double lineWidth(std::string_view) override { return 0; }
    void setHorizontalExtent(std::int32_t) override {}
    void addLine(std::string_view) override {}
    void clear() override {}
    void setLiveText(LiveText, std::string_view) override {}
    void setValueLabel(int, std::string_view) override {}
    void clearJoystickEntries() override {}
    void addJoystickEntry(std::string_view) override {}
    void showSelectedEntry(int) override {}
    void hideCalibrationPrompt() override {}
    void hideCalibrateButton() override {}
    void showCalibrateButton(bool) override {}
    void setRawLabel(RawLabels, int, std::string_view) override {}
    void setLagCaption(std::string_view) override {}

    CoreViews views() { return CoreViews{*this, *this, *this, outputs, *this}; }

    Outputs outputs;
};

} // namespace vantaro
