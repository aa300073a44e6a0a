#include "singersscreen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "lyricssurface.h"
#include "songsession.h"
#include "stagemoment.h"

namespace cantavo {

namespace {

constexpr int kMargin = 40;
// The page the room reads: the pilot line and a few after it, no more.
constexpr int kRows = 4;

}  // namespace

SingersScreen::SingersScreen(const SongSession& session, const LyricsSurface& host, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), host_(host) {
    setObjectName(QStringLiteral("SingersScreen"));
    setWindowTitle(QStringLiteral("Singers' Screen"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    resize(960, 540);
    connect(&host_, &LyricsSurface::changed, this, &SingersScreen::refresh);
    // The lyrics window goes first when the program ends: the room's screen goes with it.
    connect(&host_, &QObject::destroyed, this, [this] {
        hostGone_ = true;
        tick_.stop();
        hide();
    });
    // The title card and the countdown follow the song's time between the host's changes.
    tick_.setInterval(100);
    connect(&tick_, &QTimer::timeout, this, &SingersScreen::refresh);
    tick_.start();
    const auto replace = [this] {
        if (isVisible()) present();
    };
    connect(qApp, &QGuiApplication::screenAdded, this, replace);
    connect(qApp, &QGuiApplication::screenRemoved, this, [this, replace] { QTimer::singleShot(0, this, replace); });
}

void SingersScreen::setPreferredScreen(int oneBased) { preferred_ = std::max(0, oneBased); }

void SingersScreen::setNextUp(const QString& text) {
    next_ = text;
    update();
}

void SingersScreen::setInvitation(const QString& url, const QImage& qr) {
    if (url == inviteUrl_) return;
    inviteUrl_ = url;
    inviteQr_ = url.isEmpty() ? QImage() : qr;
    update();
}

QScreen* SingersScreen::targetScreen() const {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (preferred_ >= 1 && preferred_ <= screens.size()) return screens[preferred_ - 1];
    QScreen* host = hostScreen ? hostScreen() : nullptr;
    if (screens.size() >= 2)
        for (QScreen* s : screens)
            if (s != host) return s;
    return nullptr;
}

void SingersScreen::present() {
    QScreen* target = targetScreen();
    if (target && !(preferred_ == 0 && QGuiApplication::screens().size() < 2)) {
        // A display of its own: all of it.
        if (windowHandle()) windowHandle()->setScreen(target);
        setGeometry(target->geometry());
        showFullScreen();
    } else {
        // One screen: a window the host places (beside the lyrics, or on a projector later).
        showNormal();
        if (QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            if (!area.contains(frameGeometry())) setGeometry(QRect(area.topLeft() + QPoint(40, 40), QSize(area.width() / 2, area.height() / 2)));
        }
    }
    raise();
    refresh();
}

int SingersScreen::lyricsPointSize() const { return font_.pointSize(); }

void SingersScreen::fitFont() {
    const QString song = session_.songPath + QString::number(session_.song.lyricCount);
    if (song == fittedFor_ && size() == fittedAt_) return;
    fittedFor_ = song;
    fittedAt_ = size();
    font_ = host_.lyricsFont();
    font_.setUnderline(false);
    // As large as the rows allow, then down until the song's longest line fits the width.
    const int rowPx = std::max(12, (height() - 2 * kMargin) / (kRows + 2));
    int size = std::max(8, rowPx * 72 / std::max(1, logicalDpiY()) * 3 / 4);
    font_.setPointSize(size);
    QString longest;
    for (const QString& line : session_.lines.lines)
        if (line.size() > longest.size()) longest = line;
    const int room = width() - 2 * kMargin;
    while (size > 12 && QFontMetrics(font_).horizontalAdvance(longest.trimmed()) > room) font_.setPointSize(--size);
}

void SingersScreen::refresh() {
    if (hostGone_) return;
    const StageMoment m = StageMomentAt(session_.song, session_.lyricMs, session_.positionMs, session_.lyricIndex, session_.songLoaded());
    titleCard_ = m.titleCard;
    countdown_ = m.countdown;
    if (!isVisible()) return;
    if (buildLayers()) {
        update();
        return;
    }
    // Only the wipe moved: repaint the strip of the pilot line between where it was and is.
    const double lit = litWidth();
    if (lit == shownLit_) return;
    const int from = static_cast<int>(std::floor(std::min(lit, shownLit_)));
    const int to = static_cast<int>(std::ceil(std::max(lit, shownLit_)));
    update(QRect(pilotRow_.left() + from - 1, pilotRow_.top(), to - from + 2, pilotRow_.height()));
}

QString SingersScreen::lookKey() const {
    // Everything the page's two layers are drawn from; the wipe's reach is not among it.
    const auto rgb = [](const QColor& c) { return QString::number(c.isValid() ? c.rgba() : 0); };
    const QStringList parts{QString::number(width()), QString::number(height()), QString::number(titleCard_ ? 1 : 0), QString::number(countdown_),
                            host_.lyricsFont().toString(), host_.pilotText(), host_.followingLines().join(QLatin1Char('\n')),
                            QString::number(host_.backBitmap().cacheKey()), next_, rgb(host_.backColor()), rgb(host_.pilotColor()),
                            rgb(host_.textColor()), rgb(host_.highlightColor()), session_.song.songTitle, session_.songPath, inviteUrl_};
    return parts.join(QChar(0x1f));
}

bool SingersScreen::buildLayers() {
    fitFont();
    const QString key = lookKey();
    if (key == layersKey_ && !unlit_.isNull()) return false;
    layersKey_ = key;
    const qreal dpr = devicePixelRatioF();
    const QSize px = (QSizeF(size()) * dpr).toSize().expandedTo(QSize(1, 1));
    // The layers are drawn over in place: a new screen-sized image costs more in fresh memory
    // than its drawing does.
    for (QImage* layer : {&unlit_, &lit_})
        if (layer->size() != px) {
            *layer = QImage(px, QImage::Format_RGB32);
            layer->setDevicePixelRatio(dpr);
        }
    {
        QPainter p(&unlit_);
        drawBackground(p);
        drawPage(p, false);
    }
    hasLit_ = !titleCard_ && !pilotRow_.isEmpty();
    if (hasLit_) {
        QPainter p(&lit_);
        drawBackground(p);
        drawPage(p, true);
    }
    return true;
}

void SingersScreen::drawBackground(QPainter& p) {
    // Scaling a picture to a whole screen smoothly takes longer than a frame: once per picture,
    // colour and size.
    const QPixmap& picture = host_.backBitmap();
    const QSize px = p.device()->width() > 0 ? QSize(p.device()->width(), p.device()->height()) : size();
    const QString key = QStringLiteral("%1 %2 %3x%4").arg(picture.cacheKey()).arg(host_.backColor().rgba()).arg(px.width()).arg(px.height());
    if (key != backgroundKey_) {
        backgroundKey_ = key;
        background_ = QImage(px, QImage::Format_RGB32);
        background_.fill(host_.backColor());
        if (!picture.isNull()) {
            // The picture covers the screen, its middle kept where the shapes differ.
            const QImage scaled = picture.toImage().scaled(px, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
            QPainter q(&background_);
            q.drawImage(QPoint(0, 0), scaled, QRect(QPoint((scaled.width() - px.width()) / 2, (scaled.height() - px.height()) / 2), px));
        }
    }
    p.save();
    p.resetTransform();
    p.drawImage(QPoint(0, 0), background_);
    p.restore();
}

void SingersScreen::drawRow(QPainter& p, const QString& text, const QFont& font, const QColor& color, int baseline) {
    // Letters this large are drawn as outlines, one by one, every time: each row's letters
    // are kept as a mask and only coloured in, so that a new line costs one row's drawing.
    const QFontMetrics m(font);
    const int wide = std::clamp(m.horizontalAdvance(text) + m.maxWidth(), 1, std::max(1, width() - kMargin));
    const QRect box(kMargin, baseline - m.ascent() - 2, wide, m.height() + 4);
    const qreal dpr = p.device()->devicePixelRatioF();
    const QString key = font.toString() + QChar(0x1f) + QString::number(box.width()) + QChar(0x1f) + QString::number(dpr) + QChar(0x1f) + text;
    auto found = rowMasks_.constFind(key);
    if (found == rowMasks_.constEnd()) {
        if (rowMasks_.size() >= 12) rowMasks_.clear();
        QImage mask((QSizeF(box.size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        mask.setDevicePixelRatio(dpr);
        mask.fill(Qt::transparent);
        QPainter q(&mask);
        q.setRenderHint(QPainter::TextAntialiasing);
        q.setRenderHint(QPainter::Antialiasing);
        q.setFont(font);
        q.setPen(Qt::white);
        q.drawText(0, m.ascent() + 2, text);
        q.end();
        found = rowMasks_.insert(key, mask);
    }
    if (tinted_.size() != found->size()) tinted_ = QImage(found->size(), QImage::Format_ARGB32_Premultiplied);
    tinted_.setDevicePixelRatio(dpr);
    tinted_.fill(color.isValid() ? color : QColor(Qt::black));
    QPainter q(&tinted_);
    q.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    q.drawImage(0, 0, *found);
    q.end();
    p.drawImage(box.topLeft(), tinted_);
}

double SingersScreen::litWidth() const {
    if (titleCard_ || !hasLit_ || host_.highlightRow() != 1 || host_.highlightText().isEmpty()) return 0;
    // Up to where the host's highlight reaches: whole syllables, and the wipe into the last.
    const QFontMetrics m(pilotFont_);
    const QString& h = host_.highlightText();
    const int before = m.horizontalAdvance(h.left(host_.runStart()));
    return before + host_.wipe() * (m.horizontalAdvance(h) - before);
}

void SingersScreen::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    emit shownChanged(true);
}

void SingersScreen::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    emit shownChanged(false);
}

void SingersScreen::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    update();
}

void SingersScreen::keyPressEvent(QKeyEvent* e) {
    // The host at the projector: Escape leaves full screen, F11 goes back.
    if (e->key() == Qt::Key_Escape && isFullScreen()) showNormal();
    else if (e->key() == Qt::Key_F11) isFullScreen() ? showNormal() : showFullScreen();
    else QWidget::keyPressEvent(e);
}

void SingersScreen::paintEvent(QPaintEvent* e) {
    if (hostGone_) return;
    buildLayers();
    QPainter p(this);
    const qreal dpr = unlit_.devicePixelRatio();
    const auto source = [dpr](const QRect& r) { return QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr); };
    p.drawImage(QRectF(e->rect()), unlit_, source(e->rect()));
    shownLit_ = litWidth();
    if (shownLit_ > 0) {
        const QRectF lit = QRectF(pilotRow_.left(), pilotRow_.top(), shownLit_, pilotRow_.height()) & QRectF(e->rect());
        if (!lit.isEmpty()) {
            p.setClipRect(lit);
            const QRect whole = lit.toAlignedRect();
            p.drawImage(QRectF(whole), lit_, source(whole));
        }
    }
}

void SingersScreen::drawPage(QPainter& p, bool lit) {
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::Antialiasing);
    const QStringList title = session_.song.songTitle.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);

    if (titleCard_) {
        pilotRow_ = QRect();
        rows_.clear();
        QFont big = font_;
        big.setPointSize(std::max(12, font_.pointSize() * 5 / 4));
        QFont small = font_;
        small.setPointSize(std::max(10, font_.pointSize() * 2 / 3));
        const QString name = session_.songLoaded() ? title.value(0).trimmed() : QString();
        p.setPen(host_.pilotColor().isValid() ? host_.highlightColor() : Qt::white);
        p.setFont(big);
        QRect r = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
        p.drawText(QRect(r.left(), r.top(), r.width(), r.height() / 2), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap,
                   name.isEmpty() ? QStringLiteral("Karaoke") : name);
        p.setFont(small);
        p.setPen(host_.textColor());
        QString below = session_.songLoaded() ? title.value(1).trimmed() : QString();
        if (!next_.isEmpty()) below += (below.isEmpty() ? QString() : QStringLiteral("\n\n")) + QStringLiteral("Next: ") + next_;
        p.drawText(QRect(r.left(), r.top() + r.height() / 2 + 20, r.width(), r.height() / 2 - 20), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, below);
        if (!inviteQr_.isNull()) {
            // In the corner, large enough for a phone across the room to read.
            const int side = std::min({height() / 4, width() / 5, 320});
            const QRect code(r.right() - side, r.bottom() - side, side, side);
            p.drawImage(code, inviteQr_);
            QFont note = small;
            note.setPointSize(std::max(8, small.pointSize() / 2));
            p.setFont(note);
            p.setPen(host_.textColor());
            p.drawText(QRect(r.left(), code.top(), code.left() - r.left() - kMargin / 2, side), Qt::AlignRight | Qt::AlignBottom | Qt::TextWordWrap,
                       QStringLiteral("Request a song from your phone:\n") + inviteUrl_);
        }
        return;
    }

    const QFontMetrics fm(font_);
    const int rowH = fm.lineSpacing();
    QStringList rows{host_.pilotText()};
    for (const QString& line : host_.followingLines()) {
        if (rows.size() >= kRows) break;
        rows << line;
    }
    const int top = std::max(kMargin, (height() - rowH * (kRows + 1)) / 2) + rowH;
    if (!lit) rows_ = rows;
    // The countdown: dots that go out one by one beside the line to be sung: over the pilot line
    // before the song's first words, else after the line that follows the one just sung (over
    // it would stand on the letters of the line just sung).
    if (countdown_ > 0 && !lit) {
        const int d = std::max(8, rowH / 4);
        QPoint at(kMargin, top - rowH + (rowH - d) / 2 - d);
        if (!host_.highlightText().isEmpty() && rows.size() >= 2) {
            const int end = kMargin + fm.horizontalAdvance(rows[1]) + d;
            if (end + 6 * d <= width()) at = QPoint(end, top + rowH + fm.ascent() - fm.xHeight() / 2 - d / 2);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(host_.highlightColor());
        for (int i = 0; i < countdown_; ++i) p.drawEllipse(QRect(at.x() + i * d * 2, at.y(), d, d));
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (lit && i > 0) break;
        const QString& line = rows[i];
        QFont f = font_;
        // A line longer than the song's longest fitted one (a very long word) is made to fit.
        const int room = width() - 2 * kMargin;
        while (f.pointSize() > 8 && QFontMetrics(f).horizontalAdvance(line) > room) f.setPointSize(f.pointSize() - 1);
        const int y = top + i * rowH + QFontMetrics(f).ascent();
        if (i == 0) {
            pilotFont_ = f;
            pilotRow_ = QRect(kMargin, y - QFontMetrics(f).ascent() - 2, width() - kMargin, rowH + 4);
        }
        // The lit layer holds the pilot line in the highlight colour; the paint shows as much
        // of it as the host's highlight has reached.
        drawRow(p, line, f, lit ? host_.highlightColor() : i == 0 ? host_.pilotColor() : host_.textColor(), y);
    }
}

}  // namespace cantavo
