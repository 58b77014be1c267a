#pragma once
// The desktop program in one place: the platform layers (SDL joysticks, the machine's MIDI
// system, the glove bridge) and the main window over them. The program, the screenshot program
// and the window tests all start it this way.
#include "ui/form1.h"
#include "ui/machine_devices.h"
#include "ui/qt_ui_port.h"

#include <filesystem>
#include <memory>

namespace vantaro {

class DesktopProgram {
public:
    // gloveFolder: where the glove bridge library is looked for. output: a MIDI output to use
    // instead of the machine's (a test's); null for the machine's.
    DesktopProgram(QtUiPort& ui, Form1Options options, const std::filesystem::path& gloveFolder,
                   MidiOutApi* output = nullptr);
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // Runs start-up and shows the window.
    Form1& start();
    Form1& window() { return *window_; }
    RtMidiInput& midiInputs() { return devices_.midiIn; }
    RtMidiOutput& midiOutputs() { return devices_.midiOut; }

private:
    MachineDevices devices_;
    std::unique_ptr<Form1> window_;
};

} // namespace vantaro
