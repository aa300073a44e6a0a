#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace cantavo {

// The lyrics of a song as Thai karaoke editors store them: one text event whose text is a
// header word ("LyrHdr1", "KLyrHdr1", other digits) and then base64 of a zlib stream of XML,
// SONG_LYRIC / INFO (TITLE, ARTIST, TIME_FORMAT, ...) / LYRIC / LINE / WORD (TIME, TEXT,
// VOCAL). The words are usually in TIS-620 (Windows-874) whatever the XML declares.

// True when a text event's bytes are such lyrics (not words to show).
bool IsLyricHeader(const QByteArray& text);

struct LyricHeaderWord {
    qint64 tick = 0;
    QString text;
};

struct LyricHeader {
    QString title;
    QString artist;
    // The lines of words to sing; words that mark parts of the song ("@INTRO", "@SOLO") are
    // left out, and so are lines left with no word.
    QList<QList<LyricHeaderWord>> lines;
    // Why the lyrics could not be read ("the zlib stream is damaged"); empty when they were.
    QString problem;
};

// Reads the event's bytes; `division` turns TIME in 24ths of a quarter note into ticks.
LyricHeader ReadLyricHeader(const QByteArray& text, int division);

}  // namespace cantavo
