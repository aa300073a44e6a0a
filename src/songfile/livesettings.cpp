#include "livesettings.h"

#include <QJsonArray>

#include <algorithm>

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

int MelodyChannel(const SongModel& song, const SongEvents& events) {
    if (song.lyricCount <= 0 || events.division <= 0 || events.timeCode) return -1;
    const qint64 window = std::max(1, events.division / 8);
    std::array<int, 16> hits{};
    std::array<double, 16> pitchSum{};
    std::array<int, 16> notes{};
    std::vector<qint64> onsets[16];
    for (const SongEvent& e : events.events) {
        if (e.sysex >= 0 || (e.status & 0xF0) != 0x90 || e.data2 == 0) continue;
        const int ch = e.status & 0x0F;
        onsets[ch].push_back(e.tick);
        pitchSum[static_cast<size_t>(ch)] += e.data1;
        ++notes[static_cast<size_t>(ch)];
    }
    for (int i = 1; i <= song.lyricCount; ++i) {
        const qint64 t = song.lyricTick[i];
        for (size_t ch = 0; ch < 16; ++ch) {
            const std::vector<qint64>& on = onsets[ch];
            const auto it = std::lower_bound(on.begin(), on.end(), t - window);
            if (it != on.end() && *it <= t + window) ++hits[ch];
        }
    }
    int best = -1;
    for (size_t ch = 0; ch < 16; ++ch) {
        // Channel 10 plays drums in General MIDI: it keeps the beat the syllables fall on, but has no tune.
        if (hits[ch] == 0 || ch == 9) continue;
        if (best < 0 || hits[ch] > hits[static_cast<size_t>(best)] ||
            (hits[ch] == hits[static_cast<size_t>(best)] &&
             pitchSum[ch] / notes[ch] > pitchSum[static_cast<size_t>(best)] / notes[static_cast<size_t>(best)]))
            best = static_cast<int>(ch);
    }
    return best;
}

}  // namespace cantavo
