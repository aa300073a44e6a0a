// Wave recording through the real windows and real sound: the private sound server's
// microphone hears what the program plays.
#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>
#include <unistd.h>

#include "cli.h"
#include "recordingoptions.h"
#include "soundtests.h"
#include "livescorer.h"
#include "scoreguide.h"
#include "../shell/window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

struct WaveFacts {
    int bits = 0, channels = 0, rate = 0;
    double seconds = 0, peak = 0;
};

WaveFacts readWave(const QString& path) {
    WaveFacts f;
    SF_INFO info{};
    SNDFILE* s = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!s) return f;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    f.bits = sub == SF_FORMAT_PCM_U8 ? 8 : sub == SF_FORMAT_PCM_16 ? 16 : 0;
    f.channels = info.channels;
    f.rate = info.samplerate;
    f.seconds = static_cast<double>(info.frames) / info.samplerate;
    std::vector<float> data(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(s, data.data(), info.frames);
    for (float v : data) f.peak = std::max<double>(f.peak, std::abs(v));
    sf_close(s);
    return f;
}

// The main window over the real-time synthesizer, with a program folder, a configuration
// folder and a temporary folder of its own.
class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        NEED_SOUND();
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        for (const QString& f : QDir(QStringLiteral(CANTAVO_PROGRAM_DIR)).entryList({QStringLiteral("*-*-*.wav"), QStringLiteral("cantavo.mid")}))
            QFile::copy(QStringLiteral(CANTAVO_PROGRAM_DIR "/") + f, program.filePath(f));
        QString error;
        host = SynthHost::create(SynthHost::Options{}, &error);
        MediaRegistry::instance().setSynthHost(host.get());
        window = std::make_unique<MainWindow>();
        window->setProgramDirectory(program.path());
        window->loadPreferences();
        window->resize(1100, 760);
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        if (window) window->session().waveUnsaved = 0;
        window.reset();
        MediaRegistry::instance().closeAll();
        MediaRegistry::instance().setSynthHost(nullptr);
        qunsetenv("TMPDIR");
        qunsetenv("XDG_CONFIG_HOME");
    }
    MediaControl& wave() { return *window->panel().wave; }
    MediaControl& midi() { return *window->panel().midi; }
    QLabel* status() { return window->findChild<QLabel*>(QStringLiteral("Panel3D10")); }
    QColor statusColour() { return status()->palette().color(QPalette::WindowText); }
    QAction* command(const char* name) { return window->commands()[QString::fromLatin1(name)]; }
    void open(const QString& path) {
        window->chooseSongFile = [path] { return path; };
        window->FileOpen();
        QApplication::processEvents();
    }
    // Records until the take holds `ms` of sound, then presses Stop.
    void record(double ms) {
        wave().button(MediaButton::Record)->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return wave().wave() && wave().wave()->lengthMs() >= ms; }, 20000))
            << (wave().wave() ? wave().wave()->lengthMs() : -1) << " ms recorded";
        wave().button(MediaButton::Stop)->click();
        midi().setCommand(QStringLiteral("stop"));
    }
    void shot(QWidget* w, const QString& name) {
        QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
        w->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/") + name + QStringLiteral(".png"));
    }
    double takeMs() { return wave().wave() ? wave().wave()->lengthMs() : -1; }
    QString saveTo(const QString& path, bool toolbar = false) {
        QString proposal;
        window->chooseWaveFile = [&, path](const QString& p) {
            proposal = p;
            return path;
        };
        window->SaveWave(toolbar);
        return proposal;
    }
    void choose(const char* name, int index) {
        for (QRadioButton* b : window->recordingOptions().findChildren<QRadioButton*>(QString::fromLatin1(name)))
            if (b->property("index").toInt() == index) b->click();
    }

    QTemporaryDir temp, config, program, out;
    std::unique_ptr<SynthHost> host;
    std::unique_ptr<MainWindow> window;
};

// Record while the song plays: a take with sound in each of the twelve formats, written
// as the options dialog set it.
TEST_F(Recording, TakesInEveryFormatHoldThePerformance) {
    open(demoSong("oh-susanna"));
    EXPECT_EQ(status()->text(), QStringLiteral("READY"));
    shot(&window->panel(), QStringLiteral("wave-panel-ready"));
    int n = 0;
    for (int bits : {8, 16})
        for (int channels : {1, 2})
            for (int khz : {11, 22, 44}) {
                SCOPED_TRACE(QStringLiteral("%1 bits, %2 channels, %3 kHz").arg(bits).arg(channels).arg(khz).toStdString());
                window->ShowRecordingOptions();
                choose("Option3D1", bits == 8 ? 0 : 1);
                choose("Option3D2", channels - 1);
                choose("Option3D3", khz == 11 ? 0 : khz == 22 ? 1 : 2);
                window->recordingOptions().ok->click();
                EXPECT_FALSE(window->recordingOptions().isVisible());
                midi().setCommand(QStringLiteral("prev"));
                wave().button(MediaButton::Record)->click();
                EXPECT_EQ(status()->text(), QStringLiteral("REC"));
                EXPECT_EQ(statusColour(), QColor(255, 0, 0));
                EXPECT_EQ(midi().mode(), static_cast<int>(MediaMode::Playing)) << "the song starts with the recording";
                EXPECT_TRUE(command("mnfileitem1")->isEnabled());
                EXPECT_TRUE(QTest::qWaitFor([&] { return takeMs() >= 1500; }, 20000)) << takeMs();
                if (n == 0) shot(&window->panel(), QStringLiteral("wave-panel-rec"));
                wave().button(MediaButton::Stop)->click();
                EXPECT_EQ(status()->text(), QStringLiteral("STOP"));
                if (n == 0) shot(&window->panel(), QStringLiteral("wave-panel-stop"));
                EXPECT_EQ(statusColour(), QColor(0, 0, 255));
                midi().setCommand(QStringLiteral("stop"));
                const QString file = out.filePath(QStringLiteral("take%1.wav").arg(++n));
                saveTo(file);
                const WaveFacts f = readWave(file);
                EXPECT_EQ(f.bits, bits);
                EXPECT_EQ(f.channels, channels);
                EXPECT_EQ(f.rate, khz == 11 ? 11025 : khz == 22 ? 22050 : 44100);
                EXPECT_GE(f.seconds, 1.4);
                EXPECT_GT(f.peak, 0.02) << "a silent take";
                EXPECT_EQ(status()->text(), QStringLiteral("PRONTO"));
                EXPECT_EQ(statusColour(), QColor(0, 0xC0, 0));
                if (n == 1) shot(&window->panel(), QStringLiteral("wave-panel-pronto"));
                EXPECT_EQ(window->session().waveUnsaved, 0);
                EXPECT_FALSE(command("mnfileitem1")->isEnabled());
                EXPECT_EQ(takeMs(), 0) << "a fresh template is open";
            }
}

// Voice only: what the microphone heard, which here is the music coming back.
TEST_F(Recording, VoiceOnlyIsWhatTheInputHeard) {
    window->ShowRecordingOptions();
    EXPECT_EQ(window->recordingOptions().input->text(), QStringLiteral("Input: LoopMic"));
    shot(&window->recordingOptions(), QStringLiteral("recording-options"));
    choose("Option3D4", 1);
    window->recordingOptions().cancel->click();
    EXPECT_FALSE(window->recordWithMusic()) << "the choice is kept at once";
    open(demoSong("oh-susanna"));
    record(2000);
    const QString file = out.filePath(QStringLiteral("voice.wav"));
    saveTo(file);
    EXPECT_GT(readWave(file).peak, 0.02);
    EXPECT_EQ(wave().wave()->inputDescription(), QString()) << "a fresh template";
}

// Prev, closing the song, exiting and the options' OK each ask before an unsaved take goes.
TEST_F(Recording, AnUnsavedTakeIsGuarded) {
    open(demoSong("twinkle"));
    {
        BoxCatcher none;
        wave().button(MediaButton::Prev)->click();
        EXPECT_TRUE(none.texts.isEmpty()) << "nothing recorded: nothing to ask";
    }
    EXPECT_EQ(status()->text(), QStringLiteral("PRONTO"));
    EXPECT_EQ(statusColour(), QColor(0, 0xC0, 0));
    record(800);
    const double recorded = takeMs();
    // The take plays back; the control stops asking once it is idle.
    wave().button(MediaButton::Play)->click();
    EXPECT_EQ(wave().mode(), static_cast<int>(MediaMode::Playing));
    EXPECT_EQ(wave().updateInterval(), 50);
    EXPECT_TRUE(QTest::qWaitFor([&] { return wave().mode() == static_cast<int>(MediaMode::Stopped); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return wave().updateInterval() == 0; }, 1000));
    wave().button(MediaButton::Play)->click();
    wave().button(MediaButton::Pause)->click();
    EXPECT_EQ(wave().updateInterval(), 0);
    EXPECT_EQ(takeMs(), recorded);
    {
        BoxCatcher no(QMessageBox::No);
        wave().button(MediaButton::Prev)->click();
        ASSERT_EQ(no.texts, QStringList{QStringLiteral("The recorded .WAV file was not saved. Restart anyway?")});
        EXPECT_EQ(no.icons.first(), QMessageBox::Question);
        EXPECT_EQ(window->session().waveUnsaved, 1);
        EXPECT_TRUE(command("mnfileitem1")->isEnabled());
        EXPECT_EQ(takeMs(), recorded) << "the take stays";
        command("mnfileitem3")->trigger();
        window->MenuExit();
        window->ShowRecordingOptions();
        window->recordingOptions().ok->click();
        EXPECT_EQ(no.texts.mid(1), (QStringList{QStringLiteral("File .WAV recorded and not saved. Close anyway?"),
                                                QStringLiteral("The recorded .WAV file was not saved. Exit anyway?"),
                                                QStringLiteral("File .WAV recorded and not saved. Exit anyway?")}));
        EXPECT_TRUE(window->session().songLoaded()) << "the song stays open";
        EXPECT_TRUE(window->isVisible()) << "the program stays";
        EXPECT_TRUE(window->recordingOptions().isVisible()) << "the dialog stays";
        EXPECT_FALSE(window->close()) << "closing by the frame asks too";
        EXPECT_EQ(takeMs(), recorded);
    }
    {
        BoxCatcher yes(QMessageBox::Yes);
        wave().button(MediaButton::Prev)->click();
        EXPECT_EQ(yes.texts.size(), 1);
        EXPECT_EQ(takeMs(), 0);
        EXPECT_EQ(window->session().waveUnsaved, 0);
        EXPECT_FALSE(command("mnfileitem1")->isEnabled());
        EXPECT_EQ(status()->text(), QStringLiteral("PRONTO"));
        record(800);
        window->recordingOptions().ok->click();
        EXPECT_FALSE(window->recordingOptions().isVisible());
        EXPECT_EQ(takeMs(), 0) << "the options' OK let the take go";
        record(800);
        command("mnfileitem3")->trigger();
        EXPECT_FALSE(window->session().songLoaded());
        EXPECT_EQ(yes.texts.size(), 3);
    }
}

// Save Wave: the proposals, "Overwrite existing file?" and a cancelled dialog.
TEST_F(Recording, SaveWaveProposesTheSongsNameAndAsksBeforeOverwriting) {
    QDir(out.path()).mkdir(QStringLiteral("My Songs"));
    const QString song = out.filePath(QStringLiteral("My Songs/Twinkle.kar"));
    QFile::copy(demoSong("twinkle"), song);
    open(song);
    record(800);
    const QString folder = QFileInfo(window->session().songPath).absolutePath();
    EXPECT_EQ(saveTo(QString()), folder + QStringLiteral("/Twinkle.wav"));
    EXPECT_EQ(saveTo(QString(), true), folder + QStringLiteral("/Twinkle.WAV"));
    EXPECT_EQ(window->session().waveUnsaved, 1) << "cancelled: the take stays unsaved";
    const QString existing = out.filePath(QStringLiteral("existing.wav"));
    QFile::copy(QStringLiteral(CANTAVO_PROGRAM_DIR "/applause.wav"), existing);
    const QByteArray before = fileBytes(existing);
    {
        BoxCatcher no(QMessageBox::No);
        int asked = 0;
        window->chooseWaveFile = [&](const QString&) { return ++asked == 1 ? existing : QString(); };
        window->SaveWave(false);
        EXPECT_EQ(no.texts, QStringList{QStringLiteral("Overwrite existing file?")});
        EXPECT_EQ(asked, 2) << "No shows the dialog again";
        EXPECT_EQ(fileBytes(existing), before);
        EXPECT_EQ(window->session().waveUnsaved, 1);
    }
    BoxCatcher yes(QMessageBox::Yes);
    saveTo(existing);
    EXPECT_NE(fileBytes(existing), before);
    EXPECT_GT(readWave(existing).seconds, 0.7);
    EXPECT_EQ(window->session().waveUnsaved, 0);
    EXPECT_TRUE(command("mnfileitem3")->isEnabled());
}

// Cancel leaves the settings changed but the old template open until the next open.
TEST_F(Recording, CancelledOptionsTakeEffectAtTheNextSave) {
    window->ShowRecordingOptions();
    choose("Option3D2", 1);
    window->recordingOptions().ok->click();
    ASSERT_EQ(wave().wave()->format().channels, 2);
    window->ShowRecordingOptions();
    choose("Option3D2", 0);
    choose("Option3D3", 0);
    window->recordingOptions().cancel->click();
    EXPECT_EQ(window->prefs.recordStereo, 0);
    EXPECT_EQ(window->prefs.recordKHz, 11);
    EXPECT_EQ(wave().wave()->format(), (WaveFormat{16, 2, 44100})) << "the old template stays open";
    open(demoSong("twinkle"));
    record(600);
    const QString file = out.filePath(QStringLiteral("old.wav"));
    saveTo(file);
    EXPECT_EQ(readWave(file).channels, 2);
    EXPECT_EQ(wave().wave()->format(), (WaveFormat{16, 1, 11025})) << "the save opened the new template";
}

// A folder the take cannot be written to: the take stays, guarded, and the singer is told why.
TEST_F(Recording, ASaveThatFailsKeepsTheTakeAndSaysWhy) {
    QDir(out.path()).mkdir(QStringLiteral("locked"));
    QString locked = out.filePath(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // The superuser writes anywhere a mode allows nothing: the system's own folder then.
    if (geteuid() == 0) locked = QStringLiteral("/sys");
    open(demoSong("twinkle"));
    record(800);
    const double recorded = takeMs();
    {
        BoxCatcher ok;
        saveTo(locked + QStringLiteral("/take.wav"));
        ASSERT_EQ(ok.texts.size(), 1);
        EXPECT_TRUE(ok.texts[0].contains(QStringLiteral("could not be written"))) << ok.texts[0].toStdString();
        EXPECT_TRUE(ok.texts[0].contains(QStringLiteral("Permission denied"))) << ok.texts[0].toStdString();
    }
    EXPECT_EQ(window->session().waveUnsaved, 1);
    EXPECT_TRUE(command("mnfileitem1")->isEnabled());
    EXPECT_EQ(status()->text(), QStringLiteral("STOP"));
    EXPECT_EQ(takeMs(), recorded);
    const QString file = out.filePath(QStringLiteral("saved.wav"));
    saveTo(file);
    EXPECT_NEAR(readWave(file).seconds * 1000, recorded, 50);
    QFile::setPermissions(out.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A program killed while it records leaves its take; the next start offers it.
TEST_F(Recording, ATakeLeftByAKilledProgramIsOfferedAtTheNextStart) {
    const QString spoolFolder = WaveDevice::spoolFolder();
    ASSERT_TRUE(spoolFolder.startsWith(temp.path()));
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        QProcess killed;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        killed.setProcessEnvironment(env);
        killed.start(QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo"), {QStringLiteral("--record"), demoSong("oh-susanna"), out.filePath(QStringLiteral("never.wav"))});
        ASSERT_TRUE(killed.waitForStarted());
        const QString spool = QDir(spoolFolder).filePath(QStringLiteral("take-%1-1.wav").arg(killed.processId()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(spool).size() > 200000; }, 20000));
        killed.kill();
        killed.waitForFinished();
        EXPECT_EQ(WaveDevice::LeftoverTakes(), QStringList{spool});
        BoxCatcher box(answer);
        EXPECT_EQ(window->OfferLeftoverTakes(), answer == QMessageBox::Yes);
        ASSERT_EQ(box.texts.size(), 1);
        EXPECT_TRUE(box.texts[0].startsWith(QStringLiteral("A recording that was not saved was found"))) << box.texts[0].toStdString();
        if (answer == QMessageBox::No) {
            EXPECT_FALSE(QFileInfo::exists(spool)) << "let go";
            continue;
        }
        EXPECT_GT(takeMs(), 1000);
        EXPECT_EQ(window->session().waveUnsaved, 1);
        EXPECT_TRUE(command("mnfileitem1")->isEnabled());
        EXPECT_TRUE(WaveDevice::LeftoverTakes().isEmpty()) << "now this run's own";
        // Recording again adds to the kept take instead of replacing it.
        const double kept = takeMs();
        open(demoSong("twinkle"));
        wave().button(MediaButton::Record)->click();
        QTest::qWait(1000);
        wave().button(MediaButton::Stop)->click();
        midi().setCommand(QStringLiteral("stop"));
        EXPECT_GT(takeMs(), kept + 300);
        const QString file = out.filePath(QStringLiteral("kept.wav"));
        saveTo(file);
        EXPECT_GT(readWave(file).peak, 0.02);
        EXPECT_TRUE(QDir(spoolFolder).entryList({QStringLiteral("take-*.wav")}).isEmpty()) << "saved: the spool goes";
    }
}

// The singer picks the microphone among the sound server's inputs, by what the desktop calls
// them; the choice is kept, and the meter shows what it hears while the options are open.
TEST_F(Recording, TheMicrophoneIsChosenAndItsLevelShown) {
    window->ShowRecordingOptions();
    RecordingOptionsDialog& d = window->recordingOptions();
    QComboBox* choice = d.findChild<QComboBox*>(QStringLiteral("InputChoice"));
    ASSERT_TRUE(choice);
    QStringList items;
    for (int i = 0; i < choice->count(); ++i) items << choice->itemText(i);
    EXPECT_EQ(items.value(0), QStringLiteral("Default input (LoopMic)"));
    EXPECT_TRUE(items.contains(QStringLiteral("LoopMic"))) << items.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(choice->currentIndex(), 0);
    // The music into the server's sink is what its microphone hears: the meter moves.
    open(demoSong("oh-susanna"));
    midi().button(MediaButton::Play)->click();
    QProgressBar* level = d.findChild<QProgressBar*>(QStringLiteral("InputLevel"));
    ASSERT_TRUE(level);
    EXPECT_TRUE(QTest::qWaitFor([&] { return level->value() > 20; }, 5000)) << level->format().toStdString();
    shot(&d, QStringLiteral("recording-options-microphone"));
    midi().setCommand(QStringLiteral("stop"));

    const int loop = choice->findText(QStringLiteral("LoopMic"));
    ASSERT_GE(loop, 1);
    choice->setCurrentIndex(loop);
    emit choice->activated(loop);
    EXPECT_EQ(ChosenInput(), QStringLiteral("loopmic"));
    EXPECT_EQ(d.input->text(), QStringLiteral("Input: LoopMic"));
    d.cancel->click();
    EXPECT_TRUE(QSettings(window->settingsPath(), QSettings::IniFormat).value(QStringLiteral("recording/input")).toString() == QStringLiteral("loopmic"));
    // A take records from it.
    open(demoSong("twinkle"));
    record(600);
    EXPECT_EQ(wave().wave()->inputDescription(), QStringLiteral("LoopMic"));

    // Unplugged since: said, and the default is used.
    SetChosenInput(QStringLiteral("usb-headset-gone"));
    window->ShowRecordingOptions();
    EXPECT_EQ(choice->currentText(), QStringLiteral("usb-headset-gone (not there now)"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return level->format().contains(QStringLiteral("is not there")); }, 3000)) << level->format().toStdString();
    d.cancel->click();
    SetChosenInput(QString());
}

// Ended by the desktop (a logout's SIGTERM) while recording: nothing is asked, and the take
// stays on disk for the next start, as after a crash; a saved take does not.
TEST_F(Recording, ATakeInProgressOutlivesTheDesktopsEnd) {
    open(demoSong("twinkle"));
    wave().button(MediaButton::Record)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return takeMs() >= 700; }, 20000));
    const QString spool = wave().wave()->spoolPath();
    ASSERT_FALSE(spool.isEmpty());
    {
        BoxCatcher none;
        window->endAtRequest();
        EXPECT_TRUE(none.texts.isEmpty()) << none.texts.join(QLatin1Char('|')).toStdString();
    }
    EXPECT_FALSE(window->isVisible());
    window.reset();
    MediaRegistry::instance().closeAll();
    ASSERT_TRUE(QFileInfo::exists(spool)) << "the take was thrown away";
    EXPECT_GE(readWave(spool).seconds, 0.6);
    QFile::remove(spool);
}

// `cantavo --record`: the same take without a window, in the format asked for.
TEST(RecordCommand, WritesATakeOfTheChosenFormat) {
    NEED_SOUND();
    QTemporaryDir dir;
    const QString take = dir.filePath(QStringLiteral("take.wav"));
    CliRun r = run({QStringLiteral("--record"), demoSong("oh-susanna"), take, QStringLiteral("--seconds"), QStringLiteral("2"), QStringLiteral("--format"),
                    QStringLiteral("8-1-22")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Recorded 00:0"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("from LoopMic (voice and music)"))) << r.out.toStdString();
    const WaveFacts f = readWave(take);
    EXPECT_EQ(f.bits, 8);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.rate, 22050);
    EXPECT_GT(f.seconds, 1.5);
    EXPECT_GT(f.peak, 0.02);
    r = run({QStringLiteral("--record"), demoSong("twinkle"), take, QStringLiteral("--seconds"), QStringLiteral("1"), QStringLiteral("--voice-only")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("(voice only)")));
    EXPECT_EQ(readWave(take).channels, 2);
    EXPECT_EQ(run({QStringLiteral("--record"), fixture("not-midi"), take}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--record"), demoSong("twinkle"), dir.filePath(QStringLiteral("no/such/folder/take.wav")), QStringLiteral("--seconds"),
                   QStringLiteral("1")}).status, 2);
}

// With the music on an external MIDI device only the voice can be recorded; the singer's
// own choice waits for the built-in synthesizer.
TEST(RecordingOptions, VoiceAndMusicWaitsWhileTheMusicGoesOutside) {
    RecordingOptionsDialog d;
    QList<RecordingChoice> seen;
    d.changed = [&](RecordingChoice c) { seen << c; };
    d.showChoice({16, -1, 44, true}, false, QStringLiteral("LoopMic"));
    EXPECT_TRUE(seen.isEmpty()) << "showing is not choosing";
    EXPECT_FALSE(d.sources[0]->isEnabled());
    EXPECT_TRUE(d.sources[1]->isChecked());
    EXPECT_TRUE(d.sources[0]->toolTip().contains(QStringLiteral("external MIDI device")));
    d.bits[0]->click();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].bits, 8);
    EXPECT_EQ(seen[0].stereo, -1);
    EXPECT_TRUE(seen[0].withMusic) << "the choice is kept for when the music comes back";
    d.showChoice({8, 0, 11, true}, true, QStringLiteral("LoopMic"));
    EXPECT_TRUE(d.sources[0]->isChecked());
    d.sources[1]->click();
    EXPECT_FALSE(seen.last().withMusic);
    EXPECT_EQ(seen.last().khz, 11);
    EXPECT_EQ(seen.last().stereo, 0);
    d.show();
    d.close();
    EXPECT_FALSE(d.isVisible()) << "closed by its frame as Cancel";
}

// Calibrate, then sing along with the window listening: here the loopback microphone hears
// the music itself, whose flute plays the tune.
TEST_F(Recording, CalibrateAndListenWhileTheSongPlays) {
    BoxCatcher boxes;
    command("calibrate")->trigger();
    EXPECT_FALSE(command("calibrate")->isEnabled()) << "one calibration at a time";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, 15000));
    EXPECT_TRUE(boxes.texts.first().startsWith(QStringLiteral("Sound takes "))) << boxes.texts.first().toStdString();
    EXPECT_EQ(boxes.icons.first(), QMessageBox::Information);
    EXPECT_TRUE(command("calibrate")->isEnabled());
    const QSettings settings(window->settingsPath(), QSettings::IniFormat);
    EXPECT_NEAR(settings.value(QStringLiteral("score/roundTripMs")).toDouble(), settings.value(QStringLiteral("score/reportedMs")).toDouble(), 10);

    open(demoSong("twinkle"));
    window->setScoreOn(true);
    midi().button(MediaButton::Play)->click();
    // Into the second line of the song, past the two bars of introduction.
    const double until = window->melody().notes[9].endMs;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->melody().msAtTick(midi().sequencer()->positionTicks()) > until; }, 20000));
    EXPECT_TRUE(window->scoreGuide().running());
    EXPECT_TRUE(window->liveScorer()->listening());
    EXPECT_TRUE(window->liveScorer()->keeper().heardAny());
    EXPECT_TRUE(window->scoreGuide().message().isEmpty()) << window->scoreGuide().message().toStdString();
    EXPECT_GT(window->liveScorer()->keeper().result(until).total, 5000);
    EXPECT_FALSE(window->scoreGuide().scoreText().isEmpty());
    midi().button(MediaButton::Stop)->click();
    QTest::qWait(100);
    EXPECT_FALSE(window->liveScorer()->listening()) << "the microphone closes when the song stops";
    EXPECT_FALSE(window->scoreGuide().running());
}

}  // namespace
