// The widgets' side of the core's views.
#include "ui/form1_views.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vantaro {

// ---- action list box ----------------------------------------------------------------------

double ActionListBox::lineWidth(std::string_view line) {
    return QFontMetricsF(list_->font()).horizontalAdvance(qs(line));
}

void ActionListBox::setHorizontalExtent(std::int32_t pixels) {
    extent_ = pixels;
    list_->setProperty("horizontalExtent", pixels);
}

void ActionListBox::addLine(std::string_view line) {
    auto* item = new QListWidgetItem(qs(line), list_);
    // Every line claims the widest width seen, so the list scrolls sideways that far.
    const QFontMetrics fm(list_->font());
    item->setSizeHint(QSize(std::max(extent_, static_cast<std::int32_t>(fm.horizontalAdvance(item->text()))),
                            fm.height() + 2));
}

void ActionListBox::clear() {
    list_->clear();
}

// ---- live texts -----------------------------------------------------------------------------

void LiveTexts::setLiveText(LiveText box, std::string_view text) {
    boxes_[static_cast<std::size_t>(box)]->setText(qs(text));
}

void LiveTexts::setValueLabel(int element, std::string_view text) {
    if (element >= 0 && element < static_cast<int>(labels_.size()))
        labels_[static_cast<std::size_t>(element)]->setText(qs(text));
}

// ---- joystick -------------------------------------------------------------------------------

void JoystickWidgets::clearJoystickEntries() {
    list_->clear();
}

void JoystickWidgets::addJoystickEntry(std::string_view productName) {
    const int before = list_->currentIndex();
    list_->addItem(qs(productName));
    // A list gains no selection by being filled; only the stored choice selects.
    if (before < 0) list_->setCurrentIndex(-1);
}

void JoystickWidgets::showSelectedEntry(int position) {
    list_->setCurrentIndex(position);
}
void JoystickWidgets::hideCalibrationPrompt() {
    prompt_->hide();
}
void JoystickWidgets::hideCalibrateButton() {
    calibrate_->hide();
}

void JoystickWidgets::showCalibrateButton(bool withPrompt) {
    calibrate_->show();
    prompt_->setVisible(withPrompt);
}

void JoystickWidgets::setRawLabel(RawLabels labels, int index, std::string_view caption) {
    if (labels == RawLabels::Joystick) {
        if (index >= 0 && index < 4) joystickLines_[static_cast<std::size_t>(index)]->setText(qs(caption));
    } else if (index >= 0 && index < 6) {
        extendedLines_[static_cast<std::size_t>(index)]->setText(qs(caption));
    }
}

// ---- MIDI output list -----------------------------------------------------------------------

void OutputList::clear() {
    list_->clear();
}

void OutputList::addItem(const std::string& text) {
    const int before = list_->currentIndex();
    list_->addItem(qs(text));
    if (before < 0) list_->setCurrentIndex(-1);
}

void OutputList::setCurrentIndex(int index) {
    list_->setCurrentIndex(index);
}

void LagLabel::setLagCaption(std::string_view caption) {
    label_->setText(qs(caption));
}

} // namespace vantaro
