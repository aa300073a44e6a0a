#pragma once
// A voice played into the sound server in step with a song, for the scoring tests and
// benchmarks.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "audiooutput.h"
#include "steadyclock.h"

namespace cantavo::test {

// Plays a voice into the sound server on a thread of its own, placed so that its sample 0
// is heard at `startNs` (set once the song's start is known): each block goes out where the
// stream's latency says it will be heard.
class VoicePlayer {
public:
    VoicePlayer(std::vector<float> voice, int rate) : voice_(std::move(voice)), rate_(rate) {
        out_ = OpenPulseOutput(QStringLiteral("synthetic singer"), rate, 20, &error);
        if (out_) thread_ = std::thread([this] { run(); });
    }
    ~VoicePlayer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::atomic<qint64> startNs{0};
    bool ok() const { return out_ != nullptr; }
    // Places the voice once the song is heard; `songMsAt`: the song's time heard at a time of
    // the steady clock, NaN while it is not playing. Call it until it has (it is cheap after).
    void follow(const std::function<double(qint64)>& songMsAt) {
        if (startNs.load() != 0) return;
        const qint64 now = SteadyNs();
        const double ms = songMsAt(now);
        if (!std::isnan(ms) && ms > 0) startNs = now - static_cast<qint64>(ms * 1e6);
    }
    QString error;

private:
    void run() {
        constexpr int kBlock = 128;
        std::vector<float> block(2 * kBlock);
        qint64 next = -1;
        while (!stop_ && out_->waitWritable(kBlock)) {
            const qint64 start = startNs.load();
            std::fill(block.begin(), block.end(), 0.0f);
            if (start > 0) {
                const double heardNs = static_cast<double>(SteadyNs()) + out_->latencyFrames() * 1e9 / rate_;
                const qint64 wanted = static_cast<qint64>((heardNs - static_cast<double>(start)) * rate_ / 1e9);
                // Placed once; followed again only if the stream falls well away from the clock
                // (the reported latency wavers by a few ms from block to block).
                if (next < 0 || std::llabs(wanted - next) > rate_ / 50) next = wanted;
                for (int i = 0; i < kBlock; ++i, ++next)
                    if (next >= 0 && next < static_cast<qint64>(voice_.size())) block[2 * i] = block[2 * i + 1] = voice_[static_cast<size_t>(next)];
            }
            if (!out_->write(block.data(), kBlock)) break;
        }
    }
    std::vector<float> voice_;
    int rate_;
    std::unique_ptr<AudioOutput> out_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace cantavo::test
