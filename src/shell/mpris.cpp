#include "mpris.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>
#include <QToolButton>

#include "mainwindow.h"
#include "mediacontrol.h"

namespace cantavo {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kTrack = QStringLiteral("/org/cantavo/song");

}  // namespace

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* holder, MprisService& service) : QDBusAbstractAdaptor(holder), service_(service) {
    connect(&service_, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

MprisService::MprisService(MainWindow& window) : QObject(&window), window_(window) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto* holder = new QObject(this);
    new MprisRootAdaptor(holder, *this);
    new MprisPlayerAdaptor(holder, *this);
    if (!bus.registerObject(kPath, holder)) return;
    // A second copy of the player takes a name of its own, as the interface asks.
    for (const QString& name : {QStringLiteral("org.mpris.MediaPlayer2.cantavo"),
                                QStringLiteral("org.mpris.MediaPlayer2.cantavo.instance%1").arg(QCoreApplication::applicationPid())}) {
        if (bus.registerService(name)) {
            service_ = name;
            break;
        }
    }
    if (service_.isEmpty()) {
        bus.unregisterObject(kPath);
        return;
    }
    shown_ = {{QStringLiteral("PlaybackStatus"), playbackStatus()}, {QStringLiteral("Metadata"), metadata()},
              {QStringLiteral("CanGoNext"), canGoNext()}, {QStringLiteral("CanPlay"), canPlay()}};
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &MprisService::announce);
    watch_.start();
}

MprisService::~MprisService() {
    if (service_.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kPath);
    bus.unregisterService(service_);
}

QString MprisService::playbackStatus() const {
    const int mode = window_.panel().midi->mode();
    if (!window_.session().songLoaded()) return QStringLiteral("Stopped");
    if (mode == static_cast<int>(MediaMode::Playing)) return QStringLiteral("Playing");
    if (mode == static_cast<int>(MediaMode::Paused) || (mode == static_cast<int>(MediaMode::Stopped) && positionMicros() > 0)) return QStringLiteral("Paused");
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const {
    const SongSession& s = window_.session();
    if (!s.songLoaded()) return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    // The title lines: the first is the song's title, the second (where there is one) its author.
    const QStringList lines = s.song.songTitle.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QVariantMap m{{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kTrack))},
                  {QStringLiteral("mpris:length"), static_cast<qlonglong>(s.songLengthMs) * 1000},
                  {QStringLiteral("xesam:title"), lines.isEmpty() ? QFileInfo(s.songPath).completeBaseName() : lines.first()},
                  {QStringLiteral("xesam:url"), QUrl::fromLocalFile(s.songPath).toString()}};
    if (lines.size() > 1) m[QStringLiteral("xesam:artist")] = QStringList{lines[1]};
    return m;
}

qlonglong MprisService::positionMicros() const {
    Sequencer* s = window_.panel().midi->sequencer();
    return s && window_.session().songLoaded() ? static_cast<qlonglong>(s->positionMs() * 1000) : 0;
}

bool MprisService::canGoNext() const { return window_.compilationCount > 0 && window_.compilationIndex < window_.compilationCount; }
bool MprisService::canPlay() const { return window_.session().songLoaded(); }

void MprisService::play() {
    if (window_.panel().midi->mode() == static_cast<int>(MediaMode::Playing)) return;
    QToolButton* b = window_.panel().midi->button(MediaButton::Play);
    if (b->isEnabled()) b->click();
}

void MprisService::pause() {
    QToolButton* b = window_.panel().midi->button(MediaButton::Pause);
    if (b->isEnabled()) b->click();
}

void MprisService::playPause() {
    if (window_.panel().midi->mode() == static_cast<int>(MediaMode::Playing)) pause();
    else play();
}

void MprisService::stop() {
    QToolButton* b = window_.panel().midi->button(MediaButton::Stop);
    if (b->isEnabled()) b->click();
}

void MprisService::next() {
    if (canGoNext()) window_.CompilationStep(1);
}

void MprisService::previous() {
    QToolButton* b = window_.panel().midi->button(MediaButton::Prev);
    if (b->isEnabled()) b->click();
    emit seeked(0);
}

void MprisService::jumpTo(qlonglong micros) {
    const SongSession& s = window_.session();
    if (!s.songLoaded() || s.songLengthMs <= 0) return;
    if (micros < 0) micros = 0;
    if (micros >= static_cast<qlonglong>(s.songLengthMs) * 1000) {
        next();
        return;
    }
    // The jump goes by beats, as a click on the progress bar does: the time asked for is
    // found on the song's tempo map first.
    double fraction = static_cast<double>(micros) / (static_cast<double>(s.songLengthMs) * 1000);
    if (Sequencer* seq = window_.panel().midi->sequencer(); seq && seq->lengthTicks() > 0) {
        double lo = 0, hi = static_cast<double>(seq->lengthTicks());
        for (int i = 0; i < 50; ++i) {
            const double mid = (lo + hi) / 2;
            (seq->ticksToMs(mid) * 1000 < static_cast<double>(micros) ? lo : hi) = mid;
        }
        fraction = hi / static_cast<double>(seq->lengthTicks());
    }
    window_.transport().ProgressClicked(fraction);
    emit seeked(positionMicros());
}

void MprisService::seek(qlonglong offsetMicros) { jumpTo(positionMicros() + offsetMicros); }

void MprisService::setPosition(const QDBusObjectPath& track, qlonglong micros) {
    if (track.path() == kTrack) jumpTo(micros);
}

void MprisService::raise() {
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

void MprisService::announce() {
    const QVariantMap now{{QStringLiteral("PlaybackStatus"), playbackStatus()}, {QStringLiteral("Metadata"), metadata()},
                          {QStringLiteral("CanGoNext"), canGoNext()}, {QStringLiteral("CanPlay"), canPlay()}};
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (shown_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (changed.contains(QStringLiteral("CanPlay"))) {
        changed[QStringLiteral("CanPause")] = now[QStringLiteral("CanPlay")];
        changed[QStringLiteral("CanSeek")] = now[QStringLiteral("CanPlay")];
    }
    shown_ = now;
    if (changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayer << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace cantavo
