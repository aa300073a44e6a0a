#include "sequencer.h"

#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "atomicfile.h"
#include "numbers.h"
#include "songreader.h"
#include "steadyclock.h"
#include "tempomap.h"

namespace cantavo {

namespace {

bool isNote(const SongEvent& e) {
    const int kind = e.status & 0xF0;
    return e.sysex < 0 && (kind == 0x80 || kind == 0x90);
}

}  // namespace

Sequencer::Sequencer(SynthHost& host, QObject* parent, int firstSynthChannel) : QObject(parent), host_(host), synthSink_(host.synth(), firstSynthChannel) {
    sink_.store(&synthSink_);
    for (auto& f : lastNoteOn_) f.store(-1);
    for (auto& p : program_) p.store(0);
    forgetSounding();
}

Sequencer::~Sequencer() { close(); }

bool Sequencer::open(const QString& path, QString* error) {
    close();
    QByteArray data;
    QString why;
    if (!ReadInputFile(path, kMaxSongBytes, &data, &why)) {
        if (error) *error = QStringLiteral("Cannot open %1: %2").arg(path, why);
        return false;
    }
    song_.clear();
    const LoadResult r = LoadSongData(data, path, song_);
    if (r.status == LoadStatus::NotMidiFile || r.status == LoadStatus::ReadFailed) {
        if (error) *error = r.message;
        song_.clear();
        return false;
    }
    if (!LoadSongEvents(data, events_, error)) {
        song_.clear();
        return false;
    }
    path_ = path;
    heldTick_ = 0;
    externalTempo_.store(false);
    used_.fill(false);
    for (const SongEvent& e : events_.events)
        if (e.sysex < 0 && (e.status & 0xF0) == 0x90) used_[static_cast<size_t>(e.status & 0x0F)] = true;
    for (auto& f : lastNoteOn_) f.store(-1);
    for (auto& p : program_) p.store(0);
    live_ = LiveSettings{};
    liveNow_ = live_;
    forgetSounding();
    state_ = State::Stopped;
    host_.addListener(this);
    return true;
}

void Sequencer::close() {
    if (state_ == State::Closed) return;
    host_.removeListener(this);  // from here on the audio thread does not call us
    running_ = false;
    playing_.store(false);
    sink_.load()->allNotesOff();
    {
        std::lock_guard<std::mutex> lock(commandsMutex_);
        commands_.clear();
    }
    appliedGeneration_.store(commandGeneration_.load());
    state_ = State::Closed;
    path_.clear();
    song_.clear();
    events_ = SongEvents();
    heldTick_ = 0;
    externalTempo_.store(false);
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

double Sequencer::framesPerTick(double micros, double speed) const {
    return micros / 1e6 * host_.sampleRate() / std::max(1, song_.isTimeCodeDivision() ? 1 : song_.division) / speed;
}

double Sequencer::songMicrosAt(double tick, size_t* next) const {
    double micros = 500000;
    size_t i = 0;
    while (i < events_.tempo.size() && events_.tempo[i].tick <= tick) micros = events_.tempo[i++].micros;
    if (next) *next = i;
    return micros;
}

double Sequencer::tickAtFrame(Anchor a, double frame) const {
    while (a.nextTempo < events_.tempo.size()) {
        const TempoChange& tc = events_.tempo[a.nextTempo];
        const double cross = a.frame + (static_cast<double>(tc.tick) - a.tick) * framesPerTick(a.micros, a.speed);
        if (frame < cross) break;
        a = {static_cast<double>(tc.tick), cross, tc.micros, a.nextTempo + 1, a.speed};
    }
    return a.tick + (frame - a.frame) / framesPerTick(a.micros, a.speed);
}

double Sequencer::ticksToMs(double ticks) const {
    if (song_.division <= 0 || song_.isTimeCodeDivision()) return 0;
    const double whole = std::floor(ticks);
    double micros = 500000;
    for (int i = 1; i <= song_.tempoCount && song_.tempoTick[i] <= whole; ++i) micros = song_.tempoMicros[i];
    return TicksToMs(song_, static_cast<qint64>(whole)) + (ticks - whole) * micros / song_.division / 1000.0;
}

double Sequencer::positionTicks() const {
    const unsigned generation = appliedGeneration_.load();
    if (state_ != State::Playing || generation != commandGeneration_.load()) {
        lastHeardGeneration_ = ~0u;
        return static_cast<double>(heldTick_);
    }
    double heard = std::clamp(heardTick(SteadyNs(), true), static_cast<double>(heldTick_), static_cast<double>(lengthTicks()));
    if (generation == lastHeardGeneration_) heard = std::max(heard, lastHeard_);
    lastHeard_ = heard;
    lastHeardGeneration_ = generation;
    return heard;
}

double Sequencer::ticksHeardAt(qint64 steadyNs) const {
    if (state_ != State::Playing || appliedGeneration_.load() != commandGeneration_.load()) return std::nan("");
    return heardTick(steadyNs, false);
}

double Sequencer::heardTick(qint64 atNs, bool clampToLatency) const {
    Anchor a;
    qint64 rendered, wall;
    unsigned before, after;
    do {
        before = publishSeq_.load(std::memory_order_acquire);
        a.tick = pubTick_.load(std::memory_order_relaxed);
        a.frame = pubFrame_.load(std::memory_order_relaxed);
        a.micros = pubMicros_.load(std::memory_order_relaxed);
        a.nextTempo = pubNextTempo_.load(std::memory_order_relaxed);
        a.speed = pubSpeed_.load(std::memory_order_relaxed);
        rendered = pubRendered_.load(std::memory_order_relaxed);
        wall = pubWallNs_.load(std::memory_order_relaxed);
        after = publishSeq_.load(std::memory_order_acquire);
    } while (before != after || (before & 1));
    double heard = static_cast<double>(rendered);
    if (!host_.offline()) {
        // The last block left the synthesizer at `wall`; it is heard a latency later. For
        // "now" the clock cannot have run past what the synthesizer has rendered.
        double elapsed = static_cast<double>(atNs - wall) * host_.sampleRate() / 1e9;
        if (clampToLatency) elapsed = std::clamp(elapsed, 0.0, static_cast<double>(host_.latencyFrames()));
        heard += elapsed - host_.latencyFrames();
    }
    return tickAtFrame(a, heard);
}

int Sequencer::tempoBpm() const {
    if (externalTempo_.load()) return externalBpm_.load();
    return static_cast<int>(RoundHalfEven(60000000.0 / songMicrosAt(positionTicks(), nullptr)));
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

void Sequencer::post(Command c) {
    std::lock_guard<std::mutex> lock(commandsMutex_);
    c.generation = commandGeneration_.fetch_add(1) + 1;
    commands_.push_back(c);
    host_.wake();
}

void Sequencer::play() {
    if (state_ == State::Closed || state_ == State::Playing) return;
    if (lengthTicks() > 0 && heldTick_ >= lengthTicks()) heldTick_ = 0;  // played to the end: from the start
    playing_.store(true);
    state_ = State::Playing;
    post({Command::Play, heldTick_, externalTempo_.load() ? externalBpm_.load() : 0, 0, {}});
}

void Sequencer::pause() {
    if (state_ != State::Playing) return;
    heldTick_ = static_cast<qint64>(positionTicks());
    playing_.store(false);
    state_ = State::Paused;
    post({Command::Stop, 0, 0, 0, {}});
}

void Sequencer::stop() {
    if (state_ == State::Playing) pause();
    if (state_ == State::Paused) state_ = State::Stopped;
}

void Sequencer::seekTicks(qint64 tick) {
    if (state_ == State::Closed) return;
    tick = std::clamp<qint64>(tick, 0, lengthTicks());
    heldTick_ = tick;
    if (state_ == State::Playing) post({Command::Play, tick, externalTempo_.load() ? externalBpm_.load() : 0, 0, {}});
}

void Sequencer::setTempoBpm(int bpm) {
    if (state_ == State::Closed || bpm <= 0) return;
    externalBpm_.store(bpm);
    externalTempo_.store(true);
    if (state_ == State::Playing) post({Command::Tempo, 0, bpm, 0, {}});
}

void Sequencer::setLive(const LiveSettings& live) {
    live_ = live.clamped();
    if (state_ != State::Closed) {
        Command c{Command::Live, 0, 0, 0, live_};
        post(c);
    }
}

bool Sequencer::setPort(int index, QString* error) {
    const QList<MidiOutDevice> devices = ListMidiOutputs();
    if (index < 0 || index >= devices.size()) {
        if (error) *error = QStringLiteral("There is no MIDI Out device %1.").arg(index);
        return false;
    }
    std::unique_ptr<MidiSink> sink;
    if (!devices[index].builtIn) {
        const qint64 latencyNs = static_cast<qint64>(host_.latencyFrames()) * 1000000000 / host_.sampleRate();
        sink = AlsaSink::open(devices[index].alsaClient, devices[index].alsaPort, latencyNs, error);
        if (!sink) return false;
    }
    // The audio thread must not be sending while the sink changes.
    const bool attached = state_ != State::Closed;
    if (attached) host_.removeListener(this);
    sink_.load()->allNotesOff();
    sink_.store(sink ? sink.get() : &synthSink_);
    ownSink_ = std::move(sink);
    port_ = index;
    if (attached) {
        host_.addListener(this);
        if (state_ == State::Playing) post({Command::Play, static_cast<qint64>(positionTicks()), externalTempo_.load() ? externalBpm_.load() : 0, 0, {}});
    }
    return true;
}

void Sequencer::startAt(qint64 tick, double frame) {
    size_t next = 0;
    const double micros = songMicrosAt(static_cast<double>(tick), &next);
    anchor_ = {static_cast<double>(tick), frame, micros, next, liveNow_.tempoPercent / 100.0};
    nextEvent_ = static_cast<size_t>(std::lower_bound(events_.events.begin(), events_.events.end(), tick,
                                                      [](const SongEvent& e, qint64 t) { return e.tick < t; }) -
                                     events_.events.begin());
    // Every channel back to the General MIDI defaults, then everything but the notes up to
    // the start replayed, so that each channel sounds as the song has set it by then.
    const qint64 at = static_cast<qint64>(frame);
    for (int ch = 0; ch < 16; ++ch) {
        const int cc = 0xB0 | ch;
        sendChannel(at, cc, 121, 0);
        sendChannel(at, cc, 0, 0);
        sendChannel(at, cc, 32, 0);
        sendChannel(at, 0xC0 | ch, 0, 0);
        sendChannel(at, 0xE0 | ch, 0, 64);
        sendChannel(at, cc, 7, 100);
        sendChannel(at, cc, 10, 64);
        sendChannel(at, cc, 11, 127);
        sendChannel(at, cc, 64, 0);
        sendChannel(at, cc, 91, 40);
        sendChannel(at, cc, 93, 0);
    }
    for (size_t i = 0; i < nextEvent_; ++i)
        if (!isNote(events_.events[i])) send(at, events_.events[i]);
}

void Sequencer::sendChannel(qint64 frame, int status, int d1, int d2) {
    sink_.load(std::memory_order_acquire)->send(status, d1, d2);
    if ((status & 0xF0) == 0xC0) program_[static_cast<size_t>(status & 0x0F)].store(d1, std::memory_order_relaxed);
    if (tap_) tap_(frame, status, d1, d2);
}

void Sequencer::forgetSounding() {
    for (auto& channel : sounding_) channel.fill(-1);
}

void Sequencer::endSounding(qint64 frame, int channel) {
    for (int n = 0; n < 128; ++n) {
        qint8& sent = sounding_[static_cast<size_t>(channel)][static_cast<size_t>(n)];
        if (sent >= 0) sendChannel(frame, 0x80 | channel, sent, 0);
        sent = -1;
    }
}

void Sequencer::sendNote(qint64 frame, int status, int note, int velocity) {
    const int channel = status & 0x0F;
    qint8& sent = sounding_[static_cast<size_t>(channel)][static_cast<size_t>(note & 0x7F)];
    const bool on = (status & 0xF0) == 0x90 && velocity > 0;
    if (!on) {
        // The note ends as it started; one that never sounded (its channel was silent) has
        // nothing to end.
        if (sent < 0) return;
        sendChannel(frame, status, sent, velocity);
        sent = -1;
        return;
    }
    if (liveNow_.silenced(channel)) return;
    const bool keep = liveNow_.keepChannel == channel + 1;
    const int played = keep ? note : TransposedNote(note, liveNow_.key);
    // Struck again before its end under another key: the old note ends, or it would hang.
    if (sent >= 0 && sent != played) sendChannel(frame, 0x80 | channel, sent, 0);
    sent = static_cast<qint8>(played);
    sendChannel(frame, status, played, ScaledVelocity(velocity, liveNow_.loudness[static_cast<size_t>(channel)]));
    lastNoteOn_[static_cast<size_t>(channel)].store(frame, std::memory_order_relaxed);
}

void Sequencer::send(qint64 frame, const SongEvent& e) {
    if (e.sysex >= 0) {
        sink_.load(std::memory_order_acquire)->sendSysex(events_.sysex[static_cast<size_t>(e.sysex)]);
        if (tap_) tap_(frame, e.status, 0, 0);
        return;
    }
    const int kind = e.status & 0xF0;
    if (kind == 0x80 || kind == 0x90) {
        sendNote(frame, e.status, e.data1, e.data2);
        return;
    }
    if (kind == 0xA0) {
        // Key pressure follows the note as it sounds.
        const qint8 sent = sounding_[static_cast<size_t>(e.status & 0x0F)][e.data1 & 0x7F];
        if (sent >= 0) sendChannel(frame, e.status, sent, e.data2);
        return;
    }
    sendChannel(frame, e.status, e.data1, e.data2);
}

void Sequencer::applyLive(const LiveSettings& live, qint64 frame) {
    for (int ch = 0; ch < 16; ++ch)
        if (live.silenced(ch) && !liveNow_.silenced(ch)) endSounding(frame, ch);
    const double speed = live.tempoPercent / 100.0;
    if (running_ && speed != anchor_.speed) {
        // From here on at the new speed; the tick reached so far stays where it is.
        const double tick = tickAtFrame(anchor_, static_cast<double>(frame));
        size_t next = 0;
        songMicrosAt(tick, &next);
        anchor_ = {tick, static_cast<double>(frame), anchor_.micros, next, speed};
    } else {
        anchor_.speed = speed;
    }
    liveNow_ = live;
}

void Sequencer::beforeBlock(qint64 first, int frames) {
    std::vector<Command> taken;
    {
        std::unique_lock<std::mutex> lock(commandsMutex_, std::try_to_lock);
        if (lock.owns_lock()) taken.swap(commands_);
    }
    for (const Command& c : taken) {
        switch (c.kind) {
        case Command::Play:
            sink_.load()->allNotesOff();
            forgetSounding();
            startAt(c.tick, static_cast<double>(first));
            if (c.bpm > 0) anchor_.micros = 60000000.0 / c.bpm;
            running_ = true;
            break;
        case Command::Stop:
            running_ = false;
            sink_.load()->allNotesOff();
            forgetSounding();
            break;
        case Command::Live: applyLive(c.live, first); break;
        case Command::Tempo:
            if (running_) {
                const double tick = tickAtFrame(anchor_, static_cast<double>(first));
                size_t next = 0;
                songMicrosAt(tick, &next);
                anchor_ = {tick, static_cast<double>(first), 60000000.0 / c.bpm, next, anchor_.speed};
            }
            break;
        }
        appliedCommand_ = c.generation;
    }
    if (!running_) return;

    // Everything due before the middle of this block goes out at its start.
    const double limit = static_cast<double>(first) + frames / 2.0;
    const std::vector<TempoChange>& tempo = events_.tempo;
    const std::vector<SongEvent>& events = events_.events;
    for (;;) {
        const bool haveTempo = anchor_.nextTempo < tempo.size();
        const bool haveEvent = nextEvent_ < events.size();
        if (haveTempo && (!haveEvent || tempo[anchor_.nextTempo].tick <= events[nextEvent_].tick)) {
            const TempoChange& tc = tempo[anchor_.nextTempo];
            const double cross = anchor_.frame + (static_cast<double>(tc.tick) - anchor_.tick) * framesPerTick(anchor_.micros, anchor_.speed);
            if (cross >= limit) break;
            // The song's own tempo takes over again here, whatever the user set.
            anchor_ = {static_cast<double>(tc.tick), cross, tc.micros, anchor_.nextTempo + 1, anchor_.speed};
            externalTempo_.store(false);
            continue;
        }
        if (!haveEvent) break;
        const SongEvent& e = events[nextEvent_];
        const double at = anchor_.frame + (static_cast<double>(e.tick) - anchor_.tick) * framesPerTick(anchor_.micros, anchor_.speed);
        if (at >= limit) break;
        send(first, e);
        ++nextEvent_;
    }
    if (nextEvent_ >= events.size()) {
        Anchor end = anchor_;
        double endFrame = end.frame;
        const double endTick = static_cast<double>(events_.endTick);
        while (end.nextTempo < tempo.size() && static_cast<double>(tempo[end.nextTempo].tick) < endTick) {
            endFrame += (static_cast<double>(tempo[end.nextTempo].tick) - end.tick) * framesPerTick(end.micros, end.speed);
            end = {static_cast<double>(tempo[end.nextTempo].tick), endFrame, tempo[end.nextTempo].micros, end.nextTempo + 1, end.speed};
        }
        endFrame += (endTick - end.tick) * framesPerTick(end.micros, end.speed);
        if (endFrame < limit) {
            running_ = false;
            bool expected = true;
            if (playing_.compare_exchange_strong(expected, false))
                QMetaObject::invokeMethod(this, &Sequencer::onCompleted, Qt::QueuedConnection);
        }
    }
}

void Sequencer::afterBlock(qint64 framesRendered) {
    const unsigned seq = publishSeq_.load(std::memory_order_relaxed);
    publishSeq_.store(seq + 1, std::memory_order_release);
    pubTick_.store(anchor_.tick, std::memory_order_relaxed);
    pubFrame_.store(anchor_.frame, std::memory_order_relaxed);
    pubMicros_.store(anchor_.micros, std::memory_order_relaxed);
    pubNextTempo_.store(anchor_.nextTempo, std::memory_order_relaxed);
    pubSpeed_.store(anchor_.speed, std::memory_order_relaxed);
    pubRendered_.store(framesRendered, std::memory_order_relaxed);
    pubWallNs_.store(SteadyNs(), std::memory_order_relaxed);
    publishSeq_.store(seq + 2, std::memory_order_release);
    appliedGeneration_.store(appliedCommand_, std::memory_order_release);
}

void Sequencer::onCompleted() {
    if (state_ != State::Playing || playing_.load()) return;
    state_ = State::Stopped;
    heldTick_ = lengthTicks();
    externalTempo_.store(false);
    emit completed();
}

}  // namespace cantavo
