#pragma once
// vantaro --no-window: the program without any window, for a stage rig or a small computer
// without a screen. It plays the stored list on the stored devices (found by their names, and
// waited for) until SIGTERM, SIGINT or SIGHUP; what the window would show in a dialog is one line
// on standard error. Needs no display: Qt's core only.
#include "core/front_end.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace vantaro {

// The dialogs of the program as lines on a stream. A question is answered No: without a window
// nothing is deleted or set aside, and the program rather ends than decides for the user.
class ConsoleUi final : public UiPort {
public:
    explicit ConsoleUi(std::FILE* out) : out_(out) {}

    bool askYesNo(const std::string& text) override;
    void showMessage(const std::string& text) override;
    // Said once per failure as the window would show it, but the same text at most every ten
    // seconds: a synth that is gone would otherwise fill the journal with every note.
    MidiErrorChoice showMidiError(const std::string& codeText) override;
    void endProgram() override;

    bool endRequested() const { return ended_; }

private:
    void line(const std::string& text);

    std::FILE* out_;
    bool ended_ = false;
    std::string lastMidiError_;
    std::chrono::steady_clock::time_point lastMidiErrorTime_{};
};

// Runs the program without a window until one of the end signals; the exit status: 0 after a
// signal, 1 when it could not start (the folder is in use, or the action list needs a decision).
int runWithoutWindow(int argc, char* argv[]);

} // namespace vantaro
