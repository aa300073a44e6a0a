#pragma once

// Records the sound server's sink (its monitor) as a listener would hear it, for the
// benchmarks that count gaps in the music.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace cantavo::bench {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

// Records the sink's monitor on a thread of its own, noting when each fragment arrived.
class MonitorRecorder {
public:
    bool start() {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, 2};
        pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                            static_cast<uint32_t>(pa_usec_to_bytes(10000, &spec))};
        int error = 0;
        pa_ = pa_simple_new(nullptr, "bench_output", PA_STREAM_RECORD, "nullsink.monitor", "monitor", &spec, nullptr, &attr, &error);
        if (!pa_) {
            std::fprintf(stderr, "cannot record nullsink.monitor: %s\n", pa_strerror(error));
            return false;
        }
        running_ = true;
        thread_ = std::thread([this] {
            std::vector<float> buffer(441 * 2);
            while (running_) {
                int error = 0;
                if (pa_simple_read(pa_, buffer.data(), buffer.size() * sizeof(float), &error) < 0) break;
                const auto now = Clock::now();
                for (size_t i = 0; i < buffer.size(); i += 2) {
                    const float v = std::max(std::fabs(buffer[i]), std::fabs(buffer[i + 1]));
                    samples_.push_back(v);
                }
                arrivals_.push_back(now);
            }
        });
        return true;
    }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
        if (pa_) pa_simple_free(pa_);
        pa_ = nullptr;
    }
    // When the first sound arrived, or the epoch when none did.
    Clock::time_point firstSound(float threshold = 1e-4f) const {
        for (size_t i = 0; i < samples_.size(); ++i)
            if (samples_[i] > threshold) return arrivals_[i / 441];
        return {};
    }
    // Runs of digital silence of at least 5 ms between the first and the last sound.
    int gaps(double* heardSeconds, double* longestMs = nullptr) const {
        size_t first = 0, last = samples_.size();
        while (first < samples_.size() && samples_[first] == 0.0f) ++first;
        while (last > first && samples_[last - 1] == 0.0f) --last;
        *heardSeconds = static_cast<double>(last - first) / kRate;
        int gaps = 0;
        size_t run = 0, longest = 0;
        for (size_t i = first; i < last; ++i) {
            if (samples_[i] == 0.0f) {
                if (++run == kRate / 200) ++gaps;
                if (run >= kRate / 200) longest = std::max(longest, run);
            } else {
                run = 0;
            }
        }
        if (longestMs) *longestMs = static_cast<double>(longest) * 1000.0 / kRate;
        return gaps;
    }

private:
    pa_simple* pa_ = nullptr;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<float> samples_;
    std::vector<Clock::time_point> arrivals_;
};

}  // namespace cantavo::bench
