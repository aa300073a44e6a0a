#include "stagemoment.h"

#include <algorithm>
#include <cmath>

namespace cantavo {

double BeatMsAt(const SongModel& song, double ms) {
    double micros = 500000;
    for (int i = 1; i <= song.tempoCount; ++i) {
        // Entries after the last change are 0 (beyond index 1).
        if (i > 1 && song.tempoTick[i] == 0) break;
        if (song.tempoTick[i] > ms) break;
        if (song.tempoMicros[i] > 0) micros = song.tempoMicros[i];
    }
    return micros / 1000.0;
}

StageMoment StageMomentAt(const SongModel& song, const std::vector<double>& lyricMs, double positionMs, int nextSyllable, bool loaded) {
    StageMoment m;
    const QStringList title = song.songTitle.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    m.title = title.value(0).trimmed();
    m.author = title.value(1).trimmed();
    const int count = std::min(song.lyricCount, static_cast<int>(lyricMs.size()) - 1);
    if (!loaded || count < 1) return m;
    const double first = lyricMs[1], last = lyricMs[static_cast<size_t>(count)];
    if (positionMs < first - kCardLeadMs || positionMs > last + kCardAfterMs) return m;
    m.titleCard = false;
    if (nextSyllable >= 1 && nextSyllable <= count) {
        const double at = lyricMs[static_cast<size_t>(nextSyllable)];
        const double before = nextSyllable > 1 ? lyricMs[static_cast<size_t>(nextSyllable - 1)] : 0;
        const double beat = BeatMsAt(song, at);
        if (at - before >= kLongSilenceMs && positionMs < at && beat > 0) {
            const int beats = static_cast<int>(std::ceil((at - positionMs) / beat));
            if (beats <= 3) m.countdown = std::max(1, beats);
        }
    }
    return m;
}

}  // namespace cantavo
