#include "sequencer.h"

#include <QFile>
#include <QMetaObject>

#include <fluidsynth.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "numbers.h"
#include "songreader.h"
#include "tempomap.h"

namespace cantavo {

namespace {

int playbackCallback(void* data, fluid_midi_event_t* event) {
    static_cast<Sequencer*>(data)->deliver(event);
    return FLUID_OK;
}

int tickCallback(void* data, int tick) {
    static_cast<Sequencer*>(data)->onTick(tick);
    return FLUID_OK;
}

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Sequencer::Sequencer(SynthHost& host, QObject* parent) : QObject(parent), host_(host), synthSink_(host.synth()) {
    sink_.store(&synthSink_);
}

Sequencer::~Sequencer() { close(); }

bool Sequencer::open(const QString& path, QString* error) {
    close();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("Cannot open %1: %2").arg(path, f.errorString());
        return false;
    }
    data_ = f.readAll();
    song_.clear();
    LoadResult r = LoadSongData(data_, path, song_);
    if (r.status == LoadStatus::NotMidiFile || r.status == LoadStatus::ReadFailed) {
        if (error) *error = r.message;
        data_.clear();
        return false;
    }
    path_ = path;
    lengthTicks_ = song_.lastEventTick;
    createPlayer();
    state_ = State::Stopped;
    heldTick_ = 0;
    return true;
}

void Sequencer::close() {
    if (!player_) return;
    playing_.store(false);
    destroyPlayer();
    state_ = State::Closed;
    path_.clear();
    data_.clear();
    song_.clear();
    lengthTicks_ = 0;
    heldTick_ = 0;
    externalTempo_.store(false);
}

void Sequencer::createPlayer() {
    player_ = new_fluid_player(host_.synth());
    fluid_player_set_playback_callback(player_, playbackCallback, this);
    fluid_player_set_tick_callback(player_, tickCallback, this);
    fluid_player_add_mem(player_, data_.constData(), static_cast<size_t>(data_.size()));
    host_.addListener(this);
    freshPlayer_ = true;
}

void Sequencer::destroyPlayer() {
    host_.removeListener(this);
    fluid_player_stop(player_);
    delete_fluid_player(player_);
    player_ = nullptr;
    sink_.load()->allNotesOff();
}

QString Sequencer::divisionType() const {
    if (!song_.isTimeCodeDivision()) return QStringLiteral("PPQN");
    switch (256 - song_.divisionHigh) {
    case 24: return QStringLiteral("SMPTE 24");
    case 25: return QStringLiteral("SMPTE 25");
    case 29: return QStringLiteral("SMPTE 30 DROP");
    case 30: return QStringLiteral("SMPTE 30");
    default: return QStringLiteral("SMPTE %1").arg(256 - song_.divisionHigh);
    }
}

double Sequencer::microsAt(double tick) const {
    if (externalTempo_.load()) return 60000000.0 / externalBpm_.load();
    double micros = 500000;
    for (int i = 1; i <= song_.tempoCount && song_.tempoTick[i] <= tick; ++i) micros = song_.tempoMicros[i];
    return micros;
}

double Sequencer::ticksToMs(double ticks) const {
    if (song_.division <= 0 || song_.isTimeCodeDivision()) return 0;
    const double whole = std::floor(ticks);
    double micros = 500000;
    for (int i = 1; i <= song_.tempoCount && song_.tempoTick[i] <= whole; ++i) micros = song_.tempoMicros[i];
    return TicksToMs(song_, static_cast<qint64>(whole)) + (ticks - whole) * micros / song_.division / 1000.0;
}

double Sequencer::lengthMs() const { return ticksToMs(static_cast<double>(lengthTicks_)); }

double Sequencer::positionTicks() const {
    if (state_ != State::Playing || appliedGeneration_.load() != commandGeneration_.load()) return static_cast<double>(heldTick_);
    qint64 tick, frames, wall;
    unsigned before, after;
    do {
        before = anchorSeq_.load(std::memory_order_acquire);
        tick = anchorTick_.load(std::memory_order_relaxed);
        frames = anchorFrames_.load(std::memory_order_relaxed);
        wall = anchorWallNs_.load(std::memory_order_relaxed);
        after = anchorSeq_.load(std::memory_order_acquire);
    } while (before != after || (before & 1));
    (void)frames;
    double heard = static_cast<double>(tick);
    if (!host_.offline()) {
        // The last block left the synthesizer at `wall`; it is heard a latency later.
        const double rate = host_.sampleRate();
        double elapsed = static_cast<double>(nowNs() - wall) * rate / 1e9;
        elapsed = std::min(elapsed, static_cast<double>(host_.latencyFrames()));
        const double ticksPerFrame = song_.division * 1e6 / (microsAt(heard) * rate);
        heard += (elapsed - host_.latencyFrames()) * ticksPerFrame;
    }
    heard = std::max(heard, static_cast<double>(heldTick_));
    heard = std::min(heard, static_cast<double>(lengthTicks_));
    return heard;
}

double Sequencer::positionMs() const { return ticksToMs(positionTicks()); }

int Sequencer::tempoBpm() const {
    if (externalTempo_.load()) return externalBpm_.load();
    return static_cast<int>(RoundHalfEven(60000000.0 / microsAt(positionTicks())));
}

MediaMode Sequencer::mode() const {
    switch (state_) {
    case State::Closed: return MediaMode::NotReady;
    case State::Stopped: return MediaMode::Stopped;
    case State::Playing: return MediaMode::Playing;
    case State::Paused: return MediaMode::Paused;
    }
    return MediaMode::NotReady;
}

void Sequencer::play() {
    if (state_ == State::Closed || state_ == State::Playing) return;
    if (lengthTicks_ > 0 && heldTick_ >= lengthTicks_) heldTick_ = 0;  // played to the end: from the start
    if (!freshPlayer_) {
        // A fresh player for every play: FluidSynth's player keeps no reliable state once it
        // has stopped, and a new one costs no more than parsing the song in memory.
        destroyPlayer();
        createPlayer();
    }
    freshPlayer_ = false;
    if (heldTick_ > 0) fluid_player_seek(player_, static_cast<int>(heldTick_));
    commandGeneration_.fetch_add(1);
    playing_.store(true);
    state_ = State::Playing;
    fluid_player_play(player_);
}

void Sequencer::pause() {
    if (state_ != State::Playing) return;
    heldTick_ = static_cast<qint64>(positionTicks());
    playing_.store(false);
    fluid_player_stop(player_);
    notesOffRequested_.store(true);
    state_ = State::Paused;
}

void Sequencer::stop() {
    if (state_ == State::Playing) {
        pause();
        state_ = State::Stopped;
    } else if (state_ == State::Paused) {
        state_ = State::Stopped;
    }
}

void Sequencer::seekTicks(qint64 tick) {
    if (state_ == State::Closed) return;
    tick = std::clamp<qint64>(tick, 0, lengthTicks_);
    heldTick_ = tick;
    if (state_ == State::Playing) {
        commandGeneration_.fetch_add(1);
        notesOffRequested_.store(true);
        fluid_player_seek(player_, static_cast<int>(tick));
    }
}

void Sequencer::setTempoBpm(int bpm) {
    if (!player_ || bpm <= 0) return;
    const double at = positionTicks();
    qint64 until = std::numeric_limits<qint64>::max();
    for (int i = 1; i <= song_.tempoCount; ++i) {
        if (song_.tempoTick[i] > at) {
            until = song_.tempoTick[i];
            break;
        }
    }
    holdTempoUntil_.store(until);
    externalBpm_.store(bpm);
    externalTempo_.store(true);
    fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_EXTERNAL_BPM, bpm);
}

bool Sequencer::setPort(int index, QString* error) {
    const QList<MidiOutDevice> devices = ListMidiOutputs();
    if (index < 0 || index >= devices.size()) {
        if (error) *error = QStringLiteral("There is no MIDI Out device %1.").arg(index);
        return false;
    }
    const bool wasPlaying = state_ == State::Playing;
    if (wasPlaying) pause();
    std::unique_ptr<MidiSink> sink;
    if (!devices[index].builtIn) {
        const qint64 latencyNs = static_cast<qint64>(host_.latencyFrames()) * 1000000000 / host_.sampleRate();
        sink = AlsaSink::open(devices[index].alsaClient, devices[index].alsaPort, latencyNs, error);
        if (!sink) {
            if (wasPlaying) play();
            return false;
        }
    }
    sink_.load()->allNotesOff();
    sink_.store(sink ? sink.get() : &synthSink_);
    ownSink_ = std::move(sink);
    port_ = index;
    if (wasPlaying) play();
    return true;
}

void Sequencer::beforeBlock() {
    blockGeneration_ = commandGeneration_.load(std::memory_order_acquire);
    if (notesOffRequested_.exchange(false)) sink_.load()->allNotesOff();
}

void Sequencer::afterBlock(qint64 framesRendered) {
    if (!player_) return;
    const qint64 tick = fluid_player_get_current_tick(player_);
    const unsigned seq = anchorSeq_.load(std::memory_order_relaxed);
    anchorSeq_.store(seq + 1, std::memory_order_release);
    anchorTick_.store(tick, std::memory_order_relaxed);
    anchorFrames_.store(framesRendered, std::memory_order_relaxed);
    anchorWallNs_.store(nowNs(), std::memory_order_relaxed);
    anchorSeq_.store(seq + 2, std::memory_order_release);
    appliedGeneration_.store(blockGeneration_, std::memory_order_release);

    // The song is over when its last event has been played; FluidSynth's player itself only
    // reports the end once every voice has died away, seconds later with a ringing cymbal.
    const bool atEnd = fluid_player_get_status(player_) == FLUID_PLAYER_DONE || (lengthTicks_ > 0 && tick >= lengthTicks_);
    if (atEnd) {
        bool expected = true;
        if (playing_.compare_exchange_strong(expected, false))
            QMetaObject::invokeMethod(this, &Sequencer::onCompleted, Qt::QueuedConnection);
    }
}

void Sequencer::onCompleted() {
    if (state_ != State::Playing) return;
    state_ = State::Stopped;
    heldTick_ = lengthTicks_;
    externalTempo_.store(false);
    emit completed();
}

void Sequencer::deliver(fluid_midi_event_t* event) {
    sink_.load(std::memory_order_acquire)->send(event);
    if (tap_) tap_(host_.framesRendered(), event);
}

void Sequencer::onTick(int tick) {
    if (externalTempo_.load(std::memory_order_relaxed) && tick >= holdTempoUntil_.load(std::memory_order_relaxed)) {
        externalTempo_.store(false);
        fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, 1.0);
    }
}

}  // namespace cantavo
