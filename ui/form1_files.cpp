// Import and Export: the action list to and from a file of the user's choice.
#include "ui/form1.h"

#include <QListWidget>
#include <QPushButton>

namespace vantaro {

void Form1::importClicked() {
    const QString chosen = ui_.importFileName();
    if (chosen.isEmpty()) return;
    const LoadResult r = core_->importActions(std::filesystem::path(chosen.toStdString()));
    if (r.showExport) exportButton_->show();
    // A rebuilt list has no line chosen: Save and Delete would have nothing to work on.
    if (selectedLine() < 0) {
        deleteButton_->hide();
        saveButton_->hide();
    }
}

void Form1::exportClicked() {
    const QString chosen = ui_.exportFileName();
    if (chosen.isEmpty()) return;
    (void)core_->exportActions(std::filesystem::path(chosen.toStdString()));
}

} // namespace vantaro
