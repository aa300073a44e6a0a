// The rotation through the real windows: three singers sing a song each, in their own key
// and tempo, and each next one is announced in the status bar, the rotation window and on the
// singers' screen.
#include <QDockWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

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
    QTRY_COMPARE_WITH_TIMEOUT(window->sequencerControl().mode(), static_cast<int>(MediaMode::Playing), 3000);
}

}  // namespace
}  // namespace cantavo::test
