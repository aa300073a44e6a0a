// A compilation played through the main window: songs to their end, pauses, pictures,
// comments, sounds; and the audience sounds over a song.
#include <QImage>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "../shell/window.h"
#include "smfbytes.h"
#include "soundtests.h"

namespace cantavo::test {
namespace {

// A karaoke song of about `seconds` at 120 bpm, one syllable a beat.
QByteArray shortSong(const QByteArray& title, int seconds) {
    SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@T" + title);
    for (int i = 0; i < seconds * 2; ++i) b.meta(i == 0 ? 0 : 480, 0x01, i % 4 == 0 ? "/la " : "la ");
    b.endTrack();
    b.beginTrack();
    for (int i = 0; i < seconds * 2; ++i) b.bytes({0x00, 0x90, 60 + i % 5, 90, 0x83, 0x60, 0x80, 60 + i % 5, 0});
    b.endTrack();
    return b.data();
}

class Compilation : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        window->setProgramDirectory(QStringLiteral(CANTAVO_PROGRAM_DIR));
        for (int i = 1; i <= 2; ++i) {
            QFile f(dir.filePath(QStringLiteral("song%1.kar").arg(i)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(shortSong("Song " + QByteArray::number(i), 3));
        }
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        picture.save(dir.filePath(QStringLiteral("stage.png")));
    }
    QString song(int i) { return dir.filePath(QStringLiteral("song%1.kar").arg(i)); }
    void accept(const QStringList& entries) {
        window->compilationEntries = entries;
        window->compilationCount = static_cast<int>(entries.size());
        window->compilationIndex = 0;
    }
    QString status() { return window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel2"))->text(); }
    bool playing() { return window->sequencerControl().mode() == static_cast<int>(MediaMode::Playing); }
    // Plays the current song on to its end, and not further.
    void toTheEnd() {
        const int index = window->compilationIndex;
        for (int i = 0; i < 100 && window->compilationIndex == index && playing(); ++i) advance(0.1);
        advance(0.1);
    }
    QTemporaryDir dir;
};

TEST_F(Compilation, CommentsOnlyFinishAtOnceAndNothingComesAfter) {
    accept({QStringLiteral("COMMENT: welcome"), QStringLiteral("COMMENT: have fun")});
    window->CompilationStep(1);
    EXPECT_EQ(window->compilationIndex, 3);
    EXPECT_FALSE(window->session().songLoaded());
    EXPECT_EQ(status(), QStringLiteral("Compilation finished"));
    window->CompilationStep(1);
    EXPECT_EQ(window->compilationIndex, 4);
    EXPECT_FALSE(window->session().songLoaded());
}

TEST_F(Compilation, SongsPicturesPausesInOrderThenAnUnknownEntryHalts) {
    accept({QStringLiteral("KARAOKE ") + song(1), QStringLiteral("BACKGROUND   ") + dir.filePath(QStringLiteral("stage.png")),
            QStringLiteral("PAUSE 1"), QStringLiteral("KARAOKE ") + song(2), QStringLiteral("COMMENT: last one"), QStringLiteral("XYZ"),
            QStringLiteral("KARAOKE ") + song(1)});
    window->commands()[QStringLiteral("al1")]->setEnabled(true);
    window->commands()[QStringLiteral("al1")]->trigger();
    EXPECT_EQ(window->compilationIndex, 1);
    EXPECT_EQ(window->session().songPath, song(1));
    EXPECT_TRUE(playing());
    EXPECT_EQ(status(), QStringLiteral("1 of 7: KARAOKE ") + song(1));
    advance(1.2);
    EXPECT_GT(window->session().lyricIndex, 2) << "the words light up";
    shot(QStringLiteral("compilation-song"));
    toTheEnd();
    // The song's end brought the picture and the pause.
    EXPECT_EQ(window->compilationIndex, 3);
    EXPECT_EQ(window->lyricsWindow().shownPicture(), dir.filePath(QStringLiteral("stage.png")));
    EXPECT_TRUE(window->pauseTimer().isActive());
    EXPECT_EQ(window->pauseTimer().interval(), 1000);
    EXPECT_EQ(status(), QStringLiteral("3 of 7: pause, 1 s"));
    // The pause runs its time: the next entry comes when the timer has run out, not before.
    QElapsedTimer waited;
    waited.start();
    const int left = window->pauseTimer().remainingTime();
    EXPECT_GT(left, 500);
    shot(QStringLiteral("compilation-pause"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->compilationIndex == 4; }, 5000));
    EXPECT_GE(waited.elapsed(), left - 20);
    EXPECT_EQ(window->session().songPath, song(2));
    EXPECT_TRUE(playing());
    toTheEnd();
    EXPECT_EQ(window->compilationIndex, 6) << "the comment is skipped, the unknown entry halts";
    EXPECT_EQ(status(), QStringLiteral("6 of 7: stopped at \"XYZ\""));
    EXPECT_FALSE(playing());
}

TEST_F(Compilation, PauseZeroWaitsForAutoplay) {
    accept({QStringLiteral("PAUSE 0"), QStringLiteral("KARAOKE ") + song(1)});
    window->CompilationStep(1);
    EXPECT_FALSE(window->pauseTimer().isActive());
    QTest::qWait(300);
    EXPECT_EQ(window->compilationIndex, 1);
    window->commands()[QStringLiteral("Command4")]->setEnabled(true);
    QPushButton* autoplay = window->panel().buttons[3];
    ASSERT_TRUE(autoplay->isEnabled());
    autoplay->click();
    EXPECT_EQ(window->compilationIndex, 2);
    EXPECT_TRUE(playing());
}

TEST_F(Compilation, ASeekDoesNotEndTheSongForTheCompilation) {
    accept({QStringLiteral("KARAOKE ") + song(1), QStringLiteral("KARAOKE ") + song(2), QStringLiteral("COMMENT: end")});
    window->CompilationStep(1);
    advance(0.5);
    window->transport().ProgressClicked(0.5);
    advance(0.3);
    EXPECT_EQ(window->compilationIndex, 1);
    toTheEnd();
    EXPECT_EQ(window->compilationIndex, 2) << "played to its end: the next entry";
    advance(0.5);
    window->transport().ProgressClicked(1.0);
    advance(1.0);
    EXPECT_EQ(window->compilationIndex, 2) << "ended by a jump to its end: no next entry";
}

// While a compilation plays nothing waits for a click: a missing or damaged song is said in
// the status bar and kept in the compilation's log, in words, and the evening goes on; the
// same from a compilation file named from outside.
TEST_F(Compilation, MissingAndDamagedSongsAreLoggedAndSkippedWithoutABox) {
    const QByteArray good = shortSong("Fine", 3);
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString notMidi = write("letter.kar", "Dear friends, this is no song at all.");
    const QString cut = write("cut.kar", good.left(60));
    const QString empty = write("empty.kar", {});
    // A delta time larger than any a song can have: what once said "Unknown error ( 6).".
    SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TBroken");
    b.bytes({0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x02, 'l', 'a'});
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 60, 90, 0x83, 0x60, 0x80, 60, 0});
    b.endTrack();
    const QString damaged = write("damaged.kar", b.data());
    const QStringList entries = {QStringLiteral("KARAOKE ") + dir.filePath(QStringLiteral("gone.kar")), QStringLiteral("KARAOKE ") + notMidi,
                                 QStringLiteral("KARAOKE ") + cut,   QStringLiteral("KARAOKE ") + empty,
                                 QStringLiteral("KARAOKE ") + damaged, QStringLiteral("KARAOKE ") + song(2)};
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "from a compilation file" : "from the editor");
        window->compilationLog.clear();
        BoxCatcher boxes;
        if (fromFile) {
            QFile cpl(dir.filePath(QStringLiteral("evening.cpl")));
            ASSERT_TRUE(cpl.open(QIODevice::WriteOnly));
            cpl.write(entries.join(QStringLiteral("\r\n")).toUtf8());
            cpl.close();
            window->openFromOutside(cpl.fileName());
        } else {
            accept(entries);
            window->CompilationStep(1);
        }
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(window->compilationIndex, 6);
        EXPECT_TRUE(playing()) << "the evening goes on";
        const QString log = window->compilationLog.join(QLatin1Char('\n'));
        SCOPED_TRACE(log.toStdString());
        ASSERT_EQ(window->compilationLog.size(), 5);
        EXPECT_TRUE(window->compilationLog[0].endsWith(QStringLiteral("1 of 6: gone.kar: not found (skipped)")));
        EXPECT_TRUE(window->compilationLog[1].contains(QStringLiteral("letter.kar: not a MIDI file")));
        EXPECT_TRUE(window->compilationLog[2].contains(QStringLiteral("cut.kar: cut off after")));
        EXPECT_TRUE(window->compilationLog[3].contains(QStringLiteral("empty.kar: the file is empty")));
        EXPECT_TRUE(window->compilationLog[4].contains(QStringLiteral("damaged.kar: damaged: a number in it is out of range")));
        EXPECT_FALSE(log.contains(QStringLiteral("Unknown error")));
        EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("damaged.kar")));
        // The host reads it in the log window.
        window->commands()[QStringLiteral("compilationLog")]->trigger();
        auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("CompilationLog"));
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->isVisible());
        EXPECT_EQ(text->toPlainText(), log);
    }
    // Outside a compilation the same song is still said in a box.
    BoxCatcher boxes;
    window->session().OpenAsCurrent(notMidi);
    EXPECT_FALSE(boxes.texts.isEmpty());
}

// Buttons that play nothing (a user sound not chosen yet, a sound file that is gone, a click
// on the progress bar with no song) leave the compilation's next step alone.
TEST_F(Compilation, ButtonsThatPlayNothingDoNotSwallowTheSongsEnd) {
    window->transport().ProgressClicked(0.5);
    accept({QStringLiteral("KARAOKE ") + song(1), QStringLiteral("KARAOKE ") + song(2), QStringLiteral("COMMENT: end")});
    window->CompilationStep(1);
    advance(0.3);
    window->panel().buttons[4]->click();
    window->panel().buttons[5]->click();
    window->chooseUserSound = [] { return QString(); };
    QTest::mousePress(window->panel().buttons[4], Qt::RightButton);
    window->PlayAudienceSound(QStringLiteral("nothing-here.wav"));
    EXPECT_EQ(window->session().suppressCompletion, 0);
    toTheEnd();
    EXPECT_EQ(window->compilationIndex, 2) << "the song's end went on to the next entry";
}

// An applause pressed over a compilation's own sound stands in for it: its end goes on.
TEST_F(Compilation, AnApplauseOverACompilationsSoundGoesOnAtItsEnd) {
    NEED_SOUND();
    const QString wave = writeWave(dir.filePath(QStringLiteral("intro.wav")), {16, 1, 22050}, 3.0);
    accept({QStringLiteral("WAVE ") + wave, QStringLiteral("KARAOKE ") + song(1)});
    window->CompilationStep(1);
    QTest::qWait(300);
    window->panel().buttons[1]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->compilationIndex == 2; }, 20000)) << "the compilation stopped at the sound";
    EXPECT_TRUE(playing());
}

TEST_F(Compilation, ACompilationFileNamedFromOutsidePlaysFromItsStart) {
    QFile cpl(dir.filePath(QStringLiteral("evening.CPL")));
    ASSERT_TRUE(cpl.open(QIODevice::WriteOnly));
    cpl.write("COMMENT: Friday\r\nKARAOKE " + song(2).toUtf8() + "\r\nPAUSE 3\r\n");
    cpl.close();
    window->openFromOutside(cpl.fileName());
    EXPECT_EQ(window->compilationCount, 3);
    EXPECT_EQ(window->compilationIndex, 2);
    EXPECT_EQ(window->session().songPath, song(2));
    EXPECT_TRUE(playing());
    EXPECT_TRUE(window->commands().wanted(QStringLiteral("Command4")));
}

TEST_F(Compilation, WaveEntriesPlayToTheirEndWhileTheWindowAnswers) {
    NEED_SOUND();
    const QString wave = writeWave(dir.filePath(QStringLiteral("cheer.wav")), {16, 1, 22050}, 0.8);
    accept({QStringLiteral("WAVE ") + wave, QStringLiteral("WAVE ") + dir.filePath(QStringLiteral("missing.wav")), QStringLiteral("KARAOKE ") + song(1)});
    QElapsedTimer t;
    t.start();
    window->CompilationStep(1);
    EXPECT_LT(t.elapsed(), 300) << "the window is not held while the sound plays";
    EXPECT_EQ(window->compilationIndex, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->compilationIndex == 3; }, 5000));
    EXPECT_GE(t.elapsed(), 700);
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("missing.wav")));
    EXPECT_TRUE(playing());
}

TEST_F(Compilation, AudienceSoundsPlayOverTheSongAndDoNotAdvanceTheCompilation) {
    NEED_SOUND();
    accept({QStringLiteral("KARAOKE ") + song(1), QStringLiteral("KARAOKE ") + song(2)});
    window->CompilationStep(1);
    MediaControl& sounds = *window->panel().sounds;
    QPushButton* applause = window->panel().buttons[1];
    ASSERT_TRUE(applause->isEnabled());
    applause->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sounds.position() > 300; }, 5000));
    applause->click();
    EXPECT_LT(sounds.position(), 250) << "a second press starts it again";
    EXPECT_EQ(QFileInfo(sounds.fileName()).fileName(), QStringLiteral("APPL.WAV"));
    EXPECT_TRUE(playing()) << "the song plays on";
    // The applause ends: the compilation stays on this song.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sounds.mode() != static_cast<int>(MediaMode::Playing); }, 15000));
    QTest::qWait(100);
    EXPECT_EQ(window->compilationIndex, 1);
    toTheEnd();
    EXPECT_EQ(window->compilationIndex, 2);

    window->panel().buttons[2]->click();
    EXPECT_EQ(QFileInfo(sounds.fileName()).fileName(), QStringLiteral("boo.wav"));
    window->PlayAudienceSound(QStringLiteral("nothing-here.wav"));
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("nothing-here.wav")));
}

TEST_F(Compilation, UserSoundsAreChosenPlayedAndSaved) {
    NEED_SOUND();
    const QString cheer = writeWave(dir.filePath(QStringLiteral("CHEER.WAV")), {16, 1, 22050}, 1.0);
    QPushButton* user1 = window->panel().buttons[4];
    // Not chosen yet: said, nothing played.
    user1->click();
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("right mouse button")));
    // The right button chooses; cancelling keeps the choice.
    window->chooseUserSound = [&] { return cheer; };
    QTest::mousePress(user1, Qt::RightButton);
    EXPECT_EQ(window->prefs.userSound1, cheer);
    window->chooseUserSound = [] { return QString(); };
    QTest::mousePress(user1, Qt::RightButton);
    EXPECT_EQ(window->prefs.userSound1, cheer);
    user1->click();
    EXPECT_EQ(window->panel().sounds->fileName(), cheer);
    EXPECT_EQ(window->panel().sounds->mode(), static_cast<int>(MediaMode::Playing));
    // Kept by "Save Preferences".
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    window->setProgramDirectory(dir.filePath(QStringLiteral("program")));
    window->prefs.userSound1 = cheer;
    ASSERT_TRUE(window->SavePreferences());
    qunsetenv("XDG_CONFIG_HOME");
    QFile ini(window->preferencesFile());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains(("User1=" + cheer).toUtf8()));
}

}  // namespace
}  // namespace cantavo::test
