#pragma once

#include <vector>

namespace cantavo {

// How far apart two recordings of the same sound are, at one sample rate: the lag of the
// cross-correlation's peak, found coarsely on a decimated copy, then sample by sample,
// then between samples. In ms (positive: `later` comes later), searched within ±rangeMs;
// `peak` gets the normalised correlation there (0..1).
double DelayMs(const std::vector<float>& earlier, const std::vector<float>& later, int rate, double rangeMs, double* peak = nullptr);

}  // namespace cantavo
