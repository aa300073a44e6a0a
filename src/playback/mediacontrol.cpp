#include "mediacontrol.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>

namespace cantavo {

namespace {

struct ButtonLook {
    const char* name;
    const char* tip;
    QStyle::StandardPixmap icon;
};

constexpr ButtonLook kLooks[kMediaButtonCount] = {
    {"Prev", "Back to the start", QStyle::SP_MediaSkipBackward},
    {"Next", "To the end", QStyle::SP_MediaSkipForward},
    {"Play", "Play", QStyle::SP_MediaPlay},
    {"Pause", "Pause", QStyle::SP_MediaPause},
    {"Back", "Step back", QStyle::SP_MediaSeekBackward},
    {"Step", "Step forward", QStyle::SP_MediaSeekForward},
    {"Stop", "Stop", QStyle::SP_MediaStop},
    {"Record", "Record", QStyle::SP_CustomBase},
    {"Eject", "Eject", QStyle::SP_CustomBase},
};

QIcon drawnIcon(MediaButton b) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (b == MediaButton::Record) {
        p.setBrush(QColor(200, 30, 30));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(7, 7, 18, 18));
    } else {
        p.setBrush(QColor(60, 60, 60));
        p.setPen(Qt::NoPen);
        const QPointF tri[3] = {{16, 6}, {27, 19}, {5, 19}};
        p.drawPolygon(tri, 3);
        p.drawRect(QRectF(5, 22, 22, 4));
    }
    return QIcon(pm);
}

constexpr double kStepMs = 5000;

}  // namespace

MediaControl::MediaControl(DeviceType type, QWidget* parent) : QWidget(parent), type_(type) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    for (int i = 0; i < kMediaButtonCount; ++i) {
        auto* b = new QToolButton(this);
        const ButtonLook& look = kLooks[i];
        b->setObjectName(QString::fromLatin1(look.name));
        b->setToolTip(QString::fromLatin1(look.tip));
        b->setIcon(look.icon == QStyle::SP_CustomBase ? drawnIcon(static_cast<MediaButton>(i)) : style()->standardIcon(look.icon));
        b->setAutoRaise(false);
        b->setIconSize(QSize(20, 20));
        connect(b, &QToolButton::clicked, this, [this, i] { clicked(static_cast<MediaButton>(i)); });
        row->addWidget(b);
        buttons_[static_cast<size_t>(i)] = b;
    }
    connect(&status_, &QTimer::timeout, this, [this] {
        refreshButtons();
        emit statusUpdate();
    });
    refreshButtons();
}

MediaControl::~MediaControl() { detach(); }

void MediaControl::attach() {
    if (Sequencer* s = sequencer()) {
        completion_ = connect(s, &Sequencer::completed, this, [this] {
            refreshButtons();
            emit completed(kNotifySuccessful);
        });
    } else if (WaveDevice* w = wave()) {
        completion_ = connect(w, &WaveDevice::completed, this, [this] {
            refreshButtons();
            emit completed(kNotifySuccessful);
        });
    }
}

void MediaControl::detach() {
    if (!device_) return;
    disconnect(completion_);
    // The registry may already have closed the element through a command string.
    if (MediaRegistry::instance().find(openedElement_) == device_) MediaRegistry::instance().close(openedElement_);
    device_ = nullptr;
    openedElement_.clear();
}

bool MediaControl::setCommand(const QString& command) {
    const QString c = command.trimmed().toLower();
    error_ = kMciOk;
    errorDetail_.clear();
    if (c == QLatin1String("open")) {
        detach();
        MediaDevice* d = nullptr;
        error_ = MediaRegistry::instance().open(fileName_, type_ == DeviceType::Sequencer ? QStringLiteral("sequencer") : QStringLiteral("waveaudio"),
                                                &d, &errorDetail_);
        if (error_ == kMciOk && (type_ == DeviceType::Sequencer) != (d->sequencer != nullptr)) {
            MediaRegistry::instance().close(fileName_);
            error_ = kMciIllegalAction;
        }
        if (error_ == kMciOk) {
            device_ = d;
            openedElement_ = fileName_;
            attach();
        }
    } else if (c == QLatin1String("close")) {
        detach();
    } else if (!device_ || MediaRegistry::instance().find(openedElement_) != device_) {
        device_ = nullptr;
        error_ = c == QLatin1String("eject") ? kMciIllegalAction : kMciDeviceNotOpen;
    } else if (Sequencer* s = sequencer()) {
        if (c == QLatin1String("play")) s->play();
        else if (c == QLatin1String("pause")) s->pause();
        else if (c == QLatin1String("stop")) s->stop();
        else if (c == QLatin1String("prev")) s->seekTicks(0);
        else if (c == QLatin1String("next")) s->seekTicks(s->lengthTicks());
        else if (c == QLatin1String("back") || c == QLatin1String("step")) {
            const double ms = s->positionMs() + (c == QLatin1String("back") ? -kStepMs : kStepMs);
            const double perMs = s->lengthMs() > 0 ? static_cast<double>(s->lengthTicks()) / s->lengthMs() : 0;
            s->seekTicks(static_cast<qint64>(std::max(0.0, ms) * perMs));
        } else error_ = c == QLatin1String("eject") || c == QLatin1String("record") || c == QLatin1String("save") ? kMciIllegalAction : kMciUnrecognisedCommand;
    } else if (WaveDevice* w = wave()) {
        if (c == QLatin1String("play")) { if (!w->play(&errorDetail_)) error_ = kMciCannotLoadDriver; }
        else if (c == QLatin1String("record")) { if (!w->record(&errorDetail_)) error_ = kMciCannotLoadDriver; }
        else if (c == QLatin1String("pause")) w->pause();
        else if (c == QLatin1String("stop")) w->stop();
        else if (c == QLatin1String("prev")) w->seekMs(0);
        else if (c == QLatin1String("next")) w->seekMs(w->lengthMs());
        else if (c == QLatin1String("back")) w->seekMs(std::max(0.0, w->positionMs() - kStepMs));
        else if (c == QLatin1String("step")) w->seekMs(w->positionMs() + kStepMs);
        else if (c == QLatin1String("save")) { if (!w->save(fileName_, &errorDetail_)) error_ = kMciInvalidFileName; }
        else error_ = c == QLatin1String("eject") ? kMciIllegalAction : kMciUnrecognisedCommand;
    }
    refreshButtons();
    return error_ == kMciOk;
}

void MediaControl::setTimeFormat(int format) {
    if (device()) device_->timeFormat = format == 0 ? TimeFormat::Milliseconds : TimeFormat::SongPointer;
}

MediaDevice* MediaControl::device() const {
    return device_ && MediaRegistry::instance().find(openedElement_) == device_ ? device_ : nullptr;
}

int MediaControl::timeFormat() const { return device() && device_->timeFormat == TimeFormat::SongPointer ? 1 : 0; }

double MediaControl::length() const {
    if (Sequencer* s = sequencer()) return timeFormat() == 0 ? std::round(s->lengthMs()) : s->lengthSixteenths();
    if (WaveDevice* w = wave()) return std::round(w->lengthMs());
    return 0;
}

double MediaControl::position() const {
    if (Sequencer* s = sequencer()) return timeFormat() == 0 ? std::round(s->positionMs()) : s->positionSixteenths();
    if (WaveDevice* w = wave()) return std::round(w->positionMs());
    return 0;
}

int MediaControl::mode() const {
    if (Sequencer* s = sequencer()) return static_cast<int>(s->mode());
    if (WaveDevice* w = wave()) return static_cast<int>(w->mode());
    return static_cast<int>(MediaMode::NotReady);
}

void MediaControl::setUpdateInterval(int ms) {
    interval_ = std::max(0, ms);
    if (interval_ > 0) status_.start(interval_);
    else status_.stop();
}

void MediaControl::clicked(MediaButton b) {
    bool cancel = false;
    emit buttonClicked(b, &cancel);
    if (cancel) return;
    static const char* const commands[kMediaButtonCount] = {"prev", "next", "play", "pause", "back", "step", "stop", "record", "eject"};
    setCommand(QString::fromLatin1(commands[static_cast<int>(b)]));
    emit buttonDone(b);
}

void MediaControl::focusAfterPage() {
    QToolButton* play = button(MediaButton::Play);
    if (play->isEnabled()) {
        play->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QToolButton* b : buttons_) {
        if (b->isEnabled()) {
            b->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void MediaControl::refreshButtons() {
    const auto m = static_cast<MediaMode>(mode());
    const bool open = m != MediaMode::NotReady;
    const bool running = m == MediaMode::Playing || m == MediaMode::Recording;
    auto enable = [&](MediaButton b, bool on) { button(b)->setEnabled(on); };
    enable(MediaButton::Prev, open);
    enable(MediaButton::Next, open);
    enable(MediaButton::Back, open && !running);
    enable(MediaButton::Step, open && !running);
    enable(MediaButton::Play, open && m != MediaMode::Playing);
    enable(MediaButton::Pause, running);
    enable(MediaButton::Stop, running || m == MediaMode::Paused);
    enable(MediaButton::Record, open && type_ == DeviceType::WaveAudio && !running);
    enable(MediaButton::Eject, false);  // nothing here to eject
}

void ShowMciError(QWidget* parent, int error) {
    QMessageBox box(QMessageBox::Warning, kMciErrorTitle, MciErrorText(error), QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace cantavo
