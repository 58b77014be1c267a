// The main window's event steps: the action editor, the view switch, the poll and the keys.
#include "ui/form1.h"
#include "ui/form1_views.h"
#include "ui/program_files.h"

#include "engine/numbers.h"
#include "storage/settings_keys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTextCursor>
#include <QTimer>

namespace vantaro {

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

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

// The pages travel with the program, so every button works offline.
QUrl programPage(std::string_view name) {
    return QUrl::fromLocalFile(QString::fromStdString(programFile(ProgramFileKind::Page, name).string()));
}

} // namespace

Form1::Form1(ProgramDevices devices, QtUiPort& ui, Form1Options options, QWidget* parent)
    : QWidget(parent), devices_(devices), ui_(ui), options_(std::move(options)) {
    if (!options_.openUrl) options_.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    buildWindow();
    views_ = std::make_unique<Form1Views>(Form1Views{
        ActionListBox(List1),
        LiveTexts({Text1, Text2, Text7, Text11, Text12}, Label11),
        JoystickWidgets(Combo2, Label13, Command4, Label1, Label3),
        OutputList(Combo1),
        LagLabel(Label12),
    });
    CoreOptions core;
    core.dataFolder = options_.dataFolder;
    core.yieldToMessageLoop = [] { QCoreApplication::processEvents(); };
    core_ = std::make_unique<ProgramCore>(
        CoreDevices{devices_.joystick, devices_.midiOut, devices_.midiIn, &devices_.glove}, views_->views(),
        ui_, clock_, std::move(core));
    connectEditor();
    connectDevices();
    applyViewHeight();
    connect(Timer1, &QTimer::timeout, this, &Form1::tick);
    connect(deviceTimer_, &QTimer::timeout, this, &Form1::checkDevices);
}

Form1::~Form1() {
    Timer1->stop();
    deviceTimer_->stop();
    // The widgets go after this object's own parts: their last signals must find nobody listening.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

void Form1::connectEditor() {
    for (QSlider* s : {Slider2, Slider3, Slider4, Slider5, Slider6, Slider7}) {
        connect(s, &QSlider::valueChanged, this, [this, s] { sliderStep(s); });
        connect(s, &QSlider::sliderReleased, this, [this, s] { sliderLetGo(s); });
    }
    struct Typed {
        QLineEdit* box;
        std::int16_t EditorMarks::*mark;
    };
    for (Typed t : {Typed{Text4, &EditorMarks::changedIncrement}, Typed{Text6, &EditorMarks::changedChannel},
                    Typed{Text5, &EditorMarks::changedController}, Typed{Text8, &EditorMarks::changedLow},
                    Typed{Text9, &EditorMarks::changedHigh}, Typed{Text10, &EditorMarks::changedDelay}}) {
        connect(t.box, &QLineEdit::textEdited, this, [this, t] { markChanged(editor_.marks.*t.mark); });
        connect(t.box, &QLineEdit::editingFinished, this, [this, box = t.box] { valueBoxLeft(box); });
    }
    for (QLineEdit* live : {Text1, Text2, Text7, Text11, Text12})
        connect(live, &QLineEdit::textChanged, this, [this] { markChanged(editor_.marks.changedTrigger); });
    struct Checked {
        QCheckBox* box;
        const SettingKey* key;
        std::int16_t EditorMarks::*mark;
    };
    for (Checked c : {Checked{Check1, &settings::wrap, &EditorMarks::changedWrap},
                      Checked{Check3, &settings::toggle, &EditorMarks::changedToggle}}) {
        connect(c.box, &QCheckBox::stateChanged, this, [this, c](int) {
            // Grey is only ever restored from a stored 2; once changed, the box is checked or clear.
            if (c.box->checkState() != Qt::PartiallyChecked) c.box->setTristate(false);
            storeSetting(*c.key, checkValue(c.box));
            markChanged(editor_.marks.*c.mark);
        });
    }
    for (int i = 0; i < 3; ++i)
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) kindStep(i);
        });
    // Only a change of the selection: clicking the chosen line again keeps its pending changes.
    connect(List1, &QListWidget::itemSelectionChanged, this, &Form1::selectionStep);
    connect(Command1, &QPushButton::clicked, this, &Form1::addClicked);
    connect(Command3, &QPushButton::clicked, this, &Form1::saveClicked);
    connect(Command2, &QPushButton::clicked, this, &Form1::deleteClicked);
    connect(Command5, &QPushButton::clicked, this, &Form1::switchView);
    connect(Command9, &QPushButton::clicked, this, &QWidget::close);
    connect(Command10, &QPushButton::clicked, this, [this] { options_.openUrl(programPage("help.html")); });
    connect(Command11, &QPushButton::clicked, this,
            [this] { options_.openUrl(programPage("support.html")); });
    connect(Command12, &QPushButton::clicked, this, [this] { options_.openUrl(programPage("glove.html")); });
}

// ---- view ----------------------------------------------------------------------------------

void Form1::switchView() {
    const std::int16_t expanded = core_->expandedView() != 1 ? 1 : 0;
    core_->setExpandedView(expanded);
    Command5->setText(expanded != 0 ? QStringLiteral("&<") : QStringLiteral("&>"));
    applyViewHeight();
    refreshLog();
    storeSetting(settings::bigform, expanded);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A push button with the focus takes Enter itself; anywhere else it goes to "Add", the
        // window's default button (a value box has already applied itself to its slider).
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget()))
            focused->click();
        else
            Command1->click();
        return;
    case Qt::Key_Escape:
        // "Buy a T-Shirt" is the window's cancel button.
        Command11->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    shutDown();
    event->accept();
}

// ---- poll ----------------------------------------------------------------------------------

void Form1::refreshLog() {
    const MessageLog& messageLog = core_->messageLog();
    if (core_->expandedView() == 0 || messageLog.revision() == shownLogRevision_) return;
    shownLogRevision_ = messageLog.revision();
    QString text = qs(messageLog.text());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text3->setPlainText(text);
    QTextCursor caret(Text3->document());
    caret.movePosition(messageLog.caret() == MessageLog::Caret::End ? QTextCursor::End : QTextCursor::Start);
    Text3->setTextCursor(caret);
    Text3->ensureCursorVisible();
}

// ---- editor --------------------------------------------------------------------------------

int Form1::selectedLine() const {
    const auto items = List1->selectedItems();
    return items.isEmpty() ? -1 : List1->row(items.front());
}

void Form1::selectLine(int line) {
    List1->setCurrentRow(line, QItemSelectionModel::ClearAndSelect);
}

void Form1::markChanged(std::int16_t& mark) {
    mark = 1;
    if (selectedLine() >= 0) Command3->show();
}

void Form1::selectionStep() {
    if (selectedLine() < 0) return;
    Command2->show();
    EditorMarks& m = editor_.marks;
    m.changedController = m.changedChannel = m.changedIncrement = m.changedTrigger = m.changedLow =
        m.changedHigh = 0;
}

void Form1::kindStep(int index) {
    Label7->setText(index == 0 ? QStringLiteral("Controller") : QStringLiteral("Note"));
    // Choosing a kind alone does not offer Save.
    editor_.marks.changedKind = 1;
}

const SettingKey& Form1::sliderSetting(const QSlider* s) const {
    return s == Slider2   ? settings::increment
           : s == Slider3 ? settings::channel
           : s == Slider4 ? settings::controller
           : s == Slider5 ? settings::low
           : s == Slider6 ? settings::high
                          : settings::delay;
}

// Runs for every change of the value (and once per slider at start-up), never without one.
void Form1::sliderStep(QSlider* s) {
    const int v = s->value();
    EditorMarks& m = editor_.marks;
    std::int16_t* mark = &m.changedDelay;
    if (s == Slider2) {
        Text4->setText(qs(numberText(v / 100.0)));
        mark = &m.changedIncrement;
    } else if (s == Slider3) {
        Text6->setText(qs(numberText(std::int64_t{v})));
        editor_.nextChannel = static_cast<std::int16_t>(v);
        mark = &m.changedChannel;
    } else if (s == Slider4) {
        Text5->setText(qs(numberText(std::int64_t{v})));
        editor_.nextNumber = static_cast<std::int16_t>(v);
        mark = &m.changedController;
    } else if (s == Slider5) {
        Text8->setText(qs(numberText(std::int64_t{v})));
        mark = &m.changedLow;
    } else if (s == Slider6) {
        Text9->setText(qs(numberText(std::int64_t{v})));
        mark = &m.changedHigh;
    } else {
        Text10->setText(qs(numberText(std::int64_t{v})));
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
    QSlider* slider = box == Text4   ? Slider2
                      : box == Text6 ? Slider3
                      : box == Text5 ? Slider4
                      : box == Text8 ? Slider5
                      : box == Text9 ? Slider6
                                     : Slider7;
    const int scale = slider == Slider2 ? 100 : 1;
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
    c.increment = readNumber(Text4->text().toStdString());
    c.low = static_cast<std::int16_t>(Slider5->value());
    c.high = static_cast<std::int16_t>(Slider6->value());
    c.delay = static_cast<std::int16_t>(Slider7->value());
    c.wrap = checkValue(Check1);
    c.toggle = checkValue(Check3);
    for (int i = 0; i < 3; ++i)
        if (Option1[i]->isChecked()) c.messageKind = static_cast<std::int16_t>(i);
    return c;
}

void Form1::addClicked() {
    ActionList& actionList = core_->actionList();
    if (Combo2->count() == 0) core_->captureRecord().povDirection = kPovCentred;
    switch (vantaro::addAction(actionList, core_->captureRecord(), editor_, controls(), core_->glove())) {
    case AddOutcome::NothingHeld:
        return;
    case AddOutcome::ListFull:
        ui_.showMessage("Max actions reached.  Use edit.");
        return;
    case AddOutcome::Added:
        break;
    }
    core_->appendListLine(actionList[actionList.actionCount]);
    core_->saveActions();
    advanceNext(editor_);
    Slider3->setValue(editor_.nextChannel);
    Slider4->setValue(editor_.nextNumber);
    if (List1->count() >= 1) Command8->show();
}

void Form1::saveClicked() {
    const int r = selectedLine();
    if (r < 0) return;
    saveAction(core_->actionList(), r + 1, core_->captureRecord(), editor_, controls(), core_->glove());
    core_->rewriteActionFile();
    Command3->hide();
    if (List1->count() > r) selectLine(r);
}

void Form1::deleteClicked() {
    const int r = selectedLine();
    if (r < 0) return;
    EditorState& editor = editor_;
    if (editor.alwaysDelete == 0) {
        switch (ui_.confirmDelete()) {
        case QtUiPort::DeleteAnswer::Always:
            editor.alwaysDelete = 1;
            [[fallthrough]];
        case QtUiPort::DeleteAnswer::Yes:
            editor.deleteConfirmed = 1;
            break;
        case QtUiPort::DeleteAnswer::No:
            break;
        }
    }
    if (editor.deleteConfirmed != 1 && editor.alwaysDelete != 1) return;
    editor.deleteConfirmed = 0;
    const int i = r + 1;
    if (!vantaro::removeAction(core_->actionList(), i)) return;
    core_->rewriteActionFile();
    const int line = std::min(i, List1->count()) - 1;
    if (line >= 0) selectLine(line);
    if (selectedLine() < 0) {
        Command2->hide();
        Command3->hide();
    }
    if (List1->count() == 0) Command8->hide();
}

// ---- persistence ---------------------------------------------------------------------------

void Form1::storeSetting(const SettingKey& key, std::int32_t value) {
    (void)core_->storeSetting(key, value);
}

} // namespace vantaro
