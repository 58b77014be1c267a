#pragma once
// The program core without a window: a scripted joystick (or the given joysticks), a fake MIDI
// output (or the given one), no MIDI inputs, views that keep what they were told and a clock that
// moves only when told.
#include "core/program_core.h"
#include "devices/scripted_joystick.h"
#include "support/fake_midi_out.h"
#include "support/scripted_ui.h"

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantaro::test {

// The window's side, keeping what it was last told to show.
struct RigViews final : ActionListView, StatusView, JoystickView, LagView {
    // Combo1 as it was last written.
    struct Outputs final : OutputListView {
        void clear() override { entries.clear(), current = -1; }
        void addItem(const std::string& text) override { entries.push_back(text); }
        void setCurrentIndex(int index) override { current = index; }
        std::vector<std::string> entries;
        int current = -1;
    };

    // The next scripted width, else 7 pixels a character.
    double lineWidth(std::string_view line) override {
        if (widths.empty()) return 7.0 * static_cast<double>(line.size());
        const double w = widths.front();
        widths.pop_front();
        return w;
    }
    void setHorizontalExtent(std::int32_t pixels) override { extents.push_back(pixels); }
    void addLine(std::string_view line) override { lines.emplace_back(line); }
    void clear() override { lines.clear(); }
    void setLiveText(LiveText box, std::string_view text) override { liveTexts[box] = text; }
    void setValueLabel(int, std::string_view) override {}
    void clearJoystickEntries() override { joysticks.clear(); }
    void addJoystickEntry(std::string_view name) override { joysticks.emplace_back(name); }
    void showSelectedEntry(int position) override { chosenJoystick = position; }
    void hideCalibrationPrompt() override {}
    void hideCalibrateButton() override { calibrateShown = false; }
    void showCalibrateButton(bool) override { calibrateShown = true; }
    void setRawLabel(RawLabels, int, std::string_view) override {}
    void setLagCaption(std::string_view caption) override { lag = caption; }

    CoreViews views() { return CoreViews{*this, *this, *this, outputs, *this}; }

    std::deque<double> widths;
    std::vector<std::int32_t> extents;
    std::vector<std::string> lines, joysticks;
    std::map<LiveText, std::string> liveTexts;
    int chosenJoystick = -1;
    bool calibrateShown = true;
    std::string lag;
    Outputs outputs;
};

struct CoreRig {
    // dataFolder empty: nothing is read or stored.
    explicit CoreRig(const std::filesystem::path& dataFolder = {}, MidiOutApi* output = nullptr,
                     JoystickApi* joysticks = nullptr, GloveBridge* glove = nullptr,
                     MidiInApi* midiIn = nullptr, CoreOptions options = {}) {
        options.dataFolder = dataFolder;
        core =
            std::make_unique<ProgramCore>(CoreDevices{joysticks ? *joysticks : stick, output ? *output : midi,
                                                      midiIn ? *midiIn : inputs, glove},
                                          views.views(), ui, clock, std::move(options));
    }
    ProgramCore* operator->() { return core.get(); }

    ScriptedJoystick stick;
    FakeMidiOut midi;
    NoMidiInputs inputs;
    RigViews views;
    ScriptedUi ui;
    ManualClock clock{10.0};
    std::unique_ptr<ProgramCore> core;
};

} // namespace vantaro::test
