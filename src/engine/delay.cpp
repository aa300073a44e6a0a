#include "delay.h"

#include <algorithm>
#include <cmath>

namespace cantavo {

namespace {

double correlationAt(const std::vector<float>& a, const std::vector<float>& b, long lag) {
    double sum = 0;
    const long n = static_cast<long>(std::min(a.size(), b.size()));
    for (long i = std::max(0L, -lag); i < n && i + lag < n; ++i) sum += static_cast<double>(a[static_cast<size_t>(i)]) * b[static_cast<size_t>(i + lag)];
    return sum;
}

}  // namespace

double DelayMs(const std::vector<float>& earlier, const std::vector<float>& later, int rate, double rangeMs, double* peak) {
    constexpr int kDecimate = 8;
    std::vector<float> a(earlier.size() / kDecimate), b(later.size() / kDecimate);
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < kDecimate; ++k) a[i] += earlier[i * kDecimate + static_cast<size_t>(k)];
    for (size_t i = 0; i < b.size(); ++i)
        for (int k = 0; k < kDecimate; ++k) b[i] += later[i * kDecimate + static_cast<size_t>(k)];
    const long range = static_cast<long>(rangeMs * rate / 1000 / kDecimate);
    long best = 0;
    double bestValue = -1e300;
    for (long lag = -range; lag <= range; ++lag) {
        const double v = correlationAt(a, b, lag);
        if (v > bestValue) bestValue = v, best = lag;
    }
    long fine = best * kDecimate;
    bestValue = -1e300;
    for (long lag = best * kDecimate - 2 * kDecimate; lag <= best * kDecimate + 2 * kDecimate; ++lag) {
        const double v = correlationAt(earlier, later, lag);
        if (v > bestValue) bestValue = v, fine = lag;
    }
    const double l = correlationAt(earlier, later, fine - 1), r = correlationAt(earlier, later, fine + 1);
    const double denominator = l - 2 * bestValue + r;
    const double between = denominator < 0 ? 0.5 * (l - r) / denominator : 0;
    if (peak) {
        const double ea = correlationAt(earlier, earlier, 0), eb = correlationAt(later, later, 0);
        *peak = ea > 0 && eb > 0 ? bestValue / std::sqrt(ea * eb) : 0;
    }
    return (static_cast<double>(fine) + between) * 1000.0 / rate;
}

}  // namespace cantavo
