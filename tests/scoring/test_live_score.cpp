// Scoring with real sound: the synthetic singer played into the test sound server's sink while
// the song plays, heard back through its loopback microphone; and the round trip measured.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include "audiooutput.h"
#include "calibration.h"
#include "livescorer.h"
#include "sequencer.h"
#include "singer.h"
#include "songs.h"
#include "soundtests.h"

namespace cantavo::test {
namespace {

qint64 steadyNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Plays a voice into the sound server on a thread of its own, placed so that its sample 0
// is heard at `startNs` (set once the song's start is known): each block goes out where the
// stream's latency says it will be heard.
class VoicePlayer {
public:
    VoicePlayer(std::vector<float> voice, int rate) : voice_(std::move(voice)), rate_(rate) {
        QString error;
        out_ = OpenPulseOutput(QStringLiteral("synthetic singer"), rate, 20, &error);
        EXPECT_TRUE(out_) << error.toStdString();
        if (out_) thread_ = std::thread([this] { run(); });
    }
    ~VoicePlayer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::atomic<qint64> startNs{0};

private:
    void run() {
        constexpr int kBlock = 128;
        std::vector<float> block(2 * kBlock);
        qint64 next = -1;
        while (!stop_ && out_->waitWritable(kBlock)) {
            const qint64 start = startNs.load();
            std::fill(block.begin(), block.end(), 0.0f);
            if (start > 0) {
                const double heardNs = static_cast<double>(steadyNs()) + out_->latencyFrames() * 1e9 / rate_;
                const qint64 wanted = static_cast<qint64>((heardNs - static_cast<double>(start)) * rate_ / 1e9);
                // Placed once; followed again only if the stream falls well away from the clock
                // (the reported latency wavers by a few ms from block to block).
                if (next < 0 || std::llabs(wanted - next) > rate_ / 50) next = wanted;
                for (int i = 0; i < kBlock; ++i, ++next)
                    if (next >= 0 && next < static_cast<qint64>(voice_.size())) block[2 * i] = block[2 * i + 1] = voice_[static_cast<size_t>(next)];
            }
            if (!out_->write(block.data(), kBlock)) break;
        }
    }
    std::vector<float> voice_;
    int rate_;
    std::unique_ptr<AudioOutput> out_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

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
    sequencer.play();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kSungMs + 1500) {
        if (player.startNs.load() == 0) {
            const double tick = sequencer.ticksHeardAt(steadyNs());
            if (!std::isnan(tick) && tick > 0) {
                const qint64 now = steadyNs();
                player.startNs = now - static_cast<qint64>(song.melody.msAtTick(sequencer.ticksHeardAt(now)) * 1e6);
            }
        }
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
