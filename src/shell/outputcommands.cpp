// The main window's lyrics file and printing commands.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "atomicfile.h"
#include "listpanes.h"
#include "lyricsexport.h"
#include "mainwindow.h"
#include "printdialog.h"

namespace cantavo {

PrintDialog& MainWindow::printDialog() {
    if (!print_) {
        print_ = new PrintDialog(this);
        print_->showWarning = [this](const QString& text) { showWarning(text); };
    }
    return *print_;
}

void MainWindow::SaveLyricsCommand(bool fromToolbar) {
    const QString proposal = LyricsFileProposal(session_->songPath, fromToolbar);
    QString chosen;
    if (chooseLyricsFile) {
        chosen = chooseLyricsFile(proposal);
    } else {
        QString selected = QStringLiteral("Lyrics (*.txt)");
        chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save Lyrics"), proposal, QStringLiteral("All files (*.*);;Lyrics (*.txt)"),
                                              &selected, QFileDialog::DontConfirmOverwrite);
    }
    if (chosen.isEmpty()) return;
    chosen = QFileInfo(chosen).absoluteFilePath();
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    ExportLyrics(chosen);
}

bool MainWindow::ExportLyrics(const QString& path) {
    if (QFileInfo::exists(path) && !askYesNo(QStringLiteral("Overwrite existing file?"))) return false;
    // The title as its tags give it: a song without them starts with the line breaks.
    const SongModel& song = session_->song;
    const QString title = song.titleSource == TitleSource::Tags ? song.songTitle : QString();
    QString why;
    if (!WriteFileAtomically(path, LyricsFileBytes(title, lyrics_->lyricsText()), &why)) {
        showWarning(QStringLiteral("Can't close the file. Please correct the error and retry\n\n%1: %2").arg(QDir::toNativeSeparators(path), why));
        return false;
    }
    return true;
}

void MainWindow::connectOutput() {
    Commands& c = *commands_;
    for (const char* name : {"mnfileitem2", "tb8", "mnfileitem4", "tb6"}) c.setAvailable(QString::fromLatin1(name));
    connect(c[QStringLiteral("mnfileitem2")], &QAction::triggered, this, [this] { SaveLyricsCommand(false); });
    connect(c[QStringLiteral("tb8")], &QAction::triggered, this, [this] { SaveLyricsCommand(true); });
    const auto showPrint = [this] {
        printDialog().panes->refresh();
        printDialog().show();
        printDialog().raise();
    };
    connect(c[QStringLiteral("mnfileitem4")], &QAction::triggered, this, showPrint);
    connect(c[QStringLiteral("tb6")], &QAction::triggered, this, showPrint);
}

}  // namespace cantavo
