// The main window: its parts put together, the view switch, the keys, closing, and the poll.
#include "ui/form1.h"
#include "ui/form1_views.h"
#include "ui/program_files.h"
#include "ui/qt_text.h"

#include "storage/settings_keys.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTimer>

namespace vantaro {

namespace {

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
    connect(Command7, &QPushButton::clicked, this, &Form1::importClicked);
    connect(Command8, &QPushButton::clicked, this, &Form1::exportClicked);
    connect(Command5, &QPushButton::clicked, this, &Form1::switchView);
    connect(Command9, &QPushButton::clicked, this, &QWidget::close);
    connect(Command10, &QPushButton::clicked, this, [this] { options_.openUrl(programPage("help.html")); });
    connect(Command11, &QPushButton::clicked, this,
            [this] { options_.openUrl(programPage("support.html")); });
    connect(Command12, &QPushButton::clicked, this, [this] { options_.openUrl(programPage("glove.html")); });
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

void Form1::tick() {
    if (shutDown_) return;
    core_->tick();
    refreshLog();
}

void Form1::checkDevices() {
    if (shutDown_) return;
    core_->checkDevices();
    refreshLog();
}

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

} // namespace vantaro
