#include "livesettings.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

#include "songencoding.h"

namespace cantavo {

int ScaledVelocity(int velocity, int percent) {
    if (percent == 100) return velocity;
    // In integers, so that no real number decides the rounding.
    const int x = velocity * percent;
    const int whole = x / 100 + 1;
    const int rest = x % 100;
    const int rounded = whole + ((rest > 50 || (rest == 50 && (whole & 1))) ? 1 : 0);
    return std::min(127, std::max(0, rounded));
}

int TransposedNote(int note, int halfTones) {
    int n = note + halfTones % 120;
    while (n > 127) n -= 12;
    while (n < 0) n += 12;
    return n;
}

bool LiveSettings::silenced(int channel) const {
    if (mute[static_cast<size_t>(channel)]) return true;
    const bool anySolo = std::any_of(solo.begin(), solo.end(), [](bool s) { return s; });
    return anySolo && !solo[static_cast<size_t>(channel)];
}

LiveSettings LiveSettings::clamped() const {
    LiveSettings s = *this;
    s.key = std::clamp(key, kMinKey, kMaxKey);
    s.keepChannel = std::clamp(keepChannel, 0, 16);
    s.tempoPercent = std::clamp(tempoPercent, kMinTempo, kMaxTempo);
    for (int& l : s.loudness) l = std::clamp(l, 0, kMaxLoudness);
    return s;
}

QJsonObject LiveSettings::toJson() const {
    QJsonArray loud, muted, soloed;
    for (size_t c = 0; c < 16; ++c) {
        loud.append(loudness[c]);
        if (mute[c]) muted.append(static_cast<int>(c) + 1);
        if (solo[c]) soloed.append(static_cast<int>(c) + 1);
    }
    return {{QStringLiteral("key"), key},       {QStringLiteral("keepChannel"), keepChannel}, {QStringLiteral("tempoPercent"), tempoPercent},
            {QStringLiteral("loudness"), loud}, {QStringLiteral("mute"), muted},             {QStringLiteral("solo"), soloed}};
}

LiveSettings LiveSettings::fromJson(const QJsonObject& o) {
    LiveSettings s;
    s.key = o.value(QStringLiteral("key")).toInt(0);
    s.keepChannel = o.value(QStringLiteral("keepChannel")).toInt(10);
    s.tempoPercent = o.value(QStringLiteral("tempoPercent")).toInt(100);
    const QJsonArray loud = o.value(QStringLiteral("loudness")).toArray();
    for (qsizetype c = 0; c < std::min<qsizetype>(16, loud.size()); ++c) s.loudness[static_cast<size_t>(c)] = loud[c].toInt(100);
    for (const QJsonValue& v : o.value(QStringLiteral("mute")).toArray())
        if (v.toInt() >= 1 && v.toInt() <= 16) s.mute[static_cast<size_t>(v.toInt() - 1)] = true;
    for (const QJsonValue& v : o.value(QStringLiteral("solo")).toArray())
        if (v.toInt() >= 1 && v.toInt() <= 16) s.solo[static_cast<size_t>(v.toInt() - 1)] = true;
    return s.clamped();
}

namespace {

// Words makers name the melody's and the voice's tracks with, in the languages karaoke files
// are made in (compared in lower case), and words that mark a second voice.
const QStringList kLeadWords{QStringLiteral("melod"), QStringLiteral("mélod"), QStringLiteral("lead"), QStringLiteral("main"),
                             QStringLiteral("tune"), QStringLiteral("メロ"), QStringLiteral("旋律"), QStringLiteral("멜로디"),
                             QStringLiteral("ทำนอง"), QStringLiteral("เมโลดี")};
const QStringList kVoiceWords{QStringLiteral("vocal"), QStringLiteral("voice"), QStringLiteral("voix"), QStringLiteral("voz"),
                              QStringLiteral("voce"), QStringLiteral("vox"), QStringLiteral("stimme"), QStringLiteral("gesang"),
                              QStringLiteral("canto"), QStringLiteral("sing"), QStringLiteral("歌"), QStringLiteral("ボーカル"),
                              QStringLiteral("보컬"), QStringLiteral("ร้อง"), QStringLiteral("人声"), QStringLiteral("giọng")};
const QStringList kSecondWords{QStringLiteral("harm"), QStringLiteral("back"), QStringLiteral("chor"), QStringLiteral("second"),
                               QStringLiteral("2"), QStringLiteral("bgv"), QStringLiteral("coro"), QStringLiteral("ハモ")};

double nameWeight(const QString& name) {
    const QString n = name.toLower();
    const auto has = [&](const QStringList& words) { return std::any_of(words.begin(), words.end(), [&](const QString& w) { return n.contains(w); }); };
    double w = has(kLeadWords) ? 1.6 : has(kVoiceWords) ? 1.4 : 1.0;
    if (w > 1 && has(kSecondWords)) w = 1 + (w - 1) / 2;
    return w;
}

}  // namespace

std::vector<MelodyMeasure> MelodyMeasures(const SongModel& song, const SongEvents& events) {
    std::vector<MelodyMeasure> out;
    if (song.lyricCount <= 0 || events.division <= 0 || events.timeCode) return out;
    const qint64 window = std::max(1, events.division / 8);  // a 32nd note
    std::vector<qint64> syllables;
    for (int i = 1; i <= song.lyricCount; ++i) syllables.push_back(song.lyricTick[i]);
    std::sort(syllables.begin(), syllables.end());
    const qint64 from = syllables.front() - window, to = syllables.back() + window;
    const auto onSyllable = [&](qint64 t) {
        const auto it = std::lower_bound(syllables.begin(), syllables.end(), t - window);
        return it != syllables.end() && *it <= t + window;
    };
    // Onsets per channel, a chord's notes counted once; the pitch and the track of each note.
    std::array<std::vector<qint64>, 16> onsets;
    std::array<std::vector<int>, 16> pitches;
    std::array<std::array<int, 256>, 16> perTrack{};
    for (const SongEvent& e : events.events) {
        if (e.sysex >= 0 || (e.status & 0xF0) != 0x90 || e.data2 == 0) continue;
        const size_t ch = e.status & 0x0F;
        ++perTrack[ch][e.track];
        if (e.tick < from || e.tick > to) continue;
        pitches[ch].push_back(e.data1);
        if (onsets[ch].empty() || onsets[ch].back() != e.tick) onsets[ch].push_back(e.tick);
    }
    const SongEncoding encoding = SongEncoding::fromName(song.encoding);
    for (size_t ch = 0; ch < 16; ++ch) {
        if (ch == 9 || onsets[ch].empty()) continue;  // channel 10 plays drums in General MIDI: no tune
        MelodyMeasure m;
        m.channel = static_cast<int>(ch);
        int hits = 0;
        for (qint64 t : syllables) {
            const auto it = std::lower_bound(onsets[ch].begin(), onsets[ch].end(), t - window);
            hits += it != onsets[ch].end() && *it <= t + window;
        }
        if (hits == 0) continue;
        const int between = static_cast<int>(std::count_if(onsets[ch].begin(), onsets[ch].end(), [&](qint64 t) { return !onSyllable(t); }));
        m.syllables = static_cast<double>(hits) / static_cast<double>(syllables.size());
        m.between = static_cast<double>(between) / static_cast<double>(onsets[ch].size());
        double sum = 0;
        for (int p : pitches[ch]) sum += p;
        m.meanPitch = sum / static_cast<double>(pitches[ch].size());
        m.track = static_cast<int>(std::max_element(perTrack[ch].begin(), perTrack[ch].end()) - perTrack[ch].begin());
        if (static_cast<size_t>(m.track) < events.trackNames.size())
            m.trackName = DecodeSongText(events.trackNames[static_cast<size_t>(m.track)], encoding, false).trimmed();
        m.nameWeight = nameWeight(m.trackName);
        // Tunes are sung from about D3 to E5 on average: a bass line, or a doubling an octave
        // above the voice, lies outside and weighs less the further it is.
        const double outside = m.meanPitch < 50 ? 50 - m.meanPitch : m.meanPitch > 76 ? m.meanPitch - 76 : 0;
        const double range = std::max(0.5, 1 - outside / 24);
        m.score = m.syllables * (1 - 0.6 * m.between) * range * m.nameWeight;
        out.push_back(m);
    }
    std::stable_sort(out.begin(), out.end(), [](const MelodyMeasure& a, const MelodyMeasure& b) {
        if (std::abs(a.score - b.score) > 1e-9) return a.score > b.score;
        return a.meanPitch > b.meanPitch;
    });
    return out;
}

int MelodyChannel(const SongModel& song, const SongEvents& events) {
    const std::vector<MelodyMeasure> measures = MelodyMeasures(song, events);
    return measures.empty() ? -1 : measures.front().channel;
}

}  // namespace cantavo
