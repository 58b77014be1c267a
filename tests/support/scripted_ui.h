#pragma once
// The user interface of a test: records every question, message and error window, and answers
// them from a script.
#include "core/front_end.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vantaro::test {

class ScriptedUi final : public UiPort {
public:
    // Each question takes the next answer; with none left it takes defaultAnswer.
    std::deque<bool> answers;
    bool defaultAnswer = true;
    MidiErrorChoice choice = MidiErrorChoice::Okay;
    // Runs while a question or the MIDI error window is open, as a timer tick would.
    std::function<void()> whileOpen;

    std::vector<std::string> questions, messages, midiErrors;
    int ended = 0;

    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        if (whileOpen) whileOpen();
        if (answers.empty()) return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    MidiErrorChoice showMidiError(const std::string& codeText) override {
        midiErrors.push_back(codeText);
        if (whileOpen) whileOpen();
        return choice;
    }
    void endProgram() override { ++ended; }
};

} // namespace vantaro::test
