// The main window's live key, tempo and mix: the panel, its keys, what each song remembers,
// and "Keep as song...".
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>

#include "livepanel.h"
#include "mainwindow.h"
#include "screenfit.h"
#include "mediacontrol.h"
#include "mpris.h"
#include "trackrows.h"

namespace cantavo {

namespace {

const QString kPanelSetting = QStringLiteral("window/livePanel");
// How long the settings wait, after the last change, before they are written down.
constexpr int kRememberDelayMs = 600;

}  // namespace

QString LiveStatusText(const LiveSettings& live) {
    return QStringLiteral("Key %1, tempo %2 %").arg(live.keyText()).arg(live.tempoPercent);
}

QLabel* MainWindow::liveStatus() const { return statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel1")); }

void MainWindow::connectLive() {
    live_ = new LivePanel(this);
    liveDock_ = new QDockWidget(QStringLiteral("Live Key, Tempo and Mix"), this);
    liveDock_->setObjectName(QStringLiteral("LiveDock"));
    liveDock_->setWidget(ScrollingPanel(live_));
    liveDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    // Above the controls, as wide as the window: the strips need the width, the lyrics the height.
    addDockWidget(Qt::BottomDockWidgetArea, liveDock_, Qt::Vertical);
    if (auto* controls = findChild<QDockWidget*>(QStringLiteral("ControlPanelDock"))) splitDockWidget(liveDock_, controls, Qt::Vertical);
    liveDock_->hide();
    connect(liveDock_, &QDockWidget::visibilityChanged, &lyricsRoom_, qOverload<>(&QTimer::start));
    QAction* toggle = (*commands_)[QStringLiteral("live")];
    commands_->setAvailable(QStringLiteral("live"));
    toggle->setCheckable(true);
    connect(toggle, &QAction::triggered, this, [this](bool on) {
        liveDock_->setVisible(on);
        keepSettings({{kPanelSetting, on}});
    });
    // Also comes while the window is taken down: it touches nothing but the action.
    connect(liveDock_, &QDockWidget::visibilityChanged, toggle, [toggle](bool visible) { toggle->setChecked(visible); });
    live_->channelPlaying = [this](int c) {
        Sequencer* s = panel_->midi->sequencer();
        SynthHost* host = MediaRegistry::instance().synthHost(nullptr);
        if (!s || !host || s->mode() != MediaMode::Playing) return false;
        const qint64 at = s->lastNoteOnFrame(c);
        return at >= 0 && host->framesRendered() - at < host->sampleRate() / 5;
    };
    live_->channelProgram = [this](int c) {
        Sequencer* s = panel_->midi->sequencer();
        return s ? s->channelProgram(c) : 0;
    };
    connect(live_, &LivePanel::changed, this, [this](const LiveSettings& l) { setLive(l, true); });
    // The tempo arrows and the panel's tempo are one setting.
    transport_->liveTempoPercent = [this] { return live_->settings().tempoPercent; };
    transport_->setLiveTempoPercent = [this](int percent) {
        LiveSettings l = live_->settings();
        l.tempoPercent = percent;
        setLive(l.clamped(), true);
    };
    connect(live_->keep, &QPushButton::clicked, this, &MainWindow::KeepAsSong);
    connect(session_, &SongSession::songOpened, this, &MainWindow::recallLive);
    rememberLive_.setSingleShot(true);
    rememberLive_.setInterval(kRememberDelayMs);
    connect(&rememberLive_, &QTimer::timeout, this, &MainWindow::rememberLive);
    mpris_ = new MprisService(*this);

    const auto key = [this](const char* sequence, const char* name, std::function<void(LiveSettings&)> change) {
        auto* s = new QShortcut(QKeySequence(QString::fromLatin1(sequence)), this);
        s->setObjectName(QString::fromLatin1(name));
        connect(s, &QShortcut::activated, this, [this, change] {
            LiveSettings l = live_->settings();
            change(l);
            setLive(l.clamped(), true);
        });
    };
    key("+", "LiveKeyUpKey", [](LiveSettings& l) { ++l.key; });
    key("=", "LiveKeyUpKey2", [](LiveSettings& l) { ++l.key; });
    key("-", "LiveKeyDownKey", [](LiveSettings& l) { --l.key; });
    key("]", "LiveFasterKey", [](LiveSettings& l) { l.tempoPercent += 5; });
    key("[", "LiveSlowerKey", [](LiveSettings& l) { l.tempoPercent -= 5; });
    key("0", "LiveResetKey", [](LiveSettings& l) {
        l.key = 0;
        l.tempoPercent = 100;
    });
}

void MainWindow::restoreLivePanel() {
    if (programDir_.isEmpty()) return;
    liveDock_->setVisible(QSettings(settingsPath(), QSettings::IniFormat).value(kPanelSetting, false).toBool());
}

const LiveSettings& MainWindow::liveSettings() const { return live_->settings(); }

void MainWindow::setLive(const LiveSettings& live, bool remember) {
    live_->show(live);
    if (Sequencer* s = panel_->midi->sequencer(); s && session_->songLoaded()) s->setLive(live);
    // The key moves the notes the singer is measured against.
    if (scoreOn() && live.key != melodyKey_) rebuildMelody();
    liveStatus()->setText(LiveStatusText(live));
    if (remember && session_->songLoaded()) {
        transport_->refreshTempo();
        rememberLive_.start();
    }
}

void MainWindow::recallLive() {
    rememberLive_.stop();
    const QString kept = session_->liveMemory.recall(session_->songContents());
    const LiveSettings live = kept.isEmpty() ? LiveSettings{} : LiveSettings::fromJson(QJsonDocument::fromJson(kept.toUtf8()).object());
    if (Sequencer* s = panel_->midi->sequencer()) live_->setChannels(s->channelsUsed(), MelodyChannel(session_->song, s->events()));
    setLive(live, false);
    if (live.isDefault()) liveStatus()->clear();
}

void MainWindow::rememberLive() {
    if (!session_->songLoaded()) return;
    const LiveSettings& live = live_->settings();
    const QString value = live.isDefault() ? QString() : QString::fromUtf8(QJsonDocument(live.toJson()).toJson(QJsonDocument::Compact));
    QString error;
    if (!session_->liveMemory.remember(session_->songContents(), value, &error)) showWarning(error);
}

void MainWindow::KeepAsSong() {
    if (!session_->songLoaded()) return;
    const LiveSettings& live = live_->settings();
    const QFileInfo song(session_->songPath);
    const QString key = live.key == 0 ? QString() : QStringLiteral(" (%1)").arg(live.keyText());
    const QString proposal = song.absoluteDir().filePath(song.completeBaseName() + key + QStringLiteral(" live.") + song.suffix());
    const QString chosen = chooseKeepFile ? chooseKeepFile(proposal)
                                          : QFileDialog::getSaveFileName(this, QStringLiteral("Keep as song"), proposal,
                                                                         QStringLiteral("Karaoke songs (*.kar *.mid);;All files (*.*)"));
    if (chosen.isEmpty()) return;
    ModifyRequest request;
    request.song = session_->songPath;
    request.out = QFileInfo(chosen).absoluteFilePath();
    request.settings.transpose = live.key;
    request.settings.keepChannel = live.keepChannel;
    request.settings.tempoPercent = live.tempoPercent - 100;
    for (int c = 0; c < 16; ++c) request.settings.mixer[static_cast<size_t>(c)] = live.silenced(c) ? 0 : live.loudness[static_cast<size_t>(c)];
    const QString refused = ModifySongFile(request);
    if (!refused.isEmpty()) {
        showWarning(refused);
        return;
    }
    liveStatus()->setText(QStringLiteral("Kept as %1").arg(QFileInfo(request.out).fileName()));
}

}  // namespace cantavo
