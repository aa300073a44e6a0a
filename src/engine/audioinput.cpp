#include "audioinput.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "pulseclient.h"
#include "steadyclock.h"

namespace cantavo {

namespace {

// Asks the server for a source's description, with the loop locked; `name` null: the
// server's default source.
QString sourceDescription(PulseClient& client, const char* name) {
    struct Answer {
        PulseClient* client;
        QString defaultName;
        QString description;
        bool done = false;
    } answer{&client, {}, {}, false};
    QByteArray wanted = name ? QByteArray(name) : QByteArray();
    if (wanted.isEmpty()) {
        pa_operation* op = pa_context_get_server_info(
            client.context(),
            [](pa_context*, const pa_server_info* info, void* data) {
                auto* a = static_cast<Answer*>(data);
                if (info && info->default_source_name) a->defaultName = QString::fromUtf8(info->default_source_name);
                a->done = true;
                pa_threaded_mainloop_signal(a->client->loop(), 0);
            },
            &answer);
        if (!op) return {};
        while (!answer.done && pa_operation_get_state(op) == PA_OPERATION_RUNNING) client.wait();
        pa_operation_unref(op);
        wanted = answer.defaultName.toUtf8();
        answer.done = false;
        if (wanted.isEmpty()) return {};
    }
    pa_operation* op = pa_context_get_source_info_by_name(
        client.context(), wanted.constData(),
        [](pa_context*, const pa_source_info* info, int eol, void* data) {
            auto* a = static_cast<Answer*>(data);
            if (info && info->description) a->description = QString::fromUtf8(info->description);
            if (eol) a->done = true;
            pa_threaded_mainloop_signal(a->client->loop(), 0);
        },
        &answer);
    if (!op) return QString::fromUtf8(wanted);
    while (!answer.done && pa_operation_get_state(op) == PA_OPERATION_RUNNING) client.wait();
    pa_operation_unref(op);
    return answer.description.isEmpty() ? QString::fromUtf8(wanted) : answer.description;
}

// The server's sources, with the loop locked: microphones first, then the monitors.
QList<InputSource> listSources(PulseClient& client) {
    struct Answer {
        PulseClient* client;
        QList<InputSource> inputs, monitors;
        bool done = false;
    } answer{&client, {}, {}, false};
    pa_operation* op = pa_context_get_source_info_list(
        client.context(),
        [](pa_context*, const pa_source_info* info, int eol, void* data) {
            auto* a = static_cast<Answer*>(data);
            if (info && info->name) {
                const InputSource source{QString::fromUtf8(info->name),
                                         QString::fromUtf8(info->description ? info->description : info->name)};
                (info->monitor_of_sink == PA_INVALID_INDEX ? a->inputs : a->monitors) << source;
            }
            if (eol) a->done = true;
            pa_threaded_mainloop_signal(a->client->loop(), 0);
        },
        &answer);
    if (!op) return {};
    while (!answer.done && pa_operation_get_state(op) == PA_OPERATION_RUNNING) client.wait();
    pa_operation_unref(op);
    return answer.inputs + answer.monitors;
}

QString& chosenInput() {
    static QString name;
    return name;
}

class PulseInput : public AudioInput {
public:
    ~PulseInput() override {
        client_.stop();
        if (stream_) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
    }

    bool open(const QString& appName, int sampleRate, int latencyMs, QString* error) {
        rate_ = sampleRate;
        if (!client_.connect(appName, error)) return false;
        client_.lock();
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(sampleRate), 2};
        stream_ = pa_stream_new(client_.context(), "Voice", &spec, nullptr);
        QString why;
        bool ok = stream_ != nullptr;
        if (ok) {
            pa_stream_set_state_callback(stream_, &PulseClient::wakeStream, &client_);
            pa_buffer_attr attr;
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
            attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(latencyMs) * 1000, &spec));
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
            // The singer's microphone, where it is still there.
            QByteArray device;
            if (const QString chosen = ChosenInput(); !chosen.isEmpty()) {
                const QList<InputSource> sources = listSources(client_);
                if (std::any_of(sources.begin(), sources.end(), [&](const InputSource& i) { return i.name == chosen; })) device = chosen.toUtf8();
                else note_ = QStringLiteral("The chosen input (%1) is not there; the default input is used").arg(chosen);
            }
            ok = pa_stream_connect_record(stream_, device.isEmpty() ? nullptr : device.constData(), &attr, flags) == 0 &&
                 client_.waitReady(stream_, &why);
        }
        if (ok) description_ = sourceDescription(client_, pa_stream_get_device_name(stream_));
        else if (why.isEmpty()) why = client_.serverError();
        client_.unlock();
        if (!ok) {
            error_ = why;
            if (error) *error = why;
        }
        return ok;
    }

    int read(std::vector<float>& out, qint64* lastCapturedNs) override {
        client_.lock();
        if (!client_.good(stream_)) {
            error_ = client_.serverError();
            client_.unlock();
            return -1;
        }
        size_t bytes = 0;
        for (;;) {
            const void* data = nullptr;
            size_t n = 0;
            if (pa_stream_peek(stream_, &data, &n) < 0 || n == 0) break;
            const size_t at = out.size();
            out.resize(at + n / sizeof(float));
            // A hole in the stream (data null) stays the silence resize() made.
            if (data) std::memcpy(out.data() + at, data, n - n % sizeof(float));
            bytes += n;
            pa_stream_drop(stream_);
        }
        // For a record stream the latency is how long ago the last frame read was captured.
        pa_usec_t usec = 0;
        int negative = 0;
        const qint64 now = SteadyNs();
        if (pa_stream_get_latency(stream_, &usec, &negative) != 0) usec = 0;
        client_.unlock();
        latencyMs_ = negative ? 0.0 : static_cast<double>(usec) / 1000.0;
        if (lastCapturedNs) *lastCapturedNs = now - (negative ? 0 : static_cast<qint64>(usec) * 1000);
        return static_cast<int>(bytes / (2 * sizeof(float)));
    }

    QString error() const override { return error_; }
    double latencyMs() const override { return latencyMs_; }
    QString description() const override { return description_; }
    QString inputNote() const override { return note_; }

private:
    QString note_;
    double latencyMs_ = 0;
    PulseClient client_;
    pa_stream* stream_ = nullptr;
    int rate_ = 44100;
    QString error_;
    QString description_;
};

}  // namespace

std::unique_ptr<AudioInput> OpenPulseInput(const QString& appName, int sampleRate, int latencyMs, QString* error) {
    auto in = std::make_unique<PulseInput>();
    if (!in->open(appName, sampleRate, latencyMs, error)) return nullptr;
    return in;
}

QString DefaultInputDescription(QString* error) {
    PulseClient client;
    if (!client.connect(QStringLiteral("Cantavo!"), error)) return {};
    client.lock();
    const QString d = sourceDescription(client, nullptr);
    client.unlock();
    if (d.isEmpty() && error) *error = QStringLiteral("the sound server names no default input");
    return d;
}

QList<InputSource> ListInputs(QString* error) {
    PulseClient client;
    if (!client.connect(QStringLiteral("Cantavo!"), error)) return {};
    client.lock();
    const QList<InputSource> found = listSources(client);
    client.unlock();
    return found;
}

void SetChosenInput(const QString& name) { chosenInput() = name; }
QString ChosenInput() { return chosenInput(); }

}  // namespace cantavo
