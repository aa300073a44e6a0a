// The rotation through the real windows: three singers sing a song each, in their own key
// and tempo, and each next one is announced in the status bar, the rotation window and on the
// singers' screen.
#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include "breakmusic.h"
#include "rotationdialogs.h"
#include "rotationstore.h"
#include "rotationwindow.h"
#include "singersscreen.h"
#include "testpaths.h"
#include "window.h"

namespace cantavo::test {
namespace {

class Rotation : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        // Each test starts with nobody in the rotation (the data folder is the test run's).
        RotationStore& store = window->rotationStore();
        for (const Singer& s : store.rotation()) store.removeSinger(s.id);
        window->rotationWindow().setBreakMusicOn(false);
        window->rotationWindow().setStartAfterSeconds(0);
        window->rotationWindow().reload();
    }
    void addSinger(const QString& name, const QString& song) {
        RotationWindow& r = window->rotationWindow();
        r.askSingerName = [name] { return name; };
        r.addSinger();
        r.askSongs = [song] { return QStringList{song}; };
        r.addSongs();
    }
    QString status() const { return window->statusBar()->currentMessage(); }
};

TEST_F(Rotation, ThreeSingersSingInTurnAndTheNextIsAnnounced) {
    window->findChild<QDockWidget*>(QStringLiteral("RotationDock"))->show();
    window->ShowSingersScreen(0);
    addSinger(QStringLiteral("Ana"), demoSong("twinkle"));
    addSinger(QStringLiteral("Bo"), demoSong("oh-susanna"));
    addSinger(QStringLiteral("Cy"), demoSong("frere-jacques"));
    RotationStore& store = window->rotationStore();
    // Ana sings hers two half tones up and a little slower.
    store.setSongKeyTempo(store.singer(QStringLiteral("Ana"))->queue[0].id, 2, 90);
    window->rotationWindow().reload();
    // Each song is shown by its own title.
    const QString twinkle = store.singer(QStringLiteral("Ana"))->queue[0].title, susanna = store.singer(QStringLiteral("Bo"))->queue[0].title,
                  jacques = store.singer(QStringLiteral("Cy"))->queue[0].title;
    EXPECT_EQ(twinkle, QStringLiteral("Twinkle, Twinkle, Little Star"));
    EXPECT_EQ(jacques, QStringLiteral("Frère Jacques"));
    EXPECT_EQ(window->rotationWindow().findChild<QLabel*>(QStringLiteral("Announcement"))->text(), QStringLiteral("Next: Ana — ") + twinkle);
    shot(QStringLiteral("rotation-three-singers"));

    const struct {
        QString singer, file, title, next;
        int key, tempo;
    } turns[] = {{QStringLiteral("Ana"), QStringLiteral("twinkle"), twinkle, QStringLiteral("Bo — ") + susanna, 2, 90},
                 {QStringLiteral("Bo"), QStringLiteral("oh-susanna"), susanna, QStringLiteral("Cy — ") + jacques, 0, 100},
                 {QStringLiteral("Cy"), QStringLiteral("frere-jacques"), jacques, QString(), 0, 100}};
    for (const auto& t : turns) {
        SCOPED_TRACE(t.singer.toStdString());
        window->rotationWindow().findChild<QPushButton*>(QStringLiteral("SingNext"))->click();
        QApplication::processEvents();
        EXPECT_TRUE(window->session().songPath.endsWith(t.file + QStringLiteral(".kar")));
        EXPECT_EQ(window->liveSettings().key, t.key);
        EXPECT_EQ(window->liveSettings().tempoPercent, t.tempo);
        EXPECT_EQ(status(), QStringLiteral("Now: %1 — %2").arg(t.singer, t.title));
        EXPECT_EQ(window->singersScreen()->nextUp(), t.next) << "the one after is on the singers' screen";
        if (t.singer == QLatin1String("Bo")) shot(QStringLiteral("rotation-bo-singing"));
        play();
        advance(window->sequencerControl().sequencer()->lengthMs() / 1000.0 * 100.0 / t.tempo + 1.0);
        ASSERT_EQ(window->sequencerControl().mode(), static_cast<int>(MediaMode::Stopped)) << "played to its end";
        EXPECT_EQ(store.history(t.singer).size(), 1u);
        if (!t.next.isEmpty()) {
            EXPECT_EQ(status(), QStringLiteral("Next: ") + t.next);
        }
    }
    const std::vector<SungSong> sung = store.history();
    ASSERT_EQ(sung.size(), 3u);
    EXPECT_EQ(sung[0].singer, QStringLiteral("Cy"));
    EXPECT_EQ(sung[2].key, 2) << "Ana's key is remembered";
    EXPECT_EQ(sung[2].tempo, 90);
    // Everyone sang once, each going to the end: the same order, and nobody is waiting.
    std::vector<QString> order;
    for (const Singer& s : store.rotation()) order.push_back(s.name);
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("Ana"), QStringLiteral("Bo"), QStringLiteral("Cy")}));
    window->SingNext();
    EXPECT_EQ(status(), QStringLiteral("Nobody is waiting to sing."));

    // Ana signs up for the same song again: proposed in the key and tempo she sang it in.
    RotationWindow& r = window->rotationWindow();
    r.tree().setCurrentItem(r.tree().topLevelItem(0));
    r.askSongs = [] { return QStringList{demoSong("twinkle")}; };
    r.addSongs();
    const QueuedSong again = store.singer(QStringLiteral("Ana"))->queue.at(0);
    EXPECT_EQ(again.key, 2);
    EXPECT_EQ(again.tempo, 90);
    EXPECT_EQ(window->singersScreen()->nextUp(), QStringLiteral("Ana — ") + twinkle);
    window->singersScreen()->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/rotation-stage-next.png"));
}

}  // namespace
}  // namespace cantavo::test

namespace cantavo::test {
namespace {

TEST_F(Rotation, DraggingMovesAndSingNextCanStartByItself) {
    addSinger(QStringLiteral("Ana"), demoSong("twinkle"));
    addSinger(QStringLiteral("Bo"), demoSong("oh-susanna"));
    addSinger(QStringLiteral("Cy"), demoSong("frere-jacques"));
    RotationWindow& r = window->rotationWindow();
    window->findChild<QDockWidget*>(QStringLiteral("RotationDock"))->show();
    QApplication::processEvents();
    RotationTree& tree = r.tree();
    // Cy is dropped on Ana: Cy sings first. A song dropped on another singer stays put.
    tree.setCurrentItem(tree.topLevelItem(2));
    // What a drop does (the platform's drag itself cannot run offscreen).
    const auto drop = [&](QTreeWidgetItem* on) { tree.dropOn(tree.currentItem(), on); };
    drop(tree.topLevelItem(0));
    std::vector<QString> order;
    for (const Singer& s : window->rotationStore().rotation()) order.push_back(s.name);
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("Cy"), QStringLiteral("Ana"), QStringLiteral("Bo")}));
    tree.setCurrentItem(tree.topLevelItem(1)->child(0));
    drop(tree.topLevelItem(2));
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Ana"))->queue.size(), 1u);
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Bo"))->queue.size(), 1u);

    // Away: skipped, kept in place.
    tree.setCurrentItem(tree.topLevelItem(0));
    r.toggleAway();
    EXPECT_TRUE(tree.topLevelItem(0)->text(0).endsWith(QStringLiteral("(away)")));
    EXPECT_EQ(window->rotationStore().next()->singer.name, QStringLiteral("Ana"));

    r.setStartAfterSeconds(1);
    window->SingNext();
    EXPECT_EQ(window->sequencerControl().mode(), static_cast<int>(MediaMode::Stopped)) << "it waits the second";
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->sequencerControl().mode() == static_cast<int>(MediaMode::Playing); }, 3000)) << "mode " << window->sequencerControl().mode();
}

}  // namespace
}  // namespace cantavo::test

namespace cantavo::test {
namespace {

// Between singers the break music plays, quieter, on channels of its own, while the song just
// sung stays loaded and the song player stopped (the break's words go nowhere); Sing Next ends it.
TEST_F(Rotation, BreakMusicPlaysBetweenSingersUntilSingNext) {
    addSinger(QStringLiteral("Ana"), demoSong("frere-jacques"));
    addSinger(QStringLiteral("Bo"), demoSong("oh-susanna"));
    RotationWindow& r = window->rotationWindow();
    window->findChild<QDockWidget*>(QStringLiteral("RotationDock"))->show();
    r.askBreakSongs = [] { return QStringList{demoSong("twinkle")}; };
    r.findChild<QPushButton*>(QStringLiteral("BreakSongs"))->click();
    EXPECT_EQ(window->rotationStore().breakMusic(), QStringList{QFileInfo(demoSong("twinkle")).absoluteFilePath()});
    r.setBreakLoudness(40);
    r.findChild<QCheckBox*>(QStringLiteral("BreakMusic"))->setChecked(true);
    ASSERT_TRUE(window->breakMusic() && window->breakMusic()->playing()) << "nothing plays: the break starts at once";
    EXPECT_EQ(window->breakMusic()->loudness(), 40);
    EXPECT_EQ(r.findChild<QLabel*>(QStringLiteral("BreakPlaying"))->text(), QStringLiteral("♪ Twinkle, Twinkle, Little Star"));

    window->SingNext();
    EXPECT_FALSE(window->breakMusic()->playing()) << "Sing Next ends the break";
    EXPECT_TRUE(r.findChild<QLabel*>(QStringLiteral("BreakPlaying"))->text().isEmpty());
    const size_t sungBefore = window->rotationStore().history(QStringLiteral("Ana")).size();
    play();
    advance(window->sequencerControl().sequencer()->lengthMs() / 1000.0 + 1.0);
    ASSERT_EQ(window->rotationStore().history(QStringLiteral("Ana")).size(), sungBefore + 1);
    EXPECT_TRUE(window->breakMusic()->playing()) << "Ana sang: the break music plays";
    EXPECT_TRUE(window->session().songPath.endsWith(QStringLiteral("frere-jacques.kar"))) << "its words are not loaded";
    advance(2.0);
    EXPECT_GT(window->breakMusic()->sequencer().positionMs(), 1000.0);
    EXPECT_EQ(window->sequencerControl().mode(), static_cast<int>(MediaMode::Stopped)) << "the song player is left alone";
    shot(QStringLiteral("rotation-break-music"));

    // The host plays something by hand: the break ends too.
    window->SingNext();
    EXPECT_FALSE(window->breakMusic()->playing());
    r.setBreakMusicOn(false);
    EXPECT_FALSE(window->breakMusic()->playing());
}

// The key and tempo of a queued song change in the list itself; songs come from the
// catalogue or are dropped on a singer from outside.
TEST_F(Rotation, KeysAreEditedInTheListAndSongsComeFromTheCatalogueOrADrop) {
    addSinger(QStringLiteral("Ana"), demoSong("twinkle"));
    addSinger(QStringLiteral("Bo"), demoSong("oh-susanna"));
    RotationWindow& r = window->rotationWindow();
    window->findChild<QDockWidget*>(QStringLiteral("RotationDock"))->show();
    QApplication::processEvents();
    RotationTree& tree = r.tree();
    QTreeWidgetItem* song = tree.topLevelItem(0)->child(0);
    tree.setCurrentItem(song);
    tree.editItem(song, 1);
    auto* key = tree.findChild<QSpinBox*>(QStringLiteral("KeyEditor"));
    ASSERT_TRUE(key);
    EXPECT_EQ(key->minimum(), -12);
    key->setValue(-3);
    QTest::keyClick(key, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Ana"))->queue.at(0).key, -3);
    tree.editItem(tree.topLevelItem(0)->child(0), 2);
    auto* tempo = tree.findChild<QSpinBox*>(QStringLiteral("TempoEditor"));
    ASSERT_TRUE(tempo);

    tempo->setValue(500);  // past what the player can play: held at its most
    QTest::keyClick(tempo, Qt::Key_Return);
    QApplication::processEvents();
    const QueuedSong edited = window->rotationStore().singer(QStringLiteral("Ana"))->queue.at(0);
    EXPECT_EQ(edited.key, -3);
    EXPECT_EQ(edited.tempo, LiveSettings::kMaxTempo);
    EXPECT_EQ(tree.topLevelItem(0)->child(0)->text(1), QStringLiteral("-3"));
    tree.editItem(tree.topLevelItem(0), 1);
    EXPECT_FALSE(tree.findChild<QSpinBox*>(QStringLiteral("KeyEditor"))) << "a singer's row has no key";
    // Sung next, in the key set here.
    window->SingNext();
    EXPECT_EQ(window->liveSettings().key, -3);

    // A file dropped from the file manager on Bo's row goes to Bo's queue.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(demoSong("frere-jacques"))});
    const QPoint onBo = tree.visualItemRect(tree.topLevelItem(1)).center();
    QDragEnterEvent enter(onBo, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(onBo, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &drop);
    ASSERT_EQ(window->rotationStore().singer(QStringLiteral("Bo"))->queue.size(), 2u);
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Bo"))->queue.at(1).title, QStringLiteral("Frère Jacques"));

    // From the catalogue: searched by title, author or file name, in the catalogue's order.
    QList<SongRow> rows;
    for (int i = 0; i < 20000; ++i)
        rows.append({QStringLiteral("song%1.kar").arg(i), QStringLiteral("3:00"), QStringLiteral("Song number %1").arg(i), QStringLiteral("Band %1").arg(i % 50), QStringLiteral("/nowhere/")});
    rows.append({QStringLiteral("twinkle.kar"), QStringLiteral("0:30"), QStringLiteral("Twinkle, Twinkle, Little Star"), QStringLiteral("Traditional"),
                 QFileInfo(demoSong("twinkle")).absolutePath() + QLatin1Char('/')});
    CatalogueDialog pick(rows, QStringLiteral("Bo"));
    EXPECT_EQ(pick.list().topLevelItemCount(), CatalogueDialog::kShown) << "the first matches, not all twenty thousand";
    // Every word somewhere in the title, the author or the file name.
    pick.search().setText(QStringLiteral("band 7 1999"));
    ASSERT_GT(pick.list().topLevelItemCount(), 0);
    for (int i = 0; i < pick.list().topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = pick.list().topLevelItem(i);
        EXPECT_TRUE(row->text(0).contains(QStringLiteral("1999")) && (row->text(0) + row->text(1) + row->text(3)).contains(QLatin1Char('7')))
            << row->text(0).toStdString();
    }
    EXPECT_EQ(pick.list().topLevelItemCount(), 1) << "19997: \"1999\" in its title, \"7\" in its author's name";
    pick.search().setText(QStringLiteral("TRADITIONAL"));
    ASSERT_EQ(pick.list().topLevelItemCount(), 1);
    pick.list().topLevelItem(0)->setSelected(true);
    pick.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/rotation-catalogue.png"));
    EXPECT_EQ(pick.chosen(), QStringList{QFileInfo(demoSong("twinkle")).absoluteFilePath()});
    pick.search().setText(QStringLiteral("nothing like this"));
    EXPECT_EQ(pick.list().topLevelItemCount(), 0);

    tree.setCurrentItem(tree.topLevelItem(1));
    QString askedFor;
    r.askCatalogueSongs = [&](const QString& singer) {
        askedFor = singer;
        return QStringList{demoSong("twinkle")};
    };
    r.findChild<QPushButton*>(QStringLiteral("AddFromCatalogue"))->click();
    EXPECT_EQ(askedFor, QStringLiteral("Bo"));
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Bo"))->queue.size(), 3u);
}

}  // namespace
}  // namespace cantavo::test
