#pragma once

#include <cmath>
#include <memory>
#include <vector>

namespace cantavo {

// One measurement of the voice: the time of the middle of the stretch it was measured
// on (milliseconds from the first sample fed), the pitch as a fractional MIDI note number
// (NaN: no pitch, for silence, breath or noise), and the stretch's loudness.
struct PitchFrame {
    double ms = 0;
    float pitch = NAN;
    float levelDb = -120;
    bool voiced() const { return !std::isnan(pitch); }
};

// Finds the pitch of a singing voice with aubio's fast YIN, one measurement every hop of
// at most 10 ms. A loudness gate and the detector's own confidence keep silence, breath
// and noise from giving a pitch. Not shared between threads.
class PitchTracker {
public:
    explicit PitchTracker(int sampleRate);
    ~PitchTracker();
    PitchTracker(const PitchTracker&) = delete;
    PitchTracker& operator=(const PitchTracker&) = delete;

    int sampleRate() const { return rate_; }
    int hop() const { return hop_; }
    int window() const { return window_; }

    // Feeds mono samples; appends a frame for every hop completed.
    void feed(const float* mono, size_t count, std::vector<PitchFrame>& out);

    // Quieter than this is silence (dB below full scale).
    static constexpr float kGateDb = -45.0f;
    // Below this the detector is not sure enough that it heard a tone.
    static constexpr float kMinConfidence = 0.75f;
    // The voices scored: from C2 to C7.
    static constexpr float kLowest = 36.0f, kHighest = 96.0f;

private:
    int rate_;
    int hop_;
    int window_;
    struct Detector;
    std::unique_ptr<Detector> d_;
    int filled_ = 0;
    double energy_ = 0;
    long long fed_ = 0;
};

// Mixes interleaved frames down to one channel.
std::vector<float> MonoOf(const float* interleaved, size_t frames, int channels);

}  // namespace cantavo
