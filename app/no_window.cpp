#include "app/no_window.h"

#include "app/program_end.h"
#include "app/service_manager.h"
#include "core/program_core.h"
#include "storage/folder_lock.h"
#include "ui/data_folder.h"
#include "ui/machine_devices.h"
#include "ui/program_files.h"

#include <QCoreApplication>
#include <QTimer>

namespace vantaro {

void ConsoleUi::line(const std::string& text) {
    std::fprintf(out_, "vantaro: %s\n", text.c_str());
    std::fflush(out_);
}

bool ConsoleUi::askYesNo(const std::string& text) {
    line(text + " No: without a window nothing is deleted; start vantaro with its window to decide.");
    return false;
}

void ConsoleUi::showMessage(const std::string& text) {
    line(text);
}

MidiErrorChoice ConsoleUi::showMidiError(const std::string& codeText) {
    const auto now = std::chrono::steady_clock::now();
    if (codeText != lastMidiError_ || now - lastMidiErrorTime_ >= std::chrono::seconds(10)) {
        line("Problem sending MIDI commands: Error returned from MIDI Port:" + codeText);
        lastMidiError_ = codeText;
        lastMidiErrorTime_ = now;
    }
    return MidiErrorChoice::Okay;
}

void ConsoleUi::endProgram() {
    ended_ = true;
    line("ending: nothing was changed.");
}

namespace {

// The message log has no window to show in: its lines (devices that came back, the data folder
// used) go to standard error.
class LogLines final : public MessageLog::Listener {
public:
    void lineAdded(std::string_view text) override {
        std::fprintf(stderr, "vantaro: %.*s\n", static_cast<int>(text.size()), text.data());
        std::fflush(stderr);
    }
};

} // namespace

int runWithoutWindow(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // From here on SIGTERM, SIGINT and SIGHUP end the program, within a few seconds at most.
    ProgramEnd end;
    QCoreApplication::setApplicationName(QStringLiteral("Vantaro"));

    const std::filesystem::path programFolder = QCoreApplication::applicationDirPath().toStdString();
    ConsoleUi ui(stderr);
    const DataFolderChoice data = chooseDataFolder(programFolder);
    const FolderLock lock(data.folder); // held until the process ends
    if (lock.inUse()) {
        ui.showMessage(alreadyRunningMessage(data.folder));
        return 1;
    }
    if (lock.state() == FolderLock::State::Unavailable) ui.showMessage(lockUnavailableMessage(data.folder));

    MachineDevices devices(
        programFile(ProgramFileKind::Library, kPalmletFileName, programFolder).parent_path());
    NullViews views;
    SteadyClock clock;
    CoreOptions options;
    options.dataFolder = data.folder;
    options.yieldToMessageLoop = [] { QCoreApplication::processEvents(); };
    ProgramCore core(CoreDevices{devices.joysticks, devices.midiOut, devices.midiIn, &devices.glove},
                     views.views(), ui, clock, std::move(options));
    LogLines log;
    core.setLogListener(&log);
    if (!data.note.empty()) core.logLine(data.note);

    const auto step = [](const char* name) { ProgramEnd::enterStep(name); };
    const StartupResult started = core.start();
    if (started.outcome != StartupResult::Outcome::Running || ui.endRequested()) {
        core.shutDown(step);
        return 1;
    }
    // Nothing shows the lower half: the engine and routing need not write their log lines.
    core.setExpandedView(0);

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&core] { core.tick(); });
    // Devices that come and go are looked for off the 1 ms tick, as the window does.
    QTimer deviceCheck;
    deviceCheck.setInterval(250);
    QObject::connect(&deviceCheck, &QTimer::timeout, [&core] { core.checkDevices(); });
    bool ending = false;
    end.onSignal([&] {
        if (ending) return;
        ending = true;
        ProgramEnd::enterStep("during the shut-down");
        tick.stop();
        deviceCheck.stop();
        core.shutDown(step);
        QCoreApplication::exit(0);
    });
    tick.start();
    deviceCheck.start();
    std::fprintf(stderr, "vantaro: playing without a window; SIGTERM, SIGINT or SIGHUP ends it.\n");
    std::fflush(stderr);
    ProgramEnd::enterStep("before its shut-down could begin");
    notifyServiceManagerReady();
    const int status = QCoreApplication::exec();
    ProgramEnd::enterStep("while releasing its devices at the end");
    return status;
}

} // namespace vantaro
