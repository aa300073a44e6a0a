// The application shell through its real windows: start states, menus, preferences, MIDI
// Out, start-up and the ways out.
#include <QKeyEvent>
#include <QMimeData>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "secondcopy.h"
#include "startup.h"
#include "window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

// A program directory of the test's own, with the files start-up reads, and a
// configuration folder of its own for the preferences.
struct ProgramFolder {
    QTemporaryDir program, config;
    ProgramFolder() {
        for (const char* f : {"cantavo.mid", "CANTAVO.HLP", "16-1-44.wav", "8-0-11.wav", "applause.wav"})
            QFile::copy(QStringLiteral(CANTAVO_PROGRAM_DIR "/") + QString::fromLatin1(f), path(f));
        QFile::copy(QStringLiteral(CANTAVO_PROGRAM_DIR "/CANTAVO.INI.default"), path("CANTAVO.INI"));
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    ~ProgramFolder() { qunsetenv("XDG_CONFIG_HOME"); }
    QString path(const char* name) const { return QDir(program.path()).filePath(QString::fromLatin1(name)); }
    QString prefs() const { return QDir(config.path()).filePath(QStringLiteral("cantavo/CANTAVO.INI")); }
};

MidiOutDevice device(const QString& name) {
    MidiOutDevice d;
    d.name = name;
    d.alsaClient = 20;
    return d;
}

}  // namespace

TEST_F(Window, StartStates) {
    EXPECT_EQ(window->objectName(), QStringLiteral("MDIForm1"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cantavo!: file not open"));
    Commands& c = window->commands();
    for (const char* off : {"mnfileitem1", "mnfileitem2", "mnfileitem3", "edt", "sav", "al1", "ifa1", "tb4", "tb8", "tb10", "Command1"})
        EXPECT_FALSE(c[QString::fromLatin1(off)]->isEnabled()) << off;
    for (const char* on : {"mnfileitem0", "mnfileitem6", "ron", "roff", "lon", "loff", "fo", "pil", "hic", "sf", "bp", "aot", "pref", "mo", "ifa2", "tb2"})
        EXPECT_TRUE(c[QString::fromLatin1(on)]->isEnabled()) << on;
    EXPECT_TRUE(c[QStringLiteral("ron")]->isChecked());
    EXPECT_FALSE(c[QStringLiteral("roff")]->isChecked());
    EXPECT_TRUE(c[QStringLiteral("loff")]->isChecked());
    EXPECT_FALSE(c[QStringLiteral("aot")]->isChecked());
    EXPECT_EQ(c[QStringLiteral("mnfileitem0")]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(c[QStringLiteral("roff")]->shortcut(), QKeySequence(QStringLiteral("Shift+F2")));
    EXPECT_EQ(c[QStringLiteral("pref")]->shortcut(), QKeySequence(QStringLiteral("F4")));
    // Every command is built: none says "Not available yet".
    for (QAction* a : window->findChildren<QAction*>()) {
        if (c.has(a->objectName())) {
            EXPECT_TRUE(c.isAvailable(a->objectName())) << a->objectName().toStdString();
        }
    }
    EXPECT_FALSE(c[QStringLiteral("mnfileitem1")]->isEnabled()) << "nothing recorded yet";
    const QList<QAction*> tools = window->toolbar().actions();
    ASSERT_EQ(tools.size(), 23);
    EXPECT_TRUE(tools[21]->isSeparator());
    EXPECT_EQ(tools[22], c[QStringLiteral("singers")]);
    for (int i = 0; i < 21; ++i) EXPECT_EQ(tools[i]->isSeparator(), i % 2 == 0) << i + 1;
    EXPECT_EQ(tools[1]->toolTip(), QStringLiteral("Open"));
    EXPECT_EQ(tools[13]->toolTip(), QStringLiteral("Bold"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Panel3D10"))->text(), QStringLiteral("READY"));
    EXPECT_FALSE(window->findChild<QWidget*>(QStringLiteral("MMControl3"))->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("WAVE"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("MIDI"));
    const QStringList captions = {QStringLiteral("&Information"), QStringLiteral("App&lause"), QStringLiteral("&Boo Boo!"), QStringLiteral("&Autoplay"),
                                  QStringLiteral("User &1"), QStringLiteral("User &2"), QString(), QStringLiteral("E&xit")};
    for (int i = 0; i < 8; ++i) {
        if (captions[i].isEmpty()) continue;
        auto* b = window->findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1));
        ASSERT_TRUE(b) << i + 1;
        EXPECT_EQ(b->text(), captions[i]);
    }
    EXPECT_EQ(window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->findChildren<QLabel*>().size(), 3);
}

TEST_F(Window, ToolbarFullScreenAndAlwaysOnTop) {
    window->setFullScreenOn(true);
    EXPECT_TRUE(window->commands()[QStringLiteral("lon")]->isChecked());
    EXPECT_TRUE(window->commands()[QStringLiteral("roff")]->isChecked());
    window->commands()[QStringLiteral("ron")]->trigger();
    EXPECT_TRUE(window->toolbar().isVisibleTo(window.get()));
    EXPECT_FALSE(window->panelShown());
    window->setFullScreenOn(false);
    EXPECT_TRUE(window->panelShown());
    EXPECT_EQ(window->toolbarVisible, -1);
    EXPECT_EQ(window->panelVisible, -1);
    QAction* aot = window->commands()[QStringLiteral("aot")];
    aot->trigger();
    EXPECT_TRUE(aot->isChecked());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    aot->trigger();
    EXPECT_FALSE(aot->isChecked());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(Window, SongInfoPanels) {
    open(demoSong("oh-susanna"));
    window->panel().buttons[0]->click();
    SongInfoDialog* info = window->findChild<SongInfoDialog*>(QStringLiteral("Form4"));
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->titlePanel->text(), QStringLiteral("Oh! Susanna\r\nStephen Foster"));
    EXPECT_EQ(info->infoPanel->text(), QStringLiteral("\nWords and music: Stephen Foster (1848)\nArrangement: Cantavo!"));
    EXPECT_EQ(info->tracksPanel->text(), QStringLiteral(" 6"));
    EXPECT_EQ(info->meterPanel->text(), QStringLiteral(" 2/4"));
    EXPECT_EQ(info->keyPanel->text(), QStringLiteral("Eb Major"));
}

TEST_F(Window, MidiOutMenuWithNoOneOrSeveralDevices) {
    {
        BoxCatcher boxes;
        window->midiDevices = [] { return QList<MidiOutDevice>(); };
        window->BuildMidiOutMenu();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("No MIDI output device installed.")));
        EXPECT_EQ(window->midiOutMenu()->actions().size(), 1);
        EXPECT_TRUE(window->midiOutMenu()->actions().first()->isSeparator());
    }
    {
        BoxCatcher boxes;
        window->midiDevices = [] { return QList<MidiOutDevice>{device(QStringLiteral("  A synthesizer with a very long product name indeed "))}; };
        window->BuildMidiOutMenu();
        EXPECT_TRUE(boxes.texts.isEmpty());
        const QList<QAction*> items = window->midiOutMenu()->actions();
        ASSERT_EQ(items.size(), 2);
        EXPECT_EQ(items[0]->text(), QStringLiteral("MIDI Mapper"));
        EXPECT_EQ(items[1]->text(), QStringLiteral("A synthesizer with a very lo"));  // 30 characters, then trimmed
        EXPECT_TRUE(items[0]->isChecked());
    }
    {
        BoxCatcher boxes;
        window->midiDevices = [] { return QList<MidiOutDevice>{device(QStringLiteral("One")), device(QStringLiteral("Two"))}; };
        window->session().midiOutChoice = 3;
        window->BuildMidiOutMenu();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("The MIDI Out device selected in the preference file does not exist. MIDI Mapper will be selected as default output device")));
        EXPECT_EQ(window->session().midiOutChoice, 0);
        EXPECT_TRUE(window->midiOutMenu()->actions()[0]->isChecked());
        EXPECT_FALSE(window->midiOutMenu()->actions()[2]->isChecked());
    }
    QStringList sent;
    SetMciCommandObserver([&](const QString& c) { sent << c; });
    window->session().midiOutChoice = 2;
    window->BuildMidiOutMenu();
    EXPECT_TRUE(window->midiOutMenu()->actions()[2]->isChecked());
    open(demoSong("twinkle"));
    const QString path = window->session().songPath;
    EXPECT_TRUE(sent.contains(QStringLiteral("set ") + path + QStringLiteral(" port  1")));
    sent.clear();
    window->midiOutMenu()->actions()[0]->trigger();
    EXPECT_EQ(sent, QStringList(QStringLiteral("set ") + path + QStringLiteral(" port mapper")));
    EXPECT_EQ(window->session().midiOutChoice, 0);
    sent.clear();
    window->midiOutMenu()->actions()[1]->trigger();
    EXPECT_EQ(sent, QStringList(QStringLiteral("set ") + path + QStringLiteral(" port  0")));
    SetMciCommandObserver(nullptr);
}

TEST_F(Window, PreferencesAreAppliedAndSaved) {
    ProgramFolder folder;
    window->setProgramDirectory(folder.program.path());
    EXPECT_EQ(window->preferencesFile(), folder.prefs());
    Preferences p = DefaultPreferences();
    p.ribbon = QStringLiteral("on");  // only "ON" shows the toolbar
    p.top = 30 * 15;
    p.left = 40 * 15;
    p.width = 900 * 15;
    p.height = 700 * 15;
    p.pilotColor = 0x0000FF;  // red, in 0x00BBGGRR
    p.recordBits = 8;
    p.recordStereo = 0;
    p.recordKHz = 11;
    p.dir = folder.config.path();
    window->applyPreferences(p);
    EXPECT_FALSE(window->toolbar().isVisibleTo(window.get()));
    EXPECT_TRUE(window->commands()[QStringLiteral("roff")]->isChecked());
    EXPECT_EQ(window->lyricsWindow().settings.pilotColor, QColor(255, 0, 0));
    EXPECT_EQ(window->waveTemplatePath(), folder.path("8-0-11.wav"));
    EXPECT_EQ(window->waveControl().mode(), 525);
    EXPECT_EQ(QDir::currentPath(), QDir(folder.config.path()).absolutePath());
    ASSERT_TRUE(window->SavePreferences());
    Preferences back;
    ASSERT_TRUE(ReadPreferences(folder.prefs(), back, Preferences()));
    EXPECT_EQ(back.ribbon, QStringLiteral("OFF"));
    EXPECT_EQ(back.pilotColor, 0x0000FF);
    EXPECT_EQ(back.recordBits, 8);
    EXPECT_EQ(back.dir, QDir::currentPath());
    EXPECT_EQ(back.width, window->geometry().width() * 15);
}

TEST_F(Window, SavingThatFailsSaysSo) {
    ProgramFolder folder;
    window->setProgramDirectory(folder.program.path());
    QDir().mkpath(folder.prefs() + QStringLiteral(".d"));
    // The preferences path is taken by a folder: nothing can be written there.
    QFile::remove(folder.prefs());
    QDir().mkpath(folder.prefs());
    BoxCatcher boxes;
    EXPECT_FALSE(window->SavePreferences());
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.first().startsWith(QStringLiteral("The preferences could not be saved")));
}

TEST_F(Window, HelpTopicsAndTheHelpWindow) {
    ProgramFolder folder;
    window->setProgramDirectory(folder.program.path());
    QMenu* file = window->findChild<QMenu*>(QStringLiteral("mnfile"));
    ASSERT_TRUE(file);
    // F1 in an open menu: that menu's topic.
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    file->popup(QPoint(10, 10));
    QApplication::sendEvent(file, &f1);
    file->close();
    HelpWindow& help = window->help();
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.shownTopic(), 860);
    EXPECT_EQ(help.geometry(), QRect(256, 256, 512, 512));
    EXPECT_TRUE(help.toPlainText().contains(QStringLiteral("The File menu")));
    QMenu* mout = window->findChild<QMenu*>(QStringLiteral("mout"));
    mout->popup(QPoint(10, 10));
    QApplication::sendEvent(mout, &f1);
    mout->close();
    EXPECT_EQ(help.shownTopic(), 2020);
    window->commands()[QStringLiteral("mo")]->trigger();
    EXPECT_EQ(help.shownTopic(), 0);
    // F1 anywhere else in the window: the contents.
    help.hide();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->panel().tempoUp->setFocus();
    QTest::keyClick(window->panel().tempoUp, Qt::Key_F1);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.shownTopic(), 0);
    window->close();
    EXPECT_FALSE(help.isVisible());
}

TEST_F(Window, TheWaysOut) {
    QTemporaryDir temp, work;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString own = SongSession::TemporaryFolder();
    ASSERT_TRUE(own.startsWith(temp.path()));
    auto seed = [&] {
        QFile::copy(demoSong("twinkle"), QDir(own).filePath(QStringLiteral("A_SONG.KAR")));
        QFile::copy(demoSong("twinkle"), QDir(own).filePath(QStringLiteral("other.mid")));
        QFile(QDir(work.path()).filePath(QStringLiteral("edit.ktf"))).open(QIODevice::WriteOnly);
        QDir::setCurrent(work.path());
    };
    // An unsaved recording: No keeps the program running and deletes nothing.
    seed();
    window->session().waveUnsaved = 1;
    {
        BoxCatcher no(QMessageBox::No);
        window->MenuExit();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("The recorded .WAV file was not saved. Exit anyway?")));
        EXPECT_EQ(no.icons.first(), QMessageBox::Question);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("edit.ktf"))));
    // The button: working files go, the temporary folder is not asked about.
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->ButtonExit();
        EXPECT_EQ(yes.texts, QStringList(QStringLiteral("The recorded .WAV file was not saved. Exit anyway?")));
    }
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("edit.ktf"))));
    EXPECT_TRUE(QFileInfo::exists(QDir(own).filePath(QStringLiteral("A_SONG.KAR"))));
    // The menu: asked, and on Yes the songs left in the program's own temporary folder go.
    window->show();
    window->session().waveUnsaved = 0;
    seed();
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->MenuExit();
        EXPECT_EQ(yes.texts, QStringList(QStringLiteral("Delete MIDI Karaoke files in Windows Temporary Directory?")));
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(own).filePath(QStringLiteral("A_SONG.KAR"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(own).filePath(QStringLiteral("other.mid"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("edit.ktf"))));
    qunsetenv("TMPDIR");
}

// Two copies at once: what the other one uses is left to it, what a crashed one left is
// cleaned up.
TEST_F(Window, ASecondCopyKeepsItsFiles) {
    QTemporaryDir temp, work;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString theirs = QDir(work.path()).filePath(QStringLiteral("theirs.ktf"));
    const QString stray = QDir(work.path()).filePath(QStringLiteral("stray.ktf"));
    for (const QString& f : {theirs, stray}) ASSERT_TRUE(QFile::copy(demoSong("twinkle"), f));
    SecondCopy other({QStringLiteral("mark"), theirs});
    ASSERT_TRUE(other.ready());
    const QString copied = QDir(other.folder()).filePath(QStringLiteral("THEIR_SONG.KAR"));
    ASSERT_TRUE(QFile::copy(demoSong("twinkle"), copied));
    QDir::setCurrent(work.path());
    // File Open deletes the working files of the current folder, but not the other copy's.
    window->session().PrepareFileOpen();
    EXPECT_TRUE(QFileInfo::exists(theirs));
    EXPECT_FALSE(QFileInfo::exists(stray));
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->MenuExit();
    }
    EXPECT_TRUE(QFileInfo::exists(theirs));
    EXPECT_TRUE(QFileInfo::exists(copied)) << "the other copy's song in its own folder";
    // It crashes; the next exit cleans up after it.
    other.kill();
    window->show();
    QDir::setCurrent(work.path());
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->MenuExit();
        EXPECT_EQ(yes.texts, QStringList(QStringLiteral("Delete MIDI Karaoke files in Windows Temporary Directory?")));
    }
    EXPECT_FALSE(QFileInfo::exists(theirs));
    EXPECT_FALSE(QFileInfo::exists(copied));
    EXPECT_FALSE(QFileInfo::exists(other.folder())) << "its emptied folder goes too";
    qunsetenv("TMPDIR");
}

// Every window shown while the program starts: the splash and the main window, nothing of
// the hidden machinery (the media controls, an error box that vanishes with the splash).
class ShownWindows : public QObject {
public:
    ShownWindows() { qApp->installEventFilter(this); }
    ~ShownWindows() override { qApp->removeEventFilter(this); }
    QStringList titles;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && w->windowType() != Qt::ToolTip && w->windowType() != Qt::Popup)
                titles << QStringLiteral("%1 (%2)").arg(w->windowTitle(), QString::fromLatin1(w->metaObject()->className()));
        }
        return false;
    }
};

TEST(Startup, OnlyTheSplashAndTheMainWindowAreShown) {
    SynthHost::Options o;
    o.offline = true;
    QString error;
    auto host = SynthHost::create(o, &error);
    MediaRegistry::instance().setSynthHost(host.get());
    for (const bool withSong : {true, false}) {
        for (const bool waveTemplates : {true, false}) {
            SCOPED_TRACE(std::string(withSong ? "a song named" : "no song") + (waveTemplates ? "" : ", no wave templates"));
            ProgramFolder folder;
            if (!waveTemplates)
                for (const char* f : {"16-1-44.wav", "8-0-11.wav"}) QFile::remove(folder.path(f));
            ShownWindows shown;
            BoxCatcher boxes;
            Startup startup(folder.program.path(), withSong ? QStringList{demoSong("twinkle")} : QStringList{});
            startup.begin();
            host->render(44100 * 5, nullptr);
            QApplication::processEvents();
            ASSERT_TRUE(QTest::qWaitFor([&] { return startup.started(); }, 5000));
            QTest::qWait(200);
            EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(shown.titles, (QStringList{QStringLiteral("Cantavo! (cantavo::SplashWindow)"),
                                                 QStringLiteral("Cantavo!: file not open (cantavo::MainWindow)")}))
                << shown.titles.join(QLatin1Char('|')).toStdString();
        }
    }
    MediaRegistry::instance().closeAll();
    MediaRegistry::instance().setSynthHost(nullptr);
}

TEST(Startup, StartProgramRunsOnceAndOpensTheCommandLinesSong) {
    SynthHost::Options o;
    o.offline = true;
    QString error;
    auto host = SynthHost::create(o, &error);
    MediaRegistry::instance().setSynthHost(host.get());
    {
        ProgramFolder folder;
        Startup startup(folder.program.path(), {demoSong("twinkle")});
        QSignalSpy started(&startup, &Startup::programStarted);
        startup.begin();
        ASSERT_EQ(started.count(), 1);  // at once: the command line names a song
        ASSERT_EQ(startup.patchList().size(), 128);
        EXPECT_EQ(startup.patchList()[0], QStringLiteral(" 1 -  Acoustic Grand Piano "));
        EXPECT_EQ(startup.patchList()[26], QStringLiteral(" 27 -  Electric Guitar (jazz)  "));
        EXPECT_EQ(startup.patchList()[40], QStringLiteral(" 41 -  Violin "));
        EXPECT_EQ(startup.mainWindow()->windowTitle(), QStringLiteral("Twinkle, Twinkle, Little Star - Traditional"));
        EXPECT_FALSE(startup.splash()->isVisible());
    }
    {
        ProgramFolder folder;
        Startup startup(folder.program.path(), {});
        QSignalSpy started(&startup, &Startup::programStarted);
        startup.begin();
        EXPECT_EQ(started.count(), 0);
        EXPECT_EQ(startup.splash()->music->mode(), 526);  // the intro music plays
        QTest::mouseClick(startup.splash(), Qt::LeftButton);
        EXPECT_EQ(started.count(), 1);
        EXPECT_EQ(startup.mainWindow()->windowTitle(), QStringLiteral("Cantavo!: file not open"));
        // The music's end after the click starts nothing again.
        host->render(44100 * 20, nullptr);
        QApplication::processEvents();
        QTest::keyClick(startup.splash(), Qt::Key_Space);
        EXPECT_EQ(started.count(), 1);
    }
    {
        ProgramFolder folder;
        Startup startup(folder.program.path(), {});
        QSignalSpy started(&startup, &Startup::programStarted);
        startup.begin();
        // The intro is short: the program waits at most four seconds for it.
        host->render(44100 * 4, nullptr);
        QApplication::processEvents();
        EXPECT_EQ(started.count(), 1);  // at the end of the intro music
    }
    {
        // A song on the command line that is not there is named in a message.
        ProgramFolder folder;
        BoxCatcher boxes;
        Startup startup(folder.program.path(), {QStringLiteral("/no/such/song.kar")});
        startup.begin();
        host->render(44100 * 5, nullptr);
        QApplication::processEvents();
        ASSERT_TRUE(QTest::qWaitFor([&] { return startup.started() && !boxes.texts.isEmpty(); }, 5000));
        EXPECT_EQ(boxes.texts.first(), QStringLiteral("The song \"/no/such/song.kar\" was not found."));
    }
    MediaRegistry::instance().closeAll();
    MediaRegistry::instance().setSynthHost(nullptr);
}

// Without a sound server a song still opens, plays on the silent clock with its lyrics lit,
// and the singer is told once why there is no sound.
TEST(NoSound, TheSongOpensAndPlaysAndTheSingerIsToldOnce) {
    SynthHost::Options o;
    o.audioDriver = QStringLiteral("none");
    QString error;
    auto host = SynthHost::create(o, &error);
    MediaRegistry::instance().setSynthHost(host.get());
    {
        BoxCatcher boxes;
        MainWindow window;
        window.show();
        window.chooseSongFile = [] { return demoSong("twinkle"); };
        window.FileOpen();
        ASSERT_TRUE(window.session().songLoaded());
        window.panel().midi->button(MediaButton::Play)->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.session().lyricIndex > 2; }, 15000)) << "no syllable was lit";
        ASSERT_EQ(boxes.texts.size(), 1) << boxes.texts.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(boxes.texts.first().startsWith(QStringLiteral("No sound output"))) << boxes.texts.first().toStdString();
        EXPECT_FALSE(boxes.texts.first().contains(QStringLiteral("Can't load")));
        // Pausing and playing again says nothing more.
        window.panel().midi->button(MediaButton::Pause)->click();
        window.panel().midi->button(MediaButton::Play)->click();
        QTest::qWait(300);
        EXPECT_EQ(boxes.texts.size(), 1);
        window.panel().midi->button(MediaButton::Stop)->click();
    }
    {
        // A window that comes up after the sound was found missing (the splash's intro
        // played silently) says so as well.
        BoxCatcher boxes;
        MainWindow window;
        window.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, 3000));
        EXPECT_TRUE(boxes.texts.first().startsWith(QStringLiteral("No sound output")));
    }
    MediaRegistry::instance().closeAll();
    MediaRegistry::instance().setSynthHost(nullptr);
}

TEST_F(Window, ADroppedSongOpens) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(demoSong("frere-jacques"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Frère Jacques - Chanson traditionnelle"));
    EXPECT_TRUE(window->findChild<QTimer*>(QStringLiteral("Timer1")));
}
