// Vantaro: turns a game controller into a MIDI controller.
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
    vantaro::Form1Options options;
    options.dataFolder = vantaro::chooseDataFolder(programFolder, userFolder);
    vantaro::DesktopProgram program(ui, options, programFolder);
    program.start();
    return app.exec();
}
