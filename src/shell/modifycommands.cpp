// The main window's song-editing commands: the modification dialog and "&Save As...".
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

#include "mainwindow.h"
#include "modifydialog.h"
#include "rewriter.h"

namespace cantavo {

ModifyDialog& MainWindow::modifyDialog() {
    if (!modify_) {
        // A window of its own rather than a child: after "&Modify" it stays behind the
        // lyrics window instead of covering the words being sung.
        modify_ = new ModifyDialog(*session_, *this, nullptr);
        modify_->setAttribute(Qt::WA_QuitOnClose, false);
        modify_->hideMainView = [this] { hideForDialog(); };
        modify_->restoreMainView = [this] { RestoreMainView(); };
    }
    return *modify_;
}

void MainWindow::PrepareModify() { modifyDialog().PrepareModify(); }

void MainWindow::RestoreMainView() {
    if (toolbarVisible) toolbar_->show();
    if (panelVisible) setPanelVisible(true);
    raise();
    activateWindow();
    mdi_->setActiveSubWindow(lyricsSub_);
    lyricsSub_->raise();
}

void MainWindow::SaveAs() {
    const QString modified = session_->songPath;
    if (!modified.endsWith(QStringLiteral(".ktf"), Qt::CaseInsensitive)) {
        statusBar()->showMessage(QStringLiteral("Save As keeps a song changed with Modify .KAR"), 6000);
        return;
    }
    panel_->midi->setCommand(QStringLiteral("close"));
    for (;;) {
        QString chosen;
        if (chooseSaveAsFile) {
            chosen = chooseSaveAsFile();
        } else {
            QString selected = QStringLiteral("Karaoke Files (*.kar)");
            chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QString(),
                                                  QStringLiteral("All files (*.*);;Karaoke Files (*.kar)"), &selected,
                                                  QFileDialog::DontConfirmOverwrite);
        }
        // Cancelled: the modified song is there to be sung as before.
        if (chosen.isEmpty()) {
            session_->OpenAsCurrent(modified);
            return;
        }
        chosen = QFileInfo(chosen).absoluteFilePath();
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
        if (QFileInfo::exists(chosen) && !askYesNo(QStringLiteral("Overwrite existing file?"))) continue;
        QByteArray bytes;
        QString error;
        if (ReadInputFile(modified, kMaxSongBytes, &bytes, &error) && WriteFileAtomically(chosen, bytes, &error)) {
            session_->songPath = SongSession::MakeBlankFreeCopy(chosen);
            session_->OpenAsCurrent(session_->songPath);
            return;
        }
        showWarning(QStringLiteral("The song could not be saved as %1: %2").arg(QDir::toNativeSeparators(chosen), error));
        session_->OpenAsCurrent(modified);
        return;
    }
}

}  // namespace cantavo
