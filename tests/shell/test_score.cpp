// The singing score in the window: the Sing menu, the guide under the lyrics, the melody
// chosen in Song Info, the score at the song's end and what is kept, over the offline
// synthesizer. The voice is the synthetic singer measured by the program's own detector and
// placed as the live listener places it.
#include <QComboBox>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "livepanel.h"
#include "livescorer.h"
#include "scoreguide.h"
#include "singer.h"
#include "smfbytes.h"
#include "window.h"

namespace cantavo::test {
namespace {

class Score : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        window->setProgramDirectory(program.path());
    }
    void TearDown() override {
        Window::TearDown();
        qunsetenv("XDG_CONFIG_HOME");
    }
    QAction* action(const char* name) { return window->commands()[QString::fromLatin1(name)]; }
    // The singer's voice, measured, placed from `fromMs` up to `toMs` of the song.
    void sing(const Singer& singer, double fromMs, double toMs) {
        const std::vector<float> voice = singer.sing(window->melody(), toMs);
        PitchTracker tracker(singer.rate);
        std::vector<PitchFrame> frames;
        tracker.feed(voice.data(), voice.size(), frames);
        for (const PitchFrame& f : frames)
            if (f.ms >= fromMs) window->liveScorer()->place(f, f.ms);
    }
    // Plays the song to its end, with `singer` singing along.
    void singThrough(const Singer& singer) {
        const double length = window->melody().notes.back().endMs + 200;
        play();
        // The listener notices the start (a new try) on its next look.
        QTest::qWait(60);
        sing(singer, 0, length);
        advance(length / 1000 + 3);
    }
    QTemporaryDir program, config;
};

TEST_F(Score, TheSingMenuShowsTheGuideAndKeepsItsSettings) {
    EXPECT_FALSE(action("score")->isChecked());
    EXPECT_FALSE(window->scoreGuide().isVisible());
    EXPECT_TRUE(action("scoreNormal")->isChecked());
    open(demoSong("twinkle"));
    action("score")->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(window->scoreGuide().isVisible());
    EXPECT_EQ(window->melody().channel, 0);
    EXPECT_EQ(window->melody().notes.size(), 42u);
    EXPECT_TRUE(window->scoreGuide().message().isEmpty());
    action("scoreHard")->trigger();
    EXPECT_EQ(window->difficulty(), Difficulty::Hard);
    EXPECT_EQ(window->liveScorer()->keeper().difficulty(), Difficulty::Hard);
    {
        MainWindow again;
        again.setProgramDirectory(program.path());
        EXPECT_TRUE(again.commands()[QStringLiteral("score")]->isChecked());
        EXPECT_EQ(again.difficulty(), Difficulty::Hard);
    }
    action("score")->trigger();
    EXPECT_FALSE(window->scoreGuide().isVisible());
    EXPECT_FALSE(QSettings(window->settingsPath(), QSettings::IniFormat).value(QStringLiteral("score/on")).toBool());
    EXPECT_TRUE(window->settingsPath().startsWith(config.path()));
}

TEST_F(Score, ASongWithoutMelodySaysSo) {
    QFile beat(program.filePath(QStringLiteral("beat.kar")));
    ASSERT_TRUE(beat.open(QIODevice::WriteOnly));
    beat.write(wordsOverDrums());
    beat.close();
    window->setScoreOn(true);
    open(beat.fileName());
    EXPECT_TRUE(window->melody().empty());
    EXPECT_EQ(window->scoreGuide().message(), QStringLiteral("No melody under these lyrics: this song cannot be scored."));
    // Nothing is scored at the end either.
    play();
    advance(3);
    EXPECT_EQ(window->lastScore().total, 0);
    EXPECT_TRUE(window->scoreGuide().resultHeadline().isEmpty());
    open(demoSong("twinkle"));
    EXPECT_TRUE(window->scoreGuide().message().isEmpty());
}

TEST_F(Score, SongInfoShowsTheMelodyAndTheSingerChoosesAnother) {
    open(demoSong("oh-susanna"));
    window->setScoreOn(true);
    window->commands()[QStringLiteral("ifa1")]->trigger();
    QComboBox* box = window->songInfo().findChild<QComboBox*>(QStringLiteral("MelodyChannel"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->itemText(0), QStringLiteral("Automatic: channel 1 (Harmonica), track 3"));
    EXPECT_EQ(box->currentIndex(), 0);
    int bass = -1;
    for (int i = 1; i < box->count(); ++i)
        if (box->itemText(i).contains(QStringLiteral("Bass"))) bass = i;
    ASSERT_GT(bass, 0);
    box->setCurrentIndex(bass);
    emit box->activated(bass);
    EXPECT_EQ(window->melody().channel, box->itemData(bass).toInt());
    EXPECT_TRUE(window->melody().chosen);
    EXPECT_TRUE(window->livePanel().findChild<QLabel*>()) << "the panel still stands";
    // The choice stays with the song.
    open(demoSong("twinkle"));
    EXPECT_EQ(window->melody().channel, 0);
    open(demoSong("oh-susanna"));
    EXPECT_EQ(window->melody().channel, box->itemData(bass).toInt());
    window->commands()[QStringLiteral("ifa1")]->trigger();
    EXPECT_EQ(box->currentIndex(), bass);
    emit box->activated(0);
    EXPECT_EQ(window->melody().channel, 0);
    EXPECT_FALSE(window->melody().chosen);
}

TEST_F(Score, TheScoreComesAtTheEndAndTheBestIsKept) {
    open(demoSong("twinkle"));
    window->setScoreOn(true);
    singThrough(Singer{});
    const int first = window->lastScore().total;
    EXPECT_GE(first, 9000);
    EXPECT_EQ(window->scoreGuide().resultHeadline(), QStringLiteral("%1 points. Superb! Right on the tune.").arg(first));
    EXPECT_EQ(window->bestScore(), first);
    // A worse try keeps the best; the guide says what it is.
    Singer half;
    half.offset = [](int k) { return k % 2 ? 4.0 : 0.0; };
    singThrough(half);
    EXPECT_LT(window->lastScore().total, first * 0.6);
    EXPECT_EQ(window->bestScore(), first);
    // Each difficulty has its own best.
    window->setDifficulty(Difficulty::Easy);
    EXPECT_EQ(window->bestScore(), 0);
}

TEST_F(Score, DifficultyAndKeyJudgeWhatWasSungAgain) {
    open(demoSong("twinkle"));
    window->setScoreOn(true);
    Singer flat;
    flat.offset = [](int) { return -0.7; };
    const double end = window->melody().notes.back().endMs + 100;
    sing(flat, 0, end);
    const int normal = window->liveScorer()->keeper().result().total;
    window->setDifficulty(Difficulty::Hard);
    const int hard = window->liveScorer()->keeper().result().total;
    EXPECT_GE(normal, 8500);
    EXPECT_LT(hard, 3000);
    // Two half tones up: the same singing is now far from every note.
    window->setDifficulty(Difficulty::Normal);
    LiveSettings up = window->liveSettings();
    up.key = 2;
    window->setLive(up, false);
    EXPECT_EQ(window->melody().notes.front().pitch, 64);
    EXPECT_LT(window->liveScorer()->keeper().result().total, 1000);
}

TEST_F(Score, TheGuideAsASingerSeesIt) {
    open(demoSong("twinkle"));
    window->setScoreOn(true);
    const MelodyNote& line2 = window->melody().notes[10];
    const auto singTo = [&](const Singer& singer, const char* name) {
        window->liveScorer()->keeper().clear();
        sing(singer, 0, line2.startMs);
        window->transport();
        window->scoreGuide().nowMs = [&] { return line2.startMs; };
        window->scoreGuide().setScoreText(QStringLiteral("%1 (normal)").arg(window->liveScorer()->keeper().result(line2.startMs).total));
        QApplication::processEvents();
        shot(QString::fromLatin1(name));
        return window->scoreGuide().grab().toImage();
    };
    Singer third;
    third.offset = [](int) { return 4.0; };
    const QImage good = singTo(Singer{}, "score-guide-in-tune");
    const QImage bad = singTo(third, "score-guide-off");
    // Sung in tune the past notes are green; sung a third off, red.
    const auto count = [](const QImage& img, bool green) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width() / 3; ++x) {
                const QColor c = img.pixelColor(x, y);
                n += green ? c.green() > 180 && c.red() < 120 : c.red() > 180 && c.green() < 130;
            }
        return n;
    };
    EXPECT_GT(count(good, true), 10 * count(good, false) + 50);
    EXPECT_GT(count(bad, false), 10 * count(bad, true) + 50);
}

}  // namespace
}  // namespace cantavo::test
