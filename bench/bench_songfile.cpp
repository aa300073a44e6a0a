// How fast the song reader reads a large song, and that its time grows linearly with the
// file's size. Prints MB/s per size.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include "smfbytes.h"
#include "songreader.h"

namespace {

using cantavo::bench::varLen;

void meta(QByteArray& t, quint32 delta, int type, const QByteArray& data) {
    varLen(t, delta);
    t += static_cast<char>(0xFF);
    t += static_cast<char>(type);
    varLen(t, static_cast<quint32>(data.size()));
    t += data;
}

// 16 tracks: a conductor with `tempos` tempo changes, a words track with `lyrics` syllables,
// and 14 tracks of notes, `scale` times the notes of a typical song.
QByteArray bigSong(int tempos, int lyrics, int scale) {
    QByteArray out("MThd");
    auto be = [](QByteArray& o, quint32 v, int n) { for (int s = (n - 1) * 8; s >= 0; s -= 8) o += static_cast<char>(v >> s); };
    be(out, 6, 4); be(out, 1, 2); be(out, 16, 2); be(out, 480, 2);
    auto addTrack = [&](const QByteArray& body) {
        QByteArray t = body;
        meta(t, 0, 0x2F, {});
        out += "MTrk";
        be(out, static_cast<quint32>(t.size()), 4);
        out += t;
    };
    QByteArray conductor;
    for (int i = 0; i < tempos; ++i) {
        quint32 us = 400000 + static_cast<quint32>(i) * 97;
        meta(conductor, 120, 0x51, QByteArray::fromHex(QByteArray::number(us, 16).rightJustified(6, '0')));
    }
    addTrack(conductor);
    QByteArray words;
    for (int i = 0; i < lyrics; ++i) meta(words, 24, 0x01, i % 8 == 0 ? "/sing-" : "a-long ");
    addTrack(words);
    for (int k = 0; k < 14; ++k) {
        QByteArray notes;
        for (int i = 0; i < 3000 * scale; ++i) {
            varLen(notes, 60);
            notes += static_cast<char>(0x90 | k);
            notes += static_cast<char>(48 + i % 24);
            notes += static_cast<char>(90);
            varLen(notes, 60);
            notes += static_cast<char>(48 + i % 24);
            notes += static_cast<char>(0);
        }
        addTrack(notes);
    }
    return out;
}

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
