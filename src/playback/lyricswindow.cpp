#include "lyricswindow.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QVBoxLayout>

#include <cmath>

#include "fontcolordialog.h"
#include "songsession.h"

namespace cantavo {

LyricsWindow::LyricsWindow(SongSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lyrics Window"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    surface_ = new LyricsSurface(this);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName(QStringLiteral("Panel3D2"));
    gauge_->setToolTip(QStringLiteral("Gauge Indicator"));
    gauge_->setRange(0, 100);
    gauge_->setTextVisible(false);
    gauge_->setMaximumHeight(8);
    layout->addWidget(surface_, 1);
    layout->addWidget(gauge_);
    ApplyLyricsFont();
}

void LyricsWindow::addStrip(QWidget* strip) {
    static_cast<QVBoxLayout*>(layout())->insertWidget(layout()->indexOf(gauge_), strip);
}

QFont LyricsWindow::lyricsFont() const {
    QFont f(settings.fontName, settings.fontSize);
    f.setBold(settings.fontBold);
    f.setItalic(settings.fontItalic);
    f.setUnderline(settings.fontUnderline);
    return f;
}

void LyricsWindow::ApplyLyricsFont() {
    surface_->setLyricsFont(lyricsFont());
    surface_->setBackColor(settings.backColor);
    const QString& picture = shownPicture_.isEmpty() ? settings.backBitmap : shownPicture_;
    if (surface_->backBitmapPath() != picture) surface_->setBackBitmap(picture);
}

QStringList LyricsWindow::linesAfter(int line) const {
    return session_.lines.lines.mid(line + 1);
}

void LyricsWindow::drawPageFor(int line, const QColor& pilotColor) {
    const QStringList& all = session_.lines.lines;
    const QString pilot = line >= 1 && line < all.size() ? all[line] : QString();
    surface_->drawPage(pilotColor, pilot, settings.textColor, line >= 0 ? linesAfter(line) : QStringList());
}

void LyricsWindow::BuildLines(bool showPanel) {
    session_.lines = BuildLineTable(session_.song);
    lineStart_.assign(static_cast<size_t>(session_.lines.lines.size()), 1);
    int k = 0;
    for (int i = 1; i <= session_.song.lyricCount; ++i) {
        const QString& t = session_.song.lyricText[i];
        if (t.startsWith(QLatin1Char('\\')) || t.startsWith(QLatin1Char('/'))) lineStart_[static_cast<size_t>(++k)] = i;
    }
    lyricsText_ = session_.lines.lyricsText();
    drawPageFor(1, settings.pilotColor);
    if (showPanel) emit firstPageDrawn();
}

void LyricsWindow::RedrawPage(int fallbackLine) {
    if (session_.lineIndex == fallbackLine) {
        BuildLines(false);
        return;
    }
    const int line = session_.lineIndex;
    drawPageFor(line, settings.highlightColor);
    // Whatever the song has sung of this line stays highlighted, so that the syllables to
    // come print on from where it ends.
    QString sung;
    // The syllable being sung is the last of those: the wipe goes on through it.
    int runStart = 0;
    if (line >= 1 && line < static_cast<int>(lineStart_.size())) {
        for (int i = lineStart_[static_cast<size_t>(line)]; i < session_.lyricIndex && i <= session_.song.lyricCount; ++i) {
            const QString s = SyllableText(session_.song.lyricText[i]);
            runStart = static_cast<int>(sung.size());
            sung += i == lineStart_[static_cast<size_t>(line)] ? QLatin1Char(' ') + s.mid(1) : s;
        }
    }
    surface_->highlightPilot(settings.highlightColor, sung, runStart);
}

void LyricsWindow::HighlightStep(double tick) {
    const SongModel& song = session_.song;
    const int n = session_.lyricIndex;
    if (n < 1 || n > song.lyricCount) return;
    if (tick < song.lyricTick[n]) {
        const double d = song.lyricTick[n] - tick;
        const double g = n == 1 ? song.lyricTick[1] : song.lyricTick[n] - song.lyricTick[n - 1];
        if (g > 0) {
            const double v = 100.0 * d / g;
            if (v >= 0 && v <= 100) setGauge(v);
        }
        return;
    }
    const QString s = SyllableText(song.lyricText[n]);
    if (s.startsWith(QLatin1Char('\\')) || s.startsWith(QLatin1Char('/'))) {
        session_.lineIndex += 1;
        ApplyLyricsFont();
        drawPageFor(session_.lineIndex, settings.pilotColor);
        surface_->highlightPilot(settings.highlightColor, QLatin1Char(' ') + s.mid(1));
    } else {
        surface_->highlightAppend(settings.highlightColor, s);
    }
    session_.lyricIndex += 1;
    if (session_.lyricIndex == song.lyricCount) session_.lastSyllableMs = session_.positionMs;
}

void LyricsWindow::followWipe(double heardMs) {
    if (std::isnan(heardMs)) {
        surface_->setWiping(false);
        return;
    }
    surface_->setWiping(true);
    const int n = session_.lyricIndex - 1;
    const std::vector<double>& at = session_.lyricMs;
    if (n < 1 || static_cast<size_t>(n) >= at.size() || surface_->highlightText().isEmpty()) {
        surface_->setWipe(1);
        return;
    }
    const double start = at[static_cast<size_t>(n)];
    const double next = static_cast<size_t>(n + 1) < at.size() ? at[static_cast<size_t>(n + 1)] : start + kLongestWipeMs;
    const double end = std::min(next, start + kLongestWipeMs);
    surface_->setWipe(end > start ? (heardMs - start) / (end - start) : 1.0);
}

void LyricsWindow::ClearPicture() {
    surface_->drawPage(settings.pilotColor, QString(), settings.textColor, {});
}

void LyricsWindow::setGauge(double percent) { gauge_->setValue(static_cast<int>(std::lround(percent))); }

void LyricsWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const QString& picture = shownPicture_.isEmpty() ? settings.backBitmap : shownPicture_;
    if (surface_->backBitmapPath() != picture) surface_->setBackBitmap(picture);
    RedrawPage(0);
}

void LyricsWindow::applyFont(const QFont& font, const QColor& color) {
    settings.fontName = font.family();
    settings.fontSize = font.pointSize() > 0 ? font.pointSize() : settings.fontSize;
    settings.fontBold = font.bold();
    settings.fontItalic = font.italic();
    settings.fontUnderline = font.underline();
    settings.fontStrikethru = font.strikeOut();
    if (color.isValid()) settings.textColor = color;
    ApplyLyricsFont();
    RedrawPage(0);
}

bool LyricsWindow::ShowPicture(const QString& path) {
    if (!surface_->setBackBitmap(path)) return false;
    shownPicture_ = path;
    RedrawPage(1);
    return true;
}

bool LyricsWindow::applyBitmap(const QString& path) {
    if (!surface_->setBackBitmap(path)) return false;
    shownPicture_.clear();
    settings.backBitmap = path;
    RedrawPage(1);
    return true;
}

void LyricsWindow::applyBackColor(const QColor& c) {
    settings.backColor = c;
    surface_->setBackColor(c);
}

void LyricsWindow::FontsAndColors() {
    QFont f = lyricsFont();
    f.setStrikeOut(settings.fontStrikethru);
    FontColorDialog dialog(f, settings.textColor, this);
    if (dialog.exec() != QDialog::Accepted) return;
    applyFont(dialog.selectedFont(), dialog.selectedColor());
}

void LyricsWindow::ChooseBitmap() {
    QString filter = QStringLiteral("Graphic files (*.bmp *.png *.jpg *.jpeg)");
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("All files (*)") + QStringLiteral(";;") + filter, &filter);
    if (path.isEmpty()) return;
    applyBitmap(path);
}

void LyricsWindow::PilotLineColor() {
    const QColor c = QColorDialog::getColor(settings.pilotColor, this, QStringLiteral("Pilot Line Color"));
    if (c.isValid()) settings.pilotColor = c;
}

void LyricsWindow::HighlightColor() {
    const QColor c = QColorDialog::getColor(settings.highlightColor, this, QStringLiteral("Highlight Color"));
    if (c.isValid()) settings.highlightColor = c;
}

void LyricsWindow::SolidColor() {
    const QColor c = QColorDialog::getColor(settings.backColor, this, QStringLiteral("Solid Color"));
    if (c.isValid()) applyBackColor(c);
}

}  // namespace cantavo
