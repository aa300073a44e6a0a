#include "scorekeeper.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace cantavo {

double Tolerance(Difficulty d) {
    switch (d) {
    case Difficulty::Easy: return 2.0;
    case Difficulty::Normal: return 1.0;
    case Difficulty::Hard: return 0.5;
    }
    return 1.0;
}

QString DifficultyName(Difficulty d) {
    switch (d) {
    case Difficulty::Easy: return QStringLiteral("easy");
    case Difficulty::Normal: return QStringLiteral("normal");
    case Difficulty::Hard: return QStringLiteral("hard");
    }
    return QStringLiteral("normal");
}

bool ParseDifficulty(const QString& name, Difficulty* d) {
    for (Difficulty k : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard})
        if (name.compare(DifficultyName(k), Qt::CaseInsensitive) == 0) {
            *d = k;
            return true;
        }
    return false;
}

float Folded(float pitch, int target) {
    if (std::isnan(pitch)) return pitch;
    const float d = pitch - static_cast<float>(target);
    return pitch - 12.0f * std::round(d / 12.0f);
}

QString ScoreResult::verdict() const {
    // Less than a twentieth of the notes' time with a voice: a cough, a breath, the room.
    if (voicedShare < 0.05) return QStringLiteral("Nothing was sung.");
    if (std::fabs(lagMs) >= 150 && total < 9000)
        return lagMs > 0 ? QStringLiteral("You came in late, by %1 s: start with the music.").arg(lagMs / 1000.0, 0, 'f', 1)
                         : QStringLiteral("You came in early, by %1 s: wait for the music.").arg(-lagMs / 1000.0, 0, 'f', 1);
    if (offTuneShare >= 0.6 && std::fabs(meanOffset) >= 0.5)
        return QStringLiteral("Mostly out of tune: %1 by %2 semitones on average.")
            .arg(meanOffset > 0 ? QStringLiteral("sharp") : QStringLiteral("flat"))
            .arg(std::fabs(meanOffset), 0, 'f', 1);
    if (total >= 9000) return QStringLiteral("Superb! Right on the tune.");
    if (total >= 7500) return QStringLiteral("Very good!");
    if (total >= 5000) return QStringLiteral("Good. Keep at it.");
    if (total >= 2500) return QStringLiteral("Not bad. Listen to the tune and try again.");
    if (offTuneShare >= 0.6) return QStringLiteral("Mostly out of tune: listen to the tune and try again.");
    return QStringLiteral("Keep practising!");
}

QJsonObject ScoreResult::toJson(const Melody& melody, Difficulty d) const {
    QJsonArray lines, notes;
    for (size_t i = 0; i < melody.lines.size() && i < lineShares.size(); ++i)
        lines.append(QJsonObject{{QStringLiteral("line"), melody.lines[i].number},
                                 {QStringLiteral("text"), melody.lines[i].text},
                                 {QStringLiteral("share"), std::round(lineShares[i] * 1000) / 1000}});
    for (size_t i = 0; i < melody.notes.size() && i < noteShares.size(); ++i) {
        const MelodyNote& n = melody.notes[i];
        notes.append(QJsonObject{{QStringLiteral("startMs"), std::round(n.startMs)},
                                 {QStringLiteral("endMs"), std::round(n.endMs)},
                                 {QStringLiteral("pitch"), n.pitch},
                                 {QStringLiteral("line"), melody.lines[static_cast<size_t>(n.line)].number},
                                 {QStringLiteral("share"), std::round(noteShares[i] * 1000) / 1000}});
    }
    return QJsonObject{{QStringLiteral("total"), total},
                       {QStringLiteral("notePoints"), notePoints},
                       {QStringLiteral("linePoints"), linePoints},
                       {QStringLiteral("difficulty"), DifficultyName(d)},
                       {QStringLiteral("verdict"), verdict()},
                       {QStringLiteral("voiced"), std::round(voicedShare * 1000) / 1000},
                       {QStringLiteral("outOfTune"), std::round(offTuneShare * 1000) / 1000},
                       {QStringLiteral("meanOffsetSemitones"), std::round(meanOffset * 10) / 10},
                       {QStringLiteral("lateMs"), std::round(lagMs)},
                       {QStringLiteral("melodyChannel"), melody.channel + 1},
                       {QStringLiteral("lines"), lines},
                       {QStringLiteral("notes"), notes}};
}

ScoreKeeper::ScoreKeeper(const Melody& melody, Difficulty difficulty)
    : melody_(melody), difficulty_(difficulty), tolerance_(Tolerance(difficulty)) {
    clear();
}

void ScoreKeeper::clear() {
    sung_.clear();
    measured_.clear();
    heard_.assign(melody_.notes.size(), 0);
    inTune_.assign(melody_.notes.size(), 0);
}

double ScoreKeeper::margin(const MelodyNote& n) {
    return std::min(50.0, n.lengthMs() / 5);
}

void ScoreKeeper::count(const Heard& h) {
    const size_t i = static_cast<size_t>(h.note);
    const int target = melody_.notes[i].pitch;
    ++heard_[i];
    if (!std::isnan(h.pitch) && std::fabs(Folded(h.pitch, target) - static_cast<float>(target)) <= tolerance_) ++inTune_[i];
}

void ScoreKeeper::recount() {
    heard_.assign(melody_.notes.size(), 0);
    inTune_.assign(melody_.notes.size(), 0);
    for (const Heard& h : sung_) count(h);
}

void ScoreKeeper::add(double songMs, float pitch) {
    if (!std::isnan(pitch)) measured_.push_back({songMs, pitch});
    const int i = melody_.noteAt(songMs);
    if (i < 0) return;
    const MelodyNote& n = melody_.notes[static_cast<size_t>(i)];
    if (songMs < n.startMs + margin(n) || songMs > n.endMs - margin(n)) return;
    sung_.push_back({i, pitch});
    count(sung_.back());
}

void ScoreKeeper::setDifficulty(Difficulty d) {
    difficulty_ = d;
    tolerance_ = Tolerance(d);
    recount();
}

bool ScoreKeeper::retarget(const Melody& melody) {
    if (melody.notes.size() != melody_.notes.size()) return false;
    for (size_t i = 0; i < melody.notes.size(); ++i)
        if (melody.notes[i].startTick != melody_.notes[i].startTick) return false;
    melody_ = melody;
    recount();
    return true;
}

bool ScoreKeeper::heardAny() const {
    return !sung_.empty();
}

double ScoreKeeper::noteShare(int i) const {
    const size_t k = static_cast<size_t>(i);
    return k < heard_.size() && heard_[k] > 0 ? static_cast<double>(inTune_[k]) / heard_[k] : 0.0;
}

ScoreResult ScoreKeeper::result(double ms) const {
    ScoreResult r;
    const size_t count = melody_.notes.size();
    r.noteShares.assign(count, 0.0);
    double sungLength = 0, allLength = 0;
    for (size_t i = 0; i < count; ++i) {
        const MelodyNote& n = melody_.notes[i];
        if (n.endMs > ms) continue;
        r.noteShares[i] = noteShare(static_cast<int>(i));
        sungLength += r.noteShares[i] * n.lengthMs();
        allLength += n.lengthMs();
    }
    double notes = allLength > 0 ? 9000.0 * sungLength / allLength : 0;
    double lines = 0;
    int linesDone = 0;
    for (const MelodyLine& l : melody_.lines) {
        double sung = 0, length = 0;
        bool done = true;
        for (int k = l.firstNote; k < l.firstNote + l.noteCount; ++k) {
            const MelodyNote& n = melody_.notes[static_cast<size_t>(k)];
            if (n.endMs > ms) done = false;
            sung += r.noteShares[static_cast<size_t>(k)] * n.lengthMs();
            length += n.lengthMs();
        }
        const double share = length > 0 ? sung / length : 0;
        r.lineShares.push_back(share);
        if (!done) continue;
        ++linesDone;
        lines += std::clamp((share - 0.5) / 0.35, 0.0, 1.0);
    }
    if (linesDone > 0) lines = 1000.0 * lines / linesDone;
    r.notePoints = static_cast<int>(std::lround(notes));
    r.linePoints = static_cast<int>(std::lround(lines));
    r.total = r.notePoints + r.linePoints;

    int heard = 0, voiced = 0, off = 0;
    double offset = 0;
    for (const Heard& h : sung_) {
        const MelodyNote& n = melody_.notes[static_cast<size_t>(h.note)];
        if (n.endMs > ms) continue;
        ++heard;
        if (std::isnan(h.pitch)) continue;
        ++voiced;
        const double d = Folded(h.pitch, n.pitch) - static_cast<float>(n.pitch);
        offset += d;
        off += std::fabs(d) > tolerance_;
    }
    r.voicedShare = heard > 0 ? static_cast<double>(voiced) / heard : 0;
    r.offTuneShare = voiced > 0 ? static_cast<double>(off) / voiced : 0;
    r.meanOffset = voiced > 0 ? offset / voiced : 0;
    // Only for the whole song: it looks at every measurement again for each shift.
    if (std::isinf(ms)) r.lagMs = bestLag();
    return r;
}

double ScoreKeeper::bestLag() const {
    const auto inTuneAt = [&](double lag) {
        int n = 0;
        for (const Measured& m : measured_) {
            const double at = m.ms - lag;
            const int i = melody_.noteAt(at);
            if (i < 0) continue;
            const MelodyNote& note = melody_.notes[static_cast<size_t>(i)];
            if (at < note.startMs + margin(note) || at > note.endMs - margin(note)) continue;
            n += std::fabs(Folded(m.pitch, note.pitch) - static_cast<float>(note.pitch)) <= tolerance_;
        }
        return n;
    };
    const int atZero = inTuneAt(0);
    int best = atZero;
    double bestLag = 0;
    for (int lag = -800; lag <= 800; lag += 20) {
        if (lag == 0) continue;
        const int n = inTuneAt(lag);
        if (n > best) {
            best = n;
            bestLag = lag;
        }
    }
    // Clearly the explanation: a fifth of all the voice more in tune at that shift, and then
    // most of it (a voice a third off finds a neighbouring note at some shift too, but only
    // now and then; a voice in tune gains a little from the detector's own delay).
    const auto voice = static_cast<int>(measured_.size());
    const bool clearly = (best - atZero) * 5 >= voice && best * 2 >= voice;
    return clearly ? bestLag : 0;
}

ScoreResult ScoreTake(const Melody& melody, Difficulty difficulty, const float* interleaved, size_t frames, int channels, int rate,
                      double offsetMs, double speed) {
    ScoreKeeper keeper(melody, difficulty);
    PitchTracker tracker(rate);
    std::vector<PitchFrame> found;
    const size_t chunk = 4096;
    for (size_t at = 0; at < frames; at += chunk) {
        const size_t n = std::min(chunk, frames - at);
        const std::vector<float> mono = MonoOf(interleaved + at * static_cast<size_t>(channels), n, channels);
        found.clear();
        tracker.feed(mono.data(), mono.size(), found);
        for (const PitchFrame& f : found) keeper.add((f.ms - offsetMs) * speed, f);
    }
    return keeper.result();
}

}  // namespace cantavo
