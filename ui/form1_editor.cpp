// The action editor's event steps: the list's selection, the value sliders and boxes, the kind,
// and Add, Save and Delete.
#include "ui/form1.h"
#include "ui/qt_text.h"

#include "engine/numbers.h"
#include "storage/settings_keys.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>

namespace vantaro {

namespace {

// A check box's value as stored: 0 clear, 1 checked, 2 grey (a stored 2 restores as grey).
std::int16_t checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

} // namespace

void Form1::connectEditor() {
    for (QSlider* s :
         {incrementSlider_, channelSlider_, numberSlider_, lowSlider_, highSlider_, delaySlider_}) {
        connect(s, &QSlider::valueChanged, this, [this, s] { sliderStep(s); });
        connect(s, &QSlider::sliderReleased, this, [this, s] { sliderLetGo(s); });
    }
    struct Typed {
        QLineEdit* box;
        bool EditorMarks::*mark;
    };
    for (Typed t :
         {Typed{incrementBox_, &EditorMarks::changedIncrement},
          Typed{channelBox_, &EditorMarks::changedChannel},
          Typed{numberBox_, &EditorMarks::changedController}, Typed{lowBox_, &EditorMarks::changedLow},
          Typed{highBox_, &EditorMarks::changedHigh}, Typed{delayBox_, &EditorMarks::changedDelay}}) {
        connect(t.box, &QLineEdit::textEdited, this, [this, t] { markChanged(editor_.marks.*t.mark); });
        connect(t.box, &QLineEdit::editingFinished, this, [this, box = t.box] { valueBoxLeft(box); });
    }
    for (QLineEdit* live : {buttonBox_, axisBox_, povBox_, handBox_, fingersBox_})
        connect(live, &QLineEdit::textChanged, this, [this] { markChanged(editor_.marks.changedTrigger); });
    struct Checked {
        QCheckBox* box;
        const SettingKey* key;
        bool EditorMarks::*mark;
    };
    for (Checked c : {Checked{wrapBox_, &settings::wrap, &EditorMarks::changedWrap},
                      Checked{toggleBox_, &settings::toggle, &EditorMarks::changedToggle}}) {
        connect(c.box, &QCheckBox::stateChanged, this, [this, c](int) {
            // Grey is only ever restored from a stored 2; once changed, the box is checked or clear.
            if (c.box->checkState() != Qt::PartiallyChecked) c.box->setTristate(false);
            storeSetting(*c.key, checkValue(c.box));
            markChanged(editor_.marks.*c.mark);
        });
    }
    for (int i = 0; i < 3; ++i)
        connect(kindOptions_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) kindStep(i);
        });
    // Only a change of the selection: clicking the chosen line again keeps its pending changes.
    connect(actionLines_, &QListWidget::itemSelectionChanged, this, &Form1::selectionStep);
    connect(addButton_, &QPushButton::clicked, this, &Form1::addClicked);
    connect(saveButton_, &QPushButton::clicked, this, &Form1::saveClicked);
    connect(deleteButton_, &QPushButton::clicked, this, &Form1::deleteClicked);
}

int Form1::selectedLine() const {
    const auto items = actionLines_->selectedItems();
    return items.isEmpty() ? -1 : actionLines_->row(items.front());
}

void Form1::selectLine(int line) {
    actionLines_->setCurrentRow(line, QItemSelectionModel::ClearAndSelect);
}

void Form1::markChanged(bool& mark) {
    mark = true;
    if (selectedLine() >= 0) saveButton_->show();
}

void Form1::selectionStep() {
    if (selectedLine() < 0) return;
    deleteButton_->show();
    EditorMarks& m = editor_.marks;
    m.changedController = m.changedChannel = m.changedIncrement = m.changedTrigger = m.changedLow =
        m.changedHigh = false;
}

void Form1::kindStep(int index) {
    numberCaption_->setText(index == 0 ? QStringLiteral("Controller") : QStringLiteral("Note"));
    // Choosing a kind alone does not offer Save.
    editor_.marks.changedKind = true;
}

const SettingKey& Form1::sliderSetting(const QSlider* s) const {
    return s == incrementSlider_ ? settings::increment
           : s == channelSlider_ ? settings::channel
           : s == numberSlider_  ? settings::controller
           : s == lowSlider_     ? settings::low
           : s == highSlider_    ? settings::high
                                 : settings::delay;
}

// Runs for every change of the value (and once per slider at start-up), never without one.
void Form1::sliderStep(QSlider* s) {
    const int v = s->value();
    EditorMarks& m = editor_.marks;
    bool* mark = &m.changedDelay;
    if (s == incrementSlider_) {
        incrementBox_->setText(qs(numberText(v / 100.0)));
        mark = &m.changedIncrement;
    } else if (s == channelSlider_) {
        channelBox_->setText(qs(numberText(std::int64_t{v})));
        editor_.nextChannel = static_cast<std::int16_t>(v);
        mark = &m.changedChannel;
    } else if (s == numberSlider_) {
        numberBox_->setText(qs(numberText(std::int64_t{v})));
        editor_.nextNumber = static_cast<std::int16_t>(v);
        mark = &m.changedController;
    } else if (s == lowSlider_) {
        lowBox_->setText(qs(numberText(std::int64_t{v})));
        mark = &m.changedLow;
    } else if (s == highSlider_) {
        highBox_->setText(qs(numberText(std::int64_t{v})));
        mark = &m.changedHigh;
    } else {
        delayBox_->setText(qs(numberText(std::int64_t{v})));
    }
    // While the user drags, the box follows but the setting waits for the release.
    if (s->isSliderDown())
        draggedUnstored_ = s;
    else
        storeSetting(sliderSetting(s), v);
    markChanged(*mark);
}

void Form1::sliderLetGo(QSlider* s) {
    // A press and release that moved nothing has nothing to store.
    if (draggedUnstored_ != s) return;
    draggedUnstored_ = nullptr;
    storeSetting(sliderSetting(s), s->value());
}

void Form1::valueBoxLeft(QLineEdit* box) {
    QSlider* slider = box == incrementBox_ ? incrementSlider_
                      : box == channelBox_ ? channelSlider_
                      : box == numberBox_  ? numberSlider_
                      : box == lowBox_     ? lowSlider_
                      : box == highBox_    ? highSlider_
                                           : delaySlider_;
    const int scale = slider == incrementSlider_ ? 100 : 1;
    const std::string text = box->text().toStdString();
    const int v = sliderValueFromText(text, scale, slider->minimum(), slider->maximum());
    if (v != slider->value()) {
        slider->setValue(v); // the change step rewrites the box
        return;
    }
    // The slider stays, but a value out of range or finer than a step must not linger in the box:
    // Add reads the increment from it.
    if (readNumber(text) * scale != v) {
        box->setText(qs(scale == 100 ? numberText(v / 100.0) : numberText(std::int64_t{v})));
    }
}

EditorControls Form1::controls() const {
    EditorControls c;
    c.increment = readNumber(incrementBox_->text().toStdString());
    c.low = static_cast<std::int16_t>(lowSlider_->value());
    c.high = static_cast<std::int16_t>(highSlider_->value());
    c.delay = static_cast<std::int16_t>(delaySlider_->value());
    c.wrap = checkValue(wrapBox_);
    c.toggle = checkValue(toggleBox_);
    for (int i = 0; i < 3; ++i)
        if (kindOptions_[i]->isChecked()) c.messageKind = static_cast<std::int16_t>(i);
    return c;
}

void Form1::addClicked() {
    if (core_->addAction(editor_, controls()) != AddOutcome::Added) return;
    advanceNext(editor_);
    channelSlider_->setValue(editor_.nextChannel);
    numberSlider_->setValue(editor_.nextNumber);
    if (actionLines_->count() >= 1) exportButton_->show();
}

void Form1::saveClicked() {
    const int r = selectedLine();
    if (r < 0) return;
    core_->saveAction(r + 1, editor_, controls());
    // Hiding the focused Save would pass the focus on to Delete, and the next Enter, meant to add
    // the next action, would ask to delete. The list takes it instead: Enter there adds.
    if (focusWidget() == saveButton_) actionLines_->setFocus();
    saveButton_->hide();
    if (actionLines_->count() > r) selectLine(r);
}

void Form1::deleteClicked() {
    const int r = selectedLine();
    if (r < 0) return;
    EditorState& editor = editor_;
    if (!editor.alwaysDelete) {
        switch (ui_.confirmDelete()) {
        case QtUiPort::DeleteAnswer::Always:
            editor.alwaysDelete = true;
            [[fallthrough]];
        case QtUiPort::DeleteAnswer::Yes:
            editor.deleteConfirmed = true;
            break;
        case QtUiPort::DeleteAnswer::No:
            break;
        }
    }
    if (!editor.deleteConfirmed && !editor.alwaysDelete) return;
    editor.deleteConfirmed = false;
    const int i = r + 1;
    if (!core_->deleteAction(i)) return;
    const int line = std::min(i, actionLines_->count()) - 1;
    if (line >= 0) selectLine(line);
    if (selectedLine() < 0) {
        deleteButton_->hide();
        saveButton_->hide();
    }
    if (actionLines_->count() == 0) exportButton_->hide();
}

void Form1::storeSetting(const SettingKey& key, std::int32_t value) {
    (void)core_->storeSetting(key, value);
}

} // namespace vantaro
