#include "lyricssurface.h"

#include <QFontMetrics>
#include <QPainter>

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
}

void LyricsSurface::setBackColor(const QColor& c) {
    back_ = c;
    update();
}

bool LyricsSurface::setBackBitmap(const QString& path) {
    if (path.isEmpty()) {
        bitmap_ = QPixmap();
        bitmapPath_.clear();
        update();
        return true;
    }
    QPixmap p;
    if (!p.load(path)) return false;
    bitmap_ = p;
    bitmapPath_ = path;
    update();
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
}

void LyricsSurface::highlightPilot(const QColor& color, const QString& text) {
    highlightColor_ = color;
    highlight_ = text;
    highlightRow_ = 1;
    update();
}

void LyricsSurface::highlightAppend(const QColor& color, const QString& text) {
    highlightColor_ = color;
    highlight_ += text;
    update();
}

void LyricsSurface::clearHighlight() {
    highlight_.clear();
    update();
}

int LyricsSurface::rowHeight() const { return QFontMetrics(font_).lineSpacing(); }

int LyricsSurface::baseline(int row) const { return row * rowHeight() + QFontMetrics(font_).ascent() + kMargin / 2; }

int LyricsSurface::highlightWidth() const { return QFontMetrics(font_).horizontalAdvance(highlight_); }

int LyricsSurface::pilotPrefixWidth(int chars) const { return QFontMetrics(font_).horizontalAdvance(pilot_.left(chars)); }

void LyricsSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), back_);
    if (!bitmap_.isNull()) p.drawPixmap(0, 0, bitmap_);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font_);
    // Lines wider than the surface are clipped at its right edge.
    p.setClipRect(rect());
    p.setPen(pilotColor_);
    p.drawText(kMargin, baseline(1), pilot_);
    p.setPen(textColor_);
    for (int i = 0; i < following_.size(); ++i) {
        const int y = baseline(2 + i);
        if (y - rowHeight() > height()) break;
        p.drawText(kMargin, y, following_[i]);
    }
    if (!highlight_.isEmpty()) {
        p.setPen(highlightColor_);
        p.drawText(kMargin, baseline(highlightRow_), highlight_);
    }
}

}  // namespace cantavo
