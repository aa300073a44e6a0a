#include "audiooutput.h"

#include <pulse/pulseaudio.h>

#include <atomic>

namespace cantavo {

namespace {

// One playback stream on its own threaded main loop. Every call on the loop's objects is
// made with the loop locked; the callbacks only wake the writer.
class PulseOutput : public AudioOutput {
public:
    ~PulseOutput() override {
        if (loop_) pa_threaded_mainloop_stop(loop_);
        if (stream_) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_) pa_threaded_mainloop_free(loop_);
    }

    bool open(const QString& appName, int sampleRate, int targetLatencyMs, QString* error) {
        rate_ = sampleRate;
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return fail(QStringLiteral("the sound server's client library could not start"), error);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), appName.toUtf8().constData());
        if (!context_) return fail(QStringLiteral("the sound server's client library could not start"), error);
        pa_context_set_state_callback(context_, &PulseOutput::wake, this);
        // Never start a server of our own: a missing one is reported, not hidden.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return fail(serverError(pa_context_errno(context_)), error);
        if (pa_threaded_mainloop_start(loop_) < 0) return fail(QStringLiteral("the sound server's client thread could not start"), error);

        pa_threaded_mainloop_lock(loop_);
        // Unlocks the loop on every way out.
        const auto failLocked = [&] {
            const QString why = serverError(pa_context_errno(context_));
            pa_threaded_mainloop_unlock(loop_);
            return fail(why, error);
        };
        if (!waitUntil([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
                       [this] { return PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)); }))
            return failLocked();
        pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(sampleRate), 2};
        stream_ = pa_stream_new(context_, "Music", &spec, nullptr);
        pa_stream_set_state_callback(stream_, &PulseOutput::wake, this);
        pa_stream_set_write_callback(stream_, &PulseOutput::wakeWrite, this);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(targetLatencyMs) * 1000, &spec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) return failLocked();
        if (!waitUntil([this] { return pa_stream_get_state(stream_) == PA_STREAM_READY; },
                       [this] { return PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)); }))
            return failLocked();
        latency_ = static_cast<int>(pa_bytes_to_usec(attr.tlength, &spec) * static_cast<pa_usec_t>(rate_) / 1000000);
        pa_threaded_mainloop_unlock(loop_);
        return true;
    }

    bool waitWritable(int frames) override {
        const size_t bytes = static_cast<size_t>(frames) * 2 * sizeof(float);
        pa_threaded_mainloop_lock(loop_);
        bool ok = true;
        for (;;) {
            if (!good()) {
                ok = false;
                break;
            }
            if (interrupted_.exchange(false)) break;
            const size_t room = pa_stream_writable_size(stream_);
            if (room != static_cast<size_t>(-1) && room >= bytes) break;
            pa_threaded_mainloop_wait(loop_);
        }
        if (!ok) error_ = serverError(pa_context_errno(context_));
        pa_threaded_mainloop_unlock(loop_);
        return ok;
    }

    bool write(const float* interleaved, int frames) override {
        pa_threaded_mainloop_lock(loop_);
        bool ok = good() && pa_stream_write(stream_, interleaved, static_cast<size_t>(frames) * 2 * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE) == 0;
        if (ok) {
            pa_usec_t usec = 0;
            int negative = 0;
            if (pa_stream_get_latency(stream_, &usec, &negative) == 0 && !negative)
                latency_ = static_cast<int>(usec * static_cast<pa_usec_t>(rate_) / 1000000);
        } else {
            error_ = serverError(pa_context_errno(context_));
        }
        pa_threaded_mainloop_unlock(loop_);
        return ok;
    }

    int latencyFrames() override { return latency_; }

    void interrupt() override {
        interrupted_.store(true);
        pa_threaded_mainloop_lock(loop_);
        pa_threaded_mainloop_signal(loop_, 0);
        pa_threaded_mainloop_unlock(loop_);
    }

    QString error() const override { return error_; }

private:
    static void wake(pa_context*, void* self) { pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0); }
    static void wake(pa_stream*, void* self) { pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0); }
    static void wakeWrite(pa_stream*, size_t, void* self) { pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0); }

    // With the loop locked: waits until `ready`, or false once `good` no longer holds.
    template <typename Ready, typename Good>
    bool waitUntil(Ready ready, Good good) {
        while (!ready()) {
            if (!good()) return false;
            pa_threaded_mainloop_wait(loop_);
        }
        return true;
    }

    bool good() const {
        return PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) && stream_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
    }
    static QString serverError(int code) {
        QString where = qEnvironmentVariable("PULSE_SERVER");
        if (where.isEmpty()) where = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
        return QStringLiteral("no sound server answered at %1 (%2)").arg(where, QString::fromUtf8(pa_strerror(code)));
    }
    bool fail(const QString& why, QString* error) {
        error_ = why;
        if (error) *error = why;
        return false;
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
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
