#include "scoreguide.h"

#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "livescorer.h"

namespace cantavo {

namespace {

const QColor kBack(0x0B, 0x0E, 0x22);
const QColor kGrid(0x22, 0x28, 0x48);
const QColor kNoteAhead(0x5A, 0x64, 0x9A);
const QColor kNoteNow(0xFF, 0xD2, 0x4A);
const QColor kSungWell(0x4C, 0xE0, 0x7A);
const QColor kSungOff(0xFF, 0x6A, 0x5A);
const QColor kMark(0xE8, 0xE8, 0xF0);

QString noteName(int midi) {
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return QString::fromLatin1(names[((midi % 12) + 12) % 12]) + QString::number(midi / 12 - 1);
}

QColor mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t), static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

}  // namespace

ScoreGuide::ScoreGuide(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ScoreGuide"));
    // 130 pixels when there is room; a small window keeps the lyrics and squeezes the guide.
    setMinimumHeight(48);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

QSize ScoreGuide::sizeHint() const { return {400, 130}; }

void ScoreGuide::setScorer(const LiveScorer* scorer) {
    scorer_ = scorer;
    update();
}

void ScoreGuide::setMessage(const QString& text) {
    message_ = text;
    update();
}

void ScoreGuide::setScoreText(const QString& text) {
    if (text == scoreText_) return;
    scoreText_ = text;
    update();
}

void ScoreGuide::setResult(const QString& headline, const QString& detail) {
    resultHeadline_ = headline;
    resultDetail_ = detail;
    update();
}

void ScoreGuide::clearResult() {
    setResult({}, {});
}

int ScoreGuide::refreshIntervalMs() const {
    const QScreen* s = screen();
    const double hz = s && s->refreshRate() >= 20 ? s->refreshRate() : 60.0;
    return std::max(4, static_cast<int>(1000.0 / hz));
}

void ScoreGuide::setRunning(bool on) {
    if (on) {
        frameTimer_.start(refreshIntervalMs());
    } else {
        frameTimer_.stop();
        update();
    }
}

void ScoreGuide::showEvent(QShowEvent* e) {
    if (frameTimer_.isActive()) frameTimer_.setInterval(refreshIntervalMs());
    QWidget::showEvent(e);
}

void ScoreGuide::paintEvent(QPaintEvent*) {
    QElapsedTimer clock;
    clock.start();
    if (frameTimes_.size() > 4096) frameTimes_.erase(frameTimes_.begin(), frameTimes_.begin() + 2048);
    QPainter p(this);
    p.fillRect(rect(), kBack);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width(), h = height();
    QFont small = font();
    small.setPixelSize(std::max(9, static_cast<int>(h / 9)));
    p.setFont(small);

    const Melody* melody = scorer_ ? &scorer_->keeper().melody() : nullptr;
    if (!melody || melody->empty()) {
        p.setPen(kMark);
        p.drawText(rect().adjusted(12, 0, -12, 0), Qt::AlignCenter | Qt::TextWordWrap,
                   message_.isEmpty() ? QStringLiteral("No melody to sing along to.") : message_);
        frameTimes_.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        return;
    }

    const double now = nowMs ? nowMs() : 0;
    const double markX = w * kPastMs / (kPastMs + kAheadMs);
    const double pxPerMs = w / (kPastMs + kAheadMs);
    // Room above and below for a voice a third or so off the tune.
    const double low = melody->lowest() - 5.5, high = melody->highest() + 5.5;
    const double top = 4, bottom = h - 4;
    const auto yOf = [&](double pitch) { return bottom - (pitch - low) / (high - low) * (bottom - top); };
    const auto xOf = [&](double ms) { return markX + (ms - now) * pxPerMs; };
    const double rowH = std::max(3.0, (bottom - top) / (high - low));

    // The scale: a line at every C, named.
    for (int n = static_cast<int>(std::ceil(low)); n <= static_cast<int>(high); ++n) {
        if (n % 12 != 0) continue;
        const double y = yOf(n);
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(0, y), QPointF(w, y));
        p.setPen(kNoteAhead);
        p.drawText(QPointF(4, y - 2), noteName(n));
    }

    // The notes in view.
    const ScoreKeeper& keeper = scorer_->keeper();
    const double tolerance = Tolerance(keeper.difficulty());
    const double from = now - kPastMs - 100, to = now + kAheadMs + 100;
    const auto first = std::lower_bound(melody->notes.begin(), melody->notes.end(), from, [](const MelodyNote& n, double v) { return n.endMs < v; });
    for (auto it = first; it != melody->notes.end() && it->startMs < to; ++it) {
        const double x0 = xOf(it->startMs), x1 = std::max(x0 + 2, xOf(it->endMs) - 1);
        const QRectF bar(x0, yOf(it->pitch) - rowH / 2, x1 - x0, rowH);
        QColor c = kNoteAhead;
        if (it->startMs <= now && now < it->endMs) c = kNoteNow;
        else if (it->endMs <= now) c = mix(kSungOff.darker(160), kSungWell, keeper.noteShare(static_cast<int>(it - melody->notes.begin())));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(bar, rowH / 3, rowH / 3);
    }

    // The voice, folded to the octave of the note nearest in time.
    const std::deque<SungPoint>& sung = scorer_->recent();
    QPainterPath path;
    bool drawing = false;
    double lastMs = 0, lastPitch = 0;
    int lastNote = -1;
    const auto flush = [&]() {
        if (path.isEmpty()) return;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF, 230), std::max(2.0, rowH / 3), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        path = QPainterPath();
    };
    for (const SungPoint& s : sung) {
        if (s.songMs < from || s.songMs > now + 50) continue;
        // A pause longer than a breath ends the line; a busy machine measures less often
        // than the detector's hop, and its voice is still one line.
        if (std::isnan(s.pitch) || (drawing && s.songMs - lastMs > kBreathMs)) {
            drawing = false;
            if (std::isnan(s.pitch)) continue;
        }
        int note = melody->noteAt(s.songMs);
        if (note < 0) note = lastNote >= 0 ? lastNote : melody->noteAt(s.songMs + 200);
        if (note < 0) continue;
        lastNote = note;
        const int target = melody->notes[static_cast<size_t>(note)].pitch;
        const double folded = std::clamp<double>(Folded(s.pitch, target), low, high);
        const QPointF pt(xOf(s.songMs), yOf(folded));
        // A leap of more than a few half tones between two measurements is a new start (a
        // breath, a slip of the detector), not a slide: no line is drawn across it.
        if (drawing && std::fabs(folded - lastPitch) > 3) drawing = false;
        lastPitch = folded;
        // A line starts as a short dash, so that a voice heard only now and then still shows.
        if (!drawing) {
            path.moveTo(pt - QPointF(rowH / 2, 0));
            path.lineTo(pt);
        } else {
            path.lineTo(pt);
        }
        drawing = true;
        lastMs = s.songMs;
        // A dot of the verdict's colour under the line where it was measured.
        p.setPen(Qt::NoPen);
        p.setBrush(std::fabs(folded - target) <= tolerance ? kSungWell : kSungOff);
        p.drawEllipse(pt, rowH / 2.5, rowH / 2.5);
    }
    flush();

    p.setPen(QPen(kMark, 2));
    p.drawLine(QPointF(markX, 0), QPointF(markX, h));

    // The microphone's level at the left edge, while it listens: a singer sees at once that
    // the input hears them (or does not).
    if (scorer_->listening()) {
        const double share = std::clamp((scorer_->levelDb() + 60.0) / 60.0, 0.0, 1.0);
        const QRectF meter(0, bottom - (bottom - top) * share, 4, (bottom - top) * share);
        p.setPen(Qt::NoPen);
        p.setBrush(share > 0.95 ? kSungOff : kSungWell);
        p.drawRect(meter);
    }

    if (!message_.isEmpty()) {
        p.setPen(kNoteNow);
        p.drawText(rect().adjusted(static_cast<int>(markX) + 8, 2, -8, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, message_);
    }
    if (!scoreText_.isEmpty()) {
        p.setPen(kMark);
        p.drawText(rect().adjusted(0, 2, -8, 0), Qt::AlignRight | Qt::AlignTop, scoreText_);
    }
    if (!resultHeadline_.isEmpty()) {
        p.fillRect(rect(), QColor(0, 0, 0, 170));
        QFont big = font();
        big.setBold(true);
        big.setPixelSize(std::max(14, static_cast<int>(h / 3.2)));
        p.setFont(big);
        p.setPen(kNoteNow);
        p.drawText(QRectF(0, 0, w, h * 0.6), Qt::AlignHCenter | Qt::AlignBottom, resultHeadline_);
        p.setFont(small);
        p.setPen(kMark);
        p.drawText(QRectF(0, h * 0.62, w, h * 0.38), Qt::AlignHCenter | Qt::AlignTop, resultDetail_);
    }
    frameTimes_.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
}

}  // namespace cantavo
