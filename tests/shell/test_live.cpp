// The live key, tempo and mix through the main window: the panel, its keys, what a song
// remembers, and "Keep as song...".
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "cli.h"
#include "livepanel.h"
#include "preferences.h"
#include "window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

class Live : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        window->session().liveMemory = SongMemory(dir.filePath(QStringLiteral("song-live.txt")));
        window->commands()[QStringLiteral("live")]->trigger();
        QApplication::processEvents();
    }
    Sequencer* seq() { return window->panel().midi->sequencer(); }
    QString statusText() { return window->statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel1"))->text(); }
    void key(Qt::Key k) {
        QTest::keyClick(window.get(), k, Qt::NoModifier);
        QApplication::processEvents();
    }
    void waitForMemory() {
        QTest::qWait(800);
    }
    QString copy(const char* song, const QString& as) {
        const QString path = dir.filePath(as);
        QFile::copy(demoSong(song), path);
        return path;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(Live, KeysChangeKeyAndTempoAndSayItInTheStatusBar) {
    open(demoSong("oh-susanna"));
    EXPECT_TRUE(window->livePanel().isVisible());
    play();
    advance(1.0);
    key(Qt::Key_Plus);
    key(Qt::Key_Plus);
    key(Qt::Key_BracketRight);
    EXPECT_EQ(seq()->live().key, 2);
    EXPECT_EQ(seq()->live().tempoPercent, 105);
    EXPECT_EQ(statusText(), QStringLiteral("Key +2, tempo 105 %"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("LiveKey"))->text(), QStringLiteral("Key: +2"));
    for (int i = 0; i < 20; ++i) key(Qt::Key_Minus);
    EXPECT_EQ(seq()->live().key, -12) << "the key stops at an octave down";
    key(Qt::Key_0);
    EXPECT_EQ(seq()->live().key, 0);
    EXPECT_EQ(seq()->live().tempoPercent, 100);
    EXPECT_EQ(statusText(), QStringLiteral("Key 0, tempo 100 %"));
    // The panel's strips: the song's channels shown, the melody marked.
    advance(1.0);
    LivePanel& p = window->livePanel();
    int shown = 0, melody = 0;
    for (const LivePanel::Strip& s : p.strips) {
        if (s.box->isHidden()) continue;
        ++shown;
        melody += s.name->text().startsWith(QStringLiteral("♪"));
    }
    EXPECT_GE(shown, 2);
    EXPECT_EQ(melody, 1);
    shot(QStringLiteral("live-panel"));
}

TEST_F(Live, MuteAndLoudnessFromThePanelReachTheSequencer) {
    open(demoSong("oh-susanna"));
    LivePanel& p = window->livePanel();
    int channel = -1;
    for (int c = 0; c < 16; ++c)
        if (!p.strips[static_cast<size_t>(c)].box->isHidden()) channel = channel < 0 ? c : channel;
    ASSERT_GE(channel, 0);
    p.strips[static_cast<size_t>(channel)].mute->click();
    p.strips[static_cast<size_t>(channel)].loudness->setValue(150);
    EXPECT_TRUE(seq()->live().mute[static_cast<size_t>(channel)]);
    EXPECT_EQ(seq()->live().loudness[static_cast<size_t>(channel)], 150);
    p.reset->click();
    EXPECT_TRUE(seq()->live().isDefault());
}

TEST_F(Live, ASongRemembersItsSettingsUnderAnyNameAndNoOtherSongGetsThem) {
    open(copy("twinkle", QStringLiteral("first.kar")));
    LiveSettings l;
    l.key = -3;
    l.tempoPercent = 90;
    l.mute[1] = true;
    window->setLive(l, true);
    waitForMemory();
    open(copy("oh-susanna", QStringLiteral("other.kar")));
    EXPECT_TRUE(window->liveSettings().isDefault()) << "another song";
    EXPECT_TRUE(seq()->live().isDefault());
    open(copy("twinkle", QStringLiteral("renamed copy.kar")));
    EXPECT_EQ(window->liveSettings(), l) << "the same song under another name";
    EXPECT_EQ(seq()->live(), l);
    // The command line shows them too (it reads the memory beside the preferences).
    window->livePanel().reset->click();
    waitForMemory();
    open(copy("twinkle", QStringLiteral("third.kar")));
    EXPECT_TRUE(window->liveSettings().isDefault()) << "Reset forgets";
}

TEST_F(Live, KeepAsSongWritesWhatIsHeard) {
    open(copy("twinkle", QStringLiteral("Twinkle.kar")));
    LiveSettings l;
    l.key = 2;
    l.tempoPercent = 110;
    l.mute[0] = true;
    window->setLive(l, false);
    QString proposal;
    const QString out = dir.filePath(QStringLiteral("kept.kar"));
    window->chooseKeepFile = [&](const QString& p) {
        proposal = p;
        return out;
    };
    window->KeepAsSong();
    EXPECT_EQ(proposal, dir.filePath(QStringLiteral("Twinkle (+2) live.kar")));
    // The same bytes as the command line's --modify with the same settings.
    const QString expected = dir.filePath(QStringLiteral("expected.kar"));
    ASSERT_EQ(run({QStringLiteral("--modify"), dir.filePath(QStringLiteral("Twinkle.kar")), QStringLiteral("-o"), expected, QStringLiteral("--transpose"),
                   QStringLiteral("2"), QStringLiteral("--tempo"), QStringLiteral("10"), QStringLiteral("--volume"), QStringLiteral("1=0")})
                  .status,
              0);
    EXPECT_EQ(fileBytes(out), fileBytes(expected));
    EXPECT_FALSE(fileBytes(out).isEmpty());
}

// `--info --json` shows what the player remembers for a song, found by its contents.
TEST(LiveInfo, TheCommandLineShowsTheRememberedSettings) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("any name.kar"));
    QFile::copy(demoSong("frere-jacques"), song);
    const QString program = QStringLiteral(CANTAVO_PROGRAM_DIR);
    const SongMemory memory(PreferencesPath(program, false, QStringLiteral("song-live.txt")));
    LiveSettings l;
    l.key = 5;
    l.solo[2] = true;
    ASSERT_TRUE(memory.remember(fileBytes(song), QString::fromUtf8(QJsonDocument(l.toJson()).toJson(QJsonDocument::Compact))));
    const CliRun r = run({QStringLiteral("--info"), QStringLiteral("--json"), song});
    memory.remember(fileBytes(song), QString());
    ASSERT_EQ(r.status, 0);
    const QJsonObject kept = QJsonDocument::fromJson(r.out.toUtf8()).object()[QStringLiteral("remembered")].toObject();
    EXPECT_EQ(LiveSettings::fromJson(kept), l);
    const CliRun none = run({QStringLiteral("--info"), QStringLiteral("--json"), song});
    EXPECT_FALSE(QJsonDocument::fromJson(none.out.toUtf8()).object().contains(QStringLiteral("remembered")));
}

// Whether the panel shows is kept with the program's newer settings.
TEST_F(Live, ThePanelsVisibilityIsKept) {
    QTemporaryDir program, config;
    // The settings of a program directory that is not the build's go to the config folder.
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    window->setProgramDirectory(program.path());
    QAction* toggle = window->commands()[QStringLiteral("live")];
    EXPECT_FALSE(toggle->isChecked()) << "hidden until the singer shows it";
    EXPECT_FALSE(window->livePanel().isVisible());
    toggle->trigger();
    EXPECT_TRUE(window->livePanel().isVisible());
    EXPECT_TRUE(QSettings(window->settingsPath(), QSettings::IniFormat).value(QStringLiteral("window/livePanel")).toBool());
    {
        MainWindow again;
        again.setProgramDirectory(program.path());
        again.show();
        QApplication::processEvents();
        EXPECT_TRUE(again.livePanel().isVisible());
        EXPECT_TRUE(again.commands()[QStringLiteral("live")]->isChecked());
    }
    toggle->trigger();
    EXPECT_FALSE(window->livePanel().isVisible());
    EXPECT_FALSE(QSettings(window->settingsPath(), QSettings::IniFormat).value(QStringLiteral("window/livePanel")).toBool());
    EXPECT_TRUE(window->settingsPath().startsWith(config.path()));
    qunsetenv("XDG_CONFIG_HOME");
}
