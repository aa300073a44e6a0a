#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace cantavo {

// The desktop's default sound input as a stream of interleaved stereo floats, read by one
// thread (the window's). The client library runs its own thread underneath; every call here
// locks it, so nothing of this class is shared with any other thread of ours.
class AudioInput {
public:
    virtual ~AudioInput() = default;
    // Appends every frame captured since the last call; the number of frames appended, or
    // -1 when the input has failed (the reason is in error()). `lastCapturedNs`: the steady
    // clock's time, in nanoseconds, at which the last frame appended entered the input.
    virtual int read(std::vector<float>& out, qint64* lastCapturedNs) = 0;
    virtual QString error() const = 0;
    // The input's latency the server reported at the last read(), in milliseconds.
    virtual double latencyMs() const = 0;
    // The input's name as the desktop shows it ("Built-in Audio Analog Stereo").
    virtual QString description() const = 0;
    // Why it is not the input the singer chose (that one is gone), or empty.
    virtual QString inputNote() const { return {}; }
};

// Records from the sound server's default input (PulseAudio, or PipeWire through its
// PulseAudio service) at `sampleRate`, with about `latencyMs` of buffering. Null with
// `error` when no server answers.
std::unique_ptr<AudioInput> OpenPulseInput(const QString& appName, int sampleRate, int latencyMs, QString* error);

// The default input's name, asked of the server; empty with `error` when it cannot be told.
QString DefaultInputDescription(QString* error = nullptr);

// An input of the sound server: its name (what is kept) and what the desktop calls it.
struct InputSource {
    QString name;
    QString description;
};
// The server's inputs, microphones first and the monitors of its outputs after them; empty
// with `error` when no server answers.
QList<InputSource> ListInputs(QString* error = nullptr);

// The input the singer chose (a source's name); empty: the desktop's default. Every input
// opened after this call records from it; where it is gone, the default is used, and
// `inputNote()` of the opened input says so.
void SetChosenInput(const QString& name);
QString ChosenInput();

}  // namespace cantavo
