#pragma once
// The program's small windows: delete confirmation, splash, MIDI error window, routing picker.
#include "core/front_end.h"

#include <QDialog>
#include <QPixmap>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace vantaro {

// The program's own artwork, drawn rather than shipped: the splash picture and the window icon.
QPixmap splashPicture();
QPixmap programIconPixmap(int size);

// Delete confirmation.
class Form2 final : public QDialog {
    Q_OBJECT
public:
    enum class Answer { Yes, Always, No };
    explicit Form2(QWidget* parent = nullptr);
    Answer answer() const { return answer_; }

    QLabel* question;
    QPushButton* yesButton;    // Yes
    QPushButton* alwaysButton; // Always
    QPushButton* noButton;     // No

private:
    Answer answer_ = Answer::No; // closing any other way counts as No
};

// Splash window shown while the program starts.
class Form3 final : public QDialog {
    Q_OBJECT
public:
    explicit Form3(int closeAfterMs = 5000, QWidget* parent = nullptr);

    QLabel* picture;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer* timer_;
    int closeAfterMs_;
};

// The window a failed MIDI send opens.
class Form4 final : public QDialog {
    Q_OBJECT
public:
    explicit Form4(const std::string& codeText, QWidget* parent = nullptr);
    MidiErrorChoice choice() const { return choice_; }

    QLabel* heading;
    QLabel* advice;
    QLabel* codeLabel;
    QPushButton* okayButton; // Okay
    QPushButton* stopButton; // Stop Warnings

private:
    MidiErrorChoice choice_ = MidiErrorChoice::Okay;
};

// Picks the MIDI input ports to pass through to the output.
class Form5 final : public QDialog {
    Q_OBJECT
public:
    Form5(const std::vector<std::string>& portNames, const std::vector<bool>& selected,
          QWidget* parent = nullptr);
    // The selection state of every listed port; valid after "Okay" (the dialog is accepted).
    std::vector<bool> selection() const;

    QLabel* heading;
    QLabel* hint;
    QListWidget* portList;
    QPushButton* okayButton; // Okay
};

} // namespace vantaro
