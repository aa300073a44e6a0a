#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace cantavo {

// One event to play: a channel message, or a system exclusive message (`sysex` indexes
// SongEvents::sysex).
struct SongEvent {
    qint64 tick = 0;
    quint8 status = 0;
    quint8 data1 = 0;
    quint8 data2 = 0;
    quint8 track = 0;  // the track chunk it came from, counted from 0 (255 for any later one)
    int sysex = -1;
};

struct TempoChange {
    qint64 tick = 0;
    double micros = 500000;  // per quarter note
};

// Everything a player needs from a Standard MIDI File: the events of every track merged in
// the order they are played, and the tempo changes of every track.
//
// Events of the same tick go out in a fixed order: note-offs first (so that a note ending
// where the same key starts again cannot cut the new one), then system exclusive messages,
// then programs, controllers, pitch bend and pressure (so that each note starts with its
// channel set up), then note-ons; within each kind, by track and then as stored.
struct SongEvents {
    int division = 0;
    bool timeCode = false;
    std::vector<SongEvent> events;
    std::vector<QByteArray> sysex;      // the bytes after F0 (or F7), as stored
    std::vector<TempoChange> tempo;     // in tick order; a change at tick 0 included
    qint64 endTick = 0;                 // the latest end of any track
    std::vector<QByteArray> trackNames; // each track's first name event (0x03), as stored; may be empty
};

// The kind of an event for the same-tick order above (lower goes first).
int EventOrder(const SongEvent& e);

// Reads every track with the reader's tolerance of damage. False with `error` when the data
// is not a MIDI file or cannot be read.
bool LoadSongEvents(const QByteArray& data, SongEvents& out, QString* error);

}  // namespace cantavo
