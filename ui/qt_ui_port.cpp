#include "ui/qt_ui_port.h"

#include "ui/forms.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace vantaro {

namespace {
const QString kFilter = QStringLiteral("Vantaro Config Files (*.dat);;All Files (*)");
}

bool QtUiPort::askYesNo(const std::string& text) {
    // No is the default: Enter must never be what sets anything aside or discards it.
    return QMessageBox::question(owner_, title(), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void QtUiPort::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), QString::fromStdString(text), QMessageBox::Ok, owner_);
    box.exec();
}

MidiErrorChoice QtUiPort::showMidiError(const std::string& codeText) {
    Form4 form(codeText, owner_);
    form.exec();
    return form.choice();
}

void QtUiPort::endProgram() {
    if (end_) {
        end_();
        return;
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

void QtUiPort::showSplash(int closeAfterMs) {
    Form3 splash(closeAfterMs, owner_);
    splash.exec();
}

QtUiPort::DeleteAnswer QtUiPort::confirmDelete() {
    Form2 form(owner_);
    form.exec();
    switch (form.answer()) {
    case Form2::Answer::Yes:
        return DeleteAnswer::Yes;
    case Form2::Answer::Always:
        return DeleteAnswer::Always;
    case Form2::Answer::No:
        break;
    }
    return DeleteAnswer::No;
}

bool QtUiPort::pickRoutes(const std::vector<std::string>& ports, std::vector<bool>& selected) {
    Form5 form(ports, selected, owner_);
    if (form.exec() != QDialog::Accepted) return false;
    selected = form.selection();
    return true;
}

QString QtUiPort::chooseFile(bool save) {
    QFileDialog dialog(owner_,
                       save ? QStringLiteral("Export config file") : QStringLiteral("Import config file"),
                       lastFolder_, kFilter);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Added by the dialog itself, so that its question before replacing a file names the
        // file that will be written.
        dialog.setDefaultSuffix(QStringLiteral("dat"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString chosen = dialog.selectedFiles().value(0);
    if (!chosen.isEmpty()) lastFolder_ = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString QtUiPort::importFileName() {
    return chooseFile(false);
}

QString QtUiPort::exportFileName() {
    return chooseFile(true);
}

} // namespace vantaro
