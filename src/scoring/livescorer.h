#pragma once

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "melody.h"
#include "pitchtracker.h"
#include "scorekeeper.h"

namespace cantavo {

class AudioInput;

// A moment of the singer's voice placed in the song: the song's own time it belongs to and
// the pitch heard (NaN: no pitch).
struct SungPoint {
    double songMs = 0;
    float pitch = NAN;
};

// Listens to the desktop's default input while a song plays and scores it against the
// melody. Each measurement is placed where the singer heard the music: the input's
// reported latency and the output's are taken off by the sequencer's clock, and what a
// calibration found beyond them (`extraMs`, the real round trip less the reported one) as well.
//
// Everything runs on the window's thread: pump() reads what the input has gathered (the
// sound server's client thread fills it underneath; see AudioInput).
class LiveScorer {
public:
    // `heardTickAt`: the song's tick heard at a time of the steady clock (ns), NaN when the
    // song is not playing (Sequencer::ticksHeardAt).
    using Clock = std::function<double(qint64 steadyNs)>;
    LiveScorer(Clock heardTickAt, const Melody& melody, Difficulty difficulty);
    ~LiveScorer();

    // Opens the input; false with `error` when it cannot be opened.
    bool start(int sampleRate, double extraMs, QString* error);
    void stop();
    bool listening() const { return input_ != nullptr; }
    // Reads and measures what has come in; false once the input has failed (see error()).
    bool pump();
    QString error() const { return error_; }
    // CPU time this thread has spent reading and measuring the voice, in seconds.
    double cpuSeconds() const { return cpuNs_ / 1e9; }
    QString inputDescription() const { return inputDescription_; }
    // How loud the input was in what the last pump() read, in dB of full scale.
    double levelDb() const { return levelDb_; }

    const ScoreKeeper& keeper() const { return keeper_; }
    ScoreKeeper& keeper() { return keeper_; }
    // The voice over the last few seconds of the song, oldest first.
    const std::deque<SungPoint>& recent() const { return recent_; }
    // How much of the song's time the recent points keep.
    static constexpr double kRecentMs = 6000;

    // Feeds measurements directly, as if heard at these song times (the offline path and tests).
    void place(const PitchFrame& f, double songMs);

private:
    Clock heardTickAt_;
    ScoreKeeper keeper_;
    std::unique_ptr<AudioInput> input_;
    std::unique_ptr<PitchTracker> tracker_;
    std::vector<float> buffer_;
    std::vector<PitchFrame> frames_;
    std::deque<SungPoint> recent_;
    long long fed_ = 0;
    double cpuNs_ = 0;
    double extraMs_ = 0;
    double levelDb_ = -120;
    QString error_;
    QString inputDescription_;
};

}  // namespace cantavo
