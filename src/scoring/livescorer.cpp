#include "livescorer.h"

#include <QScopeGuard>

#include <cmath>
#include <ctime>

#include "audioinput.h"

namespace cantavo {

LiveScorer::LiveScorer(Clock heardTickAt, const Melody& melody, Difficulty difficulty)
    : heardTickAt_(std::move(heardTickAt)), keeper_(melody, difficulty) {}

LiveScorer::~LiveScorer() = default;

bool LiveScorer::start(int sampleRate, double extraMs, QString* error) {
    stop();
    error_.clear();
    extraMs_ = extraMs;
    // A short input buffer: the guide draws the voice as it is sung.
    input_ = OpenPulseInput(QStringLiteral("Cantavo!"), sampleRate, 20, &error_);
    if (!input_) {
        if (error) *error = error_;
        return false;
    }
    inputDescription_ = input_->description();
    tracker_ = std::make_unique<PitchTracker>(sampleRate);
    fed_ = 0;
    return true;
}

void LiveScorer::stop() {
    input_.reset();
    tracker_.reset();
    buffer_.clear();
}

void LiveScorer::place(const PitchFrame& f, double songMs) {
    keeper_.add(songMs, f.pitch);
    if (!recent_.empty() && songMs < recent_.back().songMs) recent_.clear();  // a jump back
    recent_.push_back({songMs, f.pitch});
    while (!recent_.empty() && recent_.front().songMs < songMs - kRecentMs) recent_.pop_front();
}

namespace {

double threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

}  // namespace

bool LiveScorer::pump() {
    if (!input_) return false;
    const double cpuStart = threadCpuNs();
    const auto account = qScopeGuard([&] { cpuNs_ += threadCpuNs() - cpuStart; });
    buffer_.clear();
    qint64 lastNs = 0;
    const int n = input_->read(buffer_, &lastNs);
    if (n < 0) {
        error_ = input_->error();
        stop();
        return false;
    }
    if (n == 0) return true;
    float peak = 0;
    for (float v : buffer_) peak = std::max(peak, std::fabs(v));
    levelDb_ = peak > 0 ? 20.0 * std::log10(peak) : -120.0;
    const std::vector<float> mono = MonoOf(buffer_.data(), static_cast<size_t>(n), 2);
    frames_.clear();
    tracker_->feed(mono.data(), mono.size(), frames_);
    const double rate = tracker_->sampleRate();
    const long long last = fed_ + n - 1;
    fed_ += n;
    const Melody& melody = keeper_.melody();
    for (const PitchFrame& f : frames_) {
        // The middle of the measured stretch, on the steady clock, as the singer sang it.
        const double sample = f.ms * rate / 1000.0;
        const double ns = static_cast<double>(lastNs) - (static_cast<double>(last) - sample) * 1e9 / rate - extraMs_ * 1e6;
        const double tick = heardTickAt_(static_cast<qint64>(ns));
        if (std::isnan(tick) || tick < 0) continue;
        place(f, melody.msAtTick(tick));
    }
    return true;
}

}  // namespace cantavo
