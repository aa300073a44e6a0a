#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

#include "synthhost.h"

typedef struct sf_private_tag SNDFILE;
typedef struct SRC_STATE_tag SRC_STATE;

namespace cantavo {

class AudioInput;

// The format of a wave take: 8 or 16 bits, mono or stereo, a sample rate.
struct WaveFormat {
    int bits = 16;
    int channels = 2;
    int rate = 44100;
    int bytesPerFrame() const { return bits / 8 * channels; }
    bool operator==(const WaveFormat&) const = default;
};

// Records a take from the desktop's default input (the voice). Given the synthesizer, it
// mixes in the music it plays, each moment placed where the singer heard it: the output's
// latency says when the music was heard, the input's latency when the voice was sung. The
// take is converted to its format as it comes and streamed to a spool file whose header is
// kept whole, so that a crash or a full memory loses nothing.
//
// Everything runs on the caller's thread (the window's); see SynthHost and AudioInput for
// what they do underneath.
class TakeRecorder {
public:
    TakeRecorder(WaveFormat format, SynthHost* music);
    ~TakeRecorder();

    // Starts after `kept`, the take's bytes before the recording point, which go to the
    // spool first. An empty `spoolPath`: no spool.
    bool start(const QByteArray& kept, const QString& spoolPath, QString* error);
    // Appends what is ready to `take` (and the spool); false once the input has failed.
    bool pump(QByteArray& take);
    // Appends the rest; the input closes and the spool is complete.
    void finish(QByteArray& take);

    QString inputDescription() const { return inputDescription_; }
    QString error() const { return error_; }
    // Why the spool could not be written, or empty.
    QString spoolProblem() const { return spoolProblem_; }

    // For measuring: the voice and the music as they went into the take, interleaved stereo
    // at the capture rate.
    void keepStems(bool on) { keepStems_ = on; }
    const std::vector<float>& voiceStem() const { return voiceStem_; }
    const std::vector<float>& musicStem() const { return musicStem_; }
    int captureRate() const { return rate_; }

    // How loud the music is mixed under the voice.
    static constexpr float kMusicGain = 0.5f;

private:
    void placeMusic(const SynthHost::HeardChunk& chunk);
    void commit(qint64 upTo, QByteArray& take, bool last);
    void appendConverted(const float* frames, long count, QByteArray& take, bool last);
    qint64 captureStartNs() const;

    WaveFormat format_;
    SynthHost* music_;
    int rate_;
    std::unique_ptr<AudioInput> input_;
    SNDFILE* spool_ = nullptr;
    SRC_STATE* resampler_ = nullptr;
    QString error_;
    QString spoolProblem_;
    void noteSpoolFailure();
    QString inputDescription_;

    std::vector<float> voice_;     // frames from base_ on, as captured
    std::vector<float> mix_;       // the music placed from base_ on
    qint64 base_ = 0;              // the take frame (at the capture rate) of voice_[0]
    qint64 voiceFrames_ = 0;
    std::vector<qint64> startEstimates_;
    std::vector<qint64> recentOffsets_;
    qint64 offset_ = 0;
    bool haveOffset_ = false;
    std::vector<SynthHost::HeardChunk> chunks_;
    std::vector<SynthHost::HeardChunk> waiting_;
    std::vector<float> converted_;
    std::vector<unsigned char> bytes_;
    bool keepStems_ = false;
    std::vector<float> voiceStem_;
    std::vector<float> musicStem_;
};

}  // namespace cantavo
