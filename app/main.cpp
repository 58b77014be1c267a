// Vantaro: turns a game controller into a MIDI controller.
#include "storage/folder_lock.h"
#include "ui/data_folder.h"
#include "ui/desktop_program.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantaro"));

    const std::filesystem::path programFolder = QApplication::applicationDirPath().toStdString();
    const std::filesystem::path userFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();

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
    vantaro::DesktopProgram program(ui, options, programFolder);
    program.start();
    return app.exec();
}
