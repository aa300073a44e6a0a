#include "synthhost.h"

#include <QFileInfo>
#include <QStringList>

#include <fluidsynth.h>

#include <algorithm>

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

int audioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
    return static_cast<SynthHost*>(data)->process(len, nfx, fx, nout, out);
}

// FluidSynth prints to stderr by default; its warnings about a missing server are expected
// while the host tries one driver after another.
void quietLog(int, const char*, void*) {}

}  // namespace

std::unique_ptr<SynthHost> SynthHost::create(const Options& options, QString* error) {
    std::unique_ptr<SynthHost> host(new SynthHost);
    host->soundFont_ = FindSoundFont(options.soundFont);
    if (host->soundFont_.isEmpty()) {
        if (error)
            *error = QStringLiteral("No General MIDI SoundFont found. Install the package fluid-soundfont-gm, or name a .sf2 file with --soundfont.");
        return nullptr;
    }
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, quietLog, nullptr);
    host->sampleRate_ = options.sampleRate;
    host->settings_ = new_fluid_settings();
    fluid_settings_setnum(host->settings_, "synth.sample-rate", options.sampleRate);
    fluid_settings_setstr(host->settings_, "player.timing-source", "sample");
    fluid_settings_setint(host->settings_, "synth.lock-memory", 0);
    // Sixteen blocks of 64 frames: 23 ms at 44.1 kHz. With fewer, larger periods the
    // PulseAudio stream waits over a second before it starts.
    fluid_settings_setint(host->settings_, "audio.period-size", 64);
    fluid_settings_setint(host->settings_, "audio.periods", 16);
    host->synth_ = new_fluid_synth(host->settings_);
    if (!host->synth_ || fluid_synth_sfload(host->synth_, host->soundFont_.toLocal8Bit().constData(), 1) == FLUID_FAILED) {
        if (error) *error = QStringLiteral("The SoundFont %1 could not be loaded.").arg(host->soundFont_);
        return nullptr;
    }
    if (options.offline) return host;

    QStringList drivers = options.audioDriver.isEmpty()
                              ? QStringList{QStringLiteral("pulseaudio"), QStringLiteral("alsa"), QStringLiteral("sdl2"), QStringLiteral("jack")}
                              : QStringList{options.audioDriver};
    for (const QString& d : drivers) {
        fluid_settings_setstr(host->settings_, "audio.driver", d.toLatin1().constData());
        host->driver_ = new_fluid_audio_driver2(host->settings_, audioCallback, host.get());
        if (host->driver_) {
            host->driverName_ = d;
            break;
        }
    }
    if (!host->driver_) {
        if (error) *error = QStringLiteral("No sound output could be opened (tried %1).").arg(drivers.join(QStringLiteral(", ")));
        return nullptr;
    }
    int period = 64, periods = 16;
    fluid_settings_getint(host->settings_, "audio.period-size", &period);
    fluid_settings_getint(host->settings_, "audio.periods", &periods);
    host->latencyFrames_ = period * periods;
    return host;
}

SynthHost::~SynthHost() {
    if (driver_) delete_fluid_audio_driver(driver_);
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
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

void SynthHost::addListener(BlockListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.push_back(listener);
}

void SynthHost::removeListener(BlockListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

}  // namespace cantavo
