// The main window's side of song lists and compilations: opening the list window, and the
// compilation it hands over.
#include <QDir>

#include "listwindow.h"
#include "mainwindow.h"
#include "mci.h"

namespace cantavo {

ListWindow& MainWindow::listWindow() {
    if (!list_) {
        // A window of its own, like the modification dialog: after "&OK" or "&Sing" it stays
        // behind the lyrics window.
        list_ = new ListWindow(*session_, *this, nullptr);
        list_->setAttribute(Qt::WA_QuitOnClose, false);
        list_->defaultListPath = defaultListPath();
        list_->restoreMainView = [this] { RestoreMainView(); };
        list_->showMainView = [this] {
            toolbar_->show();
            setPanelVisible(true);
            RestoreMainView();
        };
        list_->accepted = [this](const QStringList& entries) {
            compilationEntries = entries;
            compilationCount = static_cast<int>(entries.size());
            compilationIndex = 0;
        };
        list_->enableAutoplay = [this](bool on) {
            commands_->setEnabled(QStringLiteral("al1"), on);
            commands_->setEnabled(QStringLiteral("Command4"), on);
        };
    }
    return *list_;
}

void MainWindow::OpenListEditor() {
    compilationIndex = 0;
    panel_->midi->setCommand(QStringLiteral("close"));
    if (!session_->songPath.isEmpty()) MciSendString(QStringLiteral("close ") + session_->songPath);
    panel_->sounds->setCommand(QStringLiteral("close"));
    listWindow().Present();
    hideForDialog();
}

}  // namespace cantavo
