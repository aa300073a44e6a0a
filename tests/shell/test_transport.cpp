// The transport as singers use it: whatever they press, in whatever order, the time, the
// progress bar, the tempo panel, the lyrics page and the next syllable agree with where the
// song is.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <random>

#include "fontcolordialog.h"
#include "lyricssurface.h"
#include "numbers.h"
#include "singersscreen.h"
#include "smfbytes.h"
#include "window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

class Singing : public Window {
protected:
    Sequencer& sequencer() { return *window->sequencerControl().sequencer(); }

    void press(MediaButton b) {
        QToolButton* button = window->panel().midi->button(b);
        if (button->isEnabled()) button->click();
        QApplication::processEvents();
    }

    // The tempo the song is played at: its own, times the live tempo.
    QString playedTempo() {
        const int bpm = static_cast<int>(RoundHalfEven(sequencer().tempoBpm() * window->liveSettings().tempoPercent / 100.0));
        return SignPosition(bpm) + QStringLiteral(" bpm");
    }

    // What a singer sees must match what the song is doing.
    void expectAgreement(const std::string& after) {
        SCOPED_TRACE("after " + after);
        const SongSession& s = window->session();
        const SongModel& song = s.song;
        const Sequencer& seq = sequencer();
        const double ms = window->sequencerControl().position();
        const bool end = seq.positionTicks() >= static_cast<double>(seq.lengthTicks());
        EXPECT_EQ(window->panel().currentTime->text(), TimeText(end ? s.songLengthMs : ms)) << "position " << ms;
        EXPECT_NEAR(window->panel().progress->fill(), end ? 100.0 : 100.0 * ms / s.songLengthMs, 0.6);
        EXPECT_EQ(window->panel().tempo->text(), playedTempo()) << "own " << seq.tempoBpm() << " live " << window->liveSettings().tempoPercent << " mode " << static_cast<int>(seq.mode()) << " index " << s.tempoIndex << " map " << song.tempoBpm[s.tempoIndex] << " next at " << (s.tempoIndex < song.tempoCount ? song.tempoTick[s.tempoIndex + 1] : -1) << " pos " << s.positionMs << " ticks " << seq.positionTicks();
        // The next syllable is the first one not yet due (one poll may still owe one).
        int due = 1;
        while (due <= song.lyricCount && (end || song.lyricTick[due] <= seq.positionTicks())) ++due;
        EXPECT_LE(s.lyricIndex, due);
        EXPECT_GE(s.lyricIndex, due - 1);
        int line = 0;
        for (int i = 1; i < s.lyricIndex; ++i) line += song.lyricText[i].startsWith(QLatin1Char('\\')) || song.lyricText[i].startsWith(QLatin1Char('/'));
        EXPECT_EQ(s.lineIndex, line);
        const QStringList& lines = s.lines.lines;
        EXPECT_EQ(window->lyricsWindow().surface().pilotText(), lines.value(std::max(1, line)));
    }
};

}  // namespace

TEST_F(Singing, RewindWhilePlayingKeepsTheDisplaysMoving) {
    open(demoSong("twinkle"));
    play();
    advance(12.0);
    press(MediaButton::Prev);
    advance(6.0);
    expectAgreement("|<< while playing");
    EXPECT_NE(window->panel().currentTime->text(), QStringLiteral("00:00"));
    EXPECT_GT(window->session().lyricIndex, 1);
}

TEST_F(Singing, PlayAfterTheEndStartsTheLyricsAgain) {
    open(demoSong("twinkle"));
    play();
    advance(sequencer().lengthMs() / 1000.0 + 1.0);
    ASSERT_EQ(sequencer().mode(), MediaMode::Stopped);
    expectAgreement("the end");
    play();
    advance(3.0);
    expectAgreement("Play after the end");
    EXPECT_EQ(window->panel().currentTime->text(), QStringLiteral("00:03"));
}

TEST_F(Singing, NextMovesTheLyricsToTheEnd) {
    open(demoSong("twinkle"));
    play();
    advance(2.0);
    press(MediaButton::Next);
    advance(0.1);
    expectAgreement(">>|");
    EXPECT_EQ(window->session().lyricIndex, window->session().song.lyricCount + 1);
}

TEST_F(Singing, ATempoSetWhileStoppedIsTheOneShownAndPlayed) {
    open(demoSong("twinkle"));
    const int own = sequencer().tempoBpm();
    window->panel().tempoUp->click();
    window->panel().tempoUp->click();
    play();
    advance(0.5);
    expectAgreement("tempo up twice while stopped, then Play");
    EXPECT_EQ(window->panel().tempo->text(), SignPosition(own + 2) + QStringLiteral(" bpm"));
}

// The arrows and the live panel's tempo are one setting, shown as the bpm played and kept
// when the song is played again (the song remembers it as it remembers the live panel's).
TEST_F(Singing, OneTempoForTheArrowsAndTheLivePanel) {
    open(demoSong("oh-susanna"));
    const int own = sequencer().tempoBpm();
    LiveSettings faster = window->liveSettings();
    faster.tempoPercent = 110;
    window->setLive(faster, true);
    EXPECT_EQ(window->panel().tempo->text(), SignPosition(static_cast<int>(RoundHalfEven(own * 1.1))) + QStringLiteral(" bpm"));
    window->panel().tempoDown->click();
    const int percent = window->liveSettings().tempoPercent;
    EXPECT_LT(percent, 110) << "the arrow moved the live tempo";
    // Whole percents: one step is the least that moves the bpm played.
    const int slower = static_cast<int>(RoundHalfEven(own * percent / 100.0));
    EXPECT_LT(slower, static_cast<int>(RoundHalfEven(own * 1.1)));
    EXPECT_EQ(percent, 109);
    EXPECT_EQ(window->panel().tempo->text(), SignPosition(slower) + QStringLiteral(" bpm"));
    EXPECT_TRUE(window->findChild<QLabel*>(QStringLiteral("StatusPanel1"))->text().contains(QStringLiteral("tempo %1 %").arg(percent)));
    play();
    advance(0.5);
    expectAgreement("live tempo, then Play");
    // To the end and again: the tempo stays.
    window->transport().ProgressClicked(1.0);
    advance(0.5);
    play();
    advance(0.5);
    EXPECT_EQ(window->liveSettings().tempoPercent, percent);
    expectAgreement("played again");
}

TEST_F(Singing, RandomSequencesOfActionsKeepEverythingInStep) {
    open(demoSong("oh-susanna"));
    // The singers' screen open throughout: it shows the lyrics window's page and highlight.
    window->ShowSingersScreen(0);
    const auto* stage = window->findChild<SingersScreen*>(QStringLiteral("SingersScreen"));
    ASSERT_TRUE(stage);
    const LyricsSurface& host = window->lyricsWindow().surface();
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        for (int step = 0; step < 60; ++step) {
            std::string action;
            switch (random() % 10) {
            case 0: press(MediaButton::Play); action = "Play"; break;
            case 1: press(MediaButton::Pause); action = "Pause"; break;
            case 2: press(MediaButton::Stop); action = "Stop"; break;
            case 3: press(MediaButton::Prev); action = "Prev"; break;
            case 4: press(MediaButton::Next); action = "Next"; break;
            case 5: press(random() % 2 ? MediaButton::Back : MediaButton::Step); action = "Back/Step"; break;
            case 6: {
                const double f = std::uniform_real_distribution<double>(0, 1)(random);
                window->transport().ProgressClicked(f);
                action = "jump to " + std::to_string(f);
                break;
            }
            case 7: (random() % 2 ? window->panel().tempoUp : window->panel().tempoDown)->click(); action = "tempo"; break;
            default: press(MediaButton::Play); advance(std::uniform_real_distribution<double>(0.5, 8)(random)); action = "Play and sing"; break;
            }
            advance(0.05);
            expectAgreement("seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + action);
            // A window paints at the platform's next update: a few milliseconds on, later on a
            // busy machine, and the frame timer may light a syllable meanwhile.
            const auto caughtUp = [&] {
                if (stage->showingTitleCard()) return true;
                const QStringList rows = stage->shownRows();
                return !rows.isEmpty() && rows.first() == host.pilotText() &&
                       rows.mid(1) == host.followingLines().mid(0, static_cast<int>(rows.size()) - 1) && stage->shownLitWidth() == stage->hostLitWidth();
            };
            QTest::qWait(20);
            static_cast<void>(QTest::qWaitFor(caughtUp, 2000));  // the checks below say what differs
            if (!stage->showingTitleCard()) {
                const QStringList rows = stage->shownRows();
                ASSERT_FALSE(rows.isEmpty()) << action;
                EXPECT_EQ(rows.first(), host.pilotText()) << action;
                EXPECT_EQ(rows.mid(1), host.followingLines().mid(0, static_cast<int>(rows.size()) - 1)) << action;
                EXPECT_DOUBLE_EQ(stage->shownLitWidth(), stage->hostLitWidth()) << action;
            }
            if (HasFailure()) return;
        }
    }
}

TEST_F(Singing, SpacePlaysAndPausesFromAnywhereInTheWindow) {
    open(demoSong("twinkle"));
    window->panel().tempoUp->setFocus();
    QTest::keyClick(window->panel().tempoUp, Qt::Key_Space);
    QApplication::processEvents();
    EXPECT_EQ(sequencer().mode(), MediaMode::Playing);
    advance(1.0);
    QTest::keyClick(&window->lyricsWindow(), Qt::Key_Space);
    EXPECT_EQ(sequencer().mode(), MediaMode::Paused);
}

TEST_F(Singing, ASongOfTwentyThousandSyllablesSingsToTheEnd) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.kar"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bigSong(5000, 20000, 1, 96));
    f.close();
    open(path);
    const SongModel& song = window->session().song;
    ASSERT_EQ(song.lyricCount, 20000);
    ASSERT_EQ(song.tempoCount, 5000);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("long")) << "no title tag: the file name";
    // Every syllable in turn, as the polls would hand them over.
    for (int i = 1; i <= song.lyricCount; ++i) window->lyricsWindow().HighlightStep(song.lyricTick[i]);
    EXPECT_EQ(window->session().lyricIndex, 20001);
    EXPECT_EQ(window->session().lineIndex, 2500);
    // And the music's own end, played from near it.
    window->transport().ProgressClicked(0.999);
    play();
    advance(sequencer().lengthMs() * 0.002 / 1000.0 + 1.0);
    EXPECT_EQ(sequencer().mode(), MediaMode::Stopped);
    expectAgreement("the end of a long song");
}

// Grabs of the window at the sizes singers use, for a person to look at; the controls must
// all stay on screen.
TEST_F(Singing, EveryControlStaysVisibleFromSmallToLargeWindows) {
    open(demoSong("oh-susanna"));
    play();
    advance(9.0);
    for (QSize size : {QSize(640, 480), QSize(1280, 800), QSize(1920, 1080)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        QApplication::processEvents();
        advance(0.1);
        shot(QStringLiteral("window-%1x%2").arg(size.width()).arg(size.height()));
        EXPECT_LE(window->width(), size.width()) << "the controls widened the window";
        EXPECT_GE(window->panel().progress->width(), size.width() / 2) << "the progress bar is too short to aim at";
        const QRect inside = window->rect();
        for (QWidget* w : window->panel().findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window.get()) || w->objectName().isEmpty()) continue;
            const QRect r(w->mapTo(window.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(inside.contains(r)) << w->objectName().toStdString() << " is cut off";
            EXPECT_GT(w->visibleRegion().boundingRect().width(), 0) << w->objectName().toStdString() << " is hidden";
        }
    }
}

// One dialog for the font, its effects and the colour, with room for all of it; OK ends it.
TEST_F(Singing, FontsAndColorsIsOneRoomyDialog) {
    open(demoSong("twinkle"));
    bool seen = false, anotherAfterOk = false;
    QTimer::singleShot(100, [&] {
        auto* d = qobject_cast<FontColorDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        seen = true;
        d->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/fonts-and-colors.png"));
        EXPECT_GE(d->width(), d->minimumSizeHint().width());
        EXPECT_GE(d->height(), d->minimumSizeHint().height());
        for (QWidget* w : d->fontPart()->findChildren<QWidget*>()) {
            if (w->isVisible() && w->inherits("QListView")) {
                EXPECT_GE(w->height(), 60) << "a list is squeezed";
            }
        }
        QFont f = d->fontPart()->currentFont();
        f.setPointSize(30);
        d->fontPart()->setCurrentFont(f);
        d->setSelectedColor(QColor(10, 200, 30));
        d->accept();
        QTimer::singleShot(200, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                anotherAfterOk = true;
                w->close();
            }
        });
    });
    window->commands()[QStringLiteral("fo")]->trigger();
    QTest::qWait(400);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(anotherAfterOk) << "a second dialog followed OK";
    EXPECT_EQ(window->lyricsWindow().settings.textColor, QColor(10, 200, 30));
    EXPECT_EQ(window->lyricsWindow().settings.fontSize, 30);
}

// The buttons of what cannot be used yet look it: their icons are faint.
TEST_F(Singing, DisabledToolbarButtonsLookDisabled) {
    const auto opacity = [](const QImage& image) {
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) sum += image.pixelColor(x, y).alphaF();
        return sum;
    };
    // Before any song: the song's buttons are off.
    window->toolbar().grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/toolbar.png"));
    for (const char* name : {"tb4", "tb8", "tb10"}) {
        QAction* a = window->commands()[QString::fromLatin1(name)];
        for (QWidget* w : a->associatedObjects().isEmpty() ? QList<QWidget*>{} : QList<QWidget*>{window->toolbar().widgetForAction(a)})
            EXPECT_FALSE(w->isEnabled()) << name << " button is enabled";
        ASSERT_FALSE(a->isEnabled()) << name;
        const double normal = opacity(a->icon().pixmap(24, QIcon::Normal).toImage());
        const double disabled = opacity(a->icon().pixmap(24, QIcon::Disabled).toImage());
        EXPECT_LT(disabled, normal * 0.4) << name << " does not look disabled";
    }
}

// "Lyrics Encoding" reads the song again in the chosen code page and remembers the choice
// for that song, by its contents.
TEST_F(Singing, TheLyricsEncodingChosenForASongIsRemembered) {
    QTemporaryDir dir;
    window->session().encodingMemory = SongMemory(dir.filePath(QStringLiteral("song-encodings.txt")));
    open(fixture("enc-central"));
    EXPECT_EQ(window->session().song.encoding, QStringLiteral("windows-1250"));
    const QString polish = window->panel().title->text();
    QAction* cyrillic = window->encodingMenu()->findChild<QAction*>(QStringLiteral("enc-windows-1251"));
    ASSERT_TRUE(cyrillic);
    cyrillic->trigger();
    EXPECT_EQ(window->session().song.encoding, QStringLiteral("windows-1251"));
    EXPECT_NE(window->panel().title->text(), polish);
    EXPECT_TRUE(window->session().songLoaded());
    // A copy of the song under another name keeps the choice.
    const QString copy = dir.filePath(QStringLiteral("copy.mid"));
    ASSERT_TRUE(QFile::copy(fixture("enc-central"), copy));
    open(copy);
    EXPECT_EQ(window->session().song.encoding, QStringLiteral("windows-1251"));
    emit window->encodingMenu()->aboutToShow();
    EXPECT_TRUE(cyrillic->isChecked());
    // Back to the automatic choice, and forgotten.
    window->encodingMenu()->findChild<QAction*>(QStringLiteral("enc-auto"))->trigger();
    EXPECT_EQ(window->session().song.encoding, QStringLiteral("windows-1250"));
    EXPECT_EQ(window->panel().title->text(), polish);
    open(fixture("enc-central"));
    EXPECT_EQ(window->session().song.encoding, QStringLiteral("windows-1250"));
}

// Grabs of songs in other scripts, and of the full screen, for a person to look at.
TEST_F(Singing, ShotsOfOtherScriptsAndTheFullScreen) {
    window->resize(1280, 800);
    for (const char* song : {"enc-vietnamese", "enc-cyrillic", "enc-thai", "enc-shiftjis"}) {
        open(fixture(song));
        play();
        advance(1.5);
        EXPECT_FALSE(window->lyricsWindow().surface().highlightText().isEmpty()) << song;
        shot(QStringLiteral("lyrics-") + QString::fromLatin1(song));
    }
    open(demoSong("oh-susanna"));
    play();
    advance(9.0);
    window->setFullScreenOn(true);
    window->resize(1920, 1080);
    QApplication::processEvents();
    advance(0.1);
    shot(QStringLiteral("fullscreen-oh-susanna"));
    window->setFullScreenOn(false);
}

// A path relative to the current folder still opens once the chosen file's folder has
// become the current one.
TEST_F(Singing, ARelativePathFromTheChooserOpens) {
    const QString here = QDir::currentPath();
    QDir::setCurrent(QFileInfo(demoSong("twinkle")).absolutePath() + QStringLiteral("/.."));
    open(QStringLiteral("songs/twinkle.kar"));
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_TRUE(QFileInfo(window->session().songPath).isAbsolute());
    QDir::setCurrent(here);
}
