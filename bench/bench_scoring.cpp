// Plays a demo song in real time through the real main window with "Score" on, while a
// synthetic singer sings into the test sound server's sink and the program listens through
// its loopback microphone. Prints the share of one core the voice's reading and pitch
// detection took, and how long the pitch guide took to paint each frame.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "livescorer.h"
#include "mainwindow.h"
#include "mci.h"
#include "mediacontrol.h"
#include "scoreguide.h"
#include "singer.h"
#include "voiceplayer.h"

using namespace cantavo;

namespace {

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString song = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(CANTAVO_PROGRAM_DIR "/songs/oh-susanna.kar");
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30;
    QString error;
    if (!MediaRegistry::instance().synthHost(&error)) {
        std::printf("no synthesizer: %s\n", qPrintable(error));
        return 1;
    }
    MainWindow w;
    w.resize(1280, 800);
    w.show();
    w.chooseSongFile = [&] { return song; };
    w.FileOpen();
    w.setScoreOn(true);
    Sequencer* seq = w.sequencerControl().sequencer();
    if (!seq || w.melody().empty()) {
        std::printf("cannot open %s, or it has no melody\n", qPrintable(song));
        return 1;
    }
    const Melody melody = w.melody();
    test::Singer singer;
    test::VoicePlayer voice(singer.sing(melody, seconds * 1000 + 1000), singer.rate);
    if (!voice.ok()) {
        std::printf("no voice: %s\n", qPrintable(voice.error));
        return 1;
    }
    w.sequencerControl().button(MediaButton::Play)->click();
    w.scoreGuide().clearFrameTimes();
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = processCpuSeconds();
    QTimer follow;
    QObject::connect(&follow, &QTimer::timeout, [&] { voice.follow([&](qint64 ns) { return melody.msAtTick(seq->ticksHeardAt(ns)); }); });
    follow.start(5);
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    const double processCpu = processCpuSeconds() - cpuStart;
    LiveScorer* scorer = w.liveScorer();
    const std::vector<double> frames = w.scoreGuide().frameTimes();
    const double heardMs = melody.msAtTick(seq->positionTicks());
    std::printf("%s, %.0f s with a synthetic singer:\n", qPrintable(song.section(QLatin1Char('/'), -1)), elapsed);
    std::printf("  voice reading and pitch detection: %.3f s CPU, %.2f %% of one core (whole program %.1f %%)\n", scorer->cpuSeconds(),
                100.0 * scorer->cpuSeconds() / elapsed, 100.0 * processCpu / elapsed);
    std::printf("  guide: %zu frames (%.0f a second), paint p50 %.2f ms, p95 %.2f ms, worst %.2f ms; frames over 20 ms: %ld\n", frames.size(),
                static_cast<double>(frames.size()) / elapsed, percentile(frames, 0.5), percentile(frames, 0.95), percentile(frames, 1.0),
                static_cast<long>(std::count_if(frames.begin(), frames.end(), [](double f) { return f > 20; })));
    std::printf("  score so far: %d\n", scorer->keeper().result(heardMs).total);
    w.sequencerControl().button(MediaButton::Stop)->click();
    return 0;
}
