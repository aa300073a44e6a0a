#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace cantavo {

// One track chunk as the modification dialog holds it: "MTrk", the four length bytes, the
// data. A chunk that lay wholly inside the file is held exactly as read.
struct HeldChunk {
    QByteArray bytes;
    // Its declared length ran past the end of the file: it was cut at its end-of-track (or
    // after its last complete event), completed and given its real length.
    bool repaired = false;
};

// The chunks of a song file, found as tolerantly as the song reader finds them.
struct SongChunks {
    bool ok = false;   // false: not a MIDI file, or no track chunk at all
    int announced = 0; // the low byte of the header's track count
    int format = 0;
    int divisionHigh = 0;
    int divisionLow = 0;
    int division() const { return divisionHigh * 256 + divisionLow; }
    QList<HeldChunk> chunks;  // at most `announced`; fewer when the file holds fewer
};

SongChunks ReadSongChunks(const QByteArray& file);
// Why ReadSongChunks found nothing to hold, in words: "not a MIDI file", ...
QString SongChunksProblem(const QByteArray& file);

// One step of the walk over a chunk's events.
struct ChunkEvent {
    int statusByte = 0;  // the byte that stood in status position
    int status = 0;      // the status in effect: running status resolved
    int type = 0;        // meta events: the type
    // Where the channel message's data bytes stand in the chunk, -1 when absent or when the
    // byte is a stray system byte taken as data (such bytes are never changed).
    qsizetype data1At = -1;
    qsizetype data2At = -1;
    qsizetype metaAt = -1;  // meta events: where the data starts
    qsizetype metaLength = 0;
};

// Walks the events of a chunk the way the song reader does: running status continues
// across meta and system-exclusive events; meta and system-exclusive lengths are
// variable-length quantities; a system byte 0xF1..0xFE (other than 0xF7) in status
// position is the first data byte of the running message.
class ChunkWalker {
public:
    // RanOut: the bytes ended between events, with no end-of-track; Overrun: an event
    // runs past the end of the bytes.
    enum class Step { Event, EndOfTrack, RanOut, Overrun };

    // Walks bytes [from, end) of `chunk`.
    ChunkWalker(const QByteArray& chunk, qsizetype from, qsizetype end);

    Step next(ChunkEvent& event);
    // After EndOfTrack: whether its length byte was missing at the end of the bytes.
    bool endLengthMissing() const { return endLengthMissing_; }
    // Where the walk stands: after the last complete event (or the end-of-track).
    qsizetype position() const { return lastComplete_; }
    int lastStatus() const { return runningStatus_; }

private:
    bool readByte(int& b);
    bool readVarLen(qint64& v);

    const QByteArray& chunk_;
    qsizetype at_;
    qsizetype end_;
    qsizetype lastComplete_;
    int runningStatus_ = 0;
    bool endLengthMissing_ = false;
};

}  // namespace cantavo
