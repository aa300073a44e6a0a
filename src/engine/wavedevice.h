#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "sequencer.h"

namespace cantavo {

// The format of a wave take: 8 or 16 bits, mono or stereo, a sample rate.
struct WaveFormat {
    int bits = 16;
    int channels = 2;
    int rate = 44100;
    int bytesPerFrame() const { return bits / 8 * channels; }
    bool operator==(const WaveFormat&) const = default;
};

// The wave-audio device: one wave file opened as the take, played to the default sound
// output and recorded into from the default input, in the file's own format.
//
// Threading: everything runs on the GUI thread. Sound goes through the audio library's
// queues (queued playback, dequeued capture), which a timer on this thread feeds and empties;
// no callback of this class runs anywhere else.
class WaveDevice : public QObject {
    Q_OBJECT
public:
    explicit WaveDevice(QObject* parent = nullptr);
    ~WaveDevice() override;

    // Opens a wave file of any format the file library reads; its samples become the take,
    // converted to the nearest 8- or 16-bit format.
    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const { return open_; }
    const QString& path() const { return path_; }
    WaveFormat format() const { return format_; }

    bool play(QString* error = nullptr);             // from the position; completed() at the end
    bool playSync(QString* error = nullptr);         // plays to the end before returning
    bool record(QString* error = nullptr);           // appends to the take from the position
    void pause();
    void stop();
    void seekMs(double ms);
    bool save(const QString& path, QString* error);  // the take, in the take's format

    MediaMode mode() const;
    double lengthMs() const;
    double positionMs() const;
    qint64 takeBytes() const { return take_.size(); }
    const QByteArray& take() const { return take_; }

    // Peak level of the take, 0..1, for tests and level meters.
    double peak() const;

    // The audio library's driver in use ("pulseaudio", "alsa", ...), empty before the first
    // device is opened.
    static QString audioDriverName();

signals:
    void completed();

private:
    void pump();
    void closeDevice();
    bool openDevice(bool capture, QString* error);

    QString path_;
    WaveFormat format_;
    QByteArray take_;
    qint64 position_ = 0;   // bytes into the take
    bool open_ = false;
    enum class State { Stopped, Playing, Recording, Paused } state_ = State::Stopped;
    quint32 device_ = 0;
    qint64 queuedFrom_ = 0;  // the take's byte at which the current queue began
    QTimer pump_;
};

// Plays a wave file to its end and returns (the compilation's sound entries).
bool PlaySoundSync(const QString& path, QString* error);

}  // namespace cantavo
