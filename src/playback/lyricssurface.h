#pragma once

#include <QColor>
#include <QList>
#include <QFont>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

namespace cantavo {

// The lyrics surface: text printed row by row from the top-left corner, in two layers.
// The page (persistent) holds the pilot line and the lines after it; the highlight
// (transient) is one run of text over the page. A run printed on the pilot line is drawn
// as one string from the line's start, so that it covers the pilot line glyph for glyph,
// whatever the font's kerning.
class LyricsSurface : public QWidget {
    Q_OBJECT
public:
    explicit LyricsSurface(QWidget* parent = nullptr);

    void setLyricsFont(const QFont& font);
    const QFont& lyricsFont() const { return font_; }
    void setBackColor(const QColor& c);
    // False when the file is not a picture; the previous picture stays.
    bool setBackBitmap(const QString& path);
    const QString& backBitmapPath() const { return bitmapPath_; }

    // Clears both layers and prints an empty row, `pilot` in `pilotColor`, then each of
    // `following` in `textColor`.
    void drawPage(const QColor& pilotColor, const QString& pilot, const QColor& textColor, const QStringList& following);
    // The highlight layer: cleared, then `text` at the start of the pilot row; the syllable
    // being sung starts at `runStart` in it.
    void highlightPilot(const QColor& color, const QString& text, int runStart = 0);
    // More text after the highlight so far (at the current text position).
    void highlightAppend(const QColor& color, const QString& text);
    void clearHighlight();
    // How much of the syllable being sung (the last run of the highlight) is lit, 0..1: the
    // wipe through it as it is sung. 1 (the whole syllable, as soon as it starts) when no wipe
    // is running.
    void setWipe(double fraction);
    // While the song plays the wipe runs: each new syllable starts unlit. Stopped, every
    // syllable shows whole as soon as it starts.
    void setWiping(bool on);
    bool wiping() const { return wiping_; }
    double wipe() const { return wipe_; }
    int runStart() const { return runStart_; }

    // What is shown, for tests and for the window's own checks.
    const QString& pilotText() const { return pilot_; }
    const QStringList& followingLines() const { return following_; }
    const QString& highlightText() const { return highlight_; }
    int highlightRow() const { return highlightRow_; }
    QColor pilotColor() const { return pilotColor_; }
    QColor textColor() const { return textColor_; }
    QColor highlightColor() const { return highlightColor_; }
    QColor backColor() const { return back_; }
    const QPixmap& backBitmap() const { return bitmap_; }
    int rowHeight() const;
    // The horizontal extent of the highlight and of the pilot line's first `chars` characters.
    int highlightWidth() const;
    int pilotPrefixWidth(int chars) const;

    // A line wider than the surface wraps at a blank onto the next row; these are the
    // pieces (start and length in the line) of `text` at the surface's current width.
    struct Piece {
        int start;
        int length;
    };
    QList<Piece> wrap(const QString& text) const;
    // The rows the page needs, and how many whole rows the surface shows.
    int pageRows() const;
    int wholeRows() const;

signals:
    // The page, the highlight, the font or the background changed (the singers' screen
    // shows the same).
    void changed();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int baseline(int row) const;
    // Draws `text` wrapped from `row` on; returns the row after it. Rows that would be cut
    // at the bottom are not drawn.
    int drawWrapped(QPainter& p, const QString& text, int row, const QList<Piece>& pieces) const;
    int continuationIndent(const QString& text) const;

    QFont font_;
    QColor back_{Qt::black};
    QPixmap bitmap_;
    QString bitmapPath_;
    QString pilot_;
    QColor pilotColor_;
    QStringList following_;
    QColor textColor_;
    QString highlight_;
    QColor highlightColor_;
    int highlightRow_ = 1;
    int runStart_ = 0;
    double wipe_ = 1;
    bool wiping_ = false;
    static constexpr int kMargin = 16;
};

}  // namespace cantavo
