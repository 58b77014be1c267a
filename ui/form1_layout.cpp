// The main window's widgets at their places.
#include "ui/form1.h"

#include "ui/forms.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace vantaro {

namespace {

// The lower part of the window starts at this client height; the compact view ends there.
constexpr int kLowerTop = 6180;
// On a screen too short for the window the action list and the message log give up height, each
// down to this many lines of text.
constexpr int kFewLines = 3;

struct Shrink {
    int list = 0;
    int log = 0;
};

// Takes the missing height from the list and the log in proportion to what each can give.
Shrink shrinkToFit(int missing, int listRoom, int logRoom) {
    const int room = listRoom + logRoom;
    if (missing <= 0 || room <= 0) return {};
    if (missing >= room) return {listRoom, logRoom};
    Shrink s;
    s.list = missing * listRoom / room;
    s.log = std::min(logRoom, missing - s.list);
    s.list = std::min(listRoom, missing - s.log);
    return s;
}

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// One line stays chosen once one is: Ctrl+click on it would leave Save and Delete with nothing to
// work on.
class ActionLines final : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
        if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return QItemSelectionModel::NoUpdate;
        return command;
    }
};

struct Placer {
    Twips t;
    // Names a new widget and puts it at its place, given in twips.
    template <typename W> W* at(W* x, const char* name, int l, int top, int w, int h) {
        named(x, name)->setGeometry(t.rect(l, top, w, h));
        return x;
    }
    QLabel* label(QWidget* parent, const char* name, const QString& text, int l, int top, int w,
                  int h = 240) {
        return at(new QLabel(text, parent), name, l, top, w, h);
    }
    QPushButton* button(QWidget* parent, const char* name, const QString& caption, int l, int top, int w,
                        int h) {
        return at(new QPushButton(caption, parent), name, l, top, w, h);
    }
    QLineEdit* box(QWidget* parent, const char* name, int l, int top, int w, int h = 285) {
        return at(new QLineEdit(parent), name, l, top, w, h);
    }
    // Horizontal slider: the range of its control, large step, small step, tick spacing; 0 at creation.
    QSlider* slider(QWidget* parent, const char* name, int l, int top, int w, int h, Control control,
                    int large, int small, int tick) {
        auto* x = at(new QSlider(Qt::Horizontal, parent), name, l, top, w, h);
        x->setRange(controlRange(control).minimum, controlRange(control).maximum);
        x->setPageStep(large);
        x->setSingleStep(small);
        x->setTickInterval(tick);
        x->setTickPosition(QSlider::TicksBelow);
        x->setValue(0);
        return x;
    }
    QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int l, int top, int w,
                     int h) {
        return at(new QGroupBox(caption, parent), name, l, top, w, h);
    }
};

} // namespace

QString windowCaption(int minor, int revision) {
    return QStringLiteral("Vantaro v%1.%2").arg(minor).arg(revision);
}

void Form1::buildWindow() {
    setObjectName("Form1");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Vantaro"));
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(programIconPixmap(size));
    setWindowIcon(icon);
    // The measures were made for a small dialog font; scale it with the screen like the twips.
    // A narrow face, as the measures were made for one: Arial-like where present, else condensed.
    QFont small = font();
    small.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                       QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans Condensed")});
    small.setPixelSize(Twips::forScreen().px(165));
    setFont(small);

    Placer p{Twips::forScreen()};
    QWidget* w = this;

    actionLines_ = p.at(new ActionLines(w), "List1", -15, 0, 9615, 2400);
    actionLines_->setSelectionMode(QAbstractItemView::SingleSelection);
    actionLines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    actionLines_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    addButton_ = p.button(w, "Command1", QStringLiteral("&Add"), 15, 2415, 1095, 375);
    saveButton_ = p.button(w, "Command3", QStringLiteral("&Save"), 1125, 2415, 1095, 375);
    deleteButton_ = p.button(w, "Command2", QStringLiteral("&Delete"), 2205, 2415, 1215, 375);
    viewButton_ = p.button(w, "Command5", QStringLiteral("&>"), 5370, 2490, 315, 285);
    lagLabel_ = p.label(w, "Label12", QString(), 6015, 2475, 1065, 240);
    exportButton_ = p.button(w, "Command8", QStringLiteral("&Export"), 7425, 2415, 1095, 375);
    importButton_ = p.button(w, "Command7", QStringLiteral("&Import"), 8505, 2415, 1095, 375);
    addButton_->setDefault(true);
    saveButton_->hide();
    deleteButton_->hide();
    exportButton_->hide();

    p.label(w, "Label4", QStringLiteral("Button"), 240, 2940, 495);
    buttonBox_ = p.box(w, "Text1", 735, 2880, 1575);
    p.label(w, "Label5", QStringLiteral("Axis"), 420, 3180, 315);
    axisBox_ = p.box(w, "Text2", 735, 3120, 1575);
    p.label(w, "Label10", QStringLiteral("POV"), 375, 3420, 360);
    povBox_ = p.box(w, "Text7", 735, 3360, 1575);
    p.label(w, "Label17", QStringLiteral("P5 Hand"), 2625, 3045, 1080);
    handBox_ = p.box(w, "Text11", 3705, 2985, 2385);
    p.label(w, "Label18", QStringLiteral("P5 Fingers"), 2625, 3270, 1080);
    fingersBox_ = p.box(w, "Text12", 3705, 3255, 2385);
    // The live boxes show what the poll sees; typing there would only fake a trigger.
    for (QLineEdit* live : {buttonBox_, axisBox_, povBox_, handBox_, fingersBox_})
        live->setReadOnly(true);

    const char* kinds[3] = {"Controller Change", "Note On", "Note Off"};
    const int kindTops[3] = {2925, 3150, 3390};
    for (int i = 0; i < 3; ++i) {
        kindOptions_[i] = named(new QRadioButton(QString::fromLatin1(kinds[i]), w), "Option1");
        kindOptions_[i]->setProperty("index", i);
        kindOptions_[i]->setGeometry(p.t.rect(6555, kindTops[i], 1815, 255));
    }
    kindOptions_[0]->setChecked(true);
    toggleBox_ = named(new QCheckBox(QStringLiteral("Toggle"), w), "Check3");
    toggleBox_->setGeometry(p.t.rect(8445, 3060, 855, 255));
    wrapBox_ = named(new QCheckBox(QStringLiteral("Wrap"), w), "Check1");
    wrapBox_->setGeometry(p.t.rect(8445, 3300, 855, 255));

    p.label(w, "Label1_4", QStringLiteral("Channel"), 45, 3825, 660);
    channelBox_ = p.box(w, "Text6", 705, 3780, 735);
    channelSlider_ = p.slider(w, "Slider3", 0, 4140, 1455, 315, Control::Channel, 1, 1, 2);
    numberCaption_ = p.label(w, "Label7", QStringLiteral("Controller"), 1515, 3825, 780);
    numberBox_ = p.box(w, "Text5", 2295, 3780, 735);
    numberSlider_ = p.slider(w, "Slider4", 1470, 4140, 1635, 315, Control::Number, 1, 1, 16);
    p.label(w, "Label6", QStringLiteral("Inc"), 3405, 3825, 300);
    incrementBox_ = p.box(w, "Text4", 3705, 3780, 975);
    incrementSlider_ = p.slider(w, "Slider2", 3120, 4140, 1500, 315, Control::Increment, 1600, 1, 3200);
    p.label(w, "Label1_5", QStringLiteral("Low"), 4920, 3825, 420);
    lowBox_ = p.box(w, "Text8", 5340, 3780, 735);
    lowSlider_ = p.slider(w, "Slider5", 4635, 4140, 1515, 315, Control::Low, 16, 1, 16);
    p.label(w, "Label1_6", QStringLiteral("High"), 6450, 3825, 540);
    highBox_ = p.box(w, "Text9", 6990, 3780, 735);
    highSlider_ = p.slider(w, "Slider6", 6165, 4140, 1665, 315, Control::High, 16, 1, 16);
    p.label(w, "Label1_7", QStringLiteral("Delay"), 7905, 3825, 525);
    delayBox_ = p.box(w, "Text10", 8430, 3780, 735);
    delaySlider_ = p.slider(w, "Slider7", 7845, 4140, 1725, 315, Control::Delay, 16, 1, 1000);

    configFrame_ = p.frame(w, "Frame4", QStringLiteral("Config"), 15, 4485, 9570, 1695);
    p.label(configFrame_, "Label8", QStringLiteral("Joystick Response"), 45, 375, 1545);
    centreWidthSlider_ =
        p.slider(configFrame_, "Slider1", 1590, 375, 3060, 255, Control::CentreWidth, 1000, 100, 1000);
    p.label(configFrame_, "Label15", QStringLiteral("P5 Hand Response"), 30, 735, 1560);
    handSlider_ = p.slider(configFrame_, "Slider8", 1590, 720, 3060, 255, Control::HandThreshold, 10, 1, 5);
    p.label(configFrame_, "Label16", QStringLiteral("P5 Finger Response"), 60, 1095, 1530);
    fingerSlider_ =
        p.slider(configFrame_, "Slider9", 1590, 1080, 3060, 255, Control::FingerThreshold, 10, 1, 3);
    p.label(configFrame_, "Label9", QStringLiteral("Midi Out"), 4725, 615, 795);
    outputList_ = named(new QComboBox(configFrame_), "Combo1");
    outputList_->setGeometry(p.t.rect(5520, 540, 3945, 315));
    p.label(configFrame_, "Label14", QStringLiteral("Joystick"), 4845, 930, 675);
    joystickList_ = named(new QComboBox(configFrame_), "Combo2");
    joystickList_->setGeometry(p.t.rect(5520, 870, 3945, 315));

    // Lower part: everything below the Config frame, shown only in the expanded view.
    gloveFrame_ = p.frame(w, "Frame1", QStringLiteral("P5 Glove"), 0, kLowerTop, 4800, 1812);
    const char* fingers[5] = {"Index", "Middle", "Ring", "Pinky", "Thumb"};
    for (int i = 0; i < 5; ++i) {
        gloveLabels_[i] =
            p.label(gloveFrame_, "Label11", QString::fromLatin1(fingers[i]), 120, 360 + 240 * i, 700);
        gloveLabels_[14 + i] = p.label(gloveFrame_, "Label11", QString(), 840, 360 + 240 * i, 700);
    }
    const int buttonTops[3] = {660, 900, 1125};
    const int buttonValueTops[3] = {645, 900, 1140};
    for (int i = 0; i < 3; ++i) {
        gloveLabels_[5 + i] =
            p.label(gloveFrame_, "Label11", QStringLiteral("Button%1").arg(i + 1), 1560, buttonTops[i], 700);
        gloveLabels_[19 + i] = p.label(gloveFrame_, "Label11", QString(), 2280, buttonValueTops[i], 700);
    }
    const char* axes[6] = {"X", "Y", "Z", "Yaw", "Pitch", "Roll"};
    for (int i = 0; i < 6; ++i) {
        gloveLabels_[8 + i] =
            p.label(gloveFrame_, "Label11", QString::fromLatin1(axes[i]), 3120, 240 + 240 * i, 700);
        gloveLabels_[22 + i] = p.label(gloveFrame_, "Label11", QString(), 3840, 240 + 240 * i, 900);
    }
    for (int i = 0; i < 28; ++i)
        gloveLabels_[i]->setProperty("index", i);
    noGloveLabel_ =
        p.label(gloveFrame_, "Label2", QStringLiteral("No P5 Glove Detected"), 840, 480, 2895, 255);
    noGloveLabel_->setAlignment(Qt::AlignCenter);
    gloveShopButton_ =
        p.button(gloveFrame_, "Command12", QStringLiteral("&Get a P5 Glove"), 1590, 810, 1395, 495);
    gloveCentreButton_ = p.button(gloveFrame_, "Command13", QStringLiteral("Ce&nter"), 1710, 1365, 1080, 315);

    joystickFrame_ = p.frame(w, "Frame2", QStringLiteral("Joystick Values"), 4815, kLowerTop, 2445, 1812);
    for (int i = 0; i < 4; ++i)
        joystickLines_[i] = p.label(joystickFrame_, "Label1", QString(), 120, 240 + 240 * i, 2052);
    centrePrompt_ = p.label(joystickFrame_, "Label13", QStringLiteral("Center your joystick and push:"), 585,
                            1215, 1695, 375);
    centrePrompt_->setWordWrap(true);
    QFont bold = centrePrompt_->font();
    bold.setBold(true);
    centrePrompt_->setFont(bold);
    calibrateButton_ =
        p.button(joystickFrame_, "Command4", QStringLiteral("&Calibrate"), 1440, 1440, 855, 255);

    extendedFrame_ =
        p.frame(w, "Frame3", QStringLiteral("Extended Joystick Values"), 7275, kLowerTop, 2310, 1815);
    for (int i = 0; i < 6; ++i)
        extendedLines_[i] = p.label(extendedFrame_, "Label3", QString(), 120, 240 + 240 * i, 2100);

    messageLog_ = p.at(new QPlainTextEdit(w), "Text3", 0, 8010, 9585, 2715);
    messageLog_->setReadOnly(true);
    messageLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    messageLog_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    helpButton_ = p.button(w, "Command10", QStringLiteral("&Help"), 2130, 10740, 1230, 375);
    shirtButton_ = p.button(w, "Command11", QStringLiteral("&Buy a T-Shirt"), 3360, 10740, 1230, 375);
    routeButton_ = p.button(w, "Command6", QStringLiteral("&Route MIDI"), 4590, 10740, 1230, 375);
    quitButton_ = p.button(w, "Command9", QStringLiteral("&Quit"), 5820, 10740, 1215, 375);

    // Below the compact view's edge the buttons are hidden, yet their keys still work, as they do
    // for a control that is merely outside the window. The bottom row is hidden by the view alone;
    // the glove's buttons and Calibrate also by their own state, and then their keys stay deaf.
    struct LowerButton {
        QPushButton* button;
        bool hasOwnState;
    };
    const std::array<LowerButton, 7> lower{{{helpButton_, false},
                                            {shirtButton_, false},
                                            {routeButton_, false},
                                            {quitButton_, false},
                                            {gloveShopButton_, true},
                                            {gloveCentreButton_, true},
                                            {calibrateButton_, true}}};
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const LowerButton b = lower[i];
        compactKeys_[i] = new QShortcut(QKeySequence::mnemonic(b.button->text()), this);
        connect(compactKeys_[i], &QShortcut::activated, b.button, [b] {
            if ((!b.hasOwnState || !b.button->isHidden()) && b.button->isEnabled()) b.button->click();
        });
    }

    for (QWidget* placed : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        placed_.emplace_back(placed, placed->geometry());

    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName("Timer1");
    pollTimer_->setTimerType(Qt::PreciseTimer);
    pollTimer_->setInterval(1);
    // Plugged and unplugged devices are looked for off the 1 ms tick.
    deviceTimer_ = new QTimer(this);
    deviceTimer_->setInterval(250);
}

int Form1::frameHeightEstimate() const {
    const int known = frameGeometry().height() - height();
    // Before the window system tells the frame's real size, it is taken to be the one the outer
    // heights were made with.
    return isVisible() && known > 0 ? known : Twips::forScreen().px(kNonClientHeight);
}

void Form1::applyViewHeight() {
    const Twips t = Twips::forScreen();
    const bool expanded = core_->expandedView() != 0;
    const int client = t.px((expanded ? kExpandedHeight : kCompactHeight) - kNonClientHeight);

    // Where the screen is shorter than the window, the list and the log shrink so that every button
    // stays reachable; wherever it fits, the measures stand as they are.
    fittedFrame_ = frameHeightEstimate();
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect();
    const int missing = area.isValid() ? client + fittedFrame_ - area.height() : 0;
    const auto fewLines = [](const QAbstractScrollArea* box, int extra) {
        return kFewLines * box->fontMetrics().lineSpacing() + 2 * box->frameWidth() + extra;
    };
    QRect listAt, logAt;
    for (const auto& [widget, at] : placed_) {
        if (widget == actionLines_) listAt = at;
        if (widget == messageLog_) logAt = at;
    }
    // A wide line brings the list's horizontal scroll bar; the log has a margin round its text.
    const int listFloor = fewLines(actionLines_, actionLines_->horizontalScrollBar()->sizeHint().height());
    const int logFloor =
        fewLines(messageLog_, 2 * static_cast<int>(messageLog_->document()->documentMargin()));
    const Shrink shrink = shrinkToFit(missing, std::max(0, listAt.height() - listFloor),
                                      expanded ? std::max(0, logAt.height() - logFloor) : 0);
    for (const auto& [widget, at] : placed_) {
        QRect r = at;
        if (widget == actionLines_) {
            r.setHeight(at.height() - shrink.list);
        } else if (widget == messageLog_) {
            r.translate(0, -shrink.list);
            r.setHeight(at.height() - shrink.log);
        } else if (at.top() > logAt.bottom()) {
            r.translate(0, -shrink.list - shrink.log);
        } else if (at.top() > listAt.bottom()) {
            r.translate(0, -shrink.list);
        }
        widget->setGeometry(r);
    }
    setFixedSize(t.px(kClientWidth), client - shrink.list - shrink.log);
    // A window that grew past the bottom of its screen moves up, never above the top.
    if (isVisible() && area.isValid()) {
        const QRect outer = frameGeometry();
        const int rise = std::min(outer.bottom() - area.bottom(), outer.top() - area.top());
        if (rise > 0) move(pos() - QPoint(0, rise));
    }

    // Widgets below the compact height are hidden with it, so Tab cannot take the focus there.
    for (QWidget* lower :
         std::initializer_list<QWidget*>{gloveFrame_, joystickFrame_, extendedFrame_, messageLog_,
                                         helpButton_, shirtButton_, routeButton_, quitButton_})
        lower->setVisible(expanded);
    // Shown, the buttons answer their own keys; a second answer would make each key ambiguous.
    for (QShortcut* key : compactKeys_)
        key->setEnabled(!expanded);
}

} // namespace vantaro
