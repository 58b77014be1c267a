#include "ui/desktop_program.h"

#include <QCoreApplication>

namespace vantaro {

DesktopProgram::DesktopProgram(QtUiPort& ui, Form1Options options, const std::filesystem::path& gloveFolder,
                               MidiOutApi* output)
    : midiOut_(chooseMidiSystem()), poster_(QCoreApplication::instance()), midiIn_(poster_, midiOut_),
      glove_(gloveFolder) {
    window_ = std::make_unique<Form1>(
        ProgramDevices{output ? *output : midiOut_, joysticks_, glove_, midiIn_}, ui, std::move(options));
    ui.setOwner(window_.get());
}

DesktopProgram::~DesktopProgram() {
    if (window_) window_->shutDown();
}

Form1& DesktopProgram::start() {
    window_->startUp();
    // A shut-down during start-up (a signal while the splash window was up) leaves it unshown.
    if (!window_->hasShutDown()) window_->show();
    return *window_;
}

} // namespace vantaro
