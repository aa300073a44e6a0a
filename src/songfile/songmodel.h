#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "songreaderror.h"

namespace cantavo {

// A fixed-capacity array indexed from 1, as the song's tables are everywhere in the program.
// Element 0 exists but is never written; an index outside 1..Capacity is a read error,
// so a song with more entries than a table holds fails to load instead of corrupting memory.
template <typename T, int Capacity>
class OneBased {
public:
    OneBased() : items_(Capacity + 1) {}
    static constexpr int capacity() { return Capacity; }
    T& operator[](int i) {
        check(i);
        return items_[static_cast<size_t>(i)];
    }
    const T& operator[](int i) const {
        check(i);
        return items_[static_cast<size_t>(i)];
    }
    void clear() { items_.assign(Capacity + 1, T{}); }

private:
    static void check(int i) {
        if (i < 1 || i > Capacity) throw SongReadError(SongReadError::Kind::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    }
    std::vector<T> items_;
};

inline constexpr int kMaxTempoChanges = 1000;
inline constexpr int kMaxLyricEvents = 5000;
inline constexpr int kMaxTitleLines = 10;

// Where the lyric list came from: the Soft Karaoke text events, or the fallback used for
// files that carry their words as lyric meta events or as plain text events.
enum class LyricSource { None, SoftKaraokeText, LyricEvents, TextEvents };

// The texts the reader puts on the panels of the main window and the Song Info dialog.
// A null QString means the reader did not write that panel during this read.
struct SongPanelTexts {
    QString tempo;    // main window tempo panel
    QString tracks;   // Song Info "Tracks"
    QString meter;    // Song Info meter
    QString key;      // Song Info key
    QString title;    // Song Info title and main window title panel
    QString info;     // Song Info information
};

// The loaded song as the reader fills it. Holds no widgets.
struct SongModel {
    int trackCount = 0;
    int divisionHigh = 0;
    int divisionLow = 0;
    int division = 0;

    int tempoCount = 0;
    OneBased<qint32, kMaxTempoChanges> tempoTick;
    OneBased<qint32, kMaxTempoChanges> tempoMicros;
    OneBased<qint32, kMaxTempoChanges> tempoBpm;
    qint32 maxBpm = 0;

    int timeSigNumerator = 0;
    int timeSigDenominator = 0;
    QString keyName;
    QString keyMode;

    QString songTitle;
    QString songInfo;

    int lyricCount = 0;
    OneBased<qint32, kMaxLyricEvents> lyricTick;
    OneBased<QString, kMaxLyricEvents> lyricText;
    qint32 lyricTrackTime = 0;

    OneBased<QString, kMaxTitleLines> titleLines;

    LyricSource lyricSource = LyricSource::None;
    qint64 lastEventTick = 0;  // the latest end of any track, for the song's length
    SongPanelTexts panels;

    // Empties the tables and texts, as the song session does before every read.
    void clear();

    bool isTimeCodeDivision() const { return divisionHigh >= 0x80; }
};

}  // namespace cantavo
