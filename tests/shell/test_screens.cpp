// The main window and the list window on the screen sizes singers have, from a netbook's
// 640x480 to 1920x1080, with every panel open. The screen is the offscreen platform's, sized
// by the test's registration (one process per size); grabs go to the shots folder.
#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

#include "../shell/window.h"
#include "listwindow.h"
#include "screenfit.h"

namespace cantavo::test {
namespace {

class Screens : public Window {
protected:
    void SetUp() override {
        MediaRegistry::instance().setSynthHost(host.get());
        window = std::make_unique<MainWindow>();
        // Saved on a large screen.
        window->setGeometry(80, 60, 1100, 760);
        window->show();
        QApplication::processEvents();
    }
    QRect area() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    QString size() const { return QStringLiteral("%1x%2").arg(area().width()).arg(area().height()); }
    int pageHeight() { return window->lyricsWindow().surface().height(); }
    void settle() {
        QTest::qWait(300);
        QApplication::processEvents();
    }
};

TEST(ScreenFit, ARectangleIsFittedIntoTheArea) {
    const QRect area(0, 0, 800, 600);
    EXPECT_EQ(FitIntoArea({80, 60, 1100, 760}, area), QRect(0, 0, 800, 600));
    EXPECT_EQ(FitIntoArea({700, 500, 300, 200}, area), QRect(500, 400, 300, 200)) << "moved back in";
    EXPECT_EQ(FitIntoArea({-50, -20, 300, 200}, area), QRect(0, 0, 300, 200));
    EXPECT_EQ(FitIntoArea({100, 100, 300, 200}, area), QRect(100, 100, 300, 200)) << "what fits stays";
    EXPECT_EQ(FitIntoArea({1400, 100, 300, 200}, QRect(1280, 0, 1280, 720)), QRect(1400, 100, 300, 200)) << "a second screen";
}

TEST_F(Screens, TheWindowsFitAndTheLyricsKeepHalfTheHeight) {
    SCOPED_TRACE(size().toStdString());
    EXPECT_TRUE(area().contains(window->frameGeometry())) << "opened at " << window->frameGeometry().x() << "," << window->frameGeometry().y()
                                                          << " " << window->width() << "x" << window->height();
    open(demoSong("oh-susanna"));
    for (const char* panel : {"live", "score"}) {
        QAction* a = window->commands()[QString::fromLatin1(panel)];
        if (!a->isChecked()) a->trigger();
    }
    settle();
    auto* live = window->findChild<QDockWidget*>(QStringLiteral("LiveDock"));
    ASSERT_TRUE(live);
    EXPECT_TRUE(area().contains(window->frameGeometry())) << "the panels made it " << window->width() << "x" << window->height();
    EXPECT_GE(pageHeight() * 2, window->height() - 1) << "the lyrics page is " << pageHeight() << " of " << window->height();
    if (!live->isVisible()) {
        EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("live panel"))) << "closed without a word";
    }
    shot(QStringLiteral("screen-%1-all-panels").arg(size()));

    // Narrower and lower by hand: the page follows, the lyrics wrap in the new width.
    window->resize(std::min(area().width(), 520), std::min(area().height(), 420));
    settle();
    EXPECT_LE(window->lyricsWindow().surface().width(), window->width());
    EXPECT_LE(window->width(), std::min(area().width(), 520)) << "the panels held the window wider";
    EXPECT_GE(pageHeight() * 2, window->height() - 1);
    shot(QStringLiteral("screen-%1-narrow").arg(size()));

    window->commands()[QStringLiteral("al0")]->trigger();
    QApplication::processEvents();
    ListWindow& list = window->listWindow();
    EXPECT_TRUE(area().contains(list.frameGeometry())) << "the list window is " << list.width() << "x" << list.height();
    QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
    list.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/screen-%1-list.png").arg(size()));
    list.hide();
}

}  // namespace
}  // namespace cantavo::test
