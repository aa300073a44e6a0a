// The main window's singing score: the pitch guide under the lyrics, listening while the
// song plays, the score at its end, the difficulty, the melody channel and calibration.
#include <QActionGroup>
#include <QMessageBox>
#include <QSettings>

#include "calibration.h"
#include "livepanel.h"
#include "livescorer.h"
#include "mainwindow.h"
#include "mediacontrol.h"
#include "scoreguide.h"
#include "singing.h"

namespace cantavo {

namespace {

// How often the voice is read and the running score brought up to date.
constexpr int kListenIntervalMs = 20;

const char* const kDifficultyCommands[] = {"scoreEasy", "scoreNormal", "scoreHard"};

}  // namespace

SongMemory MainWindow::songMemory(const QString& file, const QString& what) const {
    return SongMemory(programDir_.isEmpty() ? QString() : PreferencesPath(programDir_, installed_, file), what);
}

void MainWindow::connectScoring() {
    guide_ = new ScoreGuide(lyrics_);
    lyrics_->addStrip(guide_);
    guide_->hide();
    guide_->nowMs = [this] {
        Sequencer* s = panel_->midi->sequencer();
        return s && session_->songLoaded() ? melody_.msAtTick(s->positionTicks()) : 0.0;
    };
    QAction* score = (*commands_)[QStringLiteral("score")];
    score->setCheckable(true);
    commands_->setAvailable(QStringLiteral("score"));
    connect(score, &QAction::triggered, this, &MainWindow::setScoreOn);
    auto* group = new QActionGroup(this);
    for (int d = 0; d < 3; ++d) {
        QAction* a = (*commands_)[QString::fromLatin1(kDifficultyCommands[d])];
        a->setCheckable(true);
        group->addAction(a);
        commands_->setAvailable(QString::fromLatin1(kDifficultyCommands[d]));
        connect(a, &QAction::triggered, this, [this, d] { setDifficulty(static_cast<Difficulty>(d)); });
    }
    (*commands_)[QStringLiteral("scoreNormal")]->setChecked(true);
    commands_->setAvailable(QStringLiteral("calibrate"));
    connect((*commands_)[QStringLiteral("calibrate")], &QAction::triggered, this, &MainWindow::Calibrate);
    connect(session_, &SongSession::songOpened, this, [this] {
        scorer_.reset();
        lastScore_ = {};
        guide_->clearResult();
        guide_->setScoreText({});
        rebuildMelody();
    });
    connect(transport_, &Transport::songCompleted, this, &MainWindow::showScore);
    scoreTimer_.setInterval(kListenIntervalMs);
    connect(&scoreTimer_, &QTimer::timeout, this, &MainWindow::followPlayback);
    connect(songInfo().melodyChoice, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { chooseMelody(songInfo().melodyChoice->itemData(index).toInt()); });
}

void MainWindow::restoreScoring() {
    if (programDir_.isEmpty()) return;
    const QSettings s(settingsPath(), QSettings::IniFormat);
    Difficulty d = Difficulty::Normal;
    ParseDifficulty(s.value(sing::kDifficulty).toString(), &d);
    setDifficulty(d);
    setScoreOn(s.value(sing::kOn, false).toBool());
}

bool MainWindow::scoreOn() const { return (*commands_)[QStringLiteral("score")]->isChecked(); }

void MainWindow::setScoreOn(bool on) {
    (*commands_)[QStringLiteral("score")]->setChecked(on);
    keepSettings({{sing::kOn, on}});
    guide_->setVisible(on);
    lyricsRoom_.start();
    if (on) {
        rebuildMelody();
        scoreTimer_.start();
    } else {
        scoreTimer_.stop();
        if (scorer_) scorer_->stop();
        guide_->setRunning(false);
        wasPlaying_ = false;
    }
}

Difficulty MainWindow::difficulty() const {
    for (int d = 0; d < 3; ++d)
        if ((*commands_)[QString::fromLatin1(kDifficultyCommands[d])]->isChecked()) return static_cast<Difficulty>(d);
    return Difficulty::Normal;
}

void MainWindow::setDifficulty(Difficulty d) {
    (*commands_)[QString::fromLatin1(kDifficultyCommands[static_cast<int>(d)])]->setChecked(true);
    keepSettings({{sing::kDifficulty, DifficultyName(d)}});
    // What was sung so far is judged again at the new tolerance.
    if (scorer_) scorer_->keeper().setDifficulty(d);
    guide_->update();
}

int MainWindow::bestScore() const {
    const SongMemory best = songMemory(sing::kBestFile, QStringLiteral("the song's best scores"));
    return session_->songLoaded() ? BestScore(best, session_->songContents(), difficulty()) : 0;
}

void MainWindow::rebuildMelody() {
    Sequencer* s = panel_->midi->sequencer();
    if (!session_->songLoaded() || !s) {
        melody_ = {};
        scorer_.reset();
        guide_->setScorer(nullptr);
        guide_->setMessage(QStringLiteral("Open a song to sing along to its melody."));
        return;
    }
    const SongMemory chosen = songMemory(sing::kMelodyFile, QStringLiteral("the song's melody channel"));
    melody_ = SongMelody(session_->song, s->events(), ChosenMelodyChannel(chosen, session_->songContents()), live_->settings());
    melodyKey_ = live_->settings().key;
    live_->setChannels(s->channelsUsed(), melody_.channel);
    // A new key moves the targets of what was already sung; another melody starts afresh.
    if (!scorer_ || !scorer_->keeper().retarget(melody_)) {
        scorer_ = std::make_unique<LiveScorer>(
            [this](qint64 ns) {
                Sequencer* q = panel_->midi->sequencer();
                return q ? q->ticksHeardAt(ns) : std::nan("");
            },
            melody_, difficulty());
        wasPlaying_ = false;
    }
    guide_->setScorer(scorer_.get());
    guide_->setMessage(melody_.empty() ? QStringLiteral("No melody under these lyrics: this song cannot be scored.") : QString());
}

void MainWindow::followPlayback() {
    Sequencer* s = panel_->midi->sequencer();
    const bool playing = scorer_ && s && session_->songLoaded() && s->mode() == MediaMode::Playing && !melody_.empty();
    if (playing && !wasPlaying_) {
        // Singing from before the first note is a new try.
        if (melody_.msAtTick(s->positionTicks()) < melody_.notes.front().startMs) {
            scorer_->keeper().clear();
            guide_->clearResult();
        }
        inputFailed_ = false;
    }
    SynthHost* host = MediaRegistry::instance().synthHost(nullptr);
    // A synthesizer rendering offline keeps no time with the world: no voice could be placed in it.
    if (playing && !scorer_->listening() && !inputFailed_ && host && !host->offline()) {
        QString error;
        if (scorer_->start(host->sampleRate(), programDir_.isEmpty() ? 0.0 : CalibratedExtraMs(settingsPath()), &error)) {
            guide_->setMessage({});
        } else {
            inputFailed_ = true;
            guide_->setMessage(QStringLiteral("The microphone could not be opened, so the singing cannot be scored: %1").arg(error));
        }
    }
    if (!playing && scorer_ && scorer_->listening()) {
        scorer_->pump();
        scorer_->stop();
    }
    if (scorer_ && scorer_->listening() && !scorer_->pump()) {
        inputFailed_ = true;
        guide_->setMessage(QStringLiteral("The microphone stopped: %1").arg(scorer_->error()));
    }
    guide_->setRunning(playing);
    if (playing && scorer_->keeper().heardAny() && guide_->resultHeadline().isEmpty())
        guide_->setScoreText(QStringLiteral("%1 (%2)").arg(scorer_->keeper().result(guide_->nowMs()).total).arg(DifficultyName(difficulty())));
    wasPlaying_ = playing;
}

void MainWindow::showScore() {
    if (!scoreOn() || !scorer_ || melody_.empty()) return;
    if (scorer_->listening()) scorer_->pump();
    lastScore_ = scorer_->keeper().result();
    const Difficulty d = difficulty();
    const SongMemory best = songMemory(sing::kBestFile, QStringLiteral("the song's best scores"));
    bool improved = false;
    QString error;
    if (!KeepBestScore(best, session_->songContents(), d, lastScore_.total, &improved, &error)) showWarning(error);
    const int kept = BestScore(best, session_->songContents(), d);
    guide_->setScoreText({});
    guide_->setResult(QStringLiteral("%1 points. %2").arg(lastScore_.total).arg(lastScore_.verdict()),
                      QStringLiteral("Notes %1 of 9000, whole lines %2 of 1000 (%3). %4")
                          .arg(lastScore_.notePoints)
                          .arg(lastScore_.linePoints)
                          .arg(DifficultyName(d), improved && lastScore_.total > 0 ? QStringLiteral("A new best!")
                                                                                  : QStringLiteral("Best: %1.").arg(kept)));
    liveStatus()->setText(QStringLiteral("Score %1 (%2): %3").arg(lastScore_.total).arg(DifficultyName(d), lastScore_.verdict()));
}

void MainWindow::chooseMelody(int channel) {
    if (!session_->songLoaded()) return;
    const SongMemory chosen = songMemory(sing::kMelodyFile, QStringLiteral("the song's melody channel"));
    QString error;
    if (!chosen.remember(session_->songContents(), channel >= 0 && channel < 16 ? QString::number(channel + 1) : QString(), &error))
        showWarning(error);
    rebuildMelody();
    fillMelodyChoices();
}

void MainWindow::fillMelodyChoices() {
    QComboBox* box = songInfo().melodyChoice;
    box->clear();
    Sequencer* s = panel_->midi->sequencer();
    box->setEnabled(session_->songLoaded() && s);
    if (!box->isEnabled()) return;
    const Melody found = BuildMelody(session_->song, s->events());
    box->addItem(found.channel < 0 ? QStringLiteral("Automatic: no channel follows the lyrics")
                                   : QStringLiteral("Automatic: %1").arg(MelodyDescription(found, s->events())),
                 -1);
    for (int c = 0; c < 16; ++c) {
        if (!s->channelsUsed()[static_cast<size_t>(c)] || c == 9) continue;
        box->addItem(QStringLiteral("Channel %1 (%2)").arg(c + 1).arg(ChannelInstrument(s->events(), c)), c);
        if (melody_.chosen && melody_.channel == c) box->setCurrentIndex(box->count() - 1);
    }
}

void MainWindow::showSongInfo() {
    songInfo().showSong(session_->song);
    fillMelodyChoices();
    songInfo().show();
}

void MainWindow::Calibrate() {
    if (calibration_ && calibration_->running()) return;
    Sequencer* s = panel_->midi->sequencer();
    if (s && s->mode() == MediaMode::Playing) {
        showWarning(QStringLiteral("Stop the song before calibrating: the clicks need quiet around them."));
        return;
    }
    QString error;
    SynthHost* host = MediaRegistry::instance().synthHost(&error);
    if (!host) {
        showWarning(QStringLiteral("The sound could not be calibrated: %1").arg(error));
        return;
    }
    if (!calibration_) {
        calibration_ = new Calibration(*host, SongSession::TemporaryFolder(), this);
        connect(calibration_, &Calibration::finished, this, &MainWindow::calibrated);
    }
    if (!calibration_->start(&error)) {
        showWarning(QStringLiteral("The sound could not be calibrated: %1").arg(error));
        return;
    }
    commands_->setEnabled(QStringLiteral("calibrate"), false);
    liveStatus()->setText(QStringLiteral("Calibrating: listening for the clicks..."));
}

void MainWindow::calibrated(const CalibrationResult& r) {
    commands_->setEnabled(QStringLiteral("calibrate"), true);
    liveStatus()->clear();
    if (!r.ok) {
        showWarning(QStringLiteral("The sound could not be calibrated: %1").arg(r.error));
        return;
    }
    keepSettings({{sing::kRoundTripMs, r.roundTripMs}, {sing::kReportedMs, r.reportedMs}});
    QMessageBox::information(this, QStringLiteral("Calibrate"),
                             QStringLiteral("Sound takes %1 ms from the program through the speakers and the microphone back to it; the "
                                            "sound system reports %2 ms. Your singing will be placed by the measured time.")
                                 .arg(r.roundTripMs, 0, 'f', 0)
                                 .arg(r.reportedMs, 0, 'f', 0));
}

}  // namespace cantavo
