// How fast the song reader reads a large song, and that its time grows linearly with the
// file's size. Prints MB/s per size.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include "smfbytes.h"
#include "songreader.h"

namespace {

using cantavo::test::bigSong;

void LoadSongFileLarge(benchmark::State& state) {
    const QByteArray song = bigSong(1000, 5000, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cantavo::SongModel model;
        benchmark::DoNotOptimize(cantavo::LoadSongData(song, QStringLiteral("big.kar"), model));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * song.size());
    state.counters["file_KB"] = static_cast<double>(song.size()) / 1024.0;
}

}  // namespace

BENCHMARK(LoadSongFileLarge)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
