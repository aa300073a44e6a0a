#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

#include "livesettings.h"
#include "atomicfile.h"
#include "songchunks.h"

namespace cantavo {

// What the track list shows of one track.
struct TrackAnalysis {
    QByteArray name;         // the track-name text as stored (empty: none)
    int channel = 0;         // 1..16 of the last channel message seen; 0: none
    int program = -1;        // the first program change outside the kept channel; -1: none
    int programChannel = 0;  // the channel of that program change
};

// Reads a track chunk up to its end-of-track, or up to its first program change on a
// channel other than `keepChannel`.
TrackAnalysis AnalyseTrack(const QByteArray& chunk, int keepChannel);

// The settings of the modification dialog.
struct ModifySettings {
    double tempoPercent = 0;
    int transpose = 0;
    int keepChannel = 10;  // never transposed; 0: every channel is transposed
    std::array<int, 16> mixer{100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100};

    bool mixerInUse() const;
};

// What the user chose for one track (one row of the track list).
struct TrackEdit {
    bool muted = false;
    bool patchChanged = false;
    int program = -1;        // the chosen (or analysed) program
    int programChannel = 0;  // the channel whose program changes take it
};

// A track rewritten from its analysis: no change chosen yet.
TrackEdit EditFor(const TrackAnalysis& analysis);

// Where a rewrite had to stop.
struct IllegalData {
    int status = 0;      // the byte in status position when it failed
    int lastStatus = 0;  // the running status then
};

// Rewrites one chunk in place: transposition, the mixer, and the chosen patch on the
// track's analysed channel. False, with where it stopped, when an event runs past the end
// of the chunk; the part before stays rewritten.
bool RewriteTrack(QByteArray& chunk, const ModifySettings& settings, const TrackEdit& edit, IllegalData* where = nullptr);

// The division the tempo change gives: -1 when it falls outside 1..32767 (a time-code
// division, or a song slowed to nothing).
int NewDivision(int divisionHigh, int divisionLow, double tempoPercent);

// Why a modification is refused before anything is written.
enum class ModifyRefusal { None, NothingToDo, AllMuted, CantMute, CantChangePatch, BadDivision };
QString RefusalMessage(ModifyRefusal refusal);
ModifyRefusal CheckModification(const SongChunks& song, const QList<TrackEdit>& edits, const ModifySettings& settings);

// What a dialog shows while the song is written.
class RewriteProgress {
public:
    virtual ~RewriteProgress() = default;
    virtual void rewriting(int track) = 0;  // 1-based
    virtual void illegalData(int track, const IllegalData& where) = 0;
};

// "Illegal data found " with the two status bytes as numbers.
QString IllegalDataMessage(const IllegalData& where);

// The modified song file: a format-1 header with the new division and the tracks that are
// not muted, each rewritten when any change applies to it. Call after CheckModification.
QByteArray WriteModifiedSong(const SongChunks& song, const QList<TrackEdit>& edits, const ModifySettings& settings,
                             RewriteProgress* progress = nullptr);

// Where the modified song goes: the song's name with ".ktf" for its extension.
QString ModifiedSongPath(const QString& songPath);

}  // namespace cantavo
