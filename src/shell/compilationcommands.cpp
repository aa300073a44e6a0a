// The main window's compilation player and audience sounds: an accepted compilation plays
// entry after entry, driven by the end of each song, sound and pause; the applause, boo and
// user sounds play over the running song.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTime>
#include <QVBoxLayout>

#include "atomicfile.h"
#include "listwindow.h"
#include "mainwindow.h"
#include "mci.h"
#include "songlist.h"

namespace cantavo {

namespace {

// The argument of an entry: the line from its character `from` (1-based), blanks trimmed.
QString argumentOf(const QString& entry, int from) { return entry.mid(from - 1).trimmed(); }

}  // namespace

QLabel* MainWindow::compilationStatus() { return statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel2")); }

void MainWindow::CompilationStep(int mode) {
    if (mode == 0) {
        OpenListEditor();
        return;
    }
    pauseCountdown_.stop();
    const auto tellStage = qScopeGuard([this] { stageNextUp(); });
    for (;;) {
        compilationIndex += 1;
        if (compilationIndex > compilationCount) {
            if (compilationCount > 0 && compilationIndex == compilationCount + 1) compilationStatus()->setText(QStringLiteral("Compilation finished"));
            return;
        }
        const QString entry = compilationEntries.value(compilationIndex - 1);
        compilationStatus()->setText(QStringLiteral("%1 of %2: %3").arg(compilationIndex).arg(compilationCount).arg(entry));
        const QChar kind = entry.isEmpty() ? QChar() : entry.front();
        if (kind == QLatin1Char('C')) continue;
        if (kind == QLatin1Char('B')) {
            const QString picture = argumentOf(entry, 12);
            if (!lyrics_->ShowPicture(picture)) noteCompilationProblem(picture, QStringLiteral("the picture could not be shown"), true);
            continue;
        }
        if (kind == QLatin1Char('W')) {
            // Played on the sound control: its end goes on with the compilation, and the
            // window answers while it plays.
            const QString sound = argumentOf(entry, 6);
            QString why;
            if (playSound(sound, &why)) return;
            noteCompilationProblem(sound, why, true);
            continue;
        }
        if (kind == QLatin1Char('K')) {
            // Nothing may wait for a click while the evening runs: what the song's opening
            // would say in a message box goes to the log.
            const QString song = argumentOf(entry, 9);
            heldMessages_.clear();
            bool started;
            {
                const QScopedValueRollback quiet(quietBoxes_, true);
                started = startCompilationSong(song);
            }
            QString problem = !QFileInfo(song).isFile() ? QStringLiteral("not found") : session_->openProblem();
            if (problem.isEmpty() && !heldMessages_.isEmpty()) problem = heldMessages_.join(QStringLiteral("; "));
            if (started) {
                if (!problem.isEmpty()) noteCompilationProblem(song, problem, false);
                return;
            }
            noteCompilationProblem(song, problem.isEmpty() ? QStringLiteral("could not be played") : problem, true);
            continue;
        }
        if (kind == QLatin1Char('P')) {
            const double seconds = LeadingNumber(argumentOf(entry, 7));
            const int ms = static_cast<int>(std::clamp(seconds * 1000.0, 0.0, 86400000.0));
            timer1_->setInterval(ms);
            // A pause of 0 waits for "&Autoplay".
            if (ms > 0) {
                pauseLeftMs_ = ms;
                timer1_->start();
                pauseCountdown_.start();
                showPauseLeft();
            } else {
                timer1_->stop();
                compilationStatus()->setText(QStringLiteral("%1 of %2: waiting for Autoplay").arg(compilationIndex).arg(compilationCount));
            }
            return;
        }
        compilationStatus()->setText(QStringLiteral("%1 of %2: stopped at \"%3\"").arg(compilationIndex).arg(compilationCount).arg(entry));
        noteCompilationProblem(entry, QStringLiteral("not an entry of a compilation; the compilation stops here"), false);
        return;
    }
}

void MainWindow::showPauseLeft() {
    const int seconds = (pauseLeftMs_ + 999) / 1000;
    compilationStatus()->setText(QStringLiteral("%1 of %2: pause, %3 s").arg(compilationIndex).arg(compilationCount).arg(seconds));
}

bool MainWindow::startCompilationSong(const QString& path) {
    if (list_) list_->preview->setCommand(QStringLiteral("close"));
    enableCommand(SongCommand::InformationButton, true);
    enableCommand(SongCommand::ToolSaveWave, true);
    session_->songReady = 0;
    session_->songPath = SongSession::MakeBlankFreeCopy(path);
    if (!QFileInfo(path).isFile()) {
        showWarning(QStringLiteral("The song \"%1\" was not found.").arg(path));
        return false;
    }
    if (!session_->OpenAsCurrent(session_->songPath)) return false;
    // As if Play were pressed: through the control's own button.
    QToolButton* play = panel_->midi->button(MediaButton::Play);
    if (!play->isEnabled()) return false;
    panel_->midi->setFocus();
    play->click();
    return true;
}

void MainWindow::noteCompilationProblem(const QString& item, const QString& what, bool skipped) {
    const QString line = QStringLiteral("%1 of %2: %3: %4%5")
                             .arg(compilationIndex)
                             .arg(compilationCount)
                             .arg(QFileInfo(item).fileName().isEmpty() ? item : QFileInfo(item).fileName(), what,
                                  skipped ? QStringLiteral(" (skipped)") : QString());
    statusBar()->showMessage(line, 15000);
    compilationLog << QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + line;
    if (logText_) logText_->setPlainText(compilationLog.join(QLatin1Char('\n')));
}

void MainWindow::ShowCompilationLog() {
    if (!logWindow_) {
        logWindow_ = new QDialog(this);
        logWindow_->setObjectName(QStringLiteral("CompilationLogWindow"));
        logWindow_->setWindowTitle(QStringLiteral("Compilation Log"));
        auto* layout = new QVBoxLayout(logWindow_);
        logText_ = new QPlainTextEdit(logWindow_);
        logText_->setObjectName(QStringLiteral("CompilationLog"));
        logText_->setReadOnly(true);
        layout->addWidget(logText_);
        auto* close = new QDialogButtonBox(QDialogButtonBox::Close, logWindow_);
        connect(close, &QDialogButtonBox::rejected, logWindow_, &QDialog::hide);
        layout->addWidget(close);
        logWindow_->resize(560, 300);
    }
    logText_->setPlainText(compilationLog.isEmpty() ? QStringLiteral("Nothing has gone wrong in a compilation.")
                                                    : compilationLog.join(QLatin1Char('\n')));
    logWindow_->show();
    logWindow_->raise();
}

bool MainWindow::playSound(const QString& path, QString* why) {
    MediaControl& sounds = *panel_->sounds;
    sounds.setCommand(QStringLiteral("close"));
    sounds.setFileName(path);
    const QString problem = InputFileProblem(path, kMaxSoundBytes);
    if (!problem.isEmpty() || !sounds.setCommand(QStringLiteral("open")) || !sounds.setCommand(QStringLiteral("play"))) {
        const QString reason = problem.isEmpty() ? sounds.errorDetail() : problem;
        if (why) *why = reason;
        else statusBar()->showMessage(QStringLiteral("The sound %1 could not be played (%2)").arg(QFileInfo(path).fileName(), reason), 8000);
        return false;
    }
    return true;
}

// The sound control's next end is the audience sound's, not a compilation entry's: unless
// it replaces a compilation's own sound, whose end it then stands for. A sound that does not
// play ends nothing and must leave the flag as it was, or the song's end is swallowed.
void MainWindow::playOverSong(const QString& path) {
    const int before = session_->suppressCompletion;
    const bool replacesEntry = compilationSoundPlaying();
    if (!replacesEntry) session_->suppressCompletion = 1;
    if (!playSound(path)) session_->suppressCompletion = before;
}

bool MainWindow::compilationSoundPlaying() const {
    if (compilationIndex < 1 || compilationIndex > compilationCount) return false;
    const QString entry = compilationEntries.value(compilationIndex - 1);
    return entry.startsWith(QLatin1Char('W')) && panel_->sounds->mode() == static_cast<int>(MediaMode::Playing) &&
           session_->suppressCompletion != 1;
}

void MainWindow::PlayAudienceSound(const QString& file) { playOverSong(ProgramDirectoryPath(programDir_, file)); }

void MainWindow::UserSoundButton(Qt::MouseButton button, int which) {
    QString& setting = which == 1 ? prefs.userSound1 : prefs.userSound2;
    if (button == Qt::LeftButton) {
        if (setting.isEmpty()) {
            statusBar()->showMessage(QStringLiteral("Choose the sound of User %1 with the right mouse button").arg(which), 8000);
            return;
        }
        playOverSong(setting);
        return;
    }
    const QString chosen = chooseUserSound ? chooseUserSound()
                                           : QFileDialog::getOpenFileName(this, QStringLiteral("User %1").arg(which), QString(),
                                                                          QStringLiteral("Sounds (*.wav)"));
    if (!chosen.isEmpty()) setting = QFileInfo(chosen).absoluteFilePath();
}

bool MainWindow::LoadCompilation(const QString& path) {
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(path, kMaxTextBytes, &bytes, &why)) {
        showWarning(QStringLiteral("%1 could not be read: %2").arg(path, why));
        return false;
    }
    const QString text = DecodeTextFile(bytes).trimmed() + QStringLiteral("\r\n");
    compilationEntries = CompilationEntries(text);
    compilationCount = static_cast<int>(compilationEntries.size());
    compilationIndex = 0;
    commands_->setEnabled(QStringLiteral("al1"), compilationCount > 0);
    commands_->setEnabled(QStringLiteral("Command4"), compilationCount > 0);
    if (compilationCount > 0) CompilationStep(1);
    return compilationCount > 0;
}

void MainWindow::connectCompilation() {
    Commands& c = *commands_;
    for (const char* name : {"al1", "Command4", "Command2", "Command3", "Command5", "Command6", "compilationLog"}) c.setAvailable(QString::fromLatin1(name));
    connect(c[QStringLiteral("al1")], &QAction::triggered, this, [this] { CompilationStep(1); });
    connect(c[QStringLiteral("Command4")], &QAction::triggered, this, [this] { CompilationStep(1); });
    connect(c[QStringLiteral("Command2")], &QAction::triggered, this, [this] { PlayAudienceSound(QStringLiteral("APPL.WAV")); });
    connect(c[QStringLiteral("Command3")], &QAction::triggered, this, [this] { PlayAudienceSound(QStringLiteral("boo.wav")); });
    connect(c[QStringLiteral("Command5")], &QAction::triggered, this, [this] { UserSoundButton(Qt::LeftButton, 1); });
    connect(c[QStringLiteral("Command6")], &QAction::triggered, this, [this] { UserSoundButton(Qt::LeftButton, 2); });
    connect(c[QStringLiteral("compilationLog")], &QAction::triggered, this, &MainWindow::ShowCompilationLog);
    for (int i : {1, 2, 4, 5}) {
        QAction* a = c[QStringLiteral("Command%1").arg(i + 1)];
        connect(panel_->buttons[i], &QPushButton::clicked, a, &QAction::trigger);
        panel_->buttons[i]->setEnabled(true);
        panel_->buttons[i]->setToolTip(a->toolTip());
    }
    panel_->buttons[4]->installEventFilter(this);
    panel_->buttons[5]->installEventFilter(this);
    connect(transport_, &Transport::songCompleted, this, [this] { CompilationStep(1); });
    connect(panel_->sounds, &MediaControl::completed, this, [this] {
        const bool suppressed = session_->suppressCompletion == 1;
        session_->suppressCompletion = 0;
        if (!suppressed) CompilationStep(1);
    });
    connect(timer1_, &QTimer::timeout, this, [this] {
        timer1_->setInterval(0);
        CompilationStep(1);
    });
    pauseCountdown_.setInterval(1000);
    connect(&pauseCountdown_, &QTimer::timeout, this, [this] {
        pauseLeftMs_ = std::max(0, pauseLeftMs_ - 1000);
        if (pauseLeftMs_ > 0) showPauseLeft();
        else pauseCountdown_.stop();
    });
}

bool MainWindow::userSoundPress(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) return false;
    const int which = watched == panel_->buttons[4] ? 1 : watched == panel_->buttons[5] ? 2 : 0;
    const auto* press = static_cast<QMouseEvent*>(event);
    if (which == 0 || press->button() == Qt::LeftButton) return false;
    UserSoundButton(press->button(), which);
    return true;
}

}  // namespace cantavo
