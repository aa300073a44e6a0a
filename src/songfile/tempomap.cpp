#include "tempomap.h"

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
