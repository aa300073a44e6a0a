#include "lyricssurface.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "atomicfile.h"

namespace cantavo {

LyricsSurface::LyricsSurface(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    font_.setStyleStrategy(QFont::PreferAntialias);
}

void LyricsSurface::setLyricsFont(const QFont& font) {
    font_ = font;
    font_.setStyleStrategy(QFont::PreferAntialias);
    font_.setStrikeOut(false);  // stored as a setting, never drawn
    update();
    emit changed();
}

void LyricsSurface::setBackColor(const QColor& c) {
    back_ = c;
    update();
    emit changed();
}

bool LyricsSurface::setBackBitmap(const QString& path) {
    if (path.isEmpty()) {
        bitmap_ = QPixmap();
        bitmapPath_.clear();
        update();
    emit changed();
        return true;
    }
    QPixmap p;
    if (!InputFileProblem(path, kMaxPictureBytes).isEmpty() || !p.load(path)) return false;
    bitmap_ = p;
    bitmapPath_ = path;
    update();
    emit changed();
    return true;
}

void LyricsSurface::drawPage(const QColor& pilotColor, const QString& pilot, const QColor& textColor, const QStringList& following) {
    pilotColor_ = pilotColor;
    pilot_ = pilot;
    textColor_ = textColor;
    following_ = following;
    clearHighlight();
    // After the page, the text position is the start of the row below it.
    highlightRow_ = 2 + static_cast<int>(following.size());
    emit changed();
}

void LyricsSurface::highlightPilot(const QColor& color, const QString& text, int runStart) {
    highlightColor_ = color;
    highlight_ = text;
    highlightRow_ = 1;
    runStart_ = std::clamp(runStart, 0, static_cast<int>(text.size()));
    if (wiping_) wipe_ = 0;
    update();
    emit changed();
}

void LyricsSurface::highlightAppend(const QColor& color, const QString& text) {
    highlightColor_ = color;
    runStart_ = static_cast<int>(highlight_.size());
    highlight_ += text;
    if (wiping_) wipe_ = 0;
    update();
    emit changed();
}

void LyricsSurface::setWipe(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction == wipe_) return;
    wipe_ = fraction;
    update();
    emit changed();
}

void LyricsSurface::setWiping(bool on) {
    wiping_ = on;
    if (!on) setWipe(1);
}

void LyricsSurface::clearHighlight() {
    highlight_.clear();
    runStart_ = 0;
    update();
    emit changed();
}

int LyricsSurface::rowHeight() const { return QFontMetrics(font_).lineSpacing(); }

int LyricsSurface::baseline(int row) const { return row * rowHeight() + QFontMetrics(font_).ascent() + kMargin / 2; }

int LyricsSurface::highlightWidth() const { return QFontMetrics(font_).horizontalAdvance(highlight_); }

int LyricsSurface::pilotPrefixWidth(int chars) const { return QFontMetrics(font_).horizontalAdvance(pilot_.left(chars)); }

QList<LyricsSurface::Piece> LyricsSurface::wrap(const QString& text) const {
    const QFontMetrics fm(font_);
    const int fullRoom = std::max(1, width() - 2 * kMargin);
    const int indent = continuationIndent(text);
    QList<Piece> pieces;
    int start = 0;
    const int n = static_cast<int>(text.size());
    while (start < n) {
        const int room = std::max(1, pieces.isEmpty() ? fullRoom : fullRoom - indent);
        if (fm.horizontalAdvance(text.mid(start)) <= room) {
            pieces.append({start, n - start});
            break;
        }
        // The last blank after which the row still fits; a word longer than a row is cut
        // where it fills it.
        int end = -1;
        for (int i = start + 1; i < n; ++i) {
            if (text[i] == QLatin1Char(' ') && fm.horizontalAdvance(text.mid(start, i - start)) <= room) end = i + 1;
            else if (fm.horizontalAdvance(text.mid(start, i - start)) > room) break;
        }
        if (end < 0) {
            end = start + 1;
            while (end < n && fm.horizontalAdvance(text.mid(start, end + 1 - start)) <= room) ++end;
        }
        pieces.append({start, end - start});
        start = end;
    }
    if (pieces.isEmpty()) pieces.append({0, 0});
    return pieces;
}

int LyricsSurface::pageRows() const {
    int rows = 1 + static_cast<int>(wrap(pilot_).size());
    for (const QString& line : following_) rows += static_cast<int>(wrap(line).size());
    return rows;
}

int LyricsSurface::wholeRows() const {
    const QFontMetrics fm(font_);
    int rows = 0;
    while (baseline(rows) + fm.descent() <= height()) ++rows;
    return rows;
}

int LyricsSurface::continuationIndent(const QString& text) const {
    // A line printed after its leading blank goes on under its first letter.
    return text.startsWith(QLatin1Char(' ')) ? QFontMetrics(font_).horizontalAdvance(QLatin1Char(' ')) : 0;
}

int LyricsSurface::drawWrapped(QPainter& p, const QString& text, int row, const QList<Piece>& pieces) const {
    const int last = wholeRows() - 1;
    const int indent = continuationIndent(text);
    for (const Piece& piece : pieces) {
        if (row > last) break;
        p.drawText(kMargin + (piece.start > 0 ? indent : 0), baseline(row), text.mid(piece.start, piece.length));
        ++row;
    }
    return row;
}

void LyricsSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), back_);
    if (!bitmap_.isNull()) p.drawPixmap(0, 0, bitmap_);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font_);
    p.setClipRect(rect());
    // The pilot line and the highlight over it are cut into the same pieces, each piece
    // drawn from the same point: the highlight stays on its syllables in any font.
    const QList<Piece> pilotPieces = wrap(pilot_);
    p.setPen(pilotColor_);
    int row = drawWrapped(p, pilot_, 1, pilotPieces);
    p.setPen(textColor_);
    for (const QString& line : following_) {
        if (row >= wholeRows()) break;
        row = drawWrapped(p, line, row, wrap(line));
    }
    if (highlight_.isEmpty()) return;
    p.setPen(highlightColor_);
    if (highlightRow_ == 1) {
        QList<Piece> pieces;
        for (const Piece& piece : pilotPieces)
            if (piece.start < highlight_.size()) pieces.append({piece.start, std::min(piece.length, static_cast<int>(highlight_.size()) - piece.start)});
        // What goes past the pilot line (it should not) goes on the last row.
        if (!pieces.isEmpty()) pieces.last().length = static_cast<int>(highlight_.size()) - pieces.last().start;
        if (wipe_ >= 1) {
            drawWrapped(p, highlight_, 1, pieces);
            return;
        }
        // The wipe: each row lit up to the syllable being sung, and that syllable's share.
        const QFontMetrics fm(font_);
        const int indent = continuationIndent(highlight_);
        const int last = wholeRows() - 1;
        int row = 1;
        for (const Piece& piece : pieces) {
            if (row > last) break;
            const QString text = highlight_.mid(piece.start, piece.length);
            const int x = kMargin + (piece.start > 0 ? indent : 0);
            const int whole = std::clamp(runStart_ - piece.start, 0, piece.length);
            const double litX = x + fm.horizontalAdvance(text.left(whole)) + wipe_ * (fm.horizontalAdvance(text) - fm.horizontalAdvance(text.left(whole)));
            p.save();
            p.setClipRect(QRectF(0, baseline(row) - fm.ascent() - 2, litX, fm.height() + 4));
            p.drawText(x, baseline(row), text);
            p.restore();
            ++row;
        }
    } else {
        drawWrapped(p, highlight_, row, wrap(highlight_));
    }
}

}  // namespace cantavo
