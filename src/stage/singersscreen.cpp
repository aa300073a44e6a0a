#include "singersscreen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>

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
    if (m.titleCard != titleCard_ || m.countdown != countdown_ || !m.titleCard) {
        titleCard_ = m.titleCard;
        countdown_ = m.countdown;
        update();
    }
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

void SingersScreen::paintEvent(QPaintEvent*) {
    if (hostGone_) return;
    fitFont();
    QPainter p(this);
    p.fillRect(rect(), host_.backColor());
    if (!host_.backBitmap().isNull()) {
        const QPixmap& b = host_.backBitmap();
        p.drawPixmap(rect(), b.scaled(size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    }
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::Antialiasing);
    const QStringList title = session_.song.songTitle.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);

    if (titleCard_) {
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
        return;
    }

    p.setFont(font_);
    const QFontMetrics fm(font_);
    const int rowH = fm.lineSpacing();
    QStringList rows{host_.pilotText()};
    for (const QString& line : host_.followingLines()) {
        if (rows.size() >= kRows) break;
        rows << line;
    }
    const int top = std::max(kMargin, (height() - rowH * (kRows + 1)) / 2) + rowH;
    // The countdown: dots over the pilot line that go out one by one.
    if (countdown_ > 0) {
        const int d = std::max(8, rowH / 4);
        p.setPen(Qt::NoPen);
        p.setBrush(host_.highlightColor());
        for (int i = 0; i < countdown_; ++i) p.drawEllipse(QRect(kMargin + i * d * 2, top - rowH + (rowH - d) / 2 - d, d, d));
    }
    for (int i = 0; i < rows.size(); ++i) {
        const QString& line = rows[i];
        QFont f = font_;
        // A line longer than the song's longest fitted one (a very long word) is made to fit.
        const int room = width() - 2 * kMargin;
        while (f.pointSize() > 8 && QFontMetrics(f).horizontalAdvance(line) > room) f.setPointSize(f.pointSize() - 1);
        p.setFont(f);
        const int y = top + i * rowH + QFontMetrics(f).ascent();
        p.setPen(i == 0 ? host_.pilotColor() : host_.textColor());
        p.drawText(kMargin, y, line);
        if (i == 0 && host_.highlightRow() == 1 && !host_.highlightText().isEmpty()) {
            // The lit part: the same letters in the highlight colour, up to where the host's
            // highlight reaches.
            const QFontMetrics m(f);
            const QString& h = host_.highlightText();
            const int before = m.horizontalAdvance(h.left(host_.runStart()));
            const double lit = before + host_.wipe() * (m.horizontalAdvance(h) - before);
            p.save();
            p.setClipRect(QRectF(kMargin, y - m.ascent() - 2, lit, rowH + 4));
            p.setPen(host_.highlightColor());
            p.drawText(kMargin, y, line);
            p.restore();
        }
    }
}

}  // namespace cantavo
