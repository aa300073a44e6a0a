// How well a take of voice and music keeps the two together, printed (not a timed test).
// With the test sound server the microphone hears the sink, so the "voice" is the music
// itself coming back: in a take of voice and music its two copies must line up. Records
// 20 s of a demo song through the real synthesizer, output and input, and prints the offset
// of the voice against the music placed under it, found by cross-correlation.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

#include "alignment.h"
#include "sequencer.h"
#include "synthhost.h"
#include "takerecorder.h"

using namespace cantavo;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString song = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(CANTAVO_PROGRAM_DIR "/songs/oh-susanna.kar");
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    QString error;
    auto host = SynthHost::create(SynthHost::Options{}, &error);
    Sequencer seq(*host);
    if (!seq.open(song, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int run = 1; run <= 3; ++run) {
        seq.seekTicks(0);
        TakeRecorder recorder({16, 2, 44100}, host.get());
        recorder.keepStems(true);
        QByteArray take;
        if (!recorder.start({}, {}, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        seq.play();
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < seconds * 1000) {
            QThread::msleep(20);
            recorder.pump(take);
        }
        recorder.finish(take);
        seq.stop();
        double peak = 0;
        // Positive: the voice comes after the music placed under it.
        const double offset = test::OffsetMs(test::monoOf(recorder.musicStem()), test::monoOf(recorder.voiceStem()), recorder.captureRate(), 400, &peak);
        std::printf("run %d: %.1f s take from %s; voice against the music under it: %+.2f ms (correlation %.2f; target within 5 ms); "
                    "output latency %.1f ms\n",
                    run, recorder.voiceStem().size() / 2.0 / recorder.captureRate(), qPrintable(recorder.inputDescription()), offset, peak,
                    host->latencyFrames() * 1000.0 / host->sampleRate());
        QThread::msleep(500);
    }
    return 0;
}
