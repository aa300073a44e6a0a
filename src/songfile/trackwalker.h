#pragma once

#include <QByteArray>

#include "bytereader.h"

namespace cantavo {

// One meta event of a track, with its absolute tick from the start of the track.
struct MetaEvent {
    qint64 tick = 0;
    int type = 0;
    QByteArray data;
};

// Any event of a track: a channel message (status 0x80..0xEF and its one or two data
// bytes), a system exclusive message (status 0xF0 or 0xF7, its bytes in `data`), or a meta
// event (status 0xFF, `type` and `data`).
struct TrackEvent {
    qint64 tick = 0;
    int status = 0;
    int data1 = 0;
    int data2 = 0;
    int type = 0;
    QByteArray data;
};

// Walks the events of one track chunk of the open song file, handing out its meta events
// and reading past everything else (channel messages with running status, system
// exclusive). It reads damaged files the way a tolerant player does:
//  - a track starts right after the previous track's end-of-track when a "MTrk" tag stands
//    there, else where the previous chunk's declared length says when the tag stands there,
//    else at the next "MTrk" tag (so junk after an end-of-track cannot misalign it);
//  - an end-of-track whose length byte is missing at the very end of the file ends the
//    track; a track without end-of-track ends at the end of the data, or at its declared
//    end when the next chunk's tag stands there;
//  - an event cut off by the end of the data is a SongReadError.
class TrackWalker {
public:
    explicit TrackWalker(SongFile& file) : file_(file) {}

    // Finds the next track chunk, searching from `from`; false when there is none.
    bool beginTrack(qint64 from);
    // The next meta event other than end-of-track; false at the end of the track.
    bool next(MetaEvent& event);
    // The next event of any kind other than end-of-track; false at the end of the track.
    bool nextEvent(TrackEvent& event);

    // Where the next track's search starts: just after this track's end.
    qint64 endPosition() const { return file_.position(); }
    qint64 tick() const { return tick_; }

private:
    SongFile& file_;
    qint64 declaredEnd_ = -1;
    qint64 tick_ = 0;
    int runningLength_ = 0;
    int runningStatus_ = 0;
    bool ended_ = true;
};

}  // namespace cantavo
