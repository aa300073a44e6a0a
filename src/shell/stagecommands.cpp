// The main window's part of the singers' screen: its command, the screen it goes to, and
// what it is told of the evening (the next song of a compilation).
#include <QFileInfo>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QMenuBar>
#include <QSettings>

#include <algorithm>
#include <cmath>

#include "mainwindow.h"
#include "singersscreen.h"

namespace cantavo {

namespace {

const QString kScreenSetting = QStringLiteral("stage/screen");

}  // namespace

void MainWindow::connectStage() {
    singers_ = new SingersScreen(*session_, lyrics_->surface(), this);
    singers_->hostScreen = [this] { return screen(); };
    Commands& c = *commands_;
    QAction* toggle = c.add(QStringLiteral("singers"), QStringLiteral("Singers' &Screen"), QKeySequence(QStringLiteral("F9")), true, 880);
    c.setAvailable(QStringLiteral("singers"));
    toggle->setCheckable(true);
    toggle->setToolTip(QStringLiteral("The lyrics alone, for the room: full screen on the second display"));
    toggle->setIcon(QIcon::fromTheme(QStringLiteral("video-display"), style()->standardIcon(QStyle::SP_DesktopIcon)));
    toolbar_->addSeparator()->setObjectName(QStringLiteral("tb22"));
    toolbar_->addAction(toggle);
    auto* view = new QMenu(QStringLiteral("&View"), this);
    view->setObjectName(QStringLiteral("view"));
    view->addAction(toggle);
    const QList<QAction*> menus = menuBar()->actions();
    menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.last(), view);
    connect(toggle, &QAction::triggered, this, [this](bool on) {
        if (on) ShowSingersScreen(0);
        else singers_->hide();
    });
    connect(singers_, &SingersScreen::shownChanged, toggle, &QAction::setChecked);

    // The highlight and its wipe follow the music at the display's rate while the song plays;
    // the 50 ms position poll keeps the clock, the gauge and the rest.
    frames_.setParent(this);
    frames_.setObjectName(QStringLiteral("frames"));
    frames_.setTimerType(Qt::PreciseTimer);
    frames_.setInterval(static_cast<int>(1000.0 / std::max(30.0, screen() ? screen()->refreshRate() : 60.0)));
    connect(&frames_, &QTimer::timeout, this, [this] {
        if (!lyricsAlive_) {
            frames_.stop();
            return;
        }
        MediaControl& midi = *panel_->midi;
        Sequencer* seq = midi.sequencer();
        if (!seq || midi.mode() != static_cast<int>(MediaMode::Playing) || !session_->songLoaded()) {
            lyrics_->followWipe(NAN);
            frames_.stop();
            return;
        }
        // A syllable lights when the music reaches it, not at the next poll: the poll's own
        // step finds it already lit. The gauge's countdown stays with the poll.
        const double tick = seq->positionTicks();
        const int n = session_->lyricIndex;
        if (n >= 1 && n <= session_->song.lyricCount && tick >= session_->song.lyricTick[n]) lyrics_->HighlightStep(tick);
        lyrics_->followWipe(seq->positionMs());
    });
    connect(panel_->midi, &MediaControl::statusUpdate, &frames_, [this] {
        if (lyricsAlive_ && !frames_.isActive() && panel_->midi->mode() == static_cast<int>(MediaMode::Playing)) frames_.start();
    });
}

void MainWindow::ShowSingersScreen(int screenNumber) {
    if (screenNumber > 0) {
        singers_->setPreferredScreen(screenNumber);
        keepSettings({{kScreenSetting, screenNumber}});
    } else if (!programDir_.isEmpty()) {
        singers_->setPreferredScreen(QSettings(settingsPath(), QSettings::IniFormat).value(kScreenSetting, 0).toInt());
    }
    stageNextUp();
    singers_->present();
}

void MainWindow::stageNextUp() {
    if (!singers_) return;
    // The next song of the compilation that is playing, by its file's name.
    QString next;
    for (int i = compilationIndex; i >= 1 && i < compilationCount; ++i) {
        const QString entry = compilationEntries.value(i);
        if (!entry.startsWith(QLatin1Char('K'))) continue;
        next = QFileInfo(entry.mid(8).trimmed()).completeBaseName();
        break;
    }
    // Else the rotation's next singer and song.
    if (next.isEmpty()) next = rotationNextUp();
    singers_->setNextUp(next);
}

}  // namespace cantavo
