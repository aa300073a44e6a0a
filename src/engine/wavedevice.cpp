#include "wavedevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#include <SDL2/SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "atomicfile.h"
#include "wavewriter.h"

namespace cantavo {

namespace {

bool initAudio(QString* error) {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Cantavo!");
        // The library would take SIGINT and SIGTERM for itself and leave them unanswered:
        // the desktop's logout must still end the program.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    });
    if (!ok && error) *error = QStringLiteral("Error while loading media device driver: %1").arg(QString::fromUtf8(SDL_GetError()));
    return ok;
}

SDL_AudioFormat sdlFormat(const WaveFormat& f) { return f.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS; }

QString& spoolFolderSetting() {
    static QString folder;
    return folder;
}

// Held while this run has spool files, so that the next run can tell ours from a dead one's.
void holdSpoolLock() {
    static std::unique_ptr<QLockFile> lock;
    if (!lock && !spoolFolderSetting().isEmpty()) {
        lock = std::make_unique<QLockFile>(QDir(spoolFolderSetting()).filePath(QStringLiteral("take-%1.lock").arg(QCoreApplication::applicationPid())));
        lock->tryLock(0);
    }
}

QString newSpoolPath() {
    static int serial = 0;
    if (spoolFolderSetting().isEmpty()) return {};
    holdSpoolLock();
    return QDir(spoolFolderSetting()).filePath(QStringLiteral("take-%1-%2.wav").arg(QCoreApplication::applicationPid()).arg(++serial));
}

}  // namespace

WaveDevice::WaveDevice(QObject* parent) : QObject(parent) {
    pump_.setInterval(20);
    connect(&pump_, &QTimer::timeout, this, &WaveDevice::pump);
}

WaveDevice::~WaveDevice() { close(); }

bool WaveDevice::open(const QString& path, QString* error) {
    close();
    const QString problem = InputFileProblem(path, kMaxSoundBytes);
    if (!problem.isEmpty()) {
        if (error) *error = QStringLiteral("Invalid file name: %1 (%2)").arg(path, problem);
        return false;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
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

void WaveDevice::create(const WaveFormat& format) {
    close();
    format_ = format;
    open_ = true;
}

void WaveDevice::setSpoolFolder(const QString& folder) { spoolFolderSetting() = folder; }

QString WaveDevice::spoolFolder() { return spoolFolderSetting(); }

QStringList WaveDevice::LeftoverTakes() {
    const QString folder = spoolFolderSetting();
    if (folder.isEmpty()) return {};
    const QDir dir(folder);
    QStringList found;
    const QString mine = QString::number(QCoreApplication::applicationPid());
    for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("take-*-*.wav")}, QDir::Files, QDir::Time)) {
        const QString pid = f.fileName().section(QLatin1Char('-'), 1, 1);
        if (pid == mine) continue;
        // A run that still lives holds its lock; a dead one's lock is stale and gives way.
        QLockFile owner(dir.filePath(QStringLiteral("take-%1.lock").arg(pid)));
        if (!owner.tryLock(0)) continue;
        owner.unlock();
        // Another copy is offering it now.
        if (!ClaimLeftoverTake(f.absoluteFilePath())) continue;
        if (f.size() > 0) found << f.absoluteFilePath();
    }
    return found;
}

std::unique_ptr<QLockFile> WaveDevice::ClaimLeftoverTake(const QString& path) {
    auto claim = std::make_unique<QLockFile>(path + QStringLiteral(".claim"));
    if (!claim->tryLock(0)) return nullptr;
    return claim;
}

void WaveDevice::adoptAsSpool() {
    // Under this run's own name, so that no other running copy takes it for a dead run's.
    const QString own = newSpoolPath();
    spool_ = !own.isEmpty() && QFile::rename(path_, own) ? own : path_;
    // Recording again goes on after it, as after a take just stopped.
    position_ = take_.size();
}

void WaveDevice::keepSpool() {
    stop();
    spool_.clear();
}

void WaveDevice::close() {
    stop();
    closeDevice();
    if (!spool_.isEmpty()) QFile::remove(spool_);
    spool_.clear();
    open_ = false;
    take_.clear();
    path_.clear();
    position_ = 0;
    state_ = State::Stopped;
}

bool WaveDevice::openDevice(QString* error) {
    if (!initAudio(error)) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = format_.rate;
    want.format = sdlFormat(format_);
    want.channels = static_cast<Uint8>(format_.channels);
    // Closing a playback device waits two of its buffers for the sound to drain, on this
    // (the window's) thread: buffers of about 23 ms whatever the rate keep that wait short.
    Uint16 samples = 1024;
    while (samples > 128 && samples * 1000 / format_.rate > 30) samples /= 2;
    want.samples = samples;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
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
    if (!openDevice(error)) return false;
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
    take_.truncate(position_);
    recordingProblem_.clear();
    spoolProblem_.clear();
    // Recording again on the take writes its spool again from the start.
    if (spool_.isEmpty()) spool_ = newSpoolPath();
    recorder_ = std::make_unique<TakeRecorder>(format_, music_);
    if (!recorder_->start(take_, spool_, error)) {
        recorder_.reset();
        return false;
    }
    inputDescription_ = recorder_->inputDescription();
    state_ = State::Recording;
    pump_.start();
    return true;
}

void WaveDevice::pump() {
    if (state_ == State::Recording) {
        if (recorder_ && !recorder_->pump(take_)) {
            recordingProblem_ = recorder_->error();
            stop();
            emit completed();
        }
        position_ = take_.size();
        return;
    }
    if (device_ == 0) return;
    if (state_ == State::Playing) {
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

void WaveDevice::finishRecording() {
    if (!recorder_) return;
    recorder_->finish(take_);
    spoolProblem_ = recorder_->spoolProblem();
    recorder_.reset();
    position_ = take_.size();
}

void WaveDevice::pause() {
    if (state_ == State::Playing || state_ == State::Recording) {
        if (state_ == State::Playing) pump();
        finishRecording();
        closeDevice();
        state_ = State::Paused;
    }
}

void WaveDevice::stop() {
    finishRecording();
    if (state_ == State::Playing && device_ != 0) position_ = take_.size() - SDL_GetQueuedAudioSize(device_);
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
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("The wave file %1 could not be written: %2.").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    SF_INFO info{};
    info.samplerate = format_.rate;
    info.channels = format_.channels;
    info.format = SF_FORMAT_WAV | (format_.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    WaveWriter file;
    QString why;
    // The take's bytes are already the wave file's data: unsigned 8-bit or little-endian 16-bit.
    const sf_count_t bytes = take_.size() - take_.size() % format_.bytesPerFrame();
    if (!file.open(path, info, &why)) return fail(why);
    file.writeRaw(take_.constData(), bytes);
    if (!file.commit(&why)) return fail(why);
    return true;
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
