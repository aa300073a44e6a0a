#include "tempomap.h"

#include <vector>

#include "numbers.h"

namespace cantavo {

double TicksToMs(const SongModel& song, qint64 tick) {
    if (song.division <= 0 || song.isTimeCodeDivision()) return 0;
    double ms = 0;
    qint64 at = 0;
    double micros = 500000;
    for (int i = 1; i <= song.tempoCount; ++i) {
        const qint64 change = song.tempoTick[i];
        if (change >= tick) break;
        ms += static_cast<double>(change - at) * micros / song.division / 1000.0;
        at = change;
        micros = song.tempoMicros[i];
    }
    return ms + static_cast<double>(tick - at) * micros / song.division / 1000.0;
}

}  // namespace cantavo

namespace cantavo {

void ConvertTempoMapToMs(SongModel& song) {
    if (song.tempoCount < 1) return;
    std::vector<qint32> ticks(static_cast<size_t>(song.tempoCount) + 1);
    for (int i = 1; i <= song.tempoCount; ++i) ticks[static_cast<size_t>(i)] = song.tempoTick[i];
    // The first segment starts at the song's start, whatever the tick of its tempo event.
    song.tempoTick[1] = 0;
    if (song.tempoCount == 1 || song.division <= 0) return;
    double ms = 0;
    for (int i = 2; i <= song.tempoCount; ++i) {
        ms = song.tempoTick[i - 1] + static_cast<double>(ticks[static_cast<size_t>(i)] - ticks[static_cast<size_t>(i - 1)]) *
                                         song.tempoMicros[i - 1] / song.division / 1000.0;
        song.tempoTick[i] = static_cast<qint32>(RoundHalfEven(ms));
    }
}

}  // namespace cantavo
