// Pictures of the program for its documentation: starts the real window on a fresh folder, adds
// a few actions with a virtual joystick the way a user does, and saves the expanded window, the
// compact window and the routing picker as PNG files.
#include "ui/desktop_program.h"
#include "ui/forms.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <SDL.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The window's widgets by name; the option buttons share one name, in their order.
template <typename T> T* child(QWidget& w, const char* name, int index = 0) {
    return w.findChildren<T*>(QString::fromLatin1(name)).value(index);
}

bool save(QWidget& w, const QString& file) {
    QTest::qWait(200);
    const bool ok = w.grab().save(file, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <empty data folder> <picture folder>\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const std::filesystem::path folder = argv[1];
    const QString pictures = QString::fromLocal8Bit(argv[2]);

    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    vantaro::QtUiPort ui;
    vantaro::Form1Options options;
    options.dataFolder = folder;
    options.splashMs = 0;
    vantaro::DesktopProgram program(ui, options, folder);
    SDL_Joystick* pad = SDL_JoystickOpen(vantaro::attachVirtualStick("Virtual Gamepad", 6, 12, 1, true));

    vantaro::Form1& window = program.start();
    QTest::qWait(300);
    auto* add = child<QPushButton>(window, "Command1");
    auto* viewSwitch = child<QPushButton>(window, "Command5");

    // A user's first mapping: hold a button, Add; the next one gets the next note.
    child<QRadioButton>(window, "Option1", 1)->click();
    for (int button : {0, 2, 5}) {
        SDL_JoystickSetVirtualButton(pad, button, 1);
        QTest::qWait(60);
        add->click();
        SDL_JoystickSetVirtualButton(pad, button, 0);
        QTest::qWait(60);
    }
    SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_UP);
    child<QRadioButton>(window, "Option1", 0)->click();
    QTest::qWait(60);
    add->click();
    SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
    SDL_JoystickSetVirtualButton(pad, 2, 1);
    QTest::qWait(100);

    bool ok = true;
    if (window.core().expandedView() == 0) viewSwitch->click();
    ok &= save(window, pictures + QStringLiteral("/window-expanded.png"));
    viewSwitch->click();
    ok &= save(window, pictures + QStringLiteral("/window-compact.png"));
    viewSwitch->click();

    std::vector<std::string> ports;
    vantaro::RtMidiInput& midiIn = program.midiInputs();
    const std::uint32_t n = midiIn.midiInGetNumDevs();
    for (std::uint32_t id = 0; id < n; ++id) {
        std::string name;
        if (midiIn.midiInGetDevCaps(id, name) == 0) ports.push_back(name);
    }
    std::vector<bool> chosen(ports.size(), false);
    if (!chosen.empty()) chosen[0] = true;
    vantaro::Form5 picker(ports, chosen, &window);
    picker.show();
    ok &= save(picker, pictures + QStringLiteral("/routing-picker.png"));
    picker.close();

    window.shutDown();
    SDL_JoystickClose(pad);
    return ok ? 0 : 1;
}
