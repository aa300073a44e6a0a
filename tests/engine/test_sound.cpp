// Real sound through the desktop's sound server: the test command starts a private one with
// a microphone that hears what is played.
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "alignment.h"
#include "engine.h"
#include "soundtests.h"
#include "wavedevice.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

std::unique_ptr<SynthHost> realTimeHost() {
    QString error;
    auto host = SynthHost::create(SynthHost::Options{}, &error);
    EXPECT_TRUE(host) << error.toStdString();
    return host;
}

}  // namespace

TEST(Sound, RecordTheBuiltInSynthesizerFromTheMicrophone) {
    NEED_SOUND();
    QTemporaryDir dir;
    auto host = realTimeHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("twinkle"), &error)) << error.toStdString();
    WaveDevice take;
    ASSERT_TRUE(take.open(writeWave(dir.filePath(QStringLiteral("16-1-44.wav")), {16, 2, 44100}, 0), &error)) << error.toStdString();
    EXPECT_DOUBLE_EQ(take.lengthMs(), 0);
    ASSERT_TRUE(take.record(&error)) << error.toStdString();
    EXPECT_EQ(take.mode(), MediaMode::Recording);
    seq.seekSixteenths(32);  // where the melody starts
    const double startMs = seq.positionMs();
    const qint64 framesAtPlay = host->framesRendered();
    seq.play();
    // Two seconds of music by the synthesizer's clock, however long the machine takes.
    const auto renderedSince = [&] { return static_cast<double>(host->framesRendered() - framesAtPlay) * 1000.0 / host->sampleRate(); };
    // A loaded machine starts streams late: wait for what the test needs, not for a fixed time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderedSince() > 2000 && take.lengthMs() > 1500; }, 30000))
        << take.lengthMs() << " ms recorded through " << WaveDevice::audioDriverName().toStdString() << ", "
        << renderedSince() << " ms rendered";
    // Positions are what is heard: the sample clock less the output latency.
    const double heardMs = seq.positionMs() - startMs;
    const double renderedMs = renderedSince();
    const double latencyMs = host->latencyFrames() * 1000.0 / host->sampleRate();
    const double blockMs = 1024 * 1000.0 / host->sampleRate();
    EXPECT_LE(heardMs, renderedMs + blockMs) << "ahead of the sample clock; latency " << latencyMs;
    EXPECT_GE(heardMs, renderedMs - latencyMs - 2 * blockMs) << "behind by more than the latency";
    EXPECT_GT(latencyMs, 0);
    EXPECT_EQ(host->audioDriverName(), QStringLiteral("pulseaudio"));
    EXPECT_TRUE(host->outputProblem().isEmpty()) << host->outputProblem().toStdString();
    take.stop();
    seq.stop();
    const QString saved = dir.filePath(QStringLiteral("take.wav"));
    ASSERT_TRUE(take.save(saved, &error)) << error.toStdString();
    WaveDevice back;
    ASSERT_TRUE(back.open(saved, &error));
    EXPECT_EQ(back.format(), (WaveFormat{16, 2, 44100}));
    EXPECT_GT(back.lengthMs(), 1500);
    EXPECT_EQ(take.inputDescription(), QStringLiteral("LoopMic")) << "the desktop's default input";
    EXPECT_GT(back.peak(), 0.02) << "the recording is silent";
}

// A take of voice and music: the music goes in where the singer heard it. Here the
// microphone hears the sink, so the voice is the music coming back and the two must meet.
TEST(Sound, VoiceAndMusicLineUpInTheTake) {
    NEED_SOUND();
    auto host = realTimeHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("oh-susanna"), &error)) << error.toStdString();
    TakeRecorder recorder({16, 1, 22050}, host.get());
    recorder.keepStems(true);
    QByteArray take;
    ASSERT_TRUE(recorder.start({}, {}, &error)) << error.toStdString();
    seq.play();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < 6000) {
        QTest::qWait(20);
        ASSERT_TRUE(recorder.pump(take)) << recorder.error().toStdString();
    }
    recorder.finish(take);
    seq.stop();
    ASSERT_EQ(recorder.voiceStem().size(), recorder.musicStem().size());
    // Second by second: a dropout that a loaded machine puts into the loopback spoils the
    // second it falls in, not the measure. The lag is what is checked; the windows that
    // correlate clearly must be most of them, and their median lag within 10 ms.
    const std::vector<float> music = monoOf(recorder.musicStem()), voice = monoOf(recorder.voiceStem());
    const size_t window = static_cast<size_t>(recorder.captureRate());
    std::vector<double> lags;
    int windows = 0;
    for (size_t at = 0; at + window <= music.size(); at += window, ++windows) {
        const std::vector<float> m(music.begin() + static_cast<long>(at), music.begin() + static_cast<long>(at + window));
        const std::vector<float> v(voice.begin() + static_cast<long>(at), voice.begin() + static_cast<long>(at + window));
        double peak = 0;
        const double lag = OffsetMs(m, v, recorder.captureRate(), 200, &peak);
        if (peak > 0.5) lags.push_back(lag);
    }
    ASSERT_GE(windows, 5);
    EXPECT_GE(lags.size() * 2, static_cast<size_t>(windows)) << lags.size() << " of " << windows << " seconds sound like the music";
    ASSERT_FALSE(lags.empty());
    std::sort(lags.begin(), lags.end());
    const double median = lags[lags.size() / 2];
    EXPECT_LT(std::abs(median), 10.0) << "the voice is " << median << " ms off the music under it";
    // Converted as it came: 22 kHz mono, 16 bits, as long as the voice.
    const double takeSeconds = take.size() / 2.0 / 22050;
    EXPECT_NEAR(takeSeconds, recorder.voiceStem().size() / 2.0 / recorder.captureRate(), 0.01);
    EXPECT_GT(takeSeconds, 5.0);
}

// While a take is recorded it is also a whole wave file in the spool folder, which closing
// the device lets go; this run's own spool is no leftover.
TEST(Sound, TheTakeStreamsToASpoolFile) {
    NEED_SOUND();
    QTemporaryDir dir;
    WaveDevice::setSpoolFolder(dir.path());
    WaveDevice take;
    take.create({8, 2, 11025});
    QString error;
    ASSERT_TRUE(take.record(&error)) << error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return take.lengthMs() > 1000; }, 10000));
    const QString spool = take.spoolPath();
    ASSERT_TRUE(spool.startsWith(dir.path()));
    WaveDevice reader;
    ASSERT_TRUE(reader.open(spool, &error)) << "readable while it grows: " << error.toStdString();
    EXPECT_EQ(reader.format(), (WaveFormat{8, 2, 11025}));
    EXPECT_GT(reader.lengthMs(), 800);
    EXPECT_TRUE(WaveDevice::LeftoverTakes().isEmpty());
    take.stop();
    ASSERT_TRUE(reader.open(spool, &error));
    EXPECT_DOUBLE_EQ(reader.lengthMs(), take.lengthMs());
    take.close();
    EXPECT_FALSE(QFileInfo::exists(spool));
    WaveDevice::setSpoolFolder({});
}

TEST(Sound, EightBitMonoTakesKeepTheirFormat) {
    NEED_SOUND();
    QTemporaryDir dir;
    WaveDevice take;
    QString error;
    ASSERT_TRUE(take.open(writeWave(dir.filePath(QStringLiteral("8-0-11.wav")), {8, 1, 11025}, 0), &error));
    ASSERT_TRUE(take.record(&error)) << error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return take.lengthMs() > 300; }, 10000));
    take.stop();
    ASSERT_TRUE(take.save(dir.filePath(QStringLiteral("t8.wav")), &error));
    SF_INFO info{};
    SNDFILE* s = sf_open(dir.filePath(QStringLiteral("t8.wav")).toLocal8Bit().constData(), SFM_READ, &info);
    ASSERT_TRUE(s);
    sf_close(s);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.samplerate, 11025);
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_U8);
    EXPECT_GT(info.frames, 11025 / 5);
}

TEST(Sound, WavePlaysToItsEndAsynchronouslyAndSynchronously) {
    NEED_SOUND();
    QTemporaryDir dir;
    const QString tone = writeWave(dir.filePath(QStringLiteral("tone.wav")), {16, 1, 22050}, 0.4);
    WaveDevice d;
    QString error;
    ASSERT_TRUE(d.open(tone, &error));
    EXPECT_NEAR(d.lengthMs(), 400, 1);
    QSignalSpy done(&d, &WaveDevice::completed);
    ASSERT_TRUE(d.play(&error)) << error.toStdString();
    EXPECT_EQ(d.mode(), MediaMode::Playing);
    EXPECT_TRUE(done.wait(3000));
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(d.mode(), MediaMode::Stopped);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(PlaySoundSync(tone, &error)) << error.toStdString();
    EXPECT_GE(t.elapsed(), 350);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_FALSE(PlaySoundSync(dir.filePath(QStringLiteral("missing.wav")), &error));
}

// Open, play, record, save and close, again and again, while the synthesizer plays: no
// crash, no hang.
TEST(Sound, TwoHundredWaveCyclesWhileTheSynthesizerPlays) {
    NEED_SOUND();
    QTemporaryDir dir;
    auto host = realTimeHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("frere-jacques"), &error));
    seq.play();
    const QString tone = writeWave(dir.filePath(QStringLiteral("tone.wav")), {16, 2, 44100}, 0.05);
    QElapsedTimer t;
    t.start();
    int saved = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        WaveDevice d;
        ASSERT_TRUE(d.open(tone, &error)) << cycle << ": " << error.toStdString();
        ASSERT_TRUE(d.play(&error)) << cycle << ": " << error.toStdString();
        QTest::qWait(5);
        d.stop();
        ASSERT_TRUE(d.record(&error)) << cycle << ": " << error.toStdString();
        QTest::qWait(5);
        d.stop();
        saved += d.save(dir.filePath(QStringLiteral("cycle.wav")), &error);
        d.close();
        if (seq.mode() != MediaMode::Playing) seq.play();
    }
    EXPECT_EQ(saved, 200);
    EXPECT_LT(t.elapsed(), 120000);
    std::printf("200 wave cycles in %lld ms\n", static_cast<long long>(t.elapsed()));
}

namespace {

// The test sound server, stopped and started under a playing song as a desktop's may be.
bool soundServer(const char* what) {
    const int status = QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral(". \"%1/scripts/sound-server\" && %2_sound_server")
                                                                                               .arg(QStringLiteral(CANTAVO_SOURCE_DIR), QString::fromLatin1(what))});
    return status == 0;
}

struct ServerComesBack {
    ~ServerComesBack() {
        if (paused) soundServer("resume");
    }
    bool paused = false;
};

}  // namespace

TEST(Sound, TheSongGoesOnSilentlyWhenTheServerGoesAndUsesItAgainOnTheNextPlay) {
    NEED_SOUND();
    auto host = realTimeHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("oh-susanna"), &error)) << error.toStdString();
    QSignalSpy changed(host.get(), &SynthHost::outputChanged);
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seq.positionMs() > 500; }, 10000));
    EXPECT_EQ(host->audioDriverName(), QStringLiteral("pulseaudio"));

    ServerComesBack guard;
    ASSERT_TRUE(soundServer("pause"));
    guard.paused = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->audioDriverName() == QStringLiteral("none"); }, 10000));
    EXPECT_TRUE(host->outputProblem().startsWith(QStringLiteral("No sound output"))) << host->outputProblem().toStdString();
    // The song keeps its time on the silent clock.
    const double before = seq.positionMs();
    const auto start = std::chrono::steady_clock::now();
    QTest::qWait(1000);
    const double moved = seq.positionMs() - before;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(moved, wall * 0.5) << "the song stood still without the server";
    EXPECT_LT(moved, wall + 100) << "the song ran away without the server";
    EXPECT_EQ(seq.mode(), MediaMode::Playing);

    ASSERT_TRUE(soundServer("resume"));
    guard.paused = false;
    seq.pause();
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->audioDriverName() == QStringLiteral("pulseaudio"); }, 10000));
    EXPECT_TRUE(host->outputProblem().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_GE(changed.count(), 2) << "told when the sound went and when it came back";
}
