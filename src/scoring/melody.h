#pragma once

#include <QString>

#include <vector>

#include "songevents.h"
#include "songmodel.h"

namespace cantavo {

// One note the singer is measured against. Notes never overlap: where the melody channel
// plays a chord, the top note is the tune, and a note is cut where the next one starts.
struct MelodyNote {
    qint64 startTick = 0;
    qint64 endTick = 0;
    double startMs = 0;
    double endMs = 0;
    int pitch = 60;  // MIDI note number, the live key applied
    int line = 0;    // index into Melody::lines
    double lengthMs() const { return endMs - startMs; }
};

// A line of the lyrics that has notes to sing.
struct MelodyLine {
    int number = 0;  // the lyrics line (0: words before the first line mark)
    QString text;
    int firstNote = 0;
    int noteCount = 0;
};

// The tune under the lyrics: the notes of the melody channel that fall within sung lines
// (a line runs from its first syllable to its last, each widened by a 32nd note), so
// that an introduction or an interlude on the same instrument is not scored.
struct Melody {
    int channel = -1;  // 0..15; -1: the lyrics match no channel and nothing can be scored
    int track = -1;    // the track chunk holding most of the channel's notes, from 0
    bool chosen = false;  // the singer chose the channel
    std::vector<MelodyNote> notes;
    std::vector<MelodyLine> lines;
    std::vector<TempoChange> tempo;
    int division = 0;
    bool empty() const { return notes.empty(); }
    // The song's own time of a tick, on its tempo map (the live tempo does not change it).
    double msAtTick(double tick) const;
    double tickAtMs(double ms) const;
    // The note sounding at `ms`, or -1.
    int noteAt(double ms) const;
    // The lowest and highest pitch, for a scale; 60..72 when there are no notes.
    int lowest() const;
    int highest() const;
};

// Builds the melody of `channel` (0..15; -1: the channel MelodyChannel finds), every pitch
// moved by `key` half tones unless it is `keepChannel` (1..16, as the live settings name it).
Melody BuildMelody(const SongModel& song, const SongEvents& events, int channel = -1, int key = 0, int keepChannel = 10);

// The track chunk (from 0) holding most note-ons of a channel, or -1.
int ChannelTrack(const SongEvents& events, int channel);

}  // namespace cantavo
