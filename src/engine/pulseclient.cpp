#include "pulseclient.h"

#include "realtime.h"

namespace cantavo {

void PulseClient::stop() {
    if (running_) pa_threaded_mainloop_stop(loop_);
    running_ = false;
}

PulseClient::~PulseClient() {
    stop();
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_) pa_threaded_mainloop_free(loop_);
}

void PulseClient::wakeContext(pa_context*, void* self) { pa_threaded_mainloop_signal(static_cast<PulseClient*>(self)->loop_, 0); }
void PulseClient::wakeStream(pa_stream*, void* self) { pa_threaded_mainloop_signal(static_cast<PulseClient*>(self)->loop_, 0); }
void PulseClient::wakeStreamBytes(pa_stream*, size_t, void* self) { pa_threaded_mainloop_signal(static_cast<PulseClient*>(self)->loop_, 0); }

bool PulseClient::connect(const QString& appName, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return fail(QStringLiteral("the sound server's client library could not start"));
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), appName.toUtf8().constData());
    if (!context_) return fail(QStringLiteral("the sound server's client library could not start"));
    pa_context_set_state_callback(context_, &PulseClient::wakeContext, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return fail(serverError());
    if (pa_threaded_mainloop_start(loop_) < 0) return fail(QStringLiteral("the sound server's client thread could not start"));
    running_ = true;
    lock();
    // The loop's thread tells the stream when the server wants more: the clock thread waits on
    // it, so it runs at the clock thread's priority (asked for on the thread itself).
    pa_mainloop_api_once(
        pa_threaded_mainloop_get_api(loop_), [](pa_mainloop_api*, void*) { MakeCallingThreadRealtime(); }, nullptr);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) break;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            const QString why = serverError();
            unlock();
            return fail(why);
        }
        wait();
    }
    unlock();
    return true;
}

bool PulseClient::waitReady(pa_stream* stream, QString* error) {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state) || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
            if (error) *error = serverError();
            return false;
        }
        wait();
    }
}

bool PulseClient::good(pa_stream* stream) const {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) && stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
}

QString PulseClient::serverError() const { return serverError(context_ ? pa_context_errno(context_) : PA_ERR_CONNECTIONREFUSED); }

QString PulseClient::serverError(int code) {
    QString where = qEnvironmentVariable("PULSE_SERVER");
    if (where.isEmpty()) where = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
    return QStringLiteral("no sound server answered at %1 (%2)").arg(where, QString::fromUtf8(pa_strerror(code)));
}

}  // namespace cantavo
