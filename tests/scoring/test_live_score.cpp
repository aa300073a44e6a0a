// Scoring with real sound: the synthetic singer played into the test sound server's sink while
// the song plays, heard back through its loopback microphone; and the round trip measured.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "calibration.h"
#include "livescorer.h"
#include "sequencer.h"
#include "singer.h"
#include "songs.h"
#include "soundtests.h"
#include "voiceplayer.h"

namespace cantavo::test {
namespace {

TEST(SoundScore, CalibrationFindsTheServersRoundTrip) {
    NEED_SOUND();
    QString error;
    auto host = SynthHost::create(SynthHost::Options{}, &error);
    ASSERT_TRUE(host) << error.toStdString();
    ASSERT_TRUE(host->outputProblem().isEmpty()) << host->outputProblem().toStdString();
    QTemporaryDir dir;
    const CalibrationResult r = RunCalibration(*host, dir.path());
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    std::cout << "round trip measured " << r.roundTripMs << " ms, reported " << r.reportedMs << " ms, peak " << r.peak << "\n";
    EXPECT_GT(r.reportedMs, 5);
    EXPECT_NEAR(r.roundTripMs, r.reportedMs, 10);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("calibration-clicks.mid")))) << "the clicks are cleaned up";
}

TEST(SoundScore, LiveScoreMatchesTheOfflineScoreOfTheSameTake) {
    NEED_SOUND();
    const LoadedSong song = loadSong(demoSong("twinkle"));
    constexpr double kSungMs = 22000;
    // Every third note a major third off, so that a voice placed wrongly in time would show.
    Singer singer;
    singer.offset = [](int k) { return k % 3 == 2 ? 4.0 : 0.0; };
    const std::vector<float> voice = singer.sing(song.melody, kSungMs + 500);

    // The take scored offline, as --score scores it, over the same stretch of the song.
    ScoreKeeper offline(song.melody, Difficulty::Normal);
    PitchTracker tracker(singer.rate);
    std::vector<PitchFrame> frames;
    tracker.feed(voice.data(), voice.size(), frames);
    for (const PitchFrame& f : frames) offline.add(f.ms, f);

    QString error;
    auto host = SynthHost::create(SynthHost::Options{}, &error);
    ASSERT_TRUE(host) << error.toStdString();
    Sequencer sequencer(*host);
    ASSERT_TRUE(sequencer.open(demoSong("twinkle"), &error)) << error.toStdString();
    LiveScorer live([&](qint64 ns) { return sequencer.ticksHeardAt(ns); }, song.melody, Difficulty::Normal);
    ASSERT_TRUE(live.start(host->sampleRate(), 0, &error)) << error.toStdString();
    VoicePlayer player(voice, singer.rate);
    ASSERT_TRUE(player.ok()) << player.error.toStdString();
    sequencer.play();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kSungMs + 1500) {
        player.follow([&](qint64 ns) { return song.melody.msAtTick(sequencer.ticksHeardAt(ns)); });
        ASSERT_TRUE(live.pump()) << live.error().toStdString();
        QTest::qWait(20);
    }
    sequencer.stop();
    const int liveTotal = live.keeper().result(kSungMs).total, offlineTotal = offline.result(kSungMs).total;
    std::cout << "live " << liveTotal << ", offline " << offlineTotal << "\n";
    EXPECT_GT(offlineTotal, 4000);
    EXPECT_LT(offlineTotal, 8500);
    EXPECT_NEAR(liveTotal, offlineTotal, offlineTotal * 0.05);
}

}  // namespace
}  // namespace cantavo::test
