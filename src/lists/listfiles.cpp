// The list window's file menu: lists, compilations and the report, and its edit menu.
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>

#include "atomicfile.h"
#include "listwindow.h"
#include "songsession.h"

namespace cantavo {

QString ListWindow::fileFor(const QString& title, const QString& filter, bool save) {
    for (;;) {
        QString chosen;
        if (chooseFile) {
            chosen = chooseFile(title, filter, save);
        } else {
            // "Name|pattern|Name|pattern": the dialog's filters, the second one chosen.
            const QStringList parts = filter.split(QLatin1Char('|'));
            QStringList names;
            for (int i = 0; i + 1 < parts.size(); i += 2) names << parts[i];
            QString selected = names.value(1, names.value(0));
            chosen = save ? QFileDialog::getSaveFileName(this, title, QString(), names.join(QStringLiteral(";;")), &selected,
                                                         QFileDialog::DontConfirmOverwrite)
                          : QFileDialog::getOpenFileName(this, title, QString(), names.join(QStringLiteral(";;")), &selected);
        }
        if (chosen.isEmpty()) return {};
        chosen = QFileInfo(chosen).absoluteFilePath();
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
        if (save && QFileInfo::exists(chosen) && !view_.askYesNo(QStringLiteral("Overwrite existing file?"))) continue;
        return chosen;
    }
}

bool ListWindow::writeFile(const QString& path, const QByteArray& bytes) {
    QString error;
    if (WriteFileAtomically(path, bytes, &error)) return true;
    view_.showWarning(QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), error));
    return false;
}

void ListWindow::OpenList() {
    if (!rows().isEmpty() && !view_.askYesNo(QStringLiteral("Clear List"))) return;
    const QString path = fileFor(QStringLiteral("Open List"), QStringLiteral("All files (*.*)|*.*|Karaoke files list (*.lst)|*.lst"), false);
    if (path.isEmpty()) return;
    setCursor(Qt::WaitCursor);
    readList(path);
    unsetCursor();
}

void ListWindow::OpenListFile(const QString& path) {
    if (!rows().isEmpty() && !view_.askYesNo(QStringLiteral("Clear List"))) return;
    readList(path);
}

void ListWindow::readList(const QString& path) {
    QStringList problems;
    setRows(ReadListFile(path, &problems));
    tellProblems(QStringLiteral("Some of the list could not be read:\n"), problems);
}

void ListWindow::SaveList() {
    const QList<SongRow> all = rows();
    if (all.isEmpty()) {
        view_.showWarning(QStringLiteral("List is empty"));
        return;
    }
    const QString path = fileFor(QStringLiteral("Save List"), QStringLiteral("All files (*.*)|*.*|Karaoke files list (*.lst)|*.lst"), true);
    if (path.isEmpty()) return;
    QStringList leftOut;
    const QByteArray bytes = ListFileBytes(all, &leftOut);
    if (writeFile(path, bytes)) tellProblems(QStringLiteral("These songs could not be written in the list and were left out of it:\n"), leftOut);
}

void ListWindow::OpenCompilation() {
    if (!compilation->toPlainText().isEmpty() && !view_.askYesNo(QStringLiteral("Clear Compilation"))) return;
    const QString path = fileFor(QStringLiteral("Open Compilation"), QStringLiteral("All files (*.*)|*.*|Compilations (*.cpl)|*.cpl"), false);
    if (path.isEmpty()) return;
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(path, kMaxTextBytes, &bytes, &why)) {
        view_.showWarning(QStringLiteral("%1 could not be read: %2").arg(QDir::toNativeSeparators(path), why));
        return;
    }
    compilation->setPlainText(DecodeTextFile(bytes).remove(QLatin1Char('\r')));
}

void ListWindow::SaveCompilation() {
    const QString path = fileFor(QStringLiteral("Save Compilation"), QStringLiteral("All Files (*.*)|*.*|Compilations (*.cpl)|*.cpl"), true);
    if (path.isEmpty()) return;
    writeFile(path, CompilationFileBytes(compilation->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))));
}

void ListWindow::MakeReport() {
    const QList<SongRow> all = rows();
    if (all.isEmpty()) {
        view_.showWarning(QStringLiteral("List is Empty"));
        return;
    }
    const QString path = fileFor(QStringLiteral("Make Report"), QStringLiteral("All Files (*.*)|*.*|Song Lists (*.txt)|*.txt"), true);
    if (path.isEmpty()) return;
    setCursor(Qt::WaitCursor);
    writeFile(path, ReportBytes(all, QDateTime::currentDateTime()));
    unsetCursor();
}

void ListWindow::editCommand(int which) {
    QWidget* active = focusWidget();
    QClipboard* clipboard = QApplication::clipboard();
    if (auto* line = qobject_cast<QLineEdit*>(active)) {
        if (which == 0) line->copy();
        else if (which == 1) line->cut();
        else line->paste();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(active)) {
        if (which == 0) text->copy();
        else if (which == 1) text->cut();
        else text->paste();
    } else if (active == grid && which == 0) {
        const int row = currentRow();
        if (row >= 0) {
            const SongRow r = rowAt(row);
            clipboard->setText(QStringList{r.fileName, r.length, r.title, r.author, r.path}.join(QLatin1Char('\t')));
        }
    }
}

}  // namespace cantavo
