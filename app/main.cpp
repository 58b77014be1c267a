// Vantaro: turns a game controller into a MIDI controller.
#include "devices/glove_bridge.h"
#include "devices/sdl_joystick.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "storage/folder_lock.h"
#include "ui/data_folder.h"
#include "ui/form1.h"
#include "ui/qt_poster.h"
#include "ui/qt_ui_port.h"

#include <QApplication>
#include <QStandardPaths>
#include <SDL.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantaro"));

    const std::filesystem::path programFolder = QApplication::applicationDirPath().toStdString();
    const std::filesystem::path userFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();

    // SDL would turn SIGTERM and SIGINT into events that nobody reads: the program could not be
    // stopped from outside. Leave the signals to the system.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    vantaro::SdlJoystickApi joysticks;
    vantaro::RtMidiOutput midiOut;
    vantaro::QtPoster poster(&app);
    vantaro::RtMidiInput midiIn(poster);
    vantaro::GloveBridge glove(programFolder);
    vantaro::QtUiPort ui;

    const vantaro::DataFolderChoice data = vantaro::chooseDataFolder(programFolder, userFolder);
    const vantaro::FolderLock lock(data.folder); // held until the process ends
    if (lock.inUse()) {
        ui.showMessage(vantaro::alreadyRunningMessage(data.folder));
        return 1;
    }
    vantaro::Form1Options options;
    options.dataFolder = data.folder;
    options.startupNote = data.note;
    vantaro::Form1 window({midiOut, joysticks, glove, midiIn}, ui, options);
    ui.setOwner(&window);
    window.startUp();
    window.show();
    return app.exec();
}
