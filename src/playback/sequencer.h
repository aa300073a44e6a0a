#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "midioutput.h"
#include "songmodel.h"
#include "synthhost.h"

typedef struct _fluid_player_t fluid_player_t;

namespace cantavo {

// The multimedia modes, by their numbers.
enum class MediaMode : int { NotReady = 524, Stopped = 525, Playing = 526, Recording = 527, Seeking = 528, Paused = 529, Open = 530 };

// Plays one Standard MIDI File on the built-in synthesizer's clock (FluidSynth's MIDI player)
// and routes its events to the chosen MIDI Out device.
//
// Threading. There are two threads and only these things cross between them:
//  - The audio thread (the synthesizer's audio driver, or whoever calls SynthHost::render
//    offline) runs the FluidSynth player. On it run: the player's playback callback, which
//    hands each event to the current sink and, in tests, to the event tap; the tick callback,
//    which ends a user-set tempo at the song's next tempo change; and beforeBlock/afterBlock,
//    which anchor the position (tick, frames, wall time) and notice the end of the song.
//  - The GUI thread makes every public call. The FluidSynth player's own calls (play, stop,
//    seek, set tempo) are safe from any thread.
//  - Crossing: the position anchor (a seqlock of atomics), the flags `playing_`,
//    `externalTempo_`, `holdTempoUntil_`, the command generation counters, and the sink
//    pointer (swapped only while the player is stopped). The end of the song reaches the GUI
//    thread as the queued signal completed(). Nothing else crosses.
class Sequencer : public QObject, public BlockListener {
    Q_OBJECT
public:
    explicit Sequencer(SynthHost& host, QObject* parent = nullptr);
    ~Sequencer() override;

    // Opens a song by its path; false with `error` for a file that cannot be read as MIDI.
    bool open(const QString& path, QString* error);
    void close();
    bool isOpen() const { return player_ != nullptr; }
    const QString& path() const { return path_; }

    int division() const { return song_.division; }
    QString divisionType() const;
    qint64 lengthTicks() const { return lengthTicks_; }
    double lengthSixteenths() const { return ticksToSixteenths(static_cast<double>(lengthTicks_)); }
    double lengthMs() const;

    // What the listener hears now: the synthesizer's output latency is taken off.
    double positionTicks() const;
    double positionSixteenths() const { return ticksToSixteenths(positionTicks()); }
    double positionMs() const;
    double ticksToMs(double ticks) const;

    // The tempo now: the one the user set, or the song's own at the current position.
    int tempoBpm() const;
    MediaMode mode() const;
    // True once the player has sent the song's last event (before the completion signal
    // reaches the GUI thread); for offline rendering.
    bool reachedEnd() const { return state_ == State::Playing && !playing_.load(); }

    void play();
    void pause();
    void stop();  // stops and returns to the start
    void seekTicks(qint64 tick);
    void seekSixteenths(double sixteenths) { seekTicks(static_cast<qint64>(sixteenths * song_.division / 4.0 + 0.5)); }
    // Holds `bpm` until the song's next tempo change.
    void setTempoBpm(int bpm);

    // Selects MIDI Out device `index` of ListMidiOutputs(); false with `error` when it cannot
    // be opened (the previous device stays).
    bool setPort(int index, QString* error = nullptr);
    int port() const { return port_; }

    // Tests: every event the player sends, with the frame count at which it was sent.
    using EventTap = std::function<void(qint64 frame, fluid_midi_event_t* event)>;
    void setEventTap(EventTap tap) { tap_ = std::move(tap); }

    // Audio thread.
    void beforeBlock() override;
    void afterBlock(qint64 framesRendered) override;
    void deliver(fluid_midi_event_t* event);
    void onTick(int tick);

signals:
    // A play command ran to the end of the song.
    void completed();

private:
    void onCompleted();
    double ticksToSixteenths(double ticks) const { return song_.division > 0 ? ticks * 4.0 / song_.division : 0; }
    double microsAt(double tick) const;
    void createPlayer();
    void destroyPlayer();

    SynthHost& host_;
    SongModel song_;
    QString path_;
    QByteArray data_;
    qint64 lengthTicks_ = 0;
    fluid_player_t* player_ = nullptr;
    std::unique_ptr<MidiSink> ownSink_;
    std::atomic<MidiSink*> sink_{nullptr};
    SynthSink synthSink_;
    int port_ = 0;
    EventTap tap_;

    enum class State { Closed, Stopped, Playing, Paused };
    State state_ = State::Closed;
    std::atomic<bool> playing_{false};
    std::atomic<bool> notesOffRequested_{false};
    bool freshPlayer_ = false;
    qint64 heldTick_ = 0;  // the position while not playing, or until the player has caught up
    std::atomic<unsigned> commandGeneration_{0};
    std::atomic<unsigned> appliedGeneration_{0};
    unsigned blockGeneration_ = 0;  // audio thread

    std::atomic<bool> externalTempo_{false};
    std::atomic<int> externalBpm_{0};
    std::atomic<qint64> holdTempoUntil_{0};

    // The position anchor, written after every block.
    mutable std::atomic<unsigned> anchorSeq_{0};
    std::atomic<qint64> anchorTick_{0};
    std::atomic<qint64> anchorFrames_{0};
    std::atomic<qint64> anchorWallNs_{0};
};

}  // namespace cantavo
