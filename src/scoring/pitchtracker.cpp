#include "pitchtracker.h"

#include <aubio/aubio.h>

#include <algorithm>

namespace cantavo {

struct PitchTracker::Detector {
    aubio_pitch_t* pitch = nullptr;
    fvec_t* in = nullptr;
    fvec_t* out = nullptr;
    ~Detector() {
        if (pitch) del_aubio_pitch(pitch);
        if (in) del_fvec(in);
        if (out) del_fvec(out);
    }
};

PitchTracker::PitchTracker(int sampleRate) : rate_(std::max(8000, sampleRate)) {
    hop_ = rate_ / 100;
    // Two periods of the lowest voice fit the window, rounded to a power of two for the FFT.
    window_ = 1;
    while (window_ < rate_ / 24) window_ *= 2;
    d_ = std::make_unique<Detector>();
    d_->pitch = new_aubio_pitch("yinfast", static_cast<uint_t>(window_), static_cast<uint_t>(hop_), static_cast<uint_t>(rate_));
    aubio_pitch_set_unit(d_->pitch, "midi");
    aubio_pitch_set_silence(d_->pitch, kGateDb);
    aubio_pitch_set_tolerance(d_->pitch, 0.2f);
    d_->in = new_fvec(static_cast<uint_t>(hop_));
    d_->out = new_fvec(1);
}

PitchTracker::~PitchTracker() = default;

void PitchTracker::feed(const float* mono, size_t count, std::vector<PitchFrame>& out) {
    for (size_t i = 0; i < count; ++i) {
        const float v = mono[i];
        d_->in->data[filled_++] = v;
        energy_ += static_cast<double>(v) * v;
        if (filled_ < hop_) continue;
        fed_ += hop_;
        aubio_pitch_do(d_->pitch, d_->in, d_->out);
        PitchFrame f;
        f.ms = (static_cast<double>(fed_) - window_ / 2.0) * 1000.0 / rate_;
        f.levelDb = static_cast<float>(10.0 * std::log10(energy_ / hop_ + 1e-12));
        const float note = d_->out->data[0];
        if (f.levelDb > kGateDb && aubio_pitch_get_confidence(d_->pitch) >= kMinConfidence && note >= kLowest && note <= kHighest) f.pitch = note;
        out.push_back(f);
        filled_ = 0;
        energy_ = 0;
    }
}

std::vector<float> MonoOf(const float* interleaved, size_t frames, int channels) {
    std::vector<float> mono(frames);
    const int c = std::max(1, channels);
    for (size_t i = 0; i < frames; ++i) {
        float sum = 0;
        for (int k = 0; k < c; ++k) sum += interleaved[i * static_cast<size_t>(c) + static_cast<size_t>(k)];
        mono[i] = sum / static_cast<float>(c);
    }
    return mono;
}

}  // namespace cantavo
