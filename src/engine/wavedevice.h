#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <QString>
#include <QTimer>

#include <memory>

#include "sequencer.h"
#include "takerecorder.h"

namespace cantavo {

// The wave-audio device: one wave file opened as the take, played to the default sound
// output and recorded into from the default input (with the music mixed in, when given the
// synthesizer), in the file's own format. While it records, the take also streams to a spool
// file in the spool folder, which closing the device deletes.
//
// Threading: everything runs on the GUI thread. Playback goes through the audio library's
// queue, which a timer on this thread feeds; recording is read by the same timer (see
// TakeRecorder). No callback of this class runs anywhere else.
class WaveDevice : public QObject {
    Q_OBJECT
public:
    explicit WaveDevice(QObject* parent = nullptr);
    ~WaveDevice() override;

    // Opens a wave file of any format the file library reads; its samples become the take,
    // converted to the nearest 8- or 16-bit format.
    bool open(const QString& path, QString* error);
    // Opens an empty take of `format`, with no file behind it.
    void create(const WaveFormat& format);
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
    // The take, in the take's format, written whole or not at all; `error` says why not.
    bool save(const QString& path, QString* error);

    // The music to mix into the next recording: the synthesizer, or null for the voice alone.
    void setMusicSource(SynthHost* music) { music_ = music; }
    // The folder for the spool files of the takes being recorded (the program's temporary
    // folder); empty: no spool.
    static void setSpoolFolder(const QString& folder);
    static QString spoolFolder();
    // Spool files left by runs of the program that ended without closing them, newest first;
    // not those another running copy has claimed.
    static QStringList LeftoverTakes();
    // Claims a leftover take while this copy asks about it and deals with it (releasing the
    // lock ends the claim); null when another copy holds it.
    static std::unique_ptr<QLockFile> ClaimLeftoverTake(const QString& path);
    // Makes the open file this device's spool: closing the device deletes it (a leftover
    // take opened to be saved).
    void adoptAsSpool();
    // Stops, and leaves the take's spool file on disk for the next run to offer, as a crash
    // would: for a program asked to end with a take not saved.
    void keepSpool();
    const QString& spoolPath() const { return spool_; }
    // The input of the last recording, as the desktop names it.
    const QString& inputDescription() const { return inputDescription_; }
    // Why the last recording stopped by itself (the input failed), or empty.
    const QString& recordingProblem() const { return recordingProblem_; }
    // Why the take being recorded is not kept on disk as it comes (a full disk), or empty:
    // the take is whole in memory, but would not outlive a crash.
    const QString& spoolProblem() const { return spoolProblem_; }

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
    void finishRecording();
    bool openDevice(QString* error);

    QString path_;
    WaveFormat format_;
    QByteArray take_;
    qint64 position_ = 0;   // bytes into the take
    bool open_ = false;
    enum class State { Stopped, Playing, Recording, Paused } state_ = State::Stopped;
    quint32 device_ = 0;
    qint64 queuedFrom_ = 0;  // the take's byte at which the current queue began
    QTimer pump_;
    SynthHost* music_ = nullptr;
    std::unique_ptr<TakeRecorder> recorder_;
    QString spool_;
    QString inputDescription_;
    QString recordingProblem_;
    QString spoolProblem_;
};

// Plays a wave file to its end and returns (the compilation's sound entries).
bool PlaySoundSync(const QString& path, QString* error);

}  // namespace cantavo
