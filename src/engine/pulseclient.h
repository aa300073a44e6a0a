#pragma once

#include <QString>

#include <pulse/pulseaudio.h>

namespace cantavo {

// A connection to the desktop's sound server on a threaded main loop of the client library:
// what the music's output stream and the voice's input stream share. Every call on the
// loop's objects is made with the loop locked; the library's callbacks only wake waiters.
class PulseClient {
public:
    PulseClient() = default;
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;
    ~PulseClient();

    // Connects (never starting a server of our own: a missing one is reported, not hidden).
    bool connect(const QString& appName, QString* error);
    // Connects `stream` (made by the caller, loop locked) and waits until it is ready.
    // Call with the loop locked; false with `error` when the stream failed.
    bool waitReady(pa_stream* stream, QString* error);

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }
    void lock() const { pa_threaded_mainloop_lock(loop_); }
    void unlock() const { pa_threaded_mainloop_unlock(loop_); }
    void wait() const { pa_threaded_mainloop_wait(loop_); }
    bool good(pa_stream* stream) const;
    // Stops the loop's thread, so that the caller's streams can be let go without locking.
    void stop();

    // The callbacks to give the library: they wake whoever waits on the loop.
    static void wakeContext(pa_context*, void* self);
    static void wakeStream(pa_stream*, void* self);
    static void wakeStreamBytes(pa_stream*, size_t, void* self);

    // What to say when the server does not answer, with where it was looked for.
    QString serverError() const;
    static QString serverError(int code);

private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
};

}  // namespace cantavo
