#pragma once

#include <QString>

#include <memory>

namespace cantavo {

// Somewhere the synthesizer's sound can go in real time. Used by the synthesizer's clock
// thread alone (see SynthHost).
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Waits until `frames` frames of stereo can be written without blocking; false when the
    // output has failed (the reason is in error()).
    virtual bool waitWritable(int frames) = 0;
    // Writes interleaved stereo floats; false when the output has failed.
    virtual bool write(const float* interleaved, int frames) = 0;
    // Frames between the last frame written and its being heard.
    virtual int latencyFrames() = 0;
    // Lets a waitWritable() in progress return at once (from another thread).
    virtual void interrupt() = 0;
    virtual QString error() const = 0;
};

// The desktop's sound server (PulseAudio, or PipeWire through its PulseAudio service).
// Null with `error` when no server answers; a server is never started for us.
//
// The stream asks for `targetLatencyMs` of buffer: enough to ride out a busy machine. The
// sequencer takes the latency off the position, so the lyrics do not lag for it.
std::unique_ptr<AudioOutput> OpenPulseOutput(const QString& appName, int sampleRate, int targetLatencyMs, QString* error);

}  // namespace cantavo
