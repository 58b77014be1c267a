// Vantaro: turns a game controller into a MIDI controller.
#include "app/no_window.h"
#include "app/program_end.h"
#include "app/service_manager.h"
#include "core/program_identity.h"
#include "storage/folder_lock.h"
#include "ui/data_folder.h"
#include "ui/desktop_program.h"
#include "ui/program_files.h"

#include <QApplication>

#include <cstdio>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "Usage: vantaro [OPTION]...\n"
    "Turns a game controller (and, optionally, a P5 data glove) into a MIDI controller.\n"
    "\n"
    "  --no-window     play without any window (no display needed): the stored action list on\n"
    "                  the stored MIDI output and joystick, waited for until they are there, until\n"
    "                  SIGTERM, SIGINT or SIGHUP; messages go to standard error\n"
    "  -h, --help      show this help and exit\n"
    "  -V, --version   show the version and exit\n"
    "\n"
    "Qt's own options (such as -platform NAME or -style NAME) are passed on to Qt.\n"
    "\n"
    "Settings and the action list are kept in jmconfig.ini and jmconfig.dat: beside the program\n"
    "when it runs from its own writable folder, otherwise in $XDG_DATA_HOME/Vantaro\n"
    "(~/.local/share/Vantaro). See vantaro(1) and the Help button in the window.\n"
    "\n"
    "Exit status: 0 when the window is closed or a signal ends the program; 1 when the program\n"
    "cannot start (its data folder is in use, or, without a window, the action list is damaged);\n"
    "2 for an unknown option or argument; 124 when the end did not finish within 3 seconds and was\n"
    "cut short (standard error says where).\n";

// Qt's documented options: they are Qt's to read, so they must not count as unknown here.
bool qtOption(std::string_view arg, bool& takesValue) {
    static constexpr std::string_view withValue[] = {
        "platform",        "platformpluginpath", "platformtheme", "plugin",
        "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
        "style",           "stylesheet",         "display",       "geometry"};
    static constexpr std::string_view flags[] = {"reverse", "widgetcount"};
    if (arg.size() < 2 || arg[0] != '-') return false;
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    const auto eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    for (std::string_view o : withValue)
        if (name == o) {
            takesValue = eq == std::string_view::npos;
            return true;
        }
    for (std::string_view o : flags)
        if (arg == o) {
            takesValue = false;
            return true;
        }
    return false;
}

// Answers --help and --version, and refuses what nobody reads, before any window system is needed.
// Returns the exit status when the program ends here.
std::optional<int> commandLine(int argc, char* argv[], bool& noWindow) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--no-window") {
            noWindow = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "-V" || arg == "--version") {
            std::puts(vantaro::versionLine("vantaro").c_str());
            return 0;
        }
        bool takesValue = false;
        if (qtOption(arg, takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        std::fprintf(stderr, "vantaro: unknown %s '%s' (try 'vantaro --help')\n",
                     arg.size() > 1 && arg[0] == '-' ? "option" : "argument", argv[i]);
        return 2;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    bool noWindow = false;
    if (const auto status = commandLine(argc, argv, noWindow)) return *status;
    if (noWindow) return vantaro::runWithoutWindow(argc, argv);
    QApplication app(argc, argv);
    // From here on SIGTERM, SIGINT and SIGHUP end the program as Quit does, and no end takes longer
    // than a few seconds.
    vantaro::ProgramEnd end;
    QApplication::setApplicationName(QStringLiteral("Vantaro"));
    // Lets the desktop match the window to the installed desktop entry and its icon (the window's
    // application id on Wayland). On X11 the class part of WM_CLASS is the application name above,
    // which the entry's StartupWMClass names.
    const std::string_view id = vantaro::desktopEntryId();
    QGuiApplication::setDesktopFileName(QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size())));

    const std::filesystem::path programFolder = QApplication::applicationDirPath().toStdString();

    vantaro::QtUiPort ui;
    const vantaro::DataFolderChoice data = vantaro::chooseDataFolder(programFolder);
    const vantaro::FolderLock lock(data.folder); // held until the process ends
    if (lock.inUse()) {
        ui.showMessage(vantaro::alreadyRunningMessage(data.folder));
        return 1;
    }
    if (lock.state() == vantaro::FolderLock::State::Unavailable)
        ui.showMessage(vantaro::lockUnavailableMessage(data.folder));
    vantaro::Form1Options options;
    options.dataFolder = data.folder;
    options.startupNote = data.note;
    options.shutDownStarted = [&end] {
        vantaro::ProgramEnd::enterStep("during the shut-down");
        end.arm();
    };
    options.shutDownStep = [](const char* step) { vantaro::ProgramEnd::enterStep(step); };
    // Not quit(): it does nothing before the main loop runs, and a signal may come while the
    // splash window is up. exit() also ends the loops of open modal windows.
    options.quit = [] { QCoreApplication::exit(0); };
    // The glove bridge beside the program in a build folder; in the installed library folder otherwise.
    const std::filesystem::path gloveFolder =
        vantaro::programFile(vantaro::ProgramFileKind::Library, vantaro::kPalmletFileName, programFolder)
            .parent_path();
    vantaro::DesktopProgram program(ui, options, gloveFolder);
    end.onSignal([&program] { program.window().close(); });
    program.start();
    // Shut down during start-up: the main loop would never learn of it.
    if (program.window().hasShutDown()) return 0;
    vantaro::ProgramEnd::enterStep("before its shut-down could begin");
    vantaro::notifyServiceManagerReady();
    const int status = app.exec();
    vantaro::ProgramEnd::enterStep("while releasing its devices at the end");
    return status;
}
