#include "audiooutput.h"

#include <atomic>

#include "pulseclient.h"

namespace cantavo {

namespace {

// One playback stream on its own connection to the server.
class PulseOutput : public AudioOutput {
public:
    ~PulseOutput() override {
        client_.stop();
        if (stream_) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
    }

    bool open(const QString& appName, int sampleRate, int targetLatencyMs, QString* error) {
        rate_ = sampleRate;
        if (!client_.connect(appName, error)) return fail(error ? *error : QString(), nullptr);
        client_.lock();
        pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(sampleRate), 2};
        stream_ = pa_stream_new(client_.context(), "Music", &spec, nullptr);
        if (!stream_) {
            const QString why = client_.serverError();
            client_.unlock();
            return fail(why, error);
        }
        pa_stream_set_state_callback(stream_, &PulseClient::wakeStream, &client_);
        pa_stream_set_write_callback(stream_, &PulseClient::wakeStreamBytes, &client_);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(targetLatencyMs) * 1000, &spec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        QString why;
        const bool ok = pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) == 0 && client_.waitReady(stream_, &why);
        if (ok) latency_ = static_cast<int>(pa_bytes_to_usec(attr.tlength, &spec) * static_cast<pa_usec_t>(rate_) / 1000000);
        else if (why.isEmpty()) why = client_.serverError();
        client_.unlock();
        return ok || fail(why, error);
    }

    bool waitWritable(int frames) override {
        const size_t bytes = static_cast<size_t>(frames) * 2 * sizeof(float);
        client_.lock();
        bool ok = true;
        for (;;) {
            if (!client_.good(stream_)) {
                ok = false;
                break;
            }
            if (interrupted_.exchange(false)) break;
            const size_t room = pa_stream_writable_size(stream_);
            if (room != static_cast<size_t>(-1) && room >= bytes) break;
            client_.wait();
        }
        if (!ok) error_ = client_.serverError();
        client_.unlock();
        return ok;
    }

    bool write(const float* interleaved, int frames) override {
        client_.lock();
        bool ok = client_.good(stream_) && pa_stream_write(stream_, interleaved, static_cast<size_t>(frames) * 2 * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE) == 0;
        if (ok) {
            pa_usec_t usec = 0;
            int negative = 0;
            if (pa_stream_get_latency(stream_, &usec, &negative) == 0 && !negative)
                latency_ = static_cast<int>(usec * static_cast<pa_usec_t>(rate_) / 1000000);
        } else {
            error_ = client_.serverError();
        }
        client_.unlock();
        return ok;
    }

    int latencyFrames() override { return latency_; }

    void interrupt() override {
        interrupted_.store(true);
        client_.lock();
        pa_threaded_mainloop_signal(client_.loop(), 0);
        client_.unlock();
    }

    QString error() const override { return error_; }

private:
    bool fail(const QString& why, QString* error) {
        error_ = why;
        if (error) *error = why;
        return false;
    }

    PulseClient client_;
    pa_stream* stream_ = nullptr;
    int rate_ = 44100;
    int latency_ = 0;
    std::atomic<bool> interrupted_{false};
    QString error_;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenPulseOutput(const QString& appName, int sampleRate, int targetLatencyMs, QString* error) {
    auto out = std::make_unique<PulseOutput>();
    if (!out->open(appName, sampleRate, targetLatencyMs, error)) return nullptr;
    return out;
}

}  // namespace cantavo
