#pragma once
// The program's modal windows behind the core's UiPort, plus the few the window itself opens.
#include "core/front_end.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vantaro {

class QtUiPort : public UiPort {
public:
    enum class DeleteAnswer { Yes, Always, No };

    // Message boxes and dialogs are parented to owner once it exists.
    void setOwner(QWidget* owner) { owner_ = owner; }
    // What "end the program at once" does; the program leaves the process without any shut-down step.
    void setEndProgram(std::function<void()> end) { end_ = std::move(end); }

    bool askYesNo(const std::string& text) override;
    void showMessage(const std::string& text) override;
    MidiErrorChoice showMidiError(const std::string& codeText) override;
    void endProgram() override;

    // The splash window, shown modally until it closes.
    virtual void showSplash(int closeAfterMs);
    // The delete confirmation window.
    virtual DeleteAnswer confirmDelete();
    // The routing picker: the new selection, or nothing when it was closed without "Okay".
    virtual bool pickRoutes(const std::vector<std::string>& ports, std::vector<bool>& selected);
    // File dialogs of Import and Export; empty when cancelled. Both open in the folder a file
    // was last chosen in during this run.
    virtual QString importFileName();
    virtual QString exportFileName();

    static QString title() { return QStringLiteral("Vantaro"); }

private:
    QString chooseFile(bool save);

    QWidget* owner_ = nullptr;
    std::function<void()> end_;
    QString lastFolder_; // empty: the dialog's own starting folder
};

} // namespace vantaro
