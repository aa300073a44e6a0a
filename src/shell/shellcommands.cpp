// The main window's start-up, preferences, MIDI Out and exit commands.
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QMenu>

#include "mainwindow.h"
#include "listwindow.h"
#include "modifydialog.h"
#include "mci.h"
#include "numbers.h"
#include "runfiles.h"
#include "songencoding.h"
#include "synthhost.h"
#include "wavedevice.h"

namespace cantavo {

namespace {

QColor fromBgr(qint32 c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
qint32 toBgr(const QColor& c) { return c.red() | c.green() << 8 | c.blue() << 16; }
constexpr int kTwips = 15;

}  // namespace

void MainWindow::setProgramDirectory(const QString& dir) {
    programDir_ = dir;
    const bool installed = QDir(dir) != QDir(QCoreApplication::applicationDirPath());
    installed_ = installed;
    preferencesPath_ = PreferencesPath(dir, installed);
    session_->encodingMemory = SongMemory(PreferencesPath(dir, installed, QStringLiteral("song-encodings.txt")));
    session_->liveMemory = SongMemory(PreferencesPath(dir, installed, QStringLiteral("song-live.txt")), QStringLiteral("the song's key, tempo and mix"));
    // The intro tune is the placeholder song of the main sequencer control.
    const QString intro = ProgramDirectoryPath(dir, QStringLiteral("cantavo.mid"));
    session_->songPath = intro;
    panel_->midi->setCommand(QStringLiteral("close"));
    panel_->midi->setFileName(intro);
    panel_->midi->setCommand(QStringLiteral("open"));
    MciSendString(QStringLiteral("set ") + intro + QStringLiteral(" port mapper"));
    restoreLivePanel();
    restoreScoring();
    restoreChosenInput();
}

QString MainWindow::waveTemplatePath() const {
    const QString name = QStringLiteral("%1-%2-%3.wav").arg(prefs.recordBits).arg(std::abs(prefs.recordStereo)).arg(prefs.recordKHz);
    return ProgramDirectoryPath(programDir_, name);
}

void MainWindow::loadPreferences() {
    Preferences p;
    ReadPreferences(preferencesPath_, p, DefaultPreferences());
    applyPreferences(p);
}

void MainWindow::applyPreferences(const Preferences& p) {
    prefs = p;
    if (!p.dir.isEmpty() && QFileInfo(p.dir).isDir()) QDir::setCurrent(p.dir);
    panel_->wave->setCommand(QStringLiteral("close"));
    panel_->wave->setFileName(waveTemplatePath());
    panel_->wave->setCommand(QStringLiteral("open"));
    setToolbarOn(p.ribbon == QStringLiteral("ON"));
    if (p.width > 0 && p.height > 0) setGeometry(p.left / kTwips, p.top / kTwips, p.width / kTwips, p.height / kTwips);
    panel_->midi->setTimeFormat(0);
    panel_->wave->setTimeFormat(0);
    panel_->sounds->setTimeFormat(0);
    DisplaySettings& d = lyrics_->settings;
    d.fontName = p.fontName;
    if (p.fontSize > 0) d.fontSize = p.fontSize;
    d.textColor = fromBgr(p.textColor);
    d.backColor = fromBgr(p.backColor);
    d.backBitmap = p.backBitmap;
    d.fontItalic = p.fontItalic != 0;
    d.fontBold = p.fontBold != 0;
    d.fontUnderline = p.fontUnderline != 0;
    d.fontStrikethru = p.fontStrikethru != 0;
    d.pilotColor = fromBgr(p.pilotColor);
    d.highlightColor = fromBgr(p.highlightColor);
    (*commands_)[QStringLiteral("tb14")]->setChecked(d.fontBold);
    (*commands_)[QStringLiteral("tb16")]->setChecked(d.fontItalic);
    (*commands_)[QStringLiteral("tb18")]->setChecked(d.fontUnderline);
    lyrics_->ApplyLyricsFont();
    lyrics_->RedrawPage(0);
    session_->waveUnsaved = 0;
    session_->midiOutChoice = p.midiOutChoice;
    BuildMidiOutMenu();
}

Preferences MainWindow::currentPreferences() const {
    Preferences p = prefs;
    const DisplaySettings& d = lyrics_->settings;
    p.fontName = d.fontName;
    p.fontSize = d.fontSize;
    p.textColor = toBgr(d.textColor);
    p.backColor = toBgr(d.backColor);
    p.backBitmap = d.backBitmap;
    p.fontItalic = d.fontItalic ? -1 : 0;
    p.fontBold = d.fontBold ? -1 : 0;
    p.fontUnderline = d.fontUnderline ? -1 : 0;
    p.fontStrikethru = d.fontStrikethru ? -1 : 0;
    p.pilotColor = toBgr(d.pilotColor);
    p.highlightColor = toBgr(d.highlightColor);
    p.ribbon = toolbar_->isVisibleTo(this) ? QStringLiteral("ON") : QStringLiteral("OFF");
    p.midiOutChoice = session_->midiOutChoice;
    p.dir = QDir::currentPath();
    const QRect g = geometry();
    p.top = g.top() * kTwips;
    p.left = g.left() * kTwips;
    p.height = g.height() * kTwips;
    p.width = g.width() * kTwips;
    return p;
}

bool MainWindow::SavePreferences() {
    QString error;
    if (WritePreferences(preferencesPath_, currentPreferences(), &error)) return true;
    showWarning(error);
    return false;
}

void MainWindow::watchSoundOutput() {
    SynthHost* host = MediaRegistry::instance().synthHost(nullptr);
    if (!host) return;
    const auto tell = [this, host] {
        // Said once for each time the sound goes away; a song that plays on silently, or a
        // retry that fails the same way, says nothing more.
        const QString problem = host->outputProblem();
        statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel1"))->setText(problem.isEmpty() ? QString() : QStringLiteral("Silent: no sound output"));
        if (problem.isEmpty() || problem == shownOutputProblem_) {
            if (problem.isEmpty()) shownOutputProblem_.clear();
            return;
        }
        shownOutputProblem_ = problem;
        showWarning(problem);
    };
    connect(host, &SynthHost::outputChanged, this, tell);
    // The splash's intro may already have found the sound missing: said once the window is up.
    if (!host->outputProblem().isEmpty()) QTimer::singleShot(0, this, tell);
}

void MainWindow::buildEncodingMenu(QMenu* parent) {
    encodingMenu_ = parent->addMenu(QStringLiteral("Lyrics &Encoding"));
    encodingMenu_->setObjectName(QStringLiteral("enc"));
    auto* group = new QActionGroup(encodingMenu_);
    QList<EncodingChoice> choices{{QString(), QStringLiteral("&Automatic")}};
    choices += SongEncodingChoices();
    for (const EncodingChoice& choice : choices) {
        QAction* a = encodingMenu_->addAction(choice.label);
        a->setObjectName(choice.name.isEmpty() ? QStringLiteral("enc-auto") : QStringLiteral("enc-") + choice.name);
        a->setData(choice.name);
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name = choice.name] { session_->ChooseEncoding(name); });
        if (choice.name.isEmpty()) encodingMenu_->addSeparator();
    }
    // The items show the current song's choice, and the automatic item what it found.
    connect(encodingMenu_, &QMenu::aboutToShow, this, [this] {
        const QString chosen = session_->ChosenEncoding();
        for (QAction* a : encodingMenu_->actions()) {
            a->setEnabled(session_->songLoaded());
            if (a->isSeparator()) continue;
            a->setChecked(session_->songLoaded() && a->data().toString() == chosen);
            if (a->data().toString().isEmpty())
                a->setText(session_->songLoaded() && chosen.isEmpty() ? QStringLiteral("&Automatic (%1)").arg(session_->song.encoding)
                                                                       : QStringLiteral("&Automatic"));
        }
    });
}

void MainWindow::BuildMidiOutMenu() {
    for (int i = 1; i < midiOutItems_.size(); ++i) delete midiOutItems_[i];
    midiOutItems_ = midiOutItems_.mid(0, 1);
    QAction* dev0 = midiOutItems_[0];
    const QList<MidiOutDevice> devices = midiDevices();
    const int n = static_cast<int>(devices.size());
    if (n == 0) {
        showWarning(QStringLiteral("No MIDI output device installed."));
        return;
    }
    dev0->setSeparator(false);
    dev0->setText(QStringLiteral("MIDI Mapper"));
    dev0->setCheckable(true);
    disconnect(dev0, nullptr, this, nullptr);
    connect(dev0, &QAction::triggered, this, [this] { ChooseMidiOut(0); });
    for (int i = 0; i < n; ++i) {
        auto* a = midiOutMenu_->addAction(devices[i].name.left(30).trimmed());
        a->setObjectName(QStringLiteral("dev%1").arg(i + 1));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { ChooseMidiOut(i + 1); });
        midiOutItems_ << a;
    }
    if (session_->midiOutChoice > n || session_->midiOutChoice < 0) {
        showWarning(QStringLiteral("The MIDI Out device selected in the preference file does not exist. MIDI Mapper will be selected as default output device"));
        session_->midiOutChoice = 0;
    }
    for (int i = 0; i < midiOutItems_.size(); ++i) midiOutItems_[i]->setChecked(i == session_->midiOutChoice);
}

void MainWindow::ChooseMidiOut(int index) {
    if (index < 0 || index >= midiOutItems_.size()) return;
    for (int i = 0; i < midiOutItems_.size(); ++i) midiOutItems_[i]->setChecked(i == index);
    session_->midiOutChoice = index;
    const QString& path = session_->songPath;
    if (index == 0) MciSendString(QStringLiteral("set ") + path + QStringLiteral(" port mapper"));
    else MciSendString(QStringLiteral("set ") + path + QStringLiteral(" port ") + SignPosition(index - 1));
}

void MainWindow::hideForDialog() {
    if (toolbar_->isVisibleTo(this)) toolbarVisible = -1;
    if (panelShown()) panelVisible = -1;
    toolbar_->hide();
    setPanelVisible(false);
}

void MainWindow::setAlwaysOnTop(bool on) {
    (*commands_)[QStringLiteral("aot")]->setChecked(on);
    const QRect g = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    setGeometry(g);
    show();
}

SongInfoDialog& MainWindow::songInfo() {
    if (!songInfo_) songInfo_ = new SongInfoDialog(this);
    return *songInfo_;
}

HelpWindow& MainWindow::help() {
    if (!help_) help_ = new HelpWindow(ProgramDirectoryPath(programDir_, QStringLiteral("CANTAVO.HLP")));
    return *help_;
}

void MainWindow::ShowHelp(int context) { help().showTopic(context); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (userSoundPress(watched, event)) return true;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            ShowHelp(menu->property("help").toInt());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::exitProgram(bool askAboutTemporaryFiles) {
    if (session_->waveUnsaved == 1 && !askYesNo(QStringLiteral("The recorded .WAV file was not saved. Exit anyway?"))) return;
    SongSession::DeleteWorkingFiles();
    // The other windows go first.
    if (songInfo_) songInfo_->close();
    if (help_) help_->close();
    // Hidden, not closed: closing the modification dialog would open the song again.
    if (modify_) modify_->hide();
    if (list_) list_->hide();
    lyricsSub_->close();
    SongSession::DeleteWorkingFiles();
    if (askAboutTemporaryFiles) {
        // Only the program's own temporary folders: this copy's, and those copies that ended
        // unexpectedly left; never one of a copy still running.
        const QString temp = SongSession::TemporaryFolder();
        QDir::setCurrent(temp);
        const QStringList abandoned = runfiles::AbandonedTemporaryFolders();
        QStringList songs;
        for (const QString& folder : QStringList{temp, runfiles::SharedTemporaryFolder()} + abandoned) {
            const QDir dir(folder);
            for (const QString& f : dir.entryList(QDir::Files))
                if (f.endsWith(QStringLiteral(".mid"), Qt::CaseInsensitive) || f.endsWith(QStringLiteral(".kar"), Qt::CaseInsensitive))
                    songs << dir.filePath(f);
        }
        if (!songs.isEmpty() && askYesNo(QStringLiteral("Delete MIDI Karaoke files in Windows Temporary Directory?"))) {
            for (const QString& f : songs) QFile::remove(f);
            for (const QString& folder : abandoned) runfiles::RemoveIfEmpty(folder);
        }
    }
    leaving_ = true;
    close();
}

void MainWindow::endAtRequest() {
    if (session_->waveUnsaved == 1)
        if (WaveDevice* take = panel_->wave->wave()) take->keepSpool();
    session_->waveUnsaved = 0;
    exitProgram(false);
}

void MainWindow::MenuExit() { exitProgram(true); }
void MainWindow::ButtonExit() { exitProgram(false); }

void MainWindow::closeEvent(QCloseEvent* e) {
    // Closing by the frame asks only about a take that would be lost; the help window goes
    // with the main window.
    if (!leaving_ && session_->waveUnsaved == 1 && !askYesNo(QStringLiteral("The recorded .WAV file was not saved. Exit anyway?"))) {
        e->ignore();
        return;
    }
    if (help_) help_->close();
    if (modify_) modify_->hide();
    if (list_) list_->hide();
    QMainWindow::closeEvent(e);
}

}  // namespace cantavo
