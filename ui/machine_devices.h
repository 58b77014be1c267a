#pragma once
// The machine's devices as the program uses them: SDL's joysticks, the MIDI system (ALSA or
// JACK) for output and routed inputs, and the glove bridge. The window and the window-less mode
// both start on these.
#include "devices/glove_bridge.h"
#include "devices/sdl_joystick.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "ui/qt_poster.h"

#include <QCoreApplication>
#include <filesystem>

namespace vantaro {

struct MachineDevices {
    // gloveFolder: where the glove bridge library is looked for. The application object exists.
    explicit MachineDevices(const std::filesystem::path& gloveFolder)
        : midiOut(chooseMidiSystem()), poster(QCoreApplication::instance()), midiIn(poster, midiOut),
          glove(gloveFolder) {}
    MachineDevices(const MachineDevices&) = delete;
    MachineDevices& operator=(const MachineDevices&) = delete;

    SdlJoystickApi joysticks;
    RtMidiOutput midiOut;
    QtPoster poster;
    RtMidiInput midiIn;
    GloveBridge glove;
};

} // namespace vantaro
