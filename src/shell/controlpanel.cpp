#include "controlpanel.h"

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

namespace cantavo {

ProgressIndicator::ProgressIndicator(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panel3D8"));
    setToolTip(QStringLiteral("MIDI playing Progress Indicator"));
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(18);
}

void ProgressIndicator::setFill(double percent) {
    fill_ = std::clamp(percent, 0.0, 100.0);
    update();
}

void ProgressIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(r, 4, 4);
    QRectF done = r;
    done.setWidth(r.width() * fill_ / 100.0);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Highlight));
    p.drawRoundedRect(done, 4, 4);
}

void ProgressIndicator::mousePressEvent(QMouseEvent* e) {
    emit clickedAt(width() > 0 ? e->position().x() / width() : 0);
}

namespace {

QLabel* panel(QWidget* parent, const char* name, const QString& tip, const QString& text, int minWidth) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setToolTip(tip);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(minWidth);
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setPointSize(11);
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

ControlPanel::ControlPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panel3D3"));
    midi = new MediaControl(MediaControl::DeviceType::Sequencer, this);
    midi->setObjectName(QStringLiteral("MMControl1"));
    midi->setToolTip(QStringLiteral("MIDI Controls"));
    wave = new MediaControl(MediaControl::DeviceType::WaveAudio, this);
    wave->setObjectName(QStringLiteral("MMControl2"));
    wave->setToolTip(QStringLiteral("Wave Controls"));
    sounds = new MediaControl(MediaControl::DeviceType::WaveAudio, this);
    sounds->setObjectName(QStringLiteral("MMControl3"));
    sounds->hide();

    const QString none = QStringLiteral("- - -");
    totalTime = panel(this, "Panel3D4", QStringLiteral("Total Song Time"), none, 70);
    currentTime = panel(this, "Panel3D5", QStringLiteral("Current MIDI time"), none, 70);
    tempo = panel(this, "Panel3D7", QStringLiteral("Tempo"), none, 90);
    title = panel(this, "Panel3D6", QStringLiteral("Title Window"), QString(), 200);
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title->setWordWrap(false);
    waveStatus = panel(this, "Panel3D10", QStringLiteral("Wave Recording Status"), QStringLiteral("READY"), 90);
    progress = new ProgressIndicator(this);

    spin = new QWidget(this);
    spin->setObjectName(QStringLiteral("Spin1"));
    spin->setToolTip(QStringLiteral("Tempo down / up"));
    auto* spinLayout = new QHBoxLayout(spin);
    spinLayout->setContentsMargins(0, 0, 0, 0);
    spinLayout->setSpacing(0);
    tempoDown = new QToolButton(spin);
    tempoDown->setObjectName(QStringLiteral("TempoDown"));
    tempoDown->setArrowType(Qt::LeftArrow);
    tempoDown->setToolTip(QStringLiteral("Tempo down"));
    tempoUp = new QToolButton(spin);
    tempoUp->setObjectName(QStringLiteral("TempoUp"));
    tempoUp->setArrowType(Qt::RightArrow);
    tempoUp->setToolTip(QStringLiteral("Tempo up"));
    spinLayout->addWidget(tempoDown);
    spinLayout->addWidget(tempoUp);

    static const char* const captions[9] = {"&Information", "App&lause", "&Boo Boo!", "&Autoplay", "User &1", "User &2", nullptr, "E&xit", nullptr};
    for (int i = 0; i < 8; ++i) {
        if (!captions[i]) continue;
        buttons[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        buttons[i]->setObjectName(QStringLiteral("Command%1").arg(i + 1));
    }

    auto* label1 = new QLabel(QStringLiteral("WAVE"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(QStringLiteral("MIDI"), this);
    label2->setObjectName(QStringLiteral("Label2"));

    // The progress bar has a row of its own: at any width it stays long enough to aim at.
    // Each row is laid out on its own, so that no column of one row widens another.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(4);
    rows->addWidget(progress);
    auto* midiRow = new QHBoxLayout;
    midiRow->setSpacing(6);
    for (QWidget* w : std::initializer_list<QWidget*>{label2, midi, spin, currentTime, totalTime, tempo}) midiRow->addWidget(w);
    midiRow->addStretch(1);
    rows->addLayout(midiRow);
    auto* waveRow = new QHBoxLayout;
    waveRow->setSpacing(6);
    for (QWidget* w : std::initializer_list<QWidget*>{label1, wave, waveStatus}) waveRow->addWidget(w);
    waveRow->addWidget(title, 1);
    rows->addLayout(waveRow);
    label1->setMinimumWidth(std::max(label1->sizeHint().width(), label2->sizeHint().width()));
    label2->setMinimumWidth(label1->minimumWidth());
    // The title may be longer than the window is wide: it is cut, never the window widened.
    title->setMinimumWidth(60);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (int i : {0, 1, 2, 3, 4, 5, 7}) {
        // Equal shares of the row, so that all seven fit a small window.
        buttons[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        buttons[i]->setMinimumWidth(buttons[i]->fontMetrics().horizontalAdvance(buttons[i]->text().remove(QLatin1Char('&'))) + 8);
        row->addWidget(buttons[i], 1);
    }
    rows->addLayout(row);
}

}  // namespace cantavo
