// Figures of the sound engine, printed (not timed tests):
//  1. event timing of the built-in path against the ideal schedule from the tempo map;
//  2. time from opening a song to ready to play, SoundFont load included, against
//     FluidSynth's own start on the same SoundFont.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "sequencer.h"
#include "smfbytes.h"
#include "songreader.h"
#include "synthhost.h"
#include "tempomap.h"

using namespace cantavo;

namespace {

using test::varLen;

// One track: a note every eighth (240 ticks), and a tempo change every bar between 60 and
// 200 bpm, `bars` bars long.
QByteArray timingSong(int bars) {
    QByteArray t;
    quint32 pending = 0;
    for (int bar = 0; bar < bars; ++bar) {
        const quint32 us = static_cast<quint32>(60000000.0 / (60 + (bar * 37) % 141));
        varLen(t, pending);
        t += QByteArray::fromHex("ff5103") + QByteArray::fromHex(QByteArray::number(us, 16).rightJustified(6, '0'));
        pending = 0;
        for (int n = 0; n < 8; ++n) {
            varLen(t, pending);
            t += QByteArray::fromHex("903c50");
            varLen(t, 120);
            t += QByteArray::fromHex("803c00");
            pending = 120;
        }
    }
    varLen(t, pending);
    t += QByteArray::fromHex("ff2f00");
    QByteArray out = QByteArray::fromHex("4d546864000000060000000101e0") + "MTrk";
    out += QByteArray::fromHex(QByteArray::number(t.size(), 16).rightJustified(8, '0'));
    return out + t;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(std::min<double>(static_cast<double>(v.size() - 1), p * static_cast<double>(v.size())))];
}

void eventTiming(const QString& path, const char* label) {
    SynthHost::Options o;
    o.offline = true;
    QString error;
    auto host = SynthHost::create(o, &error);
    if (!host) {
        std::printf("no synthesizer: %s\n", qPrintable(error));
        return;
    }
    Sequencer seq(*host);
    if (!seq.open(path, &error)) {
        std::printf("%s: %s\n", label, qPrintable(error));
        return;
    }
    SongModel song;
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    LoadSongData(f.readAll(), path, song);
    std::vector<qint64> onFrames;
    seq.setEventTap([&](qint64 frame, int status, int, int velocity) {
        if ((status & 0xF0) == 0x90 && velocity > 0) onFrames.push_back(frame);
    });
    seq.play();
    while (!seq.reachedEnd()) host->render(4096, nullptr);
    // The ideal: every eighth note, through the song's own tempo map.
    std::vector<double> errors;
    for (size_t i = 0; i < onFrames.size(); ++i) {
        const double ideal = TicksToMs(song, static_cast<qint64>(i) * 240) * host->sampleRate() / 1000.0;
        errors.push_back(static_cast<double>(onFrames[i]) - ideal);
    }
    const size_t q = errors.size() / 4;
    double first = 0, last = 0;
    for (size_t i = 0; i < q; ++i) {
        first += errors[i];
        last += errors[errors.size() - q + i];
    }
    std::vector<double> magnitude;
    for (double e : errors) magnitude.push_back(std::fabs(e));
    std::printf("%s: %zu notes, %d tempo changes; error in frames (64-frame blocks): p50 %.1f, p99 %.1f, worst %.1f; "
                "drift first->last quarter %.1f frames (%.2f ms)\n",
                label, errors.size(), song.tempoCount, percentile(magnitude, 0.5), percentile(magnitude, 0.99),
                *std::max_element(magnitude.begin(), magnitude.end()), (last - first) / static_cast<double>(q),
                (last - first) / static_cast<double>(q) * 1000.0 / host->sampleRate());
}

void openToReady(const QString& song, const QString& soundFont) {
    constexpr int kRuns = 5;
    double ours = 0, theirs = 0;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        {
            // Each in its own scope: FluidSynth shares the samples of a SoundFont that another
            // synthesizer of the process still holds.
            t.start();
            SynthHost::Options o;
            o.offline = true;
            o.soundFont = soundFont;
            QString error;
            auto host = SynthHost::create(o, &error);
            Sequencer seq(*host);
            seq.open(song, &error);
            seq.play();
            host->render(64, nullptr);
            ours += static_cast<double>(t.nsecsElapsed()) / 1e6;
        }
        t.restart();
        fluid_settings_t* s = new_fluid_settings();
        fluid_synth_t* synth = new_fluid_synth(s);
        fluid_synth_sfload(synth, soundFont.toLocal8Bit().constData(), 1);
        fluid_player_t* p = new_fluid_player(synth);
        fluid_player_add(p, song.toLocal8Bit().constData());
        fluid_player_play(p);
        float buf[128];
        fluid_synth_write_float(synth, 64, buf, 0, 2, buf, 1, 2);
        theirs += static_cast<double>(t.nsecsElapsed()) / 1e6;
        delete_fluid_player(p);
        delete_fluid_synth(synth);
        delete_fluid_settings(s);
    }
    std::printf("open to ready (%s): Cantavo! %.1f ms, FluidSynth alone %.1f ms (mean of %d)\n", qPrintable(soundFont), ours / kRuns,
                theirs / kRuns, kRuns);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString programDir = QStringLiteral(CANTAVO_PROGRAM_DIR);
    QTemporaryDir dir;
    const QString timing = dir.filePath(QStringLiteral("timing.mid"));
    QFile f(timing);
    f.open(QIODevice::WriteOnly);
    f.write(timingSong(300));
    f.close();
    eventTiming(timing, "300 bars, a tempo change every bar");
    for (const QString& sf : {QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2")})
        if (QFile::exists(sf)) openToReady(programDir + QStringLiteral("/songs/twinkle.kar"), sf);
    return 0;
}
