#include "controlpanel.h"

#include <QGridLayout>
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

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(label2, 0, 0);
    grid->addWidget(midi, 0, 1);
    grid->addWidget(spin, 0, 2);
    grid->addWidget(currentTime, 0, 3);
    grid->addWidget(totalTime, 0, 4);
    grid->addWidget(tempo, 0, 5);
    grid->addWidget(progress, 0, 6, 1, 2);
    grid->addWidget(label1, 1, 0);
    grid->addWidget(wave, 1, 1);
    grid->addWidget(waveStatus, 1, 2);
    grid->addWidget(title, 1, 3, 1, 4);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (int i : {0, 1, 2, 3, 4, 5, 7}) row->addWidget(buttons[i]);
    grid->addLayout(row, 2, 0, 1, 8);
    grid->setColumnStretch(6, 1);
    grid->setColumnStretch(7, 1);
}

}  // namespace cantavo
