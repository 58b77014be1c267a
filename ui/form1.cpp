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
#include <QWindow>

#include <algorithm>

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
        ActionListBox(actionLines_),
        LiveTexts({buttonBox_, axisBox_, povBox_, handBox_, fingersBox_}, gloveLabels_),
        JoystickWidgets(joystickList_, centrePrompt_, calibrateButton_, joystickLines_, extendedLines_),
        OutputList(outputList_),
        LagLabel(lagLabel_),
    });
    CoreOptions core;
    core.dataFolder = options_.dataFolder;
    core.yieldToMessageLoop = [] { QCoreApplication::processEvents(); };
    core_ = std::make_unique<ProgramCore>(
        CoreDevices{devices_.joystick, devices_.midiOut, devices_.midiIn, &devices_.glove}, views_->views(),
        ui_, clock_, std::move(core));
    connectEditor();
    connectDevices();
    connect(importButton_, &QPushButton::clicked, this, &Form1::importClicked);
    connect(exportButton_, &QPushButton::clicked, this, &Form1::exportClicked);
    connect(viewButton_, &QPushButton::clicked, this, &Form1::switchView);
    connect(quitButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(helpButton_, &QPushButton::clicked, this, [this] { options_.openUrl(programPage("help.html")); });
    connect(shirtButton_, &QPushButton::clicked, this,
            [this] { options_.openUrl(programPage("support.html")); });
    connect(gloveShopButton_, &QPushButton::clicked, this,
            [this] { options_.openUrl(programPage("glove.html")); });
    applyViewHeight();
    connect(pollTimer_, &QTimer::timeout, this, &Form1::tick);
    connect(deviceTimer_, &QTimer::timeout, this, &Form1::checkDevices);
}

Form1::~Form1() {
    pollTimer_->stop();
    deviceTimer_->stop();
    // The widgets go after this object's own parts: their last signals must find nobody listening.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

// ---- view ----------------------------------------------------------------------------------

void Form1::switchView() {
    const std::int16_t expanded = core_->expandedView() != 1 ? 1 : 0;
    core_->setExpandedView(expanded);
    viewButton_->setText(expanded != 0 ? QStringLiteral("&<") : QStringLiteral("&>"));
    applyViewHeight();
    refreshLog();
    storeSetting(settings::bigform, expanded);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The window fits the screen it is on: another screen, or a panel that comes or goes, fits it anew.
    if (QWindow* handle = windowHandle()) {
        connect(handle, &QWindow::screenChanged, this, [this] {
            followScreen();
            applyViewHeight();
        });
    }
    followScreen();
    applyViewHeight();
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        // Taller than the screen even so, it keeps its title bar on it.
        frame.moveTop(std::max(frame.top(), area.top()));
        move(frame.topLeft());
    }
}

void Form1::followScreen() {
    disconnect(screenArea_);
    if (const QScreen* s = screen())
        screenArea_ = connect(s, &QScreen::availableGeometryChanged, this, &Form1::applyViewHeight);
}

// The window system may tell the frame's size only once the window is up: fit again then.
void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (shownOnce_ && frameHeightEstimate() != fittedFrame_) applyViewHeight();
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
            addButton_->click();
        return;
    case Qt::Key_Escape:
        // "Buy a T-Shirt" is the window's cancel button.
        shirtButton_->click();
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
    messageLog_->setPlainText(text);
    QTextCursor caret(messageLog_->document());
    caret.movePosition(messageLog.caret() == MessageLog::Caret::End ? QTextCursor::End : QTextCursor::Start);
    messageLog_->setTextCursor(caret);
    messageLog_->ensureCursorVisible();
}

} // namespace vantaro
