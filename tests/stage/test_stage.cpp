// The singers' screen: what it shows when (title card, lyrics, countdown), in step with the
// lyrics window, and where it goes when there are two screens.
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <QTest>
#include <qpa/qplatformnativeinterface.h>

#include "../shell/window.h"
#include "singersscreen.h"
#include "smfbytes.h"
#include "stagemoment.h"

namespace cantavo::test {
namespace {

// A song at 120 bpm (a beat is 500 ms): a line at the start, then eight seconds of music,
// then a line sung after the break.
QByteArray breakSong() {
    SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TAfter the Break");
    b.meta(0, 0x01, "@TThe Testers");
    b.meta(480, 0x01, "\\Hel");
    b.meta(240, 0x01, "lo ");
    b.meta(240, 0x01, "there ");
    b.meta(480 * 16, 0x01, "/Back ");
    b.meta(480, 0x01, "a");
    b.meta(480, 0x01, "gain");
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 60, 90});
    b.varLen(480 * 22);
    b.bytes({0x80, 60, 0});
    b.endTrack();
    return b.data();
}

TEST(StageMoment, TitleCardLyricsAndCountdown) {
    SongModel song;
    song.songTitle = QStringLiteral("After the Break\r\nThe Testers");
    song.lyricCount = 3;
    song.tempoCount = 1;
    song.tempoTick[1] = 0;
    song.tempoMicros[1] = 500000;
    const std::vector<double> at = {0, 500, 8500, 9000};
    EXPECT_TRUE(StageMomentAt(song, at, 0, 1, false).titleCard) << "no song";
    const StageMoment start = StageMomentAt(song, at, 0, 1, true);
    EXPECT_FALSE(start.titleCard) << "the first line is near";
    EXPECT_EQ(start.title, QStringLiteral("After the Break"));
    EXPECT_EQ(start.author, QStringLiteral("The Testers"));
    EXPECT_EQ(StageMomentAt(song, at, 5000, 2, true).countdown, 0) << "more than three beats to go";
    EXPECT_EQ(StageMomentAt(song, at, 7200, 2, true).countdown, 3);
    EXPECT_EQ(StageMomentAt(song, at, 7600, 2, true).countdown, 2);
    EXPECT_EQ(StageMomentAt(song, at, 8100, 2, true).countdown, 1);
    EXPECT_EQ(StageMomentAt(song, at, 8700, 3, true).countdown, 0) << "no break before it";
    EXPECT_TRUE(StageMomentAt(song, at, 9000 + kCardAfterMs + 100, 4, true).titleCard) << "all sung";
    EXPECT_DOUBLE_EQ(BeatMsAt(song, 3000), 500);
}

class Stage : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        QFile f(dir.filePath(QStringLiteral("break.kar")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(breakSong());
    }
    SingersScreen& stage() { return *window->singersScreen(); }
    void grabStage(const QString& name) {
        QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
        stage().grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/") + name + QStringLiteral(".png"));
    }
    QTemporaryDir dir;
};

TEST_F(Stage, ShowsTheTitleCardThenTheLyricsInStepWithTheHost) {
    window->commands()[QStringLiteral("singers")]->trigger();
    ASSERT_TRUE(stage().isVisible());
    EXPECT_TRUE(window->commands()[QStringLiteral("singers")]->isChecked());
    stage().resize(1280, 720);
    QApplication::processEvents();
    EXPECT_TRUE(stage().showingTitleCard()) << "no song yet";
    grabStage(QStringLiteral("stage-1280x720-no-song"));

    open(dir.filePath(QStringLiteral("break.kar")));
    play();
    advance(0.8);
    QTest::qWait(150);
    EXPECT_FALSE(stage().showingTitleCard());
    EXPECT_GT(stage().lyricsPointSize(), 20) << "large, for the room";
    grabStage(QStringLiteral("stage-1280x720-singing"));
    // The break: the countdown before "Back again".
    advance(5.0);
    bool counted = false;
    for (int i = 0; i < 30 && !counted; ++i) {
        advance(0.1);
        QTest::qWait(110);
        counted = stage().countdown() > 0;
    }
    EXPECT_TRUE(counted) << "no countdown before the line after the break";
    grabStage(QStringLiteral("stage-1280x720-countdown"));
    stage().resize(1920, 1080);
    QApplication::processEvents();
    grabStage(QStringLiteral("stage-1920x1080-countdown"));

    // Closing it changes nothing else.
    const QString pilot = window->lyricsWindow().surface().pilotText();
    stage().close();
    EXPECT_FALSE(window->commands()[QStringLiteral("singers")]->isChecked());
    EXPECT_EQ(window->lyricsWindow().surface().pilotText(), pilot);
    EXPECT_TRUE(window->session().songLoaded());
}

// While the song plays the lit part wipes through the syllable being sung, in both windows:
// half way through a syllable, half of it is lit, and the wipe stops inside its letters.
TEST_F(Stage, TheWipeMovesThroughTheSyllableBeingSung) {
    window->ShowSingersScreen(0);
    stage().resize(1280, 720);
    open(dir.filePath(QStringLiteral("break.kar")));
    play();
    // "there " starts at 1000 ms and is held through the break: its wipe takes the longest
    // a syllable's may (1500 ms). Half way: 1750 ms.
    advance(1.75);
    QTest::qWait(60);
    const LyricsSurface& surface = window->lyricsWindow().surface();
    EXPECT_EQ(surface.highlightText().mid(surface.runStart()), QStringLiteral("there "));
    EXPECT_GT(surface.wipe(), 0.3);
    EXPECT_LT(surface.wipe(), 0.7);
    grabStage(QStringLiteral("stage-1280x720-mid-syllable"));
    QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
    window->lyricsWindow().grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/lyrics-mid-syllable.png"));
    // Stopped: whole syllables, lit as each one starts.
    window->panel().midi->button(MediaButton::Pause)->click();
    QTest::qWait(60);
    EXPECT_EQ(surface.wipe(), 1.0);
}

// With two screens (the platform's screens file), it goes full screen on the one the host's
// window is not on.
TEST_F(Stage, GoesToTheOtherScreen) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2) GTEST_SKIP() << "one screen here; the two-screen run checks this";
    window->ShowSingersScreen(0);
    QApplication::processEvents();
    EXPECT_EQ(stage().targetScreen(), screens[1]);
    EXPECT_TRUE(stage().isFullScreen());
    EXPECT_EQ(stage().geometry(), screens[1]->geometry());

    // The projector is unplugged mid-evening: the room's lyrics come back as a window on the
    // laptop, and go back to the projector when it is plugged in again.
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    using Configuration = QJsonObject (*)(QPlatformNativeInterface*);
    using SetConfiguration = void (*)(const QJsonObject&, QPlatformNativeInterface*);
    auto configuration = reinterpret_cast<Configuration>(native->nativeResourceForIntegration("configuration"));
    auto setConfiguration = reinterpret_cast<SetConfiguration>(native->nativeResourceForIntegration("setConfiguration"));
    ASSERT_TRUE(configuration && setConfiguration) << "the offscreen platform changes its screens";
    const QJsonObject both = configuration(native);
    QJsonObject laptopOnly = both;
    laptopOnly[QStringLiteral("screens")] = QJsonArray{both[QStringLiteral("screens")].toArray().first()};
    setConfiguration(laptopOnly, native);
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::screens().size() == 1; }, 5000)) << QGuiApplication::screens().size() << " screens";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stage().isFullScreen(); }, 5000)) << "still full screen on the one display left";
    EXPECT_TRUE(stage().isVisible());
    EXPECT_EQ(stage().screen(), QGuiApplication::screens().first());
    EXPECT_TRUE(QGuiApplication::screens().first()->availableGeometry().contains(stage().frameGeometry()));
    setConfiguration(both, native);
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::screens().size() == 2; }, 5000)) << QGuiApplication::screens().size() << " screens";
    EXPECT_TRUE(QTest::qWaitFor([&] { return stage().isFullScreen(); }, 5000)) << "not full screen on the display that came back";
    EXPECT_EQ(stage().geometry(), QGuiApplication::screens()[1]->geometry());

    // Asked for screen 1 by number: there, even though the host is on it.
    window->ShowSingersScreen(1);
    QApplication::processEvents();
    EXPECT_EQ(stage().targetScreen(), QGuiApplication::screens()[0]);
}

}  // namespace
}  // namespace cantavo::test
