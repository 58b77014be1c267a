#include "ui/forms.h"

#include "ui/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QTimer>

namespace vantaro {

namespace {

constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect where) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(where);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect where) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(where);
    return b;
}

void drawNote(QPainter& p, QPointF head, double stem) {
    p.save();
    p.translate(head);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 7, 5);
    p.restore();
    p.drawLine(head + QPointF(6, -2), head + QPointF(6, -stem));
}

} // namespace

QPixmap splashPicture() {
    QPixmap pm(320, 200);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(18, 24, 64));
    sky.setColorAt(1, QColor(92, 30, 110));
    p.fillRect(pm.rect(), sky);

    // A stick on its base, with a trail of notes rising from the knob.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(QRectF(30, 140, 110, 34), 10, 10);
    p.setBrush(QColor(200, 40, 50));
    p.drawEllipse(QPointF(112, 157), 8, 8);
    p.setPen(QPen(QColor(170, 170, 180), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(70, 146), QPointF(88, 92));
    QRadialGradient knob(QPointF(86, 84), 18);
    knob.setColorAt(0, QColor(255, 120, 120));
    knob.setColorAt(1, QColor(170, 20, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(knob);
    p.drawEllipse(QPointF(90, 86), 15, 15);

    p.setPen(QPen(QColor(255, 220, 120), 2));
    p.setBrush(QColor(255, 220, 120));
    drawNote(p, QPointF(130, 70), 28);
    drawNote(p, QPointF(160, 52), 28);
    drawNote(p, QPointF(192, 40), 28);

    QFont title(QStringLiteral("Sans"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(240, 240, 255));
    p.drawText(QRectF(146, 100, 170, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vantaro"));
    QFont sub(QStringLiteral("Sans"));
    sub.setPixelSize(11);
    p.setFont(sub);
    p.setPen(QColor(200, 200, 230));
    p.drawText(QRectF(152, 145, 165, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("play MIDI with your joystick"));
    return pm;
}

QPixmap programIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 30, 110));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setPen(QPen(QColor(220, 220, 230), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(26, 50), QPointF(34, 24));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 50, 60));
    p.drawEllipse(QPointF(35, 20), 9, 9);
    p.setPen(QPen(QColor(255, 220, 120), 3));
    p.setBrush(QColor(255, 220, 120));
    p.drawEllipse(QPointF(48, 44), 5, 4);
    p.drawLine(QPointF(52, 43), QPointF(52, 28));
    return pm;
}

Form2::Form2(QWidget* parent) : QDialog(parent, kDialogFlags) {
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Delete"));
    setModal(true);
    const Twips t = Twips::forScreen();
    setFixedSize(t.px(4680), t.px(1500));
    question = label(this, "Label1", QStringLiteral("Are you sure you wish to delete this entry?"),
                     t.rect(240, 180, 4200, 360));
    question->setAlignment(Qt::AlignCenter);
    yesButton = button(this, "Command1", QStringLiteral("&Yes"), t.rect(240, 840, 1215, 375));
    alwaysButton = button(this, "Command2", QStringLiteral("&Always"), t.rect(1733, 840, 1215, 375));
    noButton = button(this, "Command3", QStringLiteral("&No"), t.rect(3225, 840, 1215, 375));
    // Enter must never delete: it is the key that adds the next action in the main window.
    noButton->setDefault(true);
    noButton->setFocus();
    connect(yesButton, &QPushButton::clicked, this, [this] {
        answer_ = Answer::Yes;
        accept();
    });
    connect(alwaysButton, &QPushButton::clicked, this, [this] {
        answer_ = Answer::Always;
        accept();
    });
    // Esc rejects the dialog, which leaves the answer at No.
    connect(noButton, &QPushButton::clicked, this, &QDialog::reject);
}

Form3::Form3(int closeAfterMs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), closeAfterMs_(closeAfterMs) {
    setObjectName("Form3");
    setModal(true);
    setFixedSize(320, 200);
    picture = new QLabel(this);
    picture->setObjectName("Image1");
    picture->setGeometry(0, 0, 320, 200);
    picture->setPixmap(splashPicture());
    setMouseTracking(true);
    picture->setMouseTracking(true);
    picture->installEventFilter(this);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &QDialog::accept);
}

void Form3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    timer_->start(closeAfterMs_);
}

void Form3::keyPressEvent(QKeyEvent*) {
    accept();
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
        accept();
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

Form4::Form4(const std::string& codeText, QWidget* parent) : QDialog(parent, kDialogFlags) {
    setObjectName("Form4");
    setWindowTitle(QStringLiteral("Problem sending MIDI commands"));
    setModal(true);
    const Twips t = Twips::forScreen();
    setFixedSize(t.px(5400), t.px(2700));
    heading =
        label(this, "Label1", QStringLiteral("Error returned from MIDI Port:"), t.rect(240, 120, 4900, 285));
    codeLabel = label(this, "Label3", QString::fromStdString(codeText), t.rect(240, 420, 4900, 285));
    QFont bold = codeLabel->font();
    bold.setBold(true);
    codeLabel->setFont(bold);
    advice =
        label(this, "Label2",
              QStringLiteral("Change the MIDI Out device and try again.  If the problem persists, you might "
                             "need to reboot or reinstall your midi passthru driver."),
              t.rect(240, 780, 4900, 900));
    advice->setWordWrap(true);
    okayButton = button(this, "Command1", QStringLiteral("&Okay"), t.rect(960, 1920, 1455, 375));
    stopButton = button(this, "Command2", QStringLiteral("&Stop Warnings"), t.rect(2985, 1920, 1455, 375));
    okayButton->setDefault(true);
    connect(okayButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(stopButton, &QPushButton::clicked, this, [this] {
        choice_ = MidiErrorChoice::StopWarnings;
        accept();
    });
}

Form5::Form5(const std::vector<std::string>& portNames, const std::vector<bool>& selected, QWidget* parent)
    : QDialog(parent, kDialogFlags) {
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("Form5"));
    setModal(true);
    const Twips t = Twips::forScreen();
    setFixedSize(t.px(4800), t.px(4500));
    heading =
        label(this, "Label1",
              QStringLiteral("Select MIDI ports from this list that you want to route through the same port "
                             "that Vantaro is using.  This will let you use a midi controller and a joystick "
                             "(jam sessions!)"),
              t.rect(120, 120, 4560, 900));
    heading->setWordWrap(true);
    portList = new QListWidget(this);
    portList->setObjectName("List1");
    portList->setGeometry(t.rect(120, 1080, 4560, 2280));
    portList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (std::size_t i = 0; i < portNames.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(portNames[i]), portList);
        item->setSelected(i < selected.size() && selected[i]);
    }
    hint = label(this, "Label2",
                 QStringLiteral("Hold down Control to select more than one port or to deselect a port."),
                 t.rect(120, 3420, 4560, 420));
    hint->setWordWrap(true);
    okayButton = button(this, "Command1", QStringLiteral("&Okay"), t.rect(1800, 3960, 1215, 375));
    okayButton->setDefault(true);
    connect(okayButton, &QPushButton::clicked, this, &QDialog::accept);
}

std::vector<bool> Form5::selection() const {
    std::vector<bool> out(static_cast<std::size_t>(portList->count()));
    for (int i = 0; i < portList->count(); ++i)
        out[static_cast<std::size_t>(i)] = portList->item(i)->isSelected();
    return out;
}

} // namespace vantaro
