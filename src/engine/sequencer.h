#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "livesettings.h"
#include "midioutput.h"
#include "songevents.h"
#include "songmodel.h"
#include "synthhost.h"

namespace cantavo {

// The multimedia modes, by their numbers.
enum class MediaMode : int { NotReady = 524, Stopped = 525, Playing = 526, Recording = 527, Seeking = 528, Paused = 529, Open = 530 };

// Plays one Standard MIDI File on the built-in synthesizer's sample clock and sends its
// events to the chosen MIDI Out device.
//
// Time. The clock is the count of frames the synthesizer has rendered. The schedule is
// anchored at a (tick, frame) pair, a tempo and a speed (the live tempo's share of the
// song's own); the anchor moves exactly to each tempo change as it is crossed (in double
// precision, so nothing drifts), to the user's tempo when one is set, to each change of
// speed, and to the position of every play and seek. An event is sent at the start of the
// 64-frame block nearest to its time.
//
// Live settings (key, speed, loudness, mute and solo) take effect at the next block. A note
// ends with the note number it started with, whatever the key is by then; a channel that
// falls silent has its notes ended at once and sounds again from its next note.
//
// Threading. Two threads, and only these things cross between them:
//  - The audio thread (the synthesizer's clock thread, or whoever calls SynthHost::render
//    offline) runs beforeBlock/afterBlock/needsClock: it takes the pending commands, sends the events
//    that fall due, moves the anchor, publishes the position and notices the end of the song.
//  - The GUI thread makes every public call.
//  - Crossing: the command queue (a mutex the audio thread only ever try-locks; live
//    settings travel in it), the published position (a seqlock of atomics), the
//    generation counters, the flag `playing_`, the sink pointer (swapped only while
//    stopped), and each channel's last note-on frame and program (atomics). The end of the song
//    reaches the GUI thread as the queued signal completed(). The song's events are fixed
//    while the sequencer is attached to the synthesizer. Nothing else crosses.
class Sequencer : public QObject, public BlockListener {
    Q_OBJECT
public:
    // On the built-in synthesizer, the song plays on the sixteen channels from
    // `firstSynthChannel`: 0, or 16 for music that must leave the song's channels alone.
    explicit Sequencer(SynthHost& host, QObject* parent = nullptr, int firstSynthChannel = 0);
    ~Sequencer() override;

    // Opens a song by its path; false with `error` for a file that cannot be read as MIDI.
    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const { return state_ != State::Closed; }
    const QString& path() const { return path_; }

    int division() const { return song_.division; }
    QString divisionType() const;
    qint64 lengthTicks() const { return events_.endTick; }
    double lengthSixteenths() const { return ticksToSixteenths(static_cast<double>(lengthTicks())); }
    double lengthMs() const { return ticksToMs(static_cast<double>(lengthTicks())); }

    // What the listener hears now: the synthesizer's output latency is taken off. While the
    // schedule stays the same it never goes back (the sound server's latency reports jitter
    // by a few milliseconds either way; lyrics must not step back for it).
    double positionTicks() const;
    // The tick that was (or will be) heard at `steadyNs` on the steady clock, from the
    // schedule now in force; NaN unless playing. For placing what a microphone heard.
    double ticksHeardAt(qint64 steadyNs) const;
    double positionSixteenths() const { return ticksToSixteenths(positionTicks()); }
    double positionMs() const { return ticksToMs(positionTicks()); }
    // Through the song's own tempo map, whatever tempo the user set.
    double ticksToMs(double ticks) const;

    // The tempo now: the one the user set, or the song's own at the current position.
    int tempoBpm() const;
    MediaMode mode() const;
    // True once the last event has gone out (before completed() reaches the GUI thread).
    bool reachedEnd() const { return state_ == State::Playing && !playing_.load(); }

    void play();
    void pause();
    void stop();  // like pause; the position stays
    void seekTicks(qint64 tick);
    void seekSixteenths(double sixteenths) { seekTicks(static_cast<qint64>(sixteenths * song_.division / 4.0 + 0.5)); }
    // Holds `bpm` until the song's next tempo change.
    void setTempoBpm(int bpm);

    // The key, speed and mix, from the next block on.
    void setLive(const LiveSettings& live);
    const LiveSettings& live() const { return live_; }
    // The frame of the channel's last note-on sent (-1: none yet) and its program now.
    qint64 lastNoteOnFrame(int channel) const { return lastNoteOn_[static_cast<size_t>(channel)].load(std::memory_order_relaxed); }
    int channelProgram(int channel) const { return program_[static_cast<size_t>(channel)].load(std::memory_order_relaxed); }
    // The channels that have notes in the song.
    const std::array<bool, 16>& channelsUsed() const { return used_; }
    const SongModel& song() const { return song_; }
    const SongEvents& events() const { return events_; }

    // Selects MIDI Out device `index` of ListMidiOutputs(); false with `error` when it cannot
    // be opened (the previous device stays).
    bool setPort(int index, QString* error = nullptr);
    int port() const { return port_; }
    // True while the music goes to the built-in synthesizer (not an external device).
    bool playsOnBuiltIn() const { return sink_.load() == &synthSink_; }

    // Tests and benchmarks: every message sent, with the frame of the block it went out in.
    // Set while stopped; it is called on the audio thread.
    using EventTap = std::function<void(qint64 frame, int status, int data1, int data2)>;
    void setEventTap(EventTap tap) { tap_ = std::move(tap); }

    // Audio thread.
    void beforeBlock(qint64 first, int frames) override;
    void afterBlock(qint64 framesRendered) override;
    bool needsClock() const override { return playing_.load() || appliedGeneration_.load() != commandGeneration_.load(); }

signals:
    // A play command ran to the end of the song.
    void completed();

private:
    struct Anchor {
        double tick = 0;
        double frame = 0;
        double micros = 500000;
        size_t nextTempo = 0;  // the first song tempo change after `tick`
        double speed = 1;      // the live tempo: 1.1 plays 10 % faster
    };
    struct Command {
        enum Kind { Play, Stop, Tempo, Live } kind;
        qint64 tick = 0;
        int bpm = 0;
        unsigned generation = 0;
        LiveSettings live;
    };

    double ticksToSixteenths(double ticks) const { return song_.division > 0 ? ticks * 4.0 / song_.division : 0; }
    double framesPerTick(double micros, double speed = 1) const;
    double songMicrosAt(double tick, size_t* next) const;
    double tickAtFrame(Anchor a, double frame) const;
    double heardTick(qint64 atNs, bool clampToLatency) const;
    void post(Command c);
    void onCompleted();
    // Audio thread.
    void startAt(qint64 tick, double frame);
    void send(qint64 frame, const SongEvent& e);
    void sendChannel(qint64 frame, int status, int d1, int d2);
    void sendNote(qint64 frame, int status, int note, int velocity);
    void applyLive(const LiveSettings& live, qint64 frame);
    void endSounding(qint64 frame, int channel);
    void forgetSounding();

    SynthHost& host_;
    SongModel song_;
    SongEvents events_;
    QString path_;
    std::unique_ptr<MidiSink> ownSink_;
    std::atomic<MidiSink*> sink_{nullptr};
    SynthSink synthSink_;
    int port_ = 0;
    EventTap tap_;

    enum class State { Closed, Stopped, Playing, Paused };
    State state_ = State::Closed;
    qint64 heldTick_ = 0;  // the position while not playing, and until the audio thread has caught up
    mutable double lastHeard_ = 0;  // GUI thread: the last position given while playing, and under which schedule
    mutable unsigned lastHeardGeneration_ = ~0u;
    std::atomic<bool> playing_{false};
    std::atomic<bool> externalTempo_{false};
    std::atomic<int> externalBpm_{0};
    LiveSettings live_;
    std::array<bool, 16> used_{};
    std::array<std::atomic<qint64>, 16> lastNoteOn_;
    std::array<std::atomic<int>, 16> program_;

    std::mutex commandsMutex_;
    std::vector<Command> commands_;
    std::atomic<unsigned> commandGeneration_{0};
    std::atomic<unsigned> appliedGeneration_{0};

    // Audio thread only.
    Anchor anchor_;
    size_t nextEvent_ = 0;
    bool running_ = false;
    unsigned appliedCommand_ = 0;
    LiveSettings liveNow_;
    std::array<std::array<qint8, 128>, 16> sounding_;  // the note sent for each note of the song, or -1

    // Published after every block.
    mutable std::atomic<unsigned> publishSeq_{0};
    std::atomic<double> pubTick_{0}, pubFrame_{0}, pubMicros_{500000}, pubSpeed_{1};
    std::atomic<size_t> pubNextTempo_{0};
    std::atomic<qint64> pubRendered_{0}, pubWallNs_{0};
};

}  // namespace cantavo
