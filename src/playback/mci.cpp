#include "mci.h"

#include <QFileInfo>
#include <QStringList>

#include <cmath>

#include "numbers.h"

namespace cantavo {

QString MciErrorText(int error) {
    switch (error) {
    case kMciCannotLoadDriver: return QStringLiteral("Error while loading media device driver");
    case kMciDeviceNotOpen: return QStringLiteral("Device not open or unknown");
    case kMciInvalidDeviceId: return QStringLiteral("Invalid device identificator");
    case kMciInvalidFileName: return QStringLiteral("Invalid file name");
    case kMciIllegalAction: return QStringLiteral("Illegal action for this device");
    default: return QStringLiteral("Unknown error (") + SignPosition(error) + QStringLiteral(").");
    }
}

double LeadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) ++i;
    bool digits = false, point = false;
    while (i < text.size()) {
        if (text[i].isDigit()) {
            digits = true;
        } else if (text[i] == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (!digits) return 0;
    return text.mid(start, i - start).toDouble();
}

QString MciNumber(double value) {
    if (std::fabs(value - std::round(value)) < 1e-9) return QString::number(static_cast<qint64>(std::llround(value)));
    QString s = QString::number(value, 'f', 3);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s;
}

MediaRegistry& MediaRegistry::instance() {
    static MediaRegistry registry;
    return registry;
}

SynthHost* MediaRegistry::synthHost(QString* error) {
    if (!host_) {
        if (!synthError_.isEmpty()) {
            if (error) *error = synthError_;
            return nullptr;
        }
        ownHost_ = SynthHost::create(synthOptions, &synthError_);
        host_ = ownHost_.get();
        if (!host_ && error) *error = synthError_;
    }
    return host_;
}

MediaDevice* MediaRegistry::find(const QString& element) const {
    auto it = devices_.find(key(element));
    return it == devices_.end() ? nullptr : it->get();
}

int MediaRegistry::open(const QString& element, const QString& type, MediaDevice** device, QString* detail) {
    if (MediaDevice* d = find(element)) {
        ++d->references;
        if (device) *device = d;
        return kMciOk;
    }
    const QString t = type.toLower();
    auto d = std::make_shared<MediaDevice>();
    d->element = element;
    if (t == QLatin1String("sequencer")) {
        SynthHost* host = synthHost(detail);
        if (!host) return kMciCannotLoadDriver;
        d->sequencer = std::make_unique<Sequencer>(*host);
        if (!d->sequencer->open(element, detail)) return kMciInvalidFileName;
    } else if (t == QLatin1String("waveaudio")) {
        d->wave = std::make_unique<WaveDevice>();
        if (!d->wave->open(element, detail)) return kMciInvalidFileName;
    } else {
        return kMciDeviceNotOpen;
    }
    d->references = 1;
    devices_.insert(key(element), d);
    if (device) *device = d.get();
    return kMciOk;
}

int MediaRegistry::close(const QString& element) {
    auto it = devices_.find(key(element));
    if (it == devices_.end()) return kMciDeviceNotOpen;
    if (--(*it)->references <= 0) devices_.erase(it);
    return kMciOk;
}

void MediaRegistry::closeAll() { devices_.clear(); }

namespace {

// Splits a command into words; a quoted element is one word.
QStringList words(const QString& command) {
    QStringList out;
    QString current;
    bool quoted = false;
    for (QChar c : command) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (!current.isEmpty()) out << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty()) out << current;
    return out;
}

double inFormat(const MediaDevice& d, double ms, double sixteenths) {
    return d.timeFormat == TimeFormat::SongPointer ? sixteenths : ms;
}

QString modeName(MediaMode m) {
    switch (m) {
    case MediaMode::NotReady: return QStringLiteral("not ready");
    case MediaMode::Stopped: return QStringLiteral("stopped");
    case MediaMode::Playing: return QStringLiteral("playing");
    case MediaMode::Recording: return QStringLiteral("recording");
    case MediaMode::Seeking: return QStringLiteral("seeking");
    case MediaMode::Paused: return QStringLiteral("paused");
    case MediaMode::Open: return QStringLiteral("open");
    }
    return {};
}

int status(MediaDevice& d, const QStringList& w, QString& answer) {
    const QString item = w.mid(2).join(QLatin1Char(' ')).toLower();
    if (Sequencer* s = d.sequencer.get()) {
        if (item == QLatin1String("length")) answer = MciNumber(inFormat(d, std::round(s->lengthMs()), s->lengthSixteenths()));
        else if (item == QLatin1String("position")) answer = MciNumber(inFormat(d, std::round(s->positionMs()), s->positionSixteenths()));
        else if (item == QLatin1String("division type")) answer = s->divisionType();
        else if (item == QLatin1String("tempo")) answer = MciNumber(s->tempoBpm());
        else if (item == QLatin1String("mode")) answer = modeName(s->mode());
        else if (item == QLatin1String("time format")) answer = d.timeFormat == TimeFormat::SongPointer ? QStringLiteral("song pointer") : QStringLiteral("milliseconds");
        else if (item == QLatin1String("port")) answer = MciNumber(s->port());
        else return kMciBadKeyword;
        return kMciOk;
    }
    WaveDevice& v = *d.wave;
    if (item == QLatin1String("length")) answer = MciNumber(std::round(v.lengthMs()));
    else if (item == QLatin1String("position")) answer = MciNumber(std::round(v.positionMs()));
    else if (item == QLatin1String("mode")) answer = modeName(v.mode());
    else if (item == QLatin1String("bitspersample")) answer = MciNumber(v.format().bits);
    else if (item == QLatin1String("channels")) answer = MciNumber(v.format().channels);
    else if (item == QLatin1String("samplespersec")) answer = MciNumber(v.format().rate);
    else if (item == QLatin1String("division type") || item == QLatin1String("tempo")) return kMciIllegalAction;
    else return kMciBadKeyword;
    return kMciOk;
}

int set(MediaDevice& d, const QStringList& w) {
    const QString what = w.size() > 2 ? w[2].toLower() : QString();
    if (what == QLatin1String("time") && w.size() > 4 && w[3].toLower() == QLatin1String("format")) {
        const QString f = w.mid(4).join(QLatin1Char(' ')).toLower();
        if (f == QLatin1String("ms") || f == QLatin1String("milliseconds")) {
            d.timeFormat = TimeFormat::Milliseconds;
        } else if (f == QLatin1String("song pointer") && d.sequencer) {
            d.timeFormat = TimeFormat::SongPointer;
        } else {
            return d.sequencer ? kMciBadKeyword : kMciIllegalAction;
        }
        return kMciOk;
    }
    if (!d.sequencer) return kMciIllegalAction;
    if (what == QLatin1String("port") && w.size() == 4) {
        const QString p = w[3].toLower();
        bool number = false;
        const int index = p == QLatin1String("mapper") ? 0 : p.toInt(&number);
        if (p != QLatin1String("mapper") && !number) return kMciBadKeyword;
        return d.sequencer->setPort(index) ? kMciOk : kMciInvalidDeviceId;
    }
    if (what == QLatin1String("tempo") && w.size() == 4) {
        const int bpm = static_cast<int>(std::lround(LeadingNumber(w[3])));
        if (bpm <= 0) return kMciOutOfRange;
        d.sequencer->setTempoBpm(bpm);
        return kMciOk;
    }
    return kMciBadKeyword;
}

int seek(MediaDevice& d, const QStringList& w) {
    if (w.size() < 3) return kMciBadKeyword;
    const QString to = w[2].toLower();
    double target;
    if (to == QLatin1String("to") && w.size() >= 4) {
        const QString v = w[3].toLower();
        if (v == QLatin1String("start")) target = 0;
        else if (v == QLatin1String("end")) target = -1;
        else target = LeadingNumber(v);
    } else if (to == QLatin1String("start") || to == QLatin1String("end")) {
        target = to == QLatin1String("start") ? 0 : -1;
    } else {
        return kMciBadKeyword;
    }
    if (Sequencer* s = d.sequencer.get()) {
        if (target < 0) s->seekTicks(s->lengthTicks());
        else if (d.timeFormat == TimeFormat::SongPointer) s->seekSixteenths(target);
        else {
            // Milliseconds: find the tick through the tempo map.
            double lo = 0, hi = static_cast<double>(s->lengthTicks());
            for (int i = 0; i < 60; ++i) {
                const double mid = (lo + hi) / 2;
                (s->ticksToMs(mid) < target ? lo : hi) = mid;
            }
            s->seekTicks(static_cast<qint64>(std::llround(hi)));
        }
        return kMciOk;
    }
    d.wave->seekMs(target < 0 ? d.wave->lengthMs() : target);
    return kMciOk;
}

}  // namespace

namespace {
std::function<void(const QString&)>& observer() {
    static std::function<void(const QString&)> o;
    return o;
}
}  // namespace

void SetMciCommandObserver(std::function<void(const QString&)> o) { observer() = std::move(o); }

int MciSendString(const QString& command, QString* reply) {
    if (observer()) observer()(command);
    QStringList w = words(command);
    while (!w.isEmpty() && (w.last().toLower() == QLatin1String("wait") || w.last().toLower() == QLatin1String("notify"))) w.removeLast();
    if (w.size() < 2) return kMciUnrecognisedCommand;
    const QString verb = w[0].toLower();
    MediaRegistry& registry = MediaRegistry::instance();
    if (verb == QLatin1String("open")) {
        QString type;
        if (w.size() >= 4 && w[2].toLower() == QLatin1String("type")) type = w[3];
        else if (w.size() == 2) type = QFileInfo(w[1]).suffix().toLower() == QLatin1String("wav") ? QStringLiteral("waveaudio") : QStringLiteral("sequencer");
        else return kMciBadKeyword;
        return registry.open(w[1], type, nullptr);
    }
    if (verb == QLatin1String("close")) return registry.close(w[1]);
    MediaDevice* d = registry.find(w[1]);
    if (!d) return kMciDeviceNotOpen;
    QString answer;
    int result = kMciOk;
    if (verb == QLatin1String("status")) {
        result = status(*d, w, answer);
    } else if (verb == QLatin1String("set")) {
        result = set(*d, w);
    } else if (verb == QLatin1String("seek")) {
        result = seek(*d, w);
    } else if (verb == QLatin1String("play") || verb == QLatin1String("resume")) {
        if (d->sequencer) d->sequencer->play();
        else if (!d->wave->play()) result = kMciCannotLoadDriver;
    } else if (verb == QLatin1String("pause")) {
        if (d->sequencer) d->sequencer->pause();
        else d->wave->pause();
    } else if (verb == QLatin1String("stop")) {
        if (d->sequencer) d->sequencer->stop();
        else d->wave->stop();
    } else if (verb == QLatin1String("record")) {
        if (d->sequencer) result = kMciIllegalAction;
        else if (!d->wave->record()) result = kMciCannotLoadDriver;
    } else if (verb == QLatin1String("save")) {
        if (d->sequencer) result = kMciIllegalAction;
        else if (w.size() < 3 || !d->wave->save(w[2], nullptr)) result = kMciInvalidFileName;
    } else {
        result = kMciUnrecognisedCommand;
    }
    if (result == kMciOk && reply) *reply = answer.left(15);
    return result;
}

}  // namespace cantavo
