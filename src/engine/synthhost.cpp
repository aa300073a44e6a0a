#include "synthhost.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>

#include "audiooutput.h"
#include "realtime.h"
#include "steadyclock.h"

namespace cantavo {

QString FindSoundFont(const QString& preferred) {
    QStringList candidates;
    if (!preferred.isEmpty()) return QFileInfo(preferred).isFile() ? preferred : QString();
    const QString env = qEnvironmentVariable("CANTAVO_SOUNDFONT");
    if (!env.isEmpty()) candidates << env;
    candidates << QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2") << QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2")
               << QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2") << QStringLiteral("/usr/share/soundfonts/default.sf2")
               << QStringLiteral("/usr/share/soundfonts/FluidR3_GM.sf2") << QStringLiteral("/usr/share/sounds/sf3/default-GM.sf3");
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return c;
    return {};
}

namespace {

// FluidSynth prints to stderr by default; the program says itself what went wrong.
void quietLog(int, const char*, void*) {}

constexpr int kBlock = 64;
// Frames rendered per wake-up of the clock thread: small, so that each write is quick.
constexpr int kChunk = SynthHost::kHeardChunkFrames;
// How far the silent clock renders ahead of real time.
constexpr int kSilentLead = 1024;

}  // namespace

std::unique_ptr<SynthHost> SynthHost::create(const Options& options, QString* error) {
    std::unique_ptr<SynthHost> host(new SynthHost);
    host->soundFont_ = FindSoundFont(options.soundFont);
    host->haveSoundFont_ = !host->soundFont_.isEmpty();
    if (!host->haveSoundFont_ && options.offline) {
        if (error) *error = NoSoundFontText();
        return nullptr;
    }
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, quietLog, nullptr);
    host->sampleRate_ = options.sampleRate;
    host->offline_ = options.offline;
    host->targetLatencyMs_ = std::max(20, options.latencyMs);
    host->useServer_ = options.audioDriver.isEmpty() || options.audioDriver == QLatin1String("pulseaudio");
    host->settings_ = new_fluid_settings();
    fluid_settings_setnum(host->settings_, "synth.sample-rate", options.sampleRate);
    fluid_settings_setint(host->settings_, "synth.lock-memory", 0);
    // Two sets of sixteen: the song's, and the music between singers', which can then never
    // change how the song's channels sound.
    fluid_settings_setint(host->settings_, "synth.midi-channels", kSynthChannels);
    host->synth_ = new_fluid_synth(host->settings_);
    if (!host->synth_) {
        if (error) *error = QStringLiteral("The synthesizer could not be started.");
        return nullptr;
    }
    if (host->haveSoundFont_ && fluid_synth_sfload(host->synth_, host->soundFont_.toLocal8Bit().constData(), 1) == FLUID_FAILED) {
        if (options.offline) {
            if (error) *error = QStringLiteral("The SoundFont %1 could not be loaded.").arg(host->soundFont_);
            return nullptr;
        }
        host->haveSoundFont_ = false;
    }
    if (options.offline) return host;
    host->latencyFrames_.store(static_cast<int>(static_cast<qint64>(host->targetLatencyMs_) * host->sampleRate_ / 1000));
    host->clock_ = std::thread(&SynthHost::clockThread, host.get());
    return host;
}

QString NoSoundFontText() {
    return QStringLiteral("No General MIDI SoundFont found. Install the package fluid-soundfont-gm, or name a .sf2 file with --soundfont.");
}

SynthHost::~SynthHost() {
    if (clock_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(wakeMutex_);
            quit_ = true;
            if (AudioOutput* out = output_.load()) out->interrupt();
        }
        wakeCondition_.notify_all();
        clock_.join();
    }
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

QString SynthHost::audioDriverName() const { return soundPlaying_.load() ? QStringLiteral("pulseaudio") : QStringLiteral("none"); }

QString SynthHost::outputProblem() const {
    if (!haveSoundFont_) return NoSoundFontText();
    std::lock_guard<std::mutex> lock(problemMutex_);
    return problem_;
}

void SynthHost::setOutputState(bool sound, const QString& problem) {
    {
        std::lock_guard<std::mutex> lock(problemMutex_);
        if (soundPlaying_.load() == sound && problem_ == problem) return;
        problem_ = problem;
        soundPlaying_.store(sound);
    }
    QMetaObject::invokeMethod(this, [this] { emit outputChanged(); }, Qt::QueuedConnection);
}

void SynthHost::wake() {
    if (offline_) return;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        wakeRequested_ = true;
    }
    wakeCondition_.notify_all();
}

bool SynthHost::listenersNeedClock() {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    for (BlockListener* l : listeners_)
        if (l->needsClock()) return true;
    return false;
}

QString SynthHost::clockPriority() const {
    std::lock_guard<std::mutex> lock(problemMutex_);
    return priority_;
}

void SynthHost::clockThread() {
    using Clock = std::chrono::steady_clock;
    {
        const QString priority = MakeCallingThreadRealtime();
        std::lock_guard<std::mutex> lock(problemMutex_);
        priority_ = priority;
    }
    std::vector<float> left(kChunk), right(kChunk), interleaved(2 * kChunk);
    std::unique_ptr<AudioOutput> out;
    bool tryServer = useServer_;
    qint64 quietFrames = sampleRate_;  // asleep until the first wake()
    qint64 tailFrames = 0;
    const qint64 kMaxTail = 2LL * sampleRate_;
    Clock::time_point paceWall = Clock::now();
    qint64 paceFrame = 0;
    const auto startSilentClock = [&] {
        paceWall = Clock::now();
        paceFrame = framesRendered_.load();
        latencyFrames_.store(kSilentLead);
    };
    const auto dropOutput = [&](const QString& why) {
        {
            std::lock_guard<std::mutex> lock(wakeMutex_);
            output_.store(nullptr);
            out.reset();
        }
        startSilentClock();
        setOutputState(false, QStringLiteral("No sound output: %1. The song goes on silently; a MIDI Out device still plays.").arg(why));
    };

    for (;;) {
        {
            std::unique_lock<std::mutex> lock(wakeMutex_);
            if (!wakeRequested_ && !quit_ && quietFrames >= sampleRate_ / 4) {
                // Nothing plays and nothing sounds: stop feeding the server until the next Play.
                output_.store(nullptr);
                out.reset();
                clockRunning_.store(false);
                wakeCondition_.wait(lock, [this] { return wakeRequested_ || quit_; });
                fluid_synth_all_sounds_off(synth_, -1);
                quietFrames = 0;
                tailFrames = 0;
                tryServer = useServer_;
                startSilentClock();
            }
            if (quit_) break;
            if (wakeRequested_) {
                wakeRequested_ = false;
                quietFrames = 0;
                tailFrames = 0;
                if (!out) tryServer = useServer_;
            }
        }
        clockRunning_.store(true);
        if (!out && tryServer) {
            tryServer = false;
            QString why;
            std::unique_ptr<AudioOutput> opened = OpenPulseOutput(QStringLiteral("Cantavo!"), sampleRate_, targetLatencyMs_, &why);
            if (opened) {
                std::lock_guard<std::mutex> lock(wakeMutex_);
                out = std::move(opened);
                output_.store(out.get());
                latencyFrames_.store(out->latencyFrames());
                setOutputState(true, haveSoundFont_ ? QString() : NoSoundFontText());
            } else {
                dropOutput(why);
            }
        } else if (!out && !useServer_) {
            setOutputState(false, QStringLiteral("No sound output: the silent clock was chosen. The song goes on silently; a MIDI Out device still plays."));
        }

        if (out) {
            if (!out->waitWritable(kChunk)) {
                dropOutput(out->error());
                continue;
            }
        } else {
            // Real-time pace without a device: stay a little ahead of the wall clock.
            const double elapsed = std::chrono::duration<double>(Clock::now() - paceWall).count();
            const qint64 due = paceFrame + static_cast<qint64>(elapsed * sampleRate_) + kSilentLead;
            const qint64 ahead = framesRendered_.load() - due;
            if (ahead > 0) {
                std::unique_lock<std::mutex> lock(wakeMutex_);
                wakeCondition_.wait_for(lock, std::chrono::microseconds(ahead * 1000000 / sampleRate_), [this] { return quit_; });
                continue;
            }
        }

        const qint64 chunkStart = SteadyNs();
        for (int done = 0; done < kChunk; done += kBlock) {
            std::fill(left.begin() + done, left.begin() + done + kBlock, 0.0f);
            std::fill(right.begin() + done, right.begin() + done + kBlock, 0.0f);
            float* dry[2] = {left.data() + done, right.data() + done};
            process(kBlock, 0, nullptr, 2, dry);
        }
        if (out) {
            for (int i = 0; i < kChunk; ++i) {
                interleaved[2 * static_cast<size_t>(i)] = left[static_cast<size_t>(i)];
                interleaved[2 * static_cast<size_t>(i) + 1] = right[static_cast<size_t>(i)];
            }
            if (!out->write(interleaved.data(), kChunk)) {
                dropOutput(out->error());
                continue;
            }
            const int latency = out->latencyFrames();
            latencyFrames_.store(latency);
            if (heardOn_.load(std::memory_order_acquire)) {
                // The output's latency runs to the last frame written.
                const qint64 now = SteadyNs();
                const qint64 first = framesRendered_.load() - kChunk;
                keepHeard(interleaved.data(), first, now + static_cast<qint64>(latency - kChunk) * 1000000000 / sampleRate_);
            }
        }
        const qint64 took = SteadyNs() - chunkStart;
        if (took > longestChunkNs_.load(std::memory_order_relaxed)) longestChunkNs_.store(took, std::memory_order_relaxed);
        // After the music stops, its last notes ring out for a moment at most.
        if (listenersNeedClock()) {
            quietFrames = 0;
            tailFrames = 0;
        } else {
            tailFrames += kChunk;
            quietFrames = fluid_synth_get_active_voice_count(synth_) > 0 && tailFrames < kMaxTail ? 0 : quietFrames + kChunk;
        }
    }
    std::lock_guard<std::mutex> lock(wakeMutex_);
    output_.store(nullptr);
    out.reset();
    clockRunning_.store(false);
}

int SynthHost::process(int len, int nfx, float* fx[], int nout, float* out[]) {
    std::unique_lock<std::mutex> lock(listenersMutex_, std::try_to_lock);
    if (lock.owns_lock())
        for (BlockListener* l : listeners_) l->beforeBlock(framesRendered_.load(std::memory_order_relaxed), len);
    int result;
    if (nfx == 0) {
        // The driver gives no effect buffers: mix reverb and chorus into the dry output.
        float* fxb[4] = {out[0], out[1], out[0], out[1]};
        result = fluid_synth_process(synth_, len, 4, fxb, nout, out);
    } else {
        result = fluid_synth_process(synth_, len, nfx, fx, nout, out);
    }
    const qint64 total = framesRendered_.fetch_add(len, std::memory_order_acq_rel) + len;
    if (lock.owns_lock())
        for (BlockListener* l : listeners_) l->afterBlock(total);
    return result;
}

void SynthHost::render(int frames, float* out) {
    float left[64], right[64];
    while (frames > 0) {
        const int n = std::min(frames, 64);
        std::fill(left, left + n, 0.0f);
        std::fill(right, right + n, 0.0f);
        float* dry[2] = {left, right};
        process(n, 0, nullptr, 2, dry);
        if (out) {
            for (int i = 0; i < n; ++i) {
                *out++ = left[i];
                *out++ = right[i];
            }
        }
        frames -= n;
    }
}

void SynthHost::startHeardCapture() {
    if (!heardRing_) heardRing_ = std::make_unique<HeardChunk[]>(kHeardRing);
    heardRead_.store(heardWrite_.load(std::memory_order_acquire), std::memory_order_release);
    heardOn_.store(true, std::memory_order_release);
}

void SynthHost::stopHeardCapture() { heardOn_.store(false, std::memory_order_release); }

void SynthHost::keepHeard(const float* interleaved, qint64 firstFrame, qint64 heardNs) {
    const size_t w = heardWrite_.load(std::memory_order_relaxed);
    if (w - heardRead_.load(std::memory_order_acquire) >= kHeardRing) {
        heardLost_.fetch_add(1);
        return;
    }
    HeardChunk& c = heardRing_[w % kHeardRing];
    c.firstFrame = firstFrame;
    c.heardNs = heardNs;
    std::copy(interleaved, interleaved + 2 * kChunk, c.samples);
    heardWrite_.store(w + 1, std::memory_order_release);
}

int SynthHost::takeHeard(std::vector<HeardChunk>& out) {
    if (!heardRing_) return 0;
    size_t r = heardRead_.load(std::memory_order_relaxed);
    const size_t w = heardWrite_.load(std::memory_order_acquire);
    const int n = static_cast<int>(w - r);
    for (; r != w; ++r) out.push_back(heardRing_[r % kHeardRing]);
    heardRead_.store(w, std::memory_order_release);
    return n;
}

void SynthHost::addListener(BlockListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.push_back(listener);
}

void SynthHost::removeListener(BlockListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

}  // namespace cantavo
