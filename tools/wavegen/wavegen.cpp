// wavegen: writes the program's wave files into a folder: the twelve empty recording
// templates named by their format, and the audience sounds, synthesised here (applause
// from a few hundred filtered noise claps, booing from a crowd of low "oo" voices).
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

bool write(const std::string& path, int rate, int channels, int format, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t n = static_cast<sf_count_t>(frames.size()) / channels;
    const bool ok = sf_writef_float(f, frames.data(), n) == n;
    sf_close(f);
    return ok;
}

// A two-pole band-pass filter.
struct Resonator {
    double a1 = 0, a2 = 0, gain = 0, y1 = 0, y2 = 0;
    Resonator(double freq, double bandwidth, int rate) {
        const double r = std::exp(-kPi * bandwidth / rate);
        a1 = 2 * r * std::cos(2 * kPi * freq / rate);
        a2 = -r * r;
        gain = 1 - r;
    }
    double operator()(double x) {
        const double y = gain * x + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

void normalise(std::vector<float>& v, float peak) {
    float m = 0;
    for (float s : v) m = std::max(m, std::fabs(s));
    if (m > 0)
        for (float& s : v) s *= peak / m;
}

std::vector<float> applause(double seconds, int claps, unsigned seed) {
    const int rate = 44100;
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> out(frames * 2, 0.0f);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::normal_distribution<double> noise(0, 1);
    for (int c = 0; c < claps; ++c) {
        // Claps thicken quickly and thin out towards the end.
        double t = seconds * std::pow(unit(rng), 0.8);
        const size_t start = static_cast<size_t>(t * rate);
        const double amp = 0.3 + 0.7 * unit(rng);
        const double pan = unit(rng);
        const double decay = 0.008 + 0.02 * unit(rng);
        Resonator body(900 + 1800 * unit(rng), 1200 + 1500 * unit(rng), rate);
        const double fade = std::min(1.0, (seconds - t) / 0.8);
        for (size_t i = 0; i < static_cast<size_t>(0.12 * rate) && start + i < frames; ++i) {
            const double env = std::exp(-static_cast<double>(i) / (decay * rate)) * std::min(1.0, i / 30.0);
            const double s = body(noise(rng)) * env * amp * fade;
            out[(start + i) * 2] += static_cast<float>(s * (1 - pan));
            out[(start + i) * 2 + 1] += static_cast<float>(s * pan);
        }
    }
    normalise(out, 0.8f);
    return out;
}

std::vector<float> booing(double seconds, int voices, unsigned seed) {
    const int rate = 44100;
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> out(frames * 2, 0.0f);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int v = 0; v < voices; ++v) {
        const double f0 = 95 + 70 * unit(rng);
        const double onset = 0.25 * unit(rng);
        const double length = seconds - onset - 0.2 * unit(rng);
        const double pan = 0.2 + 0.6 * unit(rng);
        const double vibrato = 4.5 + 2 * unit(rng);
        Resonator f1(300 + 40 * unit(rng), 90, rate), f2(800 + 120 * unit(rng), 140, rate);
        double phase = 0;
        for (size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate - onset;
            if (t < 0 || t > length) continue;
            // The pitch sags as the voice runs out of breath.
            const double f = f0 * (1.0 - 0.12 * t / length) * (1 + 0.015 * std::sin(2 * kPi * vibrato * t));
            phase += f / rate;
            phase -= std::floor(phase);
            const double source = 2 * phase - 1;
            const double env = std::min(1.0, t / 0.15) * std::min(1.0, (length - t) / 0.4);
            const double s = (f1(source) * 1.0 + f2(source) * 0.35) * env;
            out[i * 2] += static_cast<float>(s * (1 - pan));
            out[i * 2 + 1] += static_cast<float>(s * pan);
        }
    }
    normalise(out, 0.75f);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wavegen FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    for (int bits : {8, 16})
        for (int stereo : {0, 1})
            for (int khz : {11, 22, 44}) {
                const int rate = khz == 11 ? 11025 : khz == 22 ? 22050 : 44100;
                const std::string name = std::to_string(bits) + "-" + std::to_string(stereo) + "-" + std::to_string(khz) + ".wav";
                ok = write(dir + "/" + name, rate, stereo + 1, bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16, {}) && ok;
            }
    ok = write(dir + "/applause.wav", 44100, 2, SF_FORMAT_PCM_16, applause(4.5, 900, 1)) && ok;
    ok = write(dir + "/APPL.WAV", 44100, 2, SF_FORMAT_PCM_16, applause(2.5, 380, 7)) && ok;
    ok = write(dir + "/boo.wav", 44100, 2, SF_FORMAT_PCM_16, booing(3.0, 14, 3)) && ok;
    return ok ? 0 : 1;
}
