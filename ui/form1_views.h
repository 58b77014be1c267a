#pragma once
// The widgets the program core writes, each adapter holding only the widgets it writes.
#include "core/front_end.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vantaro {

// List1.
class ActionListBox final : public ActionListView {
public:
    explicit ActionListBox(QListWidget* list) : list_(list) {}
    double lineWidth(std::string_view line) override;
    void setHorizontalExtent(std::int32_t pixels) override;
    void addLine(std::string_view line) override;
    void clear() override;

private:
    QListWidget* list_;
    std::int32_t extent_ = 0;
};

// Text1, Text2, Text7, Text11, Text12 and the glove value labels.
class LiveTexts final : public StatusView {
public:
    LiveTexts(std::array<QLineEdit*, 5> boxes, const std::array<QLabel*, 28>& labels)
        : boxes_(boxes), labels_(labels) {}
    void setLiveText(LiveText box, std::string_view text) override;
    void setValueLabel(int element, std::string_view text) override;

private:
    std::array<QLineEdit*, 5> boxes_; // in LiveText order
    std::array<QLabel*, 28> labels_;
};

// Combo2, the calibration prompt and button, and the raw-value labels.
class JoystickWidgets final : public JoystickView {
public:
    JoystickWidgets(QComboBox* list, QLabel* prompt, QPushButton* calibrate,
                    const std::array<QLabel*, 4>& joystickLines, const std::array<QLabel*, 6>& extendedLines)
        : list_(list), prompt_(prompt), calibrate_(calibrate), joystickLines_(joystickLines),
          extendedLines_(extendedLines) {}
    void clearJoystickEntries() override;
    void addJoystickEntry(std::string_view productName) override;
    void showSelectedEntry(int position) override;
    void hideCalibrationPrompt() override;
    void hideCalibrateButton() override;
    void showCalibrateButton(bool withPrompt) override;
    void setRawLabel(RawLabels labels, int index, std::string_view caption) override;

private:
    QComboBox* list_;
    QLabel* prompt_;
    QPushButton* calibrate_;
    std::array<QLabel*, 4> joystickLines_;
    std::array<QLabel*, 6> extendedLines_;
};

// Combo1.
class OutputList final : public OutputListView {
public:
    explicit OutputList(QComboBox* list) : list_(list) {}
    void clear() override;
    void addItem(const std::string& text) override;
    void setCurrentIndex(int index) override;

private:
    QComboBox* list_;
};

// Label12.
class LagLabel final : public LagView {
public:
    explicit LagLabel(QLabel* label) : label_(label) {}
    void setLagCaption(std::string_view caption) override;

private:
    QLabel* label_;
};

struct Form1Views {
    ActionListBox actionList;
    LiveTexts status;
    JoystickWidgets joystick;
    OutputList outputs;
    LagLabel lag;

    CoreViews views() { return CoreViews{actionList, status, joystick, outputs, lag}; }
};

} // namespace vantaro
