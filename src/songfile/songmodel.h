#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "songencoding.h"
#include "songreaderror.h"

namespace cantavo {

// An array indexed from 1, as the song's tables are everywhere in the program. Element 0
// exists but is never written. Writing grows the table as far as the song needs; reading past
// what was written gives the empty value (the tempo map's "0 after the last change" relies
// on it). An index below 1, or one beyond any song's size, is a read error, so a damaged
// file fails to load instead of exhausting memory.
template <typename T>
class OneBased {
public:
    static constexpr int kLimit = 4'000'000;
    T& operator[](int i) {
        check(i);
        if (static_cast<size_t>(i) >= items_.size()) items_.resize(std::max(static_cast<size_t>(i) + 1, items_.size() * 2));
        return items_[static_cast<size_t>(i)];
    }
    const T& operator[](int i) const {
        check(i);
        static const T empty{};
        return static_cast<size_t>(i) < items_.size() ? items_[static_cast<size_t>(i)] : empty;
    }
    void clear() { items_.assign(1, T{}); }

private:
    static void check(int i) {
        if (i < 1 || i > kLimit) throw SongReadError(SongReadError::Kind::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    }
    std::vector<T> items_ = std::vector<T>(1);
};

// What the original tables held; songs may have more.
inline constexpr int kMaxTempoChanges = 1000;
inline constexpr int kMaxLyricEvents = 5000;
inline constexpr int kMaxTitleLines = 10;

// Where the lyric list came from: the Soft Karaoke text events, or the fallback used for
// files that carry their words as lyric meta events or as plain text events.
enum class LyricSource { None, SoftKaraokeText, LyricEvents, TextEvents, LyricHeader };

// Where the song's title came from: its "@T" tags, its first track's name, or its file name.
enum class TitleSource { None, Tags, TrackName, FileName, LyricHeader };

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
    OneBased<qint32> tempoTick;
    OneBased<qint32> tempoMicros;
    OneBased<qint32> tempoBpm;
    qint32 maxBpm = 0;

    int timeSigNumerator = 0;
    int timeSigDenominator = 0;
    QString keyName;
    QString keyMode;

    QString songTitle;
    QString songInfo;

    int lyricCount = 0;
    OneBased<qint32> lyricTick;
    OneBased<QString> lyricText;
    qint32 lyricTrackTime = 0;

    OneBased<QString> titleLines;

    LyricSource lyricSource = LyricSource::None;
    TitleSource titleSource = TitleSource::None;
    QString encoding;  // the name of the encoding the texts were read in (SongEncoding::name)
    QString lyricsNote;  // why lyrics the song holds could not be read, when they could not
    EncodingGuess encodingGuess;  // how the encoding was chosen: how sure the choice is
    qint64 lastEventTick = 0;  // the latest end of any track, for the song's length
    SongPanelTexts panels;

    // Empties the tables and texts, as the song session does before every read.
    void clear();

    bool isTimeCodeDivision() const { return divisionHigh >= 0x80; }
};

// A syllable as the lyrics show it: without its final "-".
inline QString SyllableText(const QString& lyric) { return lyric.endsWith(QLatin1Char('-')) ? lyric.chopped(1) : lyric; }

// Whether a lyric starts a new line of the words ("\" or "/" before it).
inline bool StartsLine(const QString& syllable) { return syllable.startsWith(QLatin1Char('\\')) || syllable.startsWith(QLatin1Char('/')); }

}  // namespace cantavo
