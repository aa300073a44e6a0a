#pragma once

#include <QString>

#include <vector>

#include "songmodel.h"

namespace cantavo {

// What the singers' screen shows at a moment of a song: a title card (before the singing
// comes near, after it is over, with no song) or the lyrics, with a countdown before a line
// that follows a long silence.
struct StageMoment {
    bool titleCard = true;
    QString title;   // the song's first title line
    QString author;  // its second, when it has one
    int countdown = 0;  // beats still to wait before the next line is sung (3, 2, 1), 0: none
};

// A silence before a line this long or longer earns a countdown.
constexpr double kLongSilenceMs = 4000;
// The title card stays until this long before the first syllable, and comes back this long
// after the last.
constexpr double kCardLeadMs = 4000, kCardAfterMs = 4000;

// `lyricMs`: each syllable's time (1-based, as the song's syllables), `positionMs`: the song's
// time heard now, `nextSyllable`: the next syllable to be lit (the session's lyric index);
// `song`'s tempo map in milliseconds (as the session keeps it once opened).
StageMoment StageMomentAt(const SongModel& song, const std::vector<double>& lyricMs, double positionMs, int nextSyllable, bool loaded);

// The length of a beat (a quarter note) at `ms` of the song, through its tempo map in ms.
double BeatMsAt(const SongModel& song, double ms);

}  // namespace cantavo
