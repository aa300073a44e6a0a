#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace cantavo {

// Something that wants to hear about every block the synthesizer renders (a sequencer
// checking for the end of its song, anchoring its position). Runs on the audio thread.
class BlockListener {
public:
    virtual ~BlockListener() = default;
    // Called before `frames` frames are rendered, starting at frame `first`.
    virtual void beforeBlock(qint64 first, int frames) = 0;
    // Called after a block of frames has been rendered; `framesRendered` counts every
    // frame rendered so far, this block included.
    virtual void afterBlock(qint64 framesRendered) = 0;
};

// Where the built-in synthesizer finds its General MIDI SoundFont: the given file, else
// $CANTAVO_SOUNDFONT, else the Debian default and the other usual places. Empty when none.
QString FindSoundFont(const QString& preferred = {});

// The built-in synthesizer: FluidSynth with a General MIDI SoundFont, rendering either to
// the desktop's sound server in real time, or offline when the caller asks for blocks
// (rendering to a file, and tests that need exact positions).
class SynthHost {
public:
    struct Options {
        QString soundFont;     // empty: FindSoundFont()
        bool offline = false;  // no audio driver: render() drives the clock
        int sampleRate = 44100;
        QString audioDriver;   // empty: the first that works of pulseaudio, alsa, sdl2, jack
    };

    // Null with `error` set when the SoundFont or every audio driver fails.
    static std::unique_ptr<SynthHost> create(const Options& options, QString* error);
    ~SynthHost();

    fluid_synth_t* synth() const { return synth_; }
    fluid_settings_t* settings() const { return settings_; }
    int sampleRate() const { return sampleRate_; }
    bool offline() const { return driver_ == nullptr; }
    // Frames between a block being rendered and its being heard; 0 offline.
    int latencyFrames() const { return latencyFrames_; }
    qint64 framesRendered() const { return framesRendered_.load(std::memory_order_acquire); }
    const QString& soundFontPath() const { return soundFont_; }
    const QString& audioDriverName() const { return driverName_; }

    // Offline only: renders `frames` frames of interleaved stereo into `out` (may be null),
    // in blocks of 64 frames, each followed by the listeners' afterBlock.
    void render(int frames, float* out);

    void addListener(BlockListener* listener);
    void removeListener(BlockListener* listener);

    // The audio callback's work: render `len` frames and tell the listeners.
    int process(int len, int nfx, float* fx[], int nout, float* out[]);

private:
    SynthHost() = default;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    int sampleRate_ = 44100;
    int latencyFrames_ = 0;
    QString soundFont_;
    QString driverName_;
    std::atomic<qint64> framesRendered_{0};
    std::mutex listenersMutex_;
    std::vector<BlockListener*> listeners_;
};

}  // namespace cantavo
