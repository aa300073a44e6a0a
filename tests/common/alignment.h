#pragma once
// How far apart two recordings of the same sound are.
#include <vector>

#include "delay.h"

namespace cantavo::test {

// Interleaved stereo to mono.
inline std::vector<float> monoOf(const std::vector<float>& stereo) {
    std::vector<float> m(stereo.size() / 2);
    for (size_t i = 0; i < m.size(); ++i) m[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return m;
}

// The program's own measure, under the name the tests use.
inline double OffsetMs(const std::vector<float>& earlier, const std::vector<float>& later, int rate, double rangeMs, double* peak = nullptr) {
    return DelayMs(earlier, later, rate, rangeMs, peak);
}

}  // namespace cantavo::test
