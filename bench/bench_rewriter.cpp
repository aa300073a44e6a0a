// How fast "&Modify" rewrites a large song (16 tracks, 1 MB and up: every track transposed,
// mixed and slowed), and that its time grows linearly with the song. Prints MB/s per size.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include "rewriter.h"
#include "smfbytes.h"

namespace {

using cantavo::test::bigSong;

void RewriteLargeSong(benchmark::State& state) {
    // Scale 3 is a 1 MB song; the arguments double it.
    const QByteArray song = bigSong(1000, 5000, 3 * static_cast<int>(state.range(0)));
    cantavo::ModifySettings settings;
    settings.transpose = -2;
    settings.tempoPercent = -10;
    settings.mixer[0] = 60;
    settings.mixer[5] = 140;
    for (auto _ : state) {
        const cantavo::SongChunks chunks = cantavo::ReadSongChunks(song);
        const QList<cantavo::TrackEdit> edits(chunks.chunks.size());
        benchmark::DoNotOptimize(cantavo::WriteModifiedSong(chunks, edits, settings));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * song.size());
    state.counters["file_MB"] = static_cast<double>(song.size()) / (1024.0 * 1024.0);
}

}  // namespace

BENCHMARK(RewriteLargeSong)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
