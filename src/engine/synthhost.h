#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace cantavo {

class AudioOutput;

// The built-in synthesizer's channels: a song's sixteen from 0, a second set from 16.
constexpr int kSynthChannels = 32;

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
    // True while the listener needs the clock to run (a song plays).
    virtual bool needsClock() const { return false; }
};

// Where the built-in synthesizer finds its General MIDI SoundFont: the given file, else
// $CANTAVO_SOUNDFONT, else the Debian default and the other usual places. Empty when none.
QString FindSoundFont(const QString& preferred = {});
// What the program says when there is none.
QString NoSoundFontText();

// The built-in synthesizer: FluidSynth with a General MIDI SoundFont, rendering either in
// real time on a clock thread of its own, or offline when the caller asks for blocks
// (rendering to a file, and tests that need exact positions).
//
// Real time. The clock thread renders 64-frame blocks and hands them to the desktop's sound
// server; when there is no server, or it goes away, it renders into nothing at real-time
// pace instead, so that songs, lyrics and external MIDI devices keep their time. It runs
// only while a listener needs the clock (a song is playing) or notes are still sounding,
// and sleeps otherwise, so an idle program costs the machine nothing. Each Play (wake())
// tries the sound server again when it was missing.
//
// Threading. The clock thread runs process() and the listeners' block calls. The GUI thread
// makes every other call. Crossing: the listener list (a mutex the clock thread try-locks
// around a block), the wake request and quit flag (a mutex and condition variable), the
// frame count, the latency, the output state and the longest chunk (atomics), the output's
// description and the clock thread's priority (a mutex), outputChanged(), a queued signal,
// and the heard music: a ring of chunks with one writer (the clock thread) and one reader,
// its two indices and its switch atomics. Nothing else crosses.
//
// Priority. The clock thread asks for real-time scheduling as it starts (directly, else
// through RealtimeKit) so that the window, the display server and busy neighbours do not
// make the music skip; it falls back to normal priority quietly.
class SynthHost : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString soundFont;     // empty: FindSoundFont()
        bool offline = false;  // no clock thread: render() drives the clock
        int sampleRate = 44100;
        QString audioDriver;   // empty or "pulseaudio": the sound server, else the silent clock; "none": the silent clock
        int latencyMs = 200;   // the buffer asked of the sound server
    };

    // Offline: null with `error` set when there is no SoundFont. Real time: always a host; a
    // missing SoundFont or sound server makes it silent and says why in outputProblem().
    static std::unique_ptr<SynthHost> create(const Options& options, QString* error);
    ~SynthHost() override;

    fluid_synth_t* synth() const { return synth_; }
    fluid_settings_t* settings() const { return settings_; }
    int sampleRate() const { return sampleRate_; }
    bool offline() const { return offline_; }
    // Frames between a block being rendered and its being heard; 0 offline.
    int latencyFrames() const { return latencyFrames_.load(std::memory_order_relaxed); }
    qint64 framesRendered() const { return framesRendered_.load(std::memory_order_acquire); }
    const QString& soundFontPath() const { return soundFont_; }
    // "pulseaudio" while the sound server plays, "none" on the silent clock.
    QString audioDriverName() const;
    // Why nothing is heard (no SoundFont, no sound server), or empty while sound plays.
    QString outputProblem() const;
    // True while the clock thread runs (something plays or still sounds).
    bool clockRunning() const { return clockRunning_.load(); }
    // How the clock thread is scheduled ("SCHED_RR 10 (direct)", or "normal priority: " and
    // why); empty until it has started.
    QString clockPriority() const;
    // The longest the clock thread took to make one chunk of sound (render it, take the locks
    // it shares, hand it over) since the last reset, in nanoseconds: what the window's thread
    // can make it wait shows here.
    qint64 longestChunkNs() const { return longestChunkNs_.load(); }
    void resetLongestChunk() { longestChunkNs_.store(0); }

    // Offline only: renders `frames` frames of interleaved stereo into `out` (may be null),
    // in blocks of 64 frames, each followed by the listeners' afterBlock.
    void render(int frames, float* out);

    void addListener(BlockListener* listener);
    void removeListener(BlockListener* listener);

    // Something is about to play: starts the clock (trying the sound server again if it was
    // missing). Any thread but the clock thread.
    void wake();

    // The music as heard, for a recording that mixes it with the voice. While on, each chunk
    // the clock thread sends to the sound server is kept with the steady clock's time, in
    // nanoseconds, at which its first frame will be heard. One reader at a time.
    static constexpr int kHeardChunkFrames = 256;
    struct HeardChunk {
        qint64 firstFrame = 0;
        qint64 heardNs = 0;
        float samples[2 * kHeardChunkFrames];  // interleaved stereo
    };
    void startHeardCapture();
    void stopHeardCapture();
    // Appends the chunks kept since the last call; the number appended.
    int takeHeard(std::vector<HeardChunk>& out);
    // Chunks lost because the reader fell more than the ring's few seconds behind.
    qint64 heardLost() const { return heardLost_.load(); }

    // One block: renders `len` frames and tells the listeners.
    int process(int len, int nfx, float* fx[], int nout, float* out[]);

signals:
    // The output changed between the sound server and the silent clock.
    void outputChanged();

private:
    SynthHost() = default;
    void clockThread();
    bool listenersNeedClock();
    void setOutputState(bool sound, const QString& problem);

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    bool offline_ = true;
    bool haveSoundFont_ = false;
    int sampleRate_ = 44100;
    int targetLatencyMs_ = 200;
    bool useServer_ = true;
    std::atomic<int> latencyFrames_{0};
    QString soundFont_;
    std::atomic<qint64> framesRendered_{0};
    std::mutex listenersMutex_;
    std::vector<BlockListener*> listeners_;

    std::thread clock_;
    std::mutex wakeMutex_;
    std::condition_variable wakeCondition_;
    bool wakeRequested_ = false;
    bool quit_ = false;
    std::atomic<bool> clockRunning_{false};
    std::atomic<bool> soundPlaying_{false};
    std::atomic<AudioOutput*> output_{nullptr};
    void keepHeard(const float* interleaved, qint64 firstFrame, qint64 heardNs);
    std::unique_ptr<HeardChunk[]> heardRing_;
    static constexpr size_t kHeardRing = 1024;
    std::atomic<bool> heardOn_{false};
    std::atomic<size_t> heardWrite_{0};
    std::atomic<size_t> heardRead_{0};
    std::atomic<qint64> heardLost_{0};
    mutable std::mutex problemMutex_;
    QString problem_;
    QString priority_;
    std::atomic<qint64> longestChunkNs_{0};
};

}  // namespace cantavo
