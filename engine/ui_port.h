#pragma once
// What the core needs from the user interface. The desktop program implements it with
// Qt windows; tests and vantaro-replay implement it with scripted answers.
#include <cstdint>
#include <string>

namespace vantaro {

enum class MidiErrorChoice { Okay, StopWarnings };

class UiPort {
public:
    virtual ~UiPort() = default;
    // Modal question with Yes and No buttons and the program's title; true = Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // Modal message box with only an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // The modal MIDI error window; codeText is the line it shows under its heading.
    virtual MidiErrorChoice showMidiError(const std::string& codeText) = 0;
    // End the program at once: no shut-down steps, nothing saved.
    virtual void endProgram() = 0;
};

} // namespace vantaro
