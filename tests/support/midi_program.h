#pragma once
// The program's MIDI side over the machine's MIDI system (the ALSA sequencer where it opens, JACK
// otherwise), without a window: the program core with the real output and routed inputs.
#include "midi/main_thread_poster.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "support/core_rig.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantaro::test {

struct MidiProgram {
    explicit MidiProgram(const std::filesystem::path& folder = {}, JoystickApi* joysticks = nullptr)
        : inputs(poster, output), rig(folder, &output, joysticks, nullptr, &inputs) {
        rig.ui.choice = MidiErrorChoice::StopWarnings;
    }
    // Looks for device changes (as the window's timer does) until done() holds.
    bool settle(const std::function<bool()>& done, int timeoutMs = 10000) {
        return waitUntil(done, timeoutMs, [this] {
            rig->checkDevices();
            poster.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
    }
    // Routes the input port of that name, as the picker does.
    void route(const std::string& port) {
        const RoutePickerList picker = rig->routePicker();
        std::vector<bool> selected(picker.names.size());
        const auto it = std::find(picker.names.begin(), picker.names.end(), port);
        ASSERT_NE(it, picker.names.end()) << port << " among " << ::testing::PrintToString(picker.names);
        selected[static_cast<std::size_t>(it - picker.names.begin())] = true;
        rig->routeInputs(selected);
    }
    bool connected() { return rig->midiSender().isOpen() && rig->outputPort().chosenPresent(); }
    // The output list's position of the port of that name, or -1.
    int outputPosition(const std::string& name) {
        for (int i = 0; i < static_cast<int>(rig.views.outputs.entries.size()); ++i) {
            std::string entry;
            output.midiOutGetDevCaps(static_cast<std::uint32_t>(i), entry);
            if (entry == name) return i;
        }
        return -1;
    }

    QueuedPoster poster;
    RtMidiOutput output;
    RtMidiInput inputs;
    CoreRig rig;
};

} // namespace vantaro::test
