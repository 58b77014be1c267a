#pragma once
#include "engine/ui_port.h"

#include <string>
#include <vector>

namespace vantaro::test {

// Records what the program shows; the MIDI error window is answered with `choice`.
class RecordingUi final : public UiPort {
public:
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        return true;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    MidiErrorChoice showMidiError(const std::string& codeText) override {
        midiErrors.push_back(codeText);
        return choice;
    }
    void endProgram() override { ended = true; }

    std::vector<std::string> questions, messages, midiErrors;
    MidiErrorChoice choice = MidiErrorChoice::Okay;
    bool ended = false;
};

} // namespace vantaro::test
