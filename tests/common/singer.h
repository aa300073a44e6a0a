#pragma once
// A synthetic singer for the scoring tests and benchmarks: sings a melody as a voice-like
// tone (a sawtooth-like series of harmonics shaped by two vowel formants), with vibrato, a
// little breath noise, and a short breath between notes.
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "melody.h"

namespace cantavo::test {

struct Singer {
    int rate = 44100;
    double level = 0.25;
    double vibratoHz = 5.5;
    double vibratoCents = 30;
    double noise = 0.01;       // breath noise, as a share of full scale
    double breathMs = 25;      // silence at the end of each note
    double leadMs = 0;         // the singing comes this much later than the melody
    // How far each note is sung from its pitch, in half tones; NaN: the note is not sung.
    std::function<double(int note)> offset = [](int) { return 0.0; };

    std::vector<float> sing(const Melody& m, double totalMs) const {
        std::vector<float> out(static_cast<size_t>(totalMs * rate / 1000), 0.0f);
        std::mt19937 random(7);
        std::normal_distribution<float> gauss(0.0f, 1.0f);
        for (float& v : out) v = static_cast<float>(noise) * 0.3f * gauss(random);
        double phase = 0;
        for (size_t k = 0; k < m.notes.size(); ++k) {
            const double shift = offset(static_cast<int>(k));
            if (std::isnan(shift)) continue;
            const MelodyNote& n = m.notes[k];
            const double start = (n.startMs + leadMs) * rate / 1000, end = (n.endMs + leadMs - breathMs) * rate / 1000;
            const double f0 = 440.0 * std::pow(2.0, (n.pitch + shift - 69) / 12.0);
            for (long i = static_cast<long>(start); i < static_cast<long>(end) && i < static_cast<long>(out.size()); ++i) {
                if (i < 0) continue;
                const double t = (i - start) / rate, left = (end - i) / rate;
                const double f = f0 * std::pow(2.0, vibratoCents / 1200.0 * std::sin(2 * M_PI * vibratoHz * t));
                phase += 2 * M_PI * f / rate;
                double v = 0;
                for (int h = 1; h <= 12 && h * f < rate / 2.2; ++h) {
                    const double hz = h * f;
                    const double formant = 1.0 + 2.5 * std::exp(-std::pow((hz - 750) / 250, 2)) + 1.5 * std::exp(-std::pow((hz - 1150) / 300, 2));
                    v += formant / h * std::sin(h * phase);
                }
                const double envelope = std::min({1.0, t / 0.02, left / 0.02});
                out[static_cast<size_t>(i)] += static_cast<float>(level * 0.4 * envelope * v + noise * gauss(random));
            }
        }
        return out;
    }
};

}  // namespace cantavo::test
