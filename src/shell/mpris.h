#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

namespace cantavo {

class MainWindow;

// The desktop's media player interface (MPRIS 2) on the session bus: media keys, the
// desktop's sound menu and player widgets drive the player through it. The window's state
// is looked at four times a second and changes are announced with PropertiesChanged;
// jumps with Seeked. Without a session bus the program goes on without it.
class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(MainWindow& window);
    ~MprisService() override;
    // The bus name it took, or empty when there is no session bus.
    const QString& serviceName() const { return service_; }

    // What the player interface shows and does, in the window's terms.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong positionMicros() const;
    bool canGoNext() const;
    bool canPlay() const;
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qlonglong offsetMicros);
    void setPosition(const QDBusObjectPath& track, qlonglong micros);
    void raise();

signals:
    void seeked(qlonglong micros);

private:
    void announce();
    void jumpTo(qlonglong micros);
    MainWindow& window_;
    QString service_;
    QTimer watch_;
    QVariantMap shown_;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    MprisRootAdaptor(QObject* holder, MprisService& service) : QDBusAbstractAdaptor(holder), service_(service) {}
    bool canQuit() const { return false; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Cantavo!"); }
    QString desktopEntry() const { return QStringLiteral("cantavo"); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const { return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-midi"), QStringLiteral("audio/x-kar")}; }
public slots:
    void Raise() { service_.raise(); }
    void Quit() {}

private:
    MprisService& service_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ canPlay)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    MprisPlayerAdaptor(QObject* holder, MprisService& service);
    QString playbackStatus() const { return service_.playbackStatus(); }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return service_.metadata(); }
    double volume() const { return 1.0; }
    void setVolume(double) {}
    qlonglong position() const { return service_.positionMicros(); }
    bool canGoNext() const { return service_.canGoNext(); }
    bool canPlay() const { return service_.canPlay(); }
    bool canControl() const { return true; }
public slots:
    void Play() { service_.play(); }
    void Pause() { service_.pause(); }
    void PlayPause() { service_.playPause(); }
    void Stop() { service_.stop(); }
    void Next() { service_.next(); }
    void Previous() { service_.previous(); }
    void Seek(qlonglong offset) { service_.seek(offset); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) { service_.setPosition(track, position); }
    void OpenUri(const QString&) {}
signals:
    void Seeked(qlonglong position);

private:
    MprisService& service_;
};

}  // namespace cantavo
