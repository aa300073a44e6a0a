// The lyrics surface at any size: long lines wrap at blanks with the highlight still on its
// syllables, and only whole rows are shown.
#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include "lyricssurface.h"

using namespace cantavo;

namespace {

const QString kLong = QStringLiteral(" I come from Alabama with my banjo on my knee, I'm going to Louisiana, my true love for to see");

int pixelsNear(const QImage& image, QColor c) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) + std::abs(p.blue() - c.blue()) < 30;
        }
    return n;
}

LyricsSurface* surface(int w, int h) {
    auto* s = new LyricsSurface;
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(28);
    s->setLyricsFont(f);
    s->setBackColor(Qt::black);
    s->resize(w, h);
    return s;
}

}  // namespace

TEST(LyricsSurface, LongLinesWrapAtBlanks) {
    std::unique_ptr<LyricsSurface> s(surface(360, 400));
    const QList<LyricsSurface::Piece> pieces = s->wrap(kLong);
    ASSERT_GE(pieces.size(), 3);
    QString joined;
    const QFontMetrics fm(s->lyricsFont());
    for (const LyricsSurface::Piece& p : pieces) {
        const QString row = kLong.mid(p.start, p.length);
        joined += row;
        EXPECT_LE(fm.horizontalAdvance(row.trimmed()) + (row.startsWith(QLatin1Char(' ')) ? fm.horizontalAdvance(QLatin1Char(' ')) : 0), 360 - 32) << row.toStdString();
        if (&p != &pieces.last()) EXPECT_TRUE(row.endsWith(QLatin1Char(' '))) << "broken inside a word: " << row.toStdString();
    }
    EXPECT_EQ(joined, kLong);
    // A window wide enough keeps the line whole.
    s->resize(3000, 400);
    EXPECT_EQ(s->wrap(kLong).size(), 1);
}

TEST(LyricsSurface, TheHighlightCoversAWrappedPilotLineExactly) {
    std::unique_ptr<LyricsSurface> s(surface(360, 400));
    s->drawPage(Qt::cyan, kLong, Qt::white, {});
    const QImage page = s->grab().toImage();
    ASSERT_GT(pixelsNear(page, Qt::cyan), 500);
    // Half the line lit: the lit part is yellow, the rest still cyan, nothing in between.
    s->highlightPilot(Qt::yellow, kLong.left(kLong.size() / 2));
    const QImage half = s->grab().toImage();
    EXPECT_GT(pixelsNear(half, Qt::yellow), 200);
    EXPECT_GT(pixelsNear(half, Qt::cyan), 200);
    // All of it lit: no cyan shows through anywhere, on any row.
    s->highlightAppend(Qt::yellow, kLong.mid(kLong.size() / 2));
    const QImage all = s->grab().toImage();
    EXPECT_EQ(pixelsNear(all, Qt::cyan), 0);
}

TEST(LyricsSurface, OnlyWholeRowsAreShown) {
    std::unique_ptr<LyricsSurface> s(surface(2000, 10));
    const int row = s->rowHeight();
    s->resize(2000, row * 4 + row / 2 + 8);
    const int rows = s->wholeRows();
    ASSERT_GE(rows, 3);
    QStringList following;
    for (int i = 0; i < 10; ++i) following << QStringLiteral(" line %1").arg(i);
    s->drawPage(Qt::cyan, QStringLiteral(" pilot"), Qt::white, following);
    const QImage image = s->grab().toImage();
    // Below the last whole row nothing is drawn: no half-cut row.
    const QImage below = image.copy(0, rows * row + 8 + 2, image.width(), image.height() - rows * row - 10);
    EXPECT_EQ(pixelsNear(below, Qt::white), 0);
    EXPECT_GT(s->pageRows(), rows);
}
