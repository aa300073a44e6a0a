// The main window's wave recording: the wave control's buttons, Save Wave, the recording
// options, and the takes a run that ended unexpectedly left behind.
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

#include "audioinput.h"
#include "mainwindow.h"
#include "mci.h"
#include "mediacontrol.h"
#include "recordingoptions.h"
#include "runfiles.h"
#include "settingsfile.h"

namespace cantavo {

namespace {

constexpr int kWavePollMs = 50;
const QColor kRecordingRed(0xFF, 0, 0);
const QColor kStoppedBlue(0, 0, 0xFF);
const QColor kReadyGreen(0, 0xC0, 0);
const QString kMusicSetting = QStringLiteral("recording/voiceAndMusic");
const QString kInputSetting = QStringLiteral("recording/input");

}  // namespace

QString MainWindow::settingsPath() const { return PreferencesPath(programDir_, installed_, QStringLiteral("cantavo.conf")); }

void MainWindow::keepSettings(const QVariantMap& changes) {
    if (programDir_.isEmpty()) return;
    QString why;
    if (!ChangeSettings(settingsPath(), changes, &why))
        statusBar()->showMessage(QStringLiteral("The settings could not be kept in %1: %2").arg(QDir::toNativeSeparators(settingsPath()), why), 10000);
}

bool MainWindow::recordWithMusic() const {
    if (programDir_.isEmpty()) return true;
    return QSettings(settingsPath(), QSettings::IniFormat).value(kMusicSetting, true).toBool();
}

void MainWindow::restoreChosenInput() {
    if (programDir_.isEmpty()) return;
    SetChosenInput(QSettings(settingsPath(), QSettings::IniFormat).value(kInputSetting).toString());
}

bool MainWindow::musicCanBeRecorded() const {
    Sequencer* s = panel_->midi->sequencer();
    return !s || s->playsOnBuiltIn();
}

void MainWindow::setWaveStatus(const QString& caption, const QColor& colour) {
    panel_->waveStatus->setText(caption);
    setWaveStatusColor(colour);
}

void MainWindow::reopenWaveTemplate() {
    MediaControl& wave = *panel_->wave;
    wave.setCommand(QStringLiteral("close"));
    wave.setFileName(waveTemplatePath());
    wave.setCommand(QStringLiteral("open"));
}

void MainWindow::StartRecording() {
    session_->waveUnsaved = 1;
    enableCommand(SongCommand::SaveWave, true);
    setWaveStatus(QStringLiteral("REC"), kRecordingRed);
    panel_->wave->setUpdateInterval(kWavePollMs);
    panel_->midi->setUpdateInterval(kWavePollMs);
    if (WaveDevice* w = panel_->wave->wave()) {
        const bool music = recordWithMusic() && musicCanBeRecorded();
        w->setMusicSource(music ? MediaRegistry::instance().synthHost(nullptr) : nullptr);
    }
    transport_->PlayClicked();
    panel_->midi->setCommand(QStringLiteral("play"));
}

void MainWindow::RestartRecording() {
    panel_->wave->setUpdateInterval(kWavePollMs);
    if (session_->waveUnsaved == 1) {
        panel_->wave->setCommand(QStringLiteral("stop"));
        if (!askYesNo(QStringLiteral("The recorded .WAV file was not saved. Restart anyway?"))) return;
        reopenWaveTemplate();
        enableCommand(SongCommand::SaveWave, false);
        session_->waveUnsaved = 0;
    }
    setWaveStatus(QStringLiteral("PRONTO"), kReadyGreen);
}

void MainWindow::SaveWave(bool fromToolbar) {
    // The song's folder and name as they are; the toolbar's proposal shouts only its extension.
    const QString song = session_->songPath;
    const QString proposal = (song.size() > 4 ? song.left(song.size() - 4) : QString()) + (fromToolbar ? QStringLiteral(".WAV") : QStringLiteral(".wav"));
    QString chosen;
    for (;;) {
        if (chooseWaveFile) {
            chosen = chooseWaveFile(proposal);
        } else {
            QString selected = QStringLiteral("Sounds (*.wav)");
            const QString filter = fromToolbar ? QStringLiteral("All Files (*.*);;Sounds (*.wav)") : QStringLiteral("All files (*.*);;Sounds (*.wav)");
            chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save Wave"), proposal, filter, &selected, QFileDialog::DontConfirmOverwrite);
        }
        if (chosen.isEmpty()) return;
        chosen = QFileInfo(chosen).absoluteFilePath();
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
        if (!QFileInfo::exists(chosen) || askYesNo(QStringLiteral("Overwrite existing file?"))) break;
    }
    MediaControl& wave = *panel_->wave;
    wave.setFileName(chosen);
    if (!wave.setCommand(QStringLiteral("save"))) {
        // The take stays, unsaved and guarded; the singer is told why.
        showWarning(wave.errorDetail().isEmpty() ? MciErrorText(wave.error()) : wave.errorDetail());
        return;
    }
    reopenWaveTemplate();
    enableCommand(SongCommand::SaveWave, false);
    session_->waveUnsaved = 0;
    setWaveStatus(QStringLiteral("PRONTO"), kReadyGreen);
    if (session_->songLoaded()) {
        enableCommand(SongCommand::Close, true);
        enableCommand(SongCommand::SongInfo, true);
        enableCommand(SongCommand::InformationButton, true);
    }
    lyricsSub_->show();
}

void MainWindow::ApplyRecordingFormat() {
    if (session_->waveUnsaved == 1 && !askYesNo(QStringLiteral("File .WAV recorded and not saved. Exit anyway?"))) return;
    session_->waveUnsaved = 0;
    enableCommand(SongCommand::SaveWave, false);
    reopenWaveTemplate();
    recordingOptions().hide();
}

RecordingOptionsDialog& MainWindow::recordingOptions() {
    if (!recordingOptions_) {
        recordingOptions_ = new RecordingOptionsDialog(this);
        recordingOptions_->changed = [this](RecordingChoice c) {
            prefs.recordBits = c.bits;
            prefs.recordStereo = c.stereo;
            prefs.recordKHz = c.khz;
            keepSettings({{kMusicSetting, c.withMusic}});
        };
        recordingOptions_->accepted = [this] { ApplyRecordingFormat(); };
        recordingOptions_->inputChosen = [this](const QString& name) {
            SetChosenInput(name);
            keepSettings({{kInputSetting, name}});
        };
    }
    return *recordingOptions_;
}

void MainWindow::ShowRecordingOptions() {
    RecordingOptionsDialog& d = recordingOptions();
    QString why;
    QString input = DefaultInputDescription(&why);
    if (input.isEmpty()) input = QStringLiteral("none (%1)").arg(why);
    const QList<InputSource> inputs = ListInputs();
    d.showInputs(inputs, ChosenInput(), input);
    if (!ChosenInput().isEmpty()) input = d.inputChoice->currentText();
    d.showChoice({prefs.recordBits, prefs.recordStereo, prefs.recordKHz, recordWithMusic()}, musicCanBeRecorded(), input);
    d.show();
    d.raise();
}

bool MainWindow::OfferLeftoverTakes() {
    for (const QString& path : WaveDevice::LeftoverTakes()) {
        // Held while this copy asks and acts: a second copy started at the same time passes
        // this take over instead of offering it too.
        const std::unique_ptr<QLockFile> claim = WaveDevice::ClaimLeftoverTake(path);
        if (!claim || !QFileInfo::exists(path)) continue;
        WaveDevice probe;
        if (!probe.open(path, nullptr) || probe.lengthMs() <= 0) {
            QFile::remove(path);
            continue;
        }
        const QString when = QLocale().toString(QFileInfo(path).lastModified(), QLocale::ShortFormat);
        const QString question = QStringLiteral("A recording that was not saved was found: %1 long, recorded until %2 by a run of Cantavo! that "
                                                "ended unexpectedly. Keep it, to save it with Save Wave?")
                                     .arg(TimeText(probe.lengthMs()), when);
        probe.close();
        if (!askYesNo(question)) {
            QFile::remove(path);
            continue;
        }
        MediaControl& wave = *panel_->wave;
        wave.setCommand(QStringLiteral("close"));
        wave.setFileName(path);
        if (!wave.setCommand(QStringLiteral("open"))) {
            showWarning(QStringLiteral("The recording that was not saved could not be opened: %1").arg(wave.errorDetail()));
            reopenWaveTemplate();
            return false;
        }
        wave.wave()->adoptAsSpool();
        session_->waveUnsaved = 1;
        enableCommand(SongCommand::SaveWave, true);
        setWaveStatus(QStringLiteral("STOP"), kStoppedBlue);
        // One take at a time: the others wait for the next start.
        return true;
    }
    return false;
}

void MainWindow::connectRecording() {
    Commands& c = *commands_;
    for (const char* name : {"mnfileitem1", "tb4", "hd"}) c.setAvailable(QString::fromLatin1(name));
    connect(c[QStringLiteral("mnfileitem1")], &QAction::triggered, this, [this] { SaveWave(false); });
    connect(c[QStringLiteral("tb4")], &QAction::triggered, this, [this] { SaveWave(true); });
    connect(c[QStringLiteral("hd")], &QAction::triggered, this, &MainWindow::ShowRecordingOptions);

    MediaControl* wave = panel_->wave;
    connect(wave, &MediaControl::buttonClicked, this, [this, wave](MediaButton b, bool*) {
        switch (b) {
        case MediaButton::Record: StartRecording(); break;
        case MediaButton::Stop: setWaveStatus(QStringLiteral("STOP"), kStoppedBlue); break;
        case MediaButton::Play: wave->setUpdateInterval(kWavePollMs); break;
        case MediaButton::Pause: wave->setUpdateInterval(0); break;
        case MediaButton::Prev: RestartRecording(); break;
        default: break;
        }
    });
    connect(wave, &MediaControl::statusUpdate, this, [this, wave] {
        // Polling stops once the device is neither playing nor recording.
        const int mode = wave->mode();
        if (mode == static_cast<int>(MediaMode::Playing) || mode == static_cast<int>(MediaMode::Recording)) return;
        wave->setUpdateInterval(0);
        if (const WaveDevice* w = wave->wave(); w && !w->spoolProblem().isEmpty())
            statusBar()->showMessage(QStringLiteral("The take could not be kept on disk as it was recorded (%1): save it with Save Wave").arg(w->spoolProblem()));
    });
    connect(panel_->midi, &MediaControl::buttonClicked, this, [this](MediaButton b, bool*) {
        if (b == MediaButton::Record) session_->waveUnsaved = 1;
    });
    WaveDevice::setSpoolFolder(runfiles::SharedTemporaryFolder());
}

}  // namespace cantavo
