// The window's side of the core's views, the poll, and the action file operations.
#include "ui/form1.h"
#include "ui/form1_core.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vantaro {

namespace {
QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
} // namespace

Form1Core::Form1Core(Form1& w, Form1Views& v, const ProgramDevices& devices)
    : views(v), outputList(w), gloveBridge(devices.glove), joystick(devices.joystick, v, w.settingsPath()),
      outputPort(w.midiSender, outputList, w.ui_, w.settingsPath()), lagCounter(makePerformanceCounter()),
      poll(v, v, w.clock, w.glove, *lagCounter), actionFile{w.actionList, v, listExtentWidth, w.ui_,
                                                            w.options_.dataFolder},
      routing(RoutingIo{devices.midiIn, w.midiSender, w.messageLog, w.ui_, w.expandedView,
                        [] { QCoreApplication::processEvents(); }}) {}

// ---- action list box ----------------------------------------------------------------------

double Form1Views::lineWidth(std::string_view line) {
    return QFontMetricsF(w_.List1->font()).horizontalAdvance(qs(line));
}

void Form1Views::setHorizontalExtent(std::int32_t pixels) {
    extent_ = pixels;
    w_.List1->setProperty("horizontalExtent", pixels);
}

void Form1Views::addLine(std::string_view line) {
    auto* item = new QListWidgetItem(qs(line), w_.List1);
    // Every line claims the widest width seen, so the list scrolls sideways that far.
    const QFontMetrics fm(w_.List1->font());
    item->setSizeHint(QSize(std::max(extent_, static_cast<std::int32_t>(fm.horizontalAdvance(item->text()))),
                            fm.height() + 2));
}

void Form1Views::clear() {
    w_.List1->clear();
}

// ---- live texts -----------------------------------------------------------------------------

void Form1Views::setLiveText(LiveText box, std::string_view text) {
    QLineEdit* target = nullptr;
    switch (box) {
    case LiveText::Button:
        target = w_.Text1;
        break;
    case LiveText::Axis:
        target = w_.Text2;
        break;
    case LiveText::Pov:
        target = w_.Text7;
        break;
    case LiveText::Hand:
        target = w_.Text11;
        break;
    case LiveText::Fingers:
        target = w_.Text12;
        break;
    }
    if (target) target->setText(qs(text));
}

void Form1Views::setValueLabel(int element, std::string_view text) {
    if (element >= 0 && element < static_cast<int>(w_.Label11.size())) w_.Label11[element]->setText(qs(text));
}

// ---- joystick -------------------------------------------------------------------------------

void Form1Views::addJoystickEntry(std::string_view productName) {
    const int before = w_.Combo2->currentIndex();
    w_.Combo2->addItem(qs(productName));
    // A list gains no selection by being filled; only the stored choice selects.
    if (before < 0) w_.Combo2->setCurrentIndex(-1);
}

void Form1Views::showSelectedEntry(int position) {
    w_.Combo2->setCurrentIndex(position);
}
void Form1Views::hideCalibrationPrompt() {
    w_.Label13->hide();
}
void Form1Views::hideCalibrateButton() {
    w_.Command4->hide();
}

void Form1Views::setRawLabel(RawLabels labels, int index, std::string_view caption) {
    if (labels == RawLabels::Label1) {
        if (index >= 0 && index < 4) w_.Label1[static_cast<std::size_t>(index)]->setText(qs(caption));
    } else if (index >= 0 && index < 6) {
        w_.Label3[static_cast<std::size_t>(index)]->setText(qs(caption));
    }
}

// ---- MIDI output list -----------------------------------------------------------------------

void Form1OutputList::clear() {
    w_.Combo1->clear();
}

void Form1OutputList::addItem(const std::string& text) {
    const int before = w_.Combo1->currentIndex();
    w_.Combo1->addItem(qs(text));
    if (before < 0) w_.Combo1->setCurrentIndex(-1);
}

int Form1OutputList::count() const {
    return w_.Combo1->count();
}
void Form1OutputList::setCurrentIndex(int index) {
    w_.Combo1->setCurrentIndex(index);
}
int Form1OutputList::currentIndex() const {
    return w_.Combo1->currentIndex();
}

// ---- the tick -------------------------------------------------------------------------------

void Form1Views::readJoystick() {
    w_.core_->joystick.readJoystick(w_.joystick, w_.captureRecord, w_.expandedView != 0);
}

void Form1Views::doP5() {
    vantaro::doP5(w_.core_->gloveBridge, w_.glove, w_.captureRecord);
}

void Form1Views::actions() {
    EngineIo io{w_.actionList,   w_.captureRecord, w_.joystick, w_.glove,
                w_.expandedView, w_.messageLog,    w_.clock,    w_.midiSender};
    w_.engine.actions(io);
}

void Form1Views::updateStatus() {
    vantaro::updateStatus(*this, w_.core_->shownTexts, w_.captureRecord,
                          w_.core_->joystick.joystickCount() > 0, w_.glove, w_.expandedView != 0);
}

void Form1Views::setLagCaption(std::string_view caption) {
    w_.Label12->setText(qs(caption));
}

void Form1::tick() {
    if (shutDown_) return;
    core_->poll.tick();
    refreshLog();
}

// ---- action file ----------------------------------------------------------------------------

void Form1::appendListLine(const ActionRecord& record) {
    appendActionLine(*views_, core_->listExtentWidth, record);
}

bool Form1::saveActions() {
    return saveconfig(actionFilePath(), core_->actionFile).status == SaveResult::Saved;
}

void Form1::loadActions() {
    const LoadResult r = loadconfig(actionFilePath(), core_->actionFile);
    if (r.outcome == LoadOutcome::Ended) ended_ = true;
    if (r.showExport) Command8->show();
}

void Form1::rewriteActionFile() {
    // The new contents replace the file whole once they are safely written, so the old file is
    // not deleted first: a failed write then leaves it intact.
    if (saveActions()) {
        loadActions();
        return;
    }
    // Not written (the user was told): the list box keeps showing the list in memory.
    views_->clear();
    for (int n = 1; n <= actionList.actionCount; ++n)
        appendListLine(actionList[n]);
}

void Form1::importClicked() {
    const QString chosen = ui_.importFileName();
    if (chosen.isEmpty()) return;
    const LoadResult r = importConfig(std::filesystem::path(chosen.toStdString()), core_->actionFile);
    if (r.outcome == LoadOutcome::Loaded) engine.listLoaded(actionList);
    if (r.outcome == LoadOutcome::Ended) ended_ = true;
    if (r.showExport) Command8->show();
}

void Form1::routeClicked() {
    const RoutePickerList list = core_->routing.loadPicker();
    std::vector<bool> selected = list.selected;
    if (ui_.pickRoutes(list.names, selected)) core_->routing.confirmPicker(selected);
    refreshLog();
}

void Form1::exportClicked() {
    const QString chosen = ui_.exportFileName();
    if (chosen.isEmpty()) return;
    (void)exportConfig(std::filesystem::path(chosen.toStdString()), core_->actionFile);
}

} // namespace vantaro
