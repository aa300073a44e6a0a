#include "trackrows.h"

#include "atomicfile.h"

#include "gmnames.h"

namespace cantavo {

QString PatchCellText(int program) {
    return QStringLiteral(" %1 - ").arg(program + 1) + GmPatchNames()[static_cast<size_t>(program & 0x7F)];
}

TrackRow MakeTrackRow(int row, const TrackAnalysis& analysis, const SongEncoding& encoding) {
    TrackRow r;
    r.number = QString::number(row);
    r.name = DecodeSongText(analysis.name, encoding, true);
    if (r.name.isEmpty()) r.name = row == 1 ? QStringLiteral("Track 0") : QStringLiteral("-");
    r.channel = analysis.channel > 0 ? QString::number(analysis.channel) : QStringLiteral("-");
    r.patch = analysis.program >= 0 ? PatchCellText(analysis.program) : QStringLiteral("-");
    r.program = analysis.program >= 0 ? QString::number(analysis.program) : QString();
    return r;
}

QList<TrackRow> TrackRows(const SongChunks& song, const SongEncoding& encoding) {
    QList<TrackRow> rows;
    for (int i = 0; i < song.chunks.size(); ++i)
        rows << MakeTrackRow(i + 1, AnalyseTrack(song.chunks[i].bytes, kAnalysedKeepChannel), encoding);
    return rows;
}

QString ModifySongFile(const ModifyRequest& request) {
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(request.song, kMaxSongBytes, &bytes, &why)) return request.song + QStringLiteral(": ") + why;
    const SongChunks song = ReadSongChunks(bytes);
    if (!song.ok) return request.song + QStringLiteral(": ") + SongChunksProblem(bytes);
    const QString refused = OutputFileProblem(request.out);
    if (!refused.isEmpty()) return request.out + QStringLiteral(": ") + refused;
    QList<TrackEdit> edits;
    for (const HeldChunk& c : song.chunks) edits << EditFor(AnalyseTrack(c.bytes, kAnalysedKeepChannel));
    const auto track = [&](int n) { return n >= 1 && n <= edits.size(); };
    for (int n : request.mute) {
        if (!track(n)) return QStringLiteral("There is no track %1").arg(n);
        edits[n - 1].muted = true;
    }
    for (const auto& [n, program] : request.patches) {
        if (!track(n)) return QStringLiteral("There is no track %1").arg(n);
        TrackEdit& e = edits[n - 1];
        // As the dialog: a track with no patch shown, or in the first two rows, has none to change.
        if (n <= 2 || e.program < 0) return RefusalMessage(ModifyRefusal::CantChangePatch);
        e.patchChanged = true;
        e.program = program;
    }
    const ModifyRefusal refusal = CheckModification(song, edits, request.settings);
    if (refusal != ModifyRefusal::None) return RefusalMessage(refusal);
    QString error;
    if (!WriteFileAtomically(request.out, WriteModifiedSong(song, edits, request.settings), &error))
        return request.out + QStringLiteral(": ") + error;
    return {};
}

}  // namespace cantavo
