// Any bytes at all, and settings taken from the first bytes, go through the chunk reading,
// the analysis and the rewriting: they must return, never crash, read or write out of
// bounds or hang, and the rewriting must keep every chunk's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "rewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    cantavo::ModifySettings settings;
    settings.transpose = static_cast<int8_t>(data[0]);
    settings.keepChannel = data[1] % 17;
    settings.tempoPercent = static_cast<int8_t>(data[2]) * 3.0;
    for (int i = 0; i < 16; ++i) settings.mixer[static_cast<size_t>(i)] = data[3 + i] % 201;
    const int patch = data[19] & 0x7F;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 20, static_cast<qsizetype>(size - 20));

    const cantavo::SongChunks song = cantavo::ReadSongChunks(bytes);
    QList<cantavo::TrackEdit> edits;
    for (const cantavo::HeldChunk& c : song.chunks) {
        cantavo::TrackEdit e = cantavo::EditFor(cantavo::AnalyseTrack(c.bytes, 10));
        if (e.program >= 0 && edits.size() >= 2) {
            e.patchChanged = true;
            e.program = patch;
        }
        edits << e;
    }
    for (const cantavo::HeldChunk& c : song.chunks) {
        QByteArray rewritten = c.bytes;
        cantavo::RewriteTrack(rewritten, settings, cantavo::TrackEdit{false, true, patch, 1});
        if (rewritten.size() != c.bytes.size()) std::abort();
    }
    if (cantavo::CheckModification(song, edits, settings) == cantavo::ModifyRefusal::None)
        cantavo::WriteModifiedSong(song, edits, settings);
    // The bytes themselves as one chunk: the rewriter must hold to any chunk it is given.
    QByteArray raw = bytes;
    cantavo::RewriteTrack(raw, settings, cantavo::TrackEdit{false, true, patch, 1});
    if (raw.size() != bytes.size()) std::abort();
    return 0;
}
