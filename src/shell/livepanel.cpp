#include "livepanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "formwidgets.h"
#include "gmnames.h"

namespace cantavo {

namespace {

constexpr int kDrums = 9;

QToolButton* toggle(const char* name, const QString& text, const QString& tip, QWidget* parent) {
    auto* b = NamedWidget<QToolButton>(name, parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setCheckable(true);
    b->setAutoRaise(false);
    return b;
}

}  // namespace

LivePanel::LivePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LivePanel"));
    auto* main = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    keyDown = NamedWidget<QToolButton>("LiveKeyDown", this);
    keyDown->setText(QStringLiteral("♭"));
    keyDown->setToolTip(QStringLiteral("A half tone lower (−)"));
    keyUp = NamedWidget<QToolButton>("LiveKeyUp", this);
    keyUp->setText(QStringLiteral("♯"));
    keyUp->setToolTip(QStringLiteral("A half tone higher (+)"));
    keyLabel = NamedWidget<QLabel>("LiveKey", this);
    keyLabel->setMinimumWidth(keyLabel->fontMetrics().horizontalAdvance(QStringLiteral("Key: +12")) + 8);
    tempo = NamedWidget<QSlider>("LiveTempo", Qt::Horizontal, this);
    tempo->setRange(LiveSettings::kMinTempo, LiveSettings::kMaxTempo);
    tempo->setPageStep(10);
    tempo->setMinimumWidth(160);
    tempo->setToolTip(QStringLiteral("The tempo, in percent of the song's own ([ slower, ] faster)"));
    tempoLabel = NamedWidget<QLabel>("LiveTempoValue", this);
    tempoLabel->setMinimumWidth(tempoLabel->fontMetrics().horizontalAdvance(QStringLiteral("Tempo 200 %")) + 8);
    reset = NamedWidget<QPushButton>("LiveReset", QStringLiteral("&Reset"), this);
    reset->setToolTip(QStringLiteral("The song as it is written (0)"));
    keep = NamedWidget<QPushButton>("KeepAsSong", QStringLiteral("&Keep as song..."), this);
    keep->setToolTip(QStringLiteral("Write the song with this key, tempo and mix to a file of its own"));
    for (QWidget* w : std::initializer_list<QWidget*>{keyDown, keyLabel, keyUp}) top->addWidget(w);
    top->addSpacing(12);
    top->addWidget(tempoLabel);
    top->addWidget(tempo, 1);
    top->addSpacing(12);
    top->addWidget(reset);
    top->addWidget(keep);
    main->addLayout(top);

    auto* grid = new QHBoxLayout;
    grid->setSpacing(2);
    for (int c = 0; c < 16; ++c) {
        Strip& s = strips[static_cast<size_t>(c)];
        s.box = new QWidget(this);
        auto* col = new QVBoxLayout(s.box);
        col->setContentsMargins(1, 1, 1, 1);
        col->setSpacing(1);
        s.light = NamedWidget<QLabel>("Activity", QStringLiteral("%1").arg(c + 1), s.box);
        s.light->setAlignment(Qt::AlignCenter);
        s.light->setAutoFillBackground(true);
        s.loudness = NamedWidget<QSlider>("Loudness", Qt::Vertical, s.box);
        s.loudness->setRange(0, LiveSettings::kMaxLoudness);
        s.loudness->setPageStep(10);
        s.loudness->setMinimumHeight(70);
        s.mute = toggle("Mute", QStringLiteral("M"), QStringLiteral("Mute channel %1").arg(c + 1), s.box);
        s.solo = toggle("Solo", QStringLiteral("S"), QStringLiteral("Only channel %1 (and other soloed channels)").arg(c + 1), s.box);
        s.name = NamedWidget<QLabel>("Instrument", s.box);
        s.name->setAlignment(Qt::AlignCenter);
        s.name->setWordWrap(true);
        s.name->setFixedWidth(84);
        for (QWidget* w : std::initializer_list<QWidget*>{s.light, s.loudness, s.mute, s.solo, s.name}) {
            w->setProperty("index", c);
            col->addWidget(w, 0, Qt::AlignHCenter);
        }
        grid->addWidget(s.box);
        connect(s.loudness, &QSlider::valueChanged, this, [this, c](int v) {
            LiveSettings l = live_;
            l.loudness[static_cast<size_t>(c)] = v;
            update(l);
        });
        connect(s.mute, &QToolButton::toggled, this, [this, c](bool on) {
            LiveSettings l = live_;
            l.mute[static_cast<size_t>(c)] = on;
            update(l);
        });
        connect(s.solo, &QToolButton::toggled, this, [this, c](bool on) {
            LiveSettings l = live_;
            l.solo[static_cast<size_t>(c)] = on;
            update(l);
        });
    }
    grid->addStretch();
    main->addLayout(grid);

    connect(keyDown, &QToolButton::clicked, this, [this] {
        LiveSettings l = live_;
        l.key = std::max(LiveSettings::kMinKey, l.key - 1);
        update(l);
    });
    connect(keyUp, &QToolButton::clicked, this, [this] {
        LiveSettings l = live_;
        l.key = std::min(LiveSettings::kMaxKey, l.key + 1);
        update(l);
    });
    connect(tempo, &QSlider::valueChanged, this, [this](int v) {
        LiveSettings l = live_;
        l.tempoPercent = v;
        update(l);
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        LiveSettings l;
        l.keepChannel = live_.keepChannel;
        update(l);
    });
    lights_.setInterval(50);
    connect(&lights_, &QTimer::timeout, this, &LivePanel::refreshLights);
    lights_.start();
    show(live_);
    setChannels({}, -1);
}

void LivePanel::show(const LiveSettings& live) {
    showing_ = true;
    live_ = live;
    tempo->setValue(live.tempoPercent);
    for (size_t c = 0; c < 16; ++c) {
        strips[c].loudness->setValue(live.loudness[c]);
        strips[c].mute->setChecked(live.mute[c]);
        strips[c].solo->setChecked(live.solo[c]);
    }
    showing_ = false;
    refreshLabels();
}

void LivePanel::update(const LiveSettings& live) {
    if (showing_) return;
    show(live.clamped());
    emit changed(live_);
}

void LivePanel::refreshLabels() {
    keyLabel->setText(QStringLiteral("Key: ") + live_.keyText());
    tempoLabel->setText(QStringLiteral("Tempo %1 %").arg(live_.tempoPercent));
    for (size_t c = 0; c < 16; ++c) strips[c].loudness->setToolTip(QStringLiteral("Channel %1: %2 %").arg(c + 1).arg(live_.loudness[c]));
}

void LivePanel::setChannels(const std::array<bool, 16>& used, int melody) {
    melody_ = melody;
    for (size_t c = 0; c < 16; ++c) {
        strips[c].box->setVisible(used[c]);
        QFont f = strips[c].name->font();
        f.setBold(static_cast<int>(c) == melody);
        strips[c].name->setFont(f);
    }
    refreshLights();
}

void LivePanel::refreshLights() {
    if (!isVisible()) return;
    for (int c = 0; c < 16; ++c) {
        Strip& s = strips[static_cast<size_t>(c)];
        if (!s.box->isVisible()) continue;
        const bool on = channelPlaying && channelPlaying(c) && !live_.silenced(c);
        QPalette p = s.light->palette();
        p.setColor(QPalette::Window, on ? QColor(0x40, 0xD0, 0x60) : palette().color(QPalette::Window));
        s.light->setPalette(p);
        QString name = c == kDrums ? QStringLiteral("Drums") : channelProgram ? GmPatchNames()[static_cast<size_t>(channelProgram(c) & 0x7F)].trimmed() : QString();
        if (c == melody_) name = QStringLiteral("♪ ") + name;
        if (s.name->text() != name) {
            s.name->setText(name);
            s.name->setToolTip(c == melody_ ? QStringLiteral("Channel %1: %2, the melody under the lyrics").arg(c + 1).arg(name.mid(2))
                                            : QStringLiteral("Channel %1: %2").arg(c + 1).arg(name));
        }
    }
}

}  // namespace cantavo
