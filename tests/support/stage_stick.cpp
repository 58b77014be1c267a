// A joystick inside a program under test. SDL's virtual sticks exist only in the process that
// attaches them, so this small library, preloaded into the program, attaches one named
// "Stage Pad" before the program starts and presses its buttons as told: one line per change,
// "button N 1" or "button N 0", written to the FIFO named in VANTARO_STAGE_STICK.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void follow(SDL_Joystick* stick, const std::string& fifo) {
    for (;;) {
        // Each writer in turn: reading to the end of one, then waiting for the next.
        std::FILE* in = std::fopen(fifo.c_str(), "r");
        if (!in) return;
        int button = 0, down = 0;
        while (std::fscanf(in, " button %d %d", &button, &down) == 2)
            SDL_JoystickSetVirtualButton(stick, button, static_cast<Uint8>(down != 0));
        std::fclose(in);
    }
}

struct StageStick {
    StageStick() {
        const char* fifo = std::getenv("VANTARO_STAGE_STICK");
        if (!fifo) return;
        // The program takes these signals itself; no stick of the machine may join the test.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = 6;
        desc.nbuttons = 12;
        desc.nhats = 1;
        desc.name = "Stage Pad";
        SDL_Joystick* stick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
        if (!stick) return;
        std::thread(follow, stick, std::string(fifo)).detach();
    }
};

const StageStick stageStick;

} // namespace
