// Opening, playing and closing songs through the real windows.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include "window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

int lineMarks(const SongModel& s, double uptoTick) {
    int n = 0;
    for (int i = 1; i <= s.lyricCount && s.lyricTick[i] <= uptoTick; ++i)
        n += s.lyricText[i].startsWith(QLatin1Char('\\')) || s.lyricText[i].startsWith(QLatin1Char('/'));
    return n;
}

int firstAfter(const SongModel& s, double tick) {
    int i = 1;
    while (i <= s.lyricCount && s.lyricTick[i] <= tick) ++i;
    return i;
}

}  // namespace

TEST_F(Window, OpeningShowsTheSong) {
    open(demoSong("twinkle"));
    SongSession& s = window->session();
    EXPECT_EQ(s.songReady, 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Twinkle, Twinkle, Little Star - Traditional"));
    EXPECT_EQ(window->panel().totalTime->text(), QStringLiteral("00:37"));
    EXPECT_EQ(window->panel().currentTime->text(), QStringLiteral("00:00"));
    EXPECT_EQ(s.songLengthSixteenths, 240);
    EXPECT_EQ(s.songLengthMs, 37371);
    EXPECT_EQ(window->lyricsWindow().surface().pilotText(), QStringLiteral(" Twinkle, twinkle, little star, "));
    EXPECT_EQ(window->lyricsWindow().surface().followingLines().size(), 5);
    EXPECT_TRUE(window->lyricsWindow().lyricsText().startsWith(QStringLiteral(" Twinkle, twinkle, little star, \r\n How I wonder")));
    for (const char* on : {"mnfileitem3"}) EXPECT_TRUE(window->commands()[QString::fromLatin1(on)]->isEnabled()) << on;
    for (const char* wanted : {"mnfileitem2", "sav", "ifa1", "tb8", "tb10", "Command1"})
        EXPECT_TRUE(window->commands().wanted(QString::fromLatin1(wanted))) << wanted;
}

TEST_F(Window, EverySyllableIsLitInOrderOnceWithPagesTurningAtTheMarks) {
    open(demoSong("oh-susanna"));
    const SongModel& song = window->session().song;
    play();
    int last = 1, pages = 0, lastLine = 0;
    QString previous;
    while (window->sequencerControl().mode() == 526) {
        advance(0.05);
        const int now = window->session().lyricIndex;
        ASSERT_LE(now - last, 1) << "two syllables in one poll";
        ASSERT_GE(now, last);
        const LyricsSurface& surface = window->lyricsWindow().surface();
        if (now > last) {
            if (window->session().lineIndex != lastLine) {
                ++pages;
                lastLine = window->session().lineIndex;
            } else {
                EXPECT_TRUE(surface.highlightText().startsWith(previous)) << "the highlight did not grow";
            }
            // The highlight covers the start of the pilot line, glyph for glyph.
            EXPECT_TRUE(surface.pilotText().startsWith(surface.highlightText())) << surface.highlightText().toStdString();
            EXPECT_EQ(surface.highlightWidth(), surface.pilotPrefixWidth(static_cast<int>(surface.highlightText().size())));
            previous = surface.highlightText();
        }
        last = now;
    }
    EXPECT_EQ(last, song.lyricCount + 1);
    EXPECT_EQ(pages, lineMarks(song, 1e9));
    EXPECT_EQ(window->panel().progress->fill(), 100);
}

TEST_F(Window, JumpsFromTheProgressIndicator) {
    open(demoSong("twinkle"));
    play();
    advance(1.0);
    const SongModel& song = window->session().song;
    for (double f : {0.0, 0.5, 1.0}) {
        SCOPED_TRACE(f);
        window->transport().ProgressClicked(f);
        const double target = std::round(240 * f) * 480 / 4.0;
        EXPECT_EQ(window->session().lineIndex, lineMarks(song, target));
        EXPECT_EQ(window->session().lyricIndex, firstAfter(song, target));
        EXPECT_EQ(window->session().seekPending, 0);
        // The bar stands at the time reached (the song's tempo changes make it differ from f).
        EXPECT_NEAR(window->panel().progress->fill(), 100.0 * window->sequencerControl().position() / window->session().songLengthMs, 0.01);
        advance(0.1);
    }
    // A click halfway along the indicator.
    ProgressIndicator* p = window->panel().progress;
    QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(p->width() / 2, p->height() / 2));
    EXPECT_NEAR(window->session().seekTarget, 120, 1);
}

TEST_F(Window, RewindReturnsToTheFirstPage) {
    open(demoSong("twinkle"));
    play();
    advance(15.0);
    ASSERT_GE(window->session().lineIndex, 3);
    window->panel().midi->button(MediaButton::Prev)->click();
    QApplication::processEvents();
    EXPECT_EQ(window->session().lineIndex, 0);
    EXPECT_EQ(window->session().lyricIndex, 1);
    EXPECT_EQ(window->panel().currentTime->text(), QStringLiteral("00:00"));
    EXPECT_EQ(window->lyricsWindow().surface().pilotText(), QStringLiteral(" Twinkle, twinkle, little star, "));
    EXPECT_TRUE(window->lyricsWindow().surface().highlightText().isEmpty());
    EXPECT_EQ(window->lyricsWindow().gauge(), 0);
}

// The arrows move the live tempo a bpm at a time, within its range (half to twice the song's
// own); the sequencer's own tempo command still refuses a tempo of 0.
TEST_F(Window, TempoButtons) {
    open(demoSong("twinkle"));
    play();
    window->panel().tempoUp->click();
    EXPECT_EQ(window->panel().tempo->text(), QStringLiteral(" 101 bpm"));
    EXPECT_EQ(window->liveSettings().tempoPercent, 101);
    for (int i = 0; i < 60; ++i) window->panel().tempoDown->click();
    EXPECT_EQ(window->panel().tempo->text(), QStringLiteral(" 50 bpm"));
    EXPECT_EQ(window->liveSettings().tempoPercent, 50);
    MciSendString(QStringLiteral("set ") + window->session().songPath + QStringLiteral(" tempo  1"));
    MciSendString(QStringLiteral("set ") + window->session().songPath + QStringLiteral(" tempo  0"));
    QString reply;
    MciSendString(QStringLiteral("status ") + window->session().songPath + QStringLiteral(" tempo"), &reply);
    EXPECT_EQ(reply, QStringLiteral("1"));  // tempo 0 was refused; the song goes on
}

TEST_F(Window, CompletionOnceAndNotAfterASeek) {
    QSignalSpy done(&window->transport(), &Transport::songCompleted);
    open(demoSong("oh-susanna"));
    play();
    advance(19.0);
    EXPECT_EQ(done.count(), 1);
    // A jump into the song interrupts it without ending it: the song's own end is reported.
    play();
    window->transport().ProgressClicked(0.9);
    EXPECT_EQ(window->session().suppressCompletion, 0);
    advance(3.0);
    EXPECT_EQ(done.count(), 2);
    // A jump to the very end ends it: that end is not reported, and the flag is spent.
    play();
    advance(2.0);
    window->transport().ProgressClicked(1.0);
    advance(2.0);
    EXPECT_EQ(done.count(), 2);
    EXPECT_EQ(window->session().suppressCompletion, 0);
    // The flag an audience sound sets keeps the next end from being reported, once.
    window->session().suppressCompletion = 1;
    play();
    advance(19.0);
    EXPECT_EQ(done.count(), 2);
    play();
    advance(19.0);
    EXPECT_EQ(done.count(), 3);
}

TEST_F(Window, FullScreenThenOpenShowsTheControlPanel) {
    window->setFullScreenOn(true);
    EXPECT_FALSE(window->panelShown());
    open(demoSong("twinkle"));
    EXPECT_TRUE(window->panelShown());
    EXPECT_FALSE(window->toolbar().isVisibleTo(window.get()));
}

TEST_F(Window, TheSameFileTwiceIsOneRecentEntry) {
    open(demoSong("twinkle"));
    open(demoSong("twinkle"));
    open(demoSong("frere-jacques"));
    EXPECT_EQ(window->session().recentFiles.size(), 2);
    auto* recent = window->findChild<QAction*>(QStringLiteral("mnFileArray1"));
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->text(), demoSong("twinkle").toUpper());
    recent->trigger();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Twinkle, Twinkle, Little Star - Traditional"));
    EXPECT_EQ(window->session().recentFiles.size(), 2);
}

TEST_F(Window, ASongInAFolderWithABlankOpensFromItsCopy) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("MY SONGS"));
    const QString original = dir.filePath(QStringLiteral("MY SONGS/LOVE ME.KAR"));
    ASSERT_TRUE(QFile::copy(demoSong("frere-jacques"), original));
    open(original);
    const QString copy = QDir(SongSession::TemporaryFolder()).filePath(QStringLiteral("LOVE_ME.KAR"));
    EXPECT_EQ(window->session().songPath, copy);
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(window->session().songReady, 1);
    EXPECT_EQ(QDir::current().absolutePath(), QDir(dir.filePath(QStringLiteral("MY SONGS"))).absolutePath());
    EXPECT_EQ(SongSession::MakeBlankFreeCopy(demoSong("twinkle")), demoSong("twinkle"));
}

TEST_F(Window, AWaveFileOpensOnTheWaveControl) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("take.wav"));
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(wav.toLocal8Bit().constData(), SFM_WRITE, &info);
    short silence[2205] = {};
    sf_write_short(f, silence, 2205);
    sf_close(f);
    open(wav);
    EXPECT_EQ(window->waveControl().mode(), 525);
    EXPECT_EQ(window->sequencerControl().mode(), 524);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cantavo!: file not open"));
}

TEST_F(Window, FailuresAreReportedAndTheNextSongOpens) {
    struct Case {
        const char* file;
        const char* message;
    };
    for (const Case& c : {Case{"not-midi", "ERROR! This is not a MIDI File"}, Case{"truncated", "Can't load the file. Please correct the error and retry"},
                          Case{"smpte-division", "MIDI File Format Error"}}) {
        SCOPED_TRACE(c.file);
        BoxCatcher boxes;
        open(fixture(c.file));
        EXPECT_TRUE(boxes.texts.contains(QString::fromLatin1(c.message))) << boxes.texts.join(QStringLiteral(" | ")).toStdString();
        EXPECT_EQ(window->session().songReady, 0);
        EXPECT_EQ(window->sequencerControl().mode(), 524) << "a device was left open";
        EXPECT_TRUE(window->lyricsWindow().surface().pilotText().isEmpty());
        for (QMessageBox::Icon i : boxes.icons) EXPECT_EQ(i, QMessageBox::Warning);
    }
    open(demoSong("twinkle"));
    EXPECT_EQ(window->session().songReady, 1);
    play();
    advance(5.5);
    EXPECT_EQ(window->session().lyricIndex, 3);
}

TEST_F(Window, CloseSong) {
    open(demoSong("twinkle"));
    window->commands()[QStringLiteral("mnfileitem3")]->trigger();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cantavo!: file not open"));
    EXPECT_EQ(window->panel().totalTime->text(), QStringLiteral("- - -"));
    EXPECT_EQ(window->panel().tempo->text(), QStringLiteral("- - -"));
    EXPECT_FALSE(window->commands()[QStringLiteral("mnfileitem3")]->isEnabled());
    EXPECT_FALSE(window->commands().wanted(QStringLiteral("tb8")));
    EXPECT_EQ(window->sequencerControl().mode(), 524);
}

TEST_F(Window, ScreenshotsOfASingingSong) {
    open(demoSong("twinkle"));
    shot(QStringLiteral("twinkle-open"));
    play();
    advance(6.0);
    shot(QStringLiteral("twinkle-midline"));
    advance(4.0);
    shot(QStringLiteral("twinkle-page"));
    window->transport().ProgressClicked(0.6);
    advance(0.5);
    shot(QStringLiteral("twinkle-seek"));
    window->resize(900, 600);
    QApplication::processEvents();
    shot(QStringLiteral("twinkle-resized"));
    SUCCEED();
}

// A Thai editor's song in the window: its title in the caption, its lines on the page, lit
// word by word.
TEST_F(Window, AThaiEditorsSongIsSungLineByLine) {
    open(fixture("thai-lyric-header"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ฝนตก - วงของเรา"));
    EXPECT_EQ(window->lyricsWindow().surface().pilotText().trimmed(), QStringLiteral("ฝนตกที่บ้าน"));
    EXPECT_EQ(window->lyricsWindow().surface().followingLines().value(0).trimmed(), QStringLiteral("ดาวบนฟ้า"));
    play();
    advance(4.0);
    shot(QStringLiteral("thai-lyric-header"));
    EXPECT_GE(window->session().lyricIndex, 3) << "the words light up as the song reaches them";
}
