// The main window's part of the singers' rotation: its window in a dock, "Sing next" (the
// next singer's song, in their key and tempo), and what happens when a song of theirs ends.
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include "breakmusic.h"
#include "mainwindow.h"
#include "mci.h"
#include "preferences.h"
#include "songlist.h"
#include "rotationstore.h"
#include "rotationwindow.h"
#include "singersscreen.h"

namespace cantavo {

namespace {

QString turnText(const RotationStore::Turn& t) { return t.singer.name + QStringLiteral(" — ") + t.song.title; }

}  // namespace

void MainWindow::connectRotation() {
    rotationStore_ = std::make_unique<RotationStore>();
    rotation_ = new RotationWindow(*rotationStore_, this);
    auto* dock = new QDockWidget(QStringLiteral("Rotation"), this);
    dock->setObjectName(QStringLiteral("RotationDock"));
    dock->setWidget(rotation_);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    Commands& c = *commands_;
    QAction* show = c.add(QStringLiteral("rotation"), QStringLiteral("&Rotation"), QKeySequence(QStringLiteral("F12")));
    c.setAvailable(QStringLiteral("rotation"));
    show->setCheckable(true);
    show->setToolTip(QStringLiteral("The singers in order, each with their songs"));
    if (auto* view = menuBar()->findChild<QMenu*>(QStringLiteral("view"))) view->addAction(show);
    connect(show, &QAction::triggered, dock, &QDockWidget::setVisible);
    connect(dock, &QDockWidget::visibilityChanged, show, [show, dock] { show->setChecked(dock->isVisible()); });
    QAction* next = c.add(QStringLiteral("singnext"), QStringLiteral("Sing &Next"), QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    c.setAvailable(QStringLiteral("singnext"));
    if (auto* view = menuBar()->findChild<QMenu*>(QStringLiteral("view"))) view->addAction(next);
    connect(next, &QAction::triggered, this, &MainWindow::SingNext);
    connect(rotation_, &RotationWindow::singNext, this, &MainWindow::SingNext);
    connect(rotation_, &RotationWindow::changedByHost, this, &MainWindow::announceNext);
    rotation_->catalogue = [this] { return ReadListFile(defaultListPath()); };
    connect(rotation_, &RotationWindow::breakMusicChanged, this, [this] {
        if (breakMusic_) breakMusic_->stop();
        startBreakMusic();
    });
    // Anything played (a singer's song, or the host's) ends the break.
    connect(panel_->midi, &MediaControl::buttonDone, this, [this](MediaButton b) {
        if (b == MediaButton::Play || b == MediaButton::Record) stopBreakMusic();
    });
    if (!rotationStore_->openProblem().isEmpty()) QTimer::singleShot(0, this, [this] { rotation_->tell(QStringLiteral("Rotation"), rotationStore_->openProblem()); });

    rotationStart_.setSingleShot(true);
    connect(&rotationStart_, &QTimer::timeout, this, [this] {
        if (singing_ && panel_->midi->mode() != static_cast<int>(MediaMode::Playing)) panel_->midi->button(MediaButton::Play)->click();
    });
    // A rotation song played to its end is sung: into the history, the singer to the end of
    // the rotation, and the next one announced.
    connect(panel_->midi, &MediaControl::completed, this, [this](int code) {
        if (!singing_ || code != kNotifySuccessful) return;
        if (QFileInfo(session_->songPath) != QFileInfo(singing_->song.path)) {
            singing_.reset();
            return;
        }
        const RotationStore::Turn done = *singing_;
        singing_.reset();
        // The score, when the song was scored (it was shown just before, at the song's end).
        const std::optional<int> score = scoreOn() && !melody_.empty() ? std::optional<int>(lastScore_.total) : std::nullopt;
        if (!rotationStore_->sung(done.singer.id, done.song.id, score)) rotation_->tell(QStringLiteral("Rotation"), QStringLiteral("What %1 sang was not kept: %2").arg(done.singer.name, rotationStore_->lastError()));
        rotation_->reload();
        announceNext();
        startBreakMusic();
    });
    announceNext();
}

void MainWindow::startBreakMusic() {
    if (!rotation_->breakMusicOn() || panel_->midi->mode() == static_cast<int>(MediaMode::Playing)) return;
    const QStringList songs = rotationStore_->breakMusic();
    if (songs.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("There is no break music: choose its songs with Break Songs in the rotation."), 10000);
        return;
    }
    if (!breakMusic_) {
        SynthHost* host = MediaRegistry::instance().synthHost(nullptr);
        if (!host) return;
        breakMusic_ = std::make_unique<BreakMusic>(*host);
        connect(breakMusic_.get(), &BreakMusic::nowPlayingChanged, rotation_, &RotationWindow::setBreakPlaying);
    }
    if (breakMusic_->songs() != songs) breakMusic_->setSongs(songs);
    breakMusic_->setLoudness(rotation_->breakLoudness());
    if (!breakMusic_->start()) statusBar()->showMessage(QString(breakMusic_->problem()).replace(QLatin1Char('\n'), QLatin1Char(' ')), 10000);
}

void MainWindow::stopBreakMusic() {
    if (breakMusic_) breakMusic_->stop();
}

void MainWindow::SingNext() {
    rotationStart_.stop();
    stopBreakMusic();
    const std::optional<RotationStore::Turn> turn = rotationStore_->next();
    if (!turn) {
        statusBar()->showMessage(QStringLiteral("Nobody is waiting to sing."), 5000);
        return;
    }
    openFromOutside(turn->song.path);
    if (!session_->songLoaded() || QFileInfo(session_->songPath) != QFileInfo(turn->song.path)) {
        const QString problem = session_->openProblem().isEmpty() ? QStringLiteral("it could not be opened") : session_->openProblem();
        rotation_->tell(QStringLiteral("Sing Next"), QStringLiteral("%1 for %2: %3").arg(turn->song.title, turn->singer.name, problem));
        return;
    }
    LiveSettings live = liveSettings();
    live.key = turn->song.key;
    live.tempoPercent = turn->song.tempo;
    setLive(live, false);
    singing_ = turn;
    const QString now = QStringLiteral("Now: ") + turnText(*turn);
    statusBar()->showMessage(now);
    rotation_->setAnnouncement(now);
    stageNextUp();
    if (rotation_->startAfterSeconds() > 0) rotationStart_.start(rotation_->startAfterSeconds() * 1000);
}

void MainWindow::announceNext() {
    if (!rotationStore_) return;
    // While a singer's song is loaded, the one after them; else whoever is next.
    const std::optional<RotationStore::Turn> next = singing_ ? rotationStore_->nextAfter(singing_->singer.id) : rotationStore_->next();
    const QString text = next ? QStringLiteral("Next: ") + turnText(*next) : QString();
    if (!singing_) {
        rotation_->setAnnouncement(text);
        if (!text.isEmpty()) statusBar()->showMessage(text);
    }
    stageNextUp();
}

QString MainWindow::rotationNextUp() const {
    if (!rotationStore_) return {};
    const std::optional<RotationStore::Turn> next = singing_ ? rotationStore_->nextAfter(singing_->singer.id) : rotationStore_->next();
    return next ? turnText(*next) : QString();
}

}  // namespace cantavo
