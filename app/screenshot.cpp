// Pictures of the program for its documentation: starts the real window on a fresh folder, adds
// a few actions with a virtual joystick the way a user does, and saves the expanded window, the
// compact window and the routing picker as PNG files.
#include "devices/glove_bridge.h"
#include "devices/sdl_joystick.h"
#include "midi/rtmidi_input.h"
#include "midi/rtmidi_output.h"
#include "ui/form1.h"
#include "ui/forms.h"
#include "ui/qt_poster.h"
#include "ui/qt_ui_port.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <SDL.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    vantaro::SdlJoystickApi joysticks;
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 12;
    desc.nhats = 1;
    desc.name = "Virtual Gamepad";
    SDL_Joystick* pad = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));

    vantaro::RtMidiOutput midiOut;
    vantaro::QtPoster poster(&app);
    vantaro::RtMidiInput midiIn(poster);
    vantaro::GloveBridge glove(folder);
    vantaro::QtUiPort ui;
    vantaro::Form1Options options;
    options.dataFolder = folder;
    options.splashMs = 0;
    vantaro::Form1 window({midiOut, joysticks, glove, midiIn}, ui, options);
    ui.setOwner(&window);
    window.startUp();
    window.show();
    QTest::qWait(300);

    // A user's first mapping: hold a button, Add; the next one gets the next note.
    window.Option1[1]->click();
    for (int button : {0, 2, 5}) {
        SDL_JoystickSetVirtualButton(pad, button, 1);
        QTest::qWait(60);
        window.Command1->click();
        SDL_JoystickSetVirtualButton(pad, button, 0);
        QTest::qWait(60);
    }
    SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_UP);
    window.Option1[0]->click();
    QTest::qWait(60);
    window.Command1->click();
    SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
    SDL_JoystickSetVirtualButton(pad, 2, 1);
    QTest::qWait(100);

    bool ok = true;
    if (window.expandedView == 0) window.Command5->click();
    ok &= save(window, pictures + QStringLiteral("/window-expanded.png"));
    window.Command5->click();
    ok &= save(window, pictures + QStringLiteral("/window-compact.png"));
    window.Command5->click();

    std::vector<std::string> ports;
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
