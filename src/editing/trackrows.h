#pragma once

#include <QList>
#include <QString>

#include "rewriter.h"
#include "songencoding.h"

namespace cantavo {

// The texts of one row of the track list, columns 0 to 5.
struct TrackRow {
    QString number;
    QString name;
    QString channel;
    QString mute;
    QString patch;
    QString program;
};

// The channel whose notes the track list's analysis leaves out when it looks for a patch.
inline constexpr int kAnalysedKeepChannel = 10;

// What the track list shows of a program: " 1 - Acoustic Grand Piano ".
QString PatchCellText(int program);

// One row per chunk as the track list fills it: an unnamed first track is "Track 0", other
// empty cells "-". Track names are decoded in the song's encoding.
TrackRow MakeTrackRow(int row, const TrackAnalysis& analysis, const SongEncoding& encoding);
QList<TrackRow> TrackRows(const SongChunks& song, const SongEncoding& encoding);

// `cantavo --modify`: the rewrite the modification dialog makes, from a file to a file.
struct ModifyRequest {
    QString song;
    QString out;
    ModifySettings settings;
    QList<int> mute;                    // tracks, 1-based as the track list numbers them
    QList<QPair<int, int>> patches;     // track, program 0..127
};
// Empty when the file was written; otherwise what refused it.
QString ModifySongFile(const ModifyRequest& request);

}  // namespace cantavo
