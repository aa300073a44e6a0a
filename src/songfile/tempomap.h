#pragma once

#include "songmodel.h"

namespace cantavo {

// Milliseconds from the start of the song to `tick`, through the song's tempo map as read
// (tempoTick in ticks). Before the first tempo event, and in a song without one, the tempo
// is 500000 microseconds per quarter note.
double TicksToMs(const SongModel& song, qint64 tick);

}  // namespace cantavo

namespace cantavo {

// Rewrites tempoTick as the millisecond at which each tempo segment begins (index 1 is
// the start of the song), as the tempo display steps through them.
void ConvertTempoMapToMs(SongModel& song);

}  // namespace cantavo
