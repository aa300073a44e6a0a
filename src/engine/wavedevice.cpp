#include "wavedevice.h"

#include <QElapsedTimer>
#include <QThread>

#include <SDL2/SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace cantavo {

namespace {

bool initAudio(QString* error) {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Cantavo!");
        ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    });
    if (!ok && error) *error = QStringLiteral("Error while loading media device driver: %1").arg(QString::fromUtf8(SDL_GetError()));
    return ok;
}

SDL_AudioFormat sdlFormat(const WaveFormat& f) { return f.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS; }

}  // namespace

WaveDevice::WaveDevice(QObject* parent) : QObject(parent) {
    pump_.setInterval(20);
    connect(&pump_, &QTimer::timeout, this, &WaveDevice::pump);
}

WaveDevice::~WaveDevice() { close(); }

bool WaveDevice::open(const QString& path, QString* error) {
    close();
    SF_INFO info{};
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!f) {
        if (error) *error = QStringLiteral("Invalid file name: %1 (%2)").arg(path, QString::fromUtf8(sf_strerror(nullptr)));
        return false;
    }
    const int sub = info.format & SF_FORMAT_SUBMASK;
    format_.bits = (sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_S8) ? 8 : 16;
    format_.channels = std::clamp(info.channels, 1, 2);
    format_.rate = info.samplerate;
    std::vector<short> frames(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = info.frames > 0 ? sf_readf_short(f, frames.data(), info.frames) : 0;
    sf_close(f);
    take_.clear();
    take_.reserve(got * format_.bytesPerFrame());
    for (sf_count_t i = 0; i < got; ++i) {
        for (int c = 0; c < format_.channels; ++c) {
            const short s = frames[static_cast<size_t>(i * info.channels + c)];
            if (format_.bits == 8) {
                take_.append(static_cast<char>((s >> 8) + 128));
            } else {
                take_.append(reinterpret_cast<const char*>(&s), 2);
            }
        }
    }
    path_ = path;
    position_ = 0;
    open_ = true;
    state_ = State::Stopped;
    return true;
}

void WaveDevice::close() {
    closeDevice();
    open_ = false;
    take_.clear();
    path_.clear();
    position_ = 0;
    state_ = State::Stopped;
}

bool WaveDevice::openDevice(bool capture, QString* error) {
    if (!initAudio(error)) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = format_.rate;
    want.format = sdlFormat(format_);
    want.channels = static_cast<Uint8>(format_.channels);
    // Closing a playback device waits two of its buffers for the sound to drain, on this
    // (the window's) thread: buffers of about 23 ms whatever the rate keep that wait short.
    Uint16 samples = 1024;
    while (!capture && samples > 128 && samples * 1000 / format_.rate > 30) samples /= 2;
    want.samples = samples;
    device_ = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, 0);
    if (device_ == 0) {
        if (error) *error = QStringLiteral("Error while loading media device driver: %1").arg(QString::fromUtf8(SDL_GetError()));
        return false;
    }
    return true;
}

void WaveDevice::closeDevice() {
    pump_.stop();
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
}

bool WaveDevice::play(QString* error) {
    if (!open_) {
        if (error) *error = QStringLiteral("Device not open or unknown");
        return false;
    }
    stop();
    if (position_ >= take_.size()) position_ = 0;
    if (!openDevice(false, error)) return false;
    queuedFrom_ = position_;
    SDL_QueueAudio(device_, take_.constData() + position_, static_cast<Uint32>(take_.size() - position_));
    SDL_PauseAudioDevice(device_, 0);
    state_ = State::Playing;
    pump_.start();
    return true;
}

bool WaveDevice::playSync(QString* error) {
    if (!play(error)) return false;
    pump_.stop();
    QElapsedTimer guard;
    guard.start();
    const qint64 limit = static_cast<qint64>(lengthMs()) + 5000;
    while (SDL_GetQueuedAudioSize(device_) > 0 && guard.elapsed() < limit) QThread::msleep(10);
    // What is still in the output's own buffer.
    QThread::msleep(60);
    closeDevice();
    position_ = take_.size();
    state_ = State::Stopped;
    return true;
}

bool WaveDevice::record(QString* error) {
    if (!open_) {
        if (error) *error = QStringLiteral("Device not open or unknown");
        return false;
    }
    stop();
    if (!openDevice(true, error)) return false;
    take_.truncate(position_);
    SDL_PauseAudioDevice(device_, 0);
    state_ = State::Recording;
    pump_.start();
    return true;
}

void WaveDevice::pump() {
    if (device_ == 0) return;
    if (state_ == State::Recording) {
        char buffer[16384];
        Uint32 n;
        while ((n = SDL_DequeueAudio(device_, buffer, sizeof buffer)) > 0) take_.append(buffer, static_cast<qsizetype>(n));
        position_ = take_.size();
    } else if (state_ == State::Playing) {
        const qint64 left = SDL_GetQueuedAudioSize(device_);
        position_ = take_.size() - left;
        if (left == 0) {
            closeDevice();
            position_ = take_.size();
            state_ = State::Stopped;
            emit completed();
        }
    }
}

void WaveDevice::pause() {
    if (state_ == State::Playing || state_ == State::Recording) {
        pump();
        closeDevice();
        state_ = State::Paused;
    }
}

void WaveDevice::stop() {
    if (state_ == State::Recording) pump();
    if (state_ == State::Playing) position_ = take_.size() - SDL_GetQueuedAudioSize(device_);
    closeDevice();
    state_ = State::Stopped;
}

void WaveDevice::seekMs(double ms) {
    stop();
    const qint64 frame = static_cast<qint64>(ms * format_.rate / 1000.0);
    position_ = std::clamp<qint64>(frame * format_.bytesPerFrame(), 0, take_.size());
}

bool WaveDevice::save(const QString& path, QString* error) {
    if (!open_) {
        if (error) *error = QStringLiteral("Device not open or unknown");
        return false;
    }
    if (state_ == State::Recording) stop();
    SF_INFO info{};
    info.samplerate = format_.rate;
    info.channels = format_.channels;
    info.format = SF_FORMAT_WAV | (format_.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!f) {
        if (error) *error = QStringLiteral("Invalid file name: %1 (%2)").arg(path, QString::fromUtf8(sf_strerror(nullptr)));
        return false;
    }
    const sf_count_t frames = take_.size() / format_.bytesPerFrame();
    sf_count_t written;
    if (format_.bits == 8) {
        // The file library writes 8-bit wave data from raw unsigned bytes.
        written = sf_write_raw(f, take_.constData(), frames * format_.bytesPerFrame()) / format_.bytesPerFrame();
    } else {
        written = sf_writef_short(f, reinterpret_cast<const short*>(take_.constData()), frames);
    }
    const bool ok = written == frames && sf_close(f) == 0;
    if (!ok && error) *error = QStringLiteral("The wave file %1 could not be written.").arg(path);
    return ok;
}

MediaMode WaveDevice::mode() const {
    if (!open_) return MediaMode::NotReady;
    switch (state_) {
    case State::Playing: return MediaMode::Playing;
    case State::Recording: return MediaMode::Recording;
    case State::Paused: return MediaMode::Paused;
    case State::Stopped: break;
    }
    return MediaMode::Stopped;
}

double WaveDevice::lengthMs() const {
    return format_.rate > 0 ? static_cast<double>(take_.size() / format_.bytesPerFrame()) * 1000.0 / format_.rate : 0;
}

double WaveDevice::positionMs() const {
    qint64 bytes = position_;
    if (state_ == State::Playing && device_ != 0) bytes = take_.size() - SDL_GetQueuedAudioSize(device_);
    return format_.rate > 0 ? static_cast<double>(bytes / format_.bytesPerFrame()) * 1000.0 / format_.rate : 0;
}

double WaveDevice::peak() const {
    double p = 0;
    if (format_.bits == 8) {
        for (char c : take_) p = std::max(p, std::abs(static_cast<unsigned char>(c) - 128) / 128.0);
    } else {
        const auto* s = reinterpret_cast<const short*>(take_.constData());
        for (qsizetype i = 0; i < take_.size() / 2; ++i) p = std::max(p, std::abs(static_cast<int>(s[i])) / 32768.0);
    }
    return p;
}

QString WaveDevice::audioDriverName() {
    const char* name = SDL_WasInit(SDL_INIT_AUDIO) ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

bool PlaySoundSync(const QString& path, QString* error) {
    WaveDevice d;
    return d.open(path, error) && d.playSync(error);
}

}  // namespace cantavo
