// A soak of the compilation player: 100 short songs with pauses and wave sounds, played
// through the real main window in real time. Prints the peak memory, the growth of the
// resident memory from the 10th to the 100th song (target: under 10 MB) and the longest time
// the window did not answer (target: under 100 ms). Needs a sound server (scripts/bench
// starts a private one).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "mainwindow.h"
#include "mci.h"
#include "smfbytes.h"

#include <sndfile.h>

#include <cmath>
#include <vector>

using namespace cantavo;

namespace {

QByteArray oneSecondSong(int n) {
    test::SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TSoak " + QByteArray::number(n));
    b.meta(0, 0x01, "/la ");
    b.meta(480, 0x01, "la");
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 60 + n % 12, 90, 0x83, 0x60, 0x80, 60 + n % 12, 0, 0x00, 0x90, 64, 90, 0x83, 0x60, 0x80, 64, 0});
    b.endTrack();
    return b.data();
}

// A short tone, as a cheer would be in a real evening.
QString toneWave(const QString& path, double seconds) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* s = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!s) return path;
    std::vector<float> data(static_cast<size_t>(seconds * info.samplerate));
    for (size_t i = 0; i < data.size(); ++i) data[i] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 660 * static_cast<double>(i) / info.samplerate));
    sf_writef_float(s, data.data(), static_cast<sf_count_t>(data.size()));
    sf_close(s);
    return path;
}

qint64 procKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(static_cast<qsizetype>(qstrlen(key))).trimmed().split(' ').first().toLongLong();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString error;
    if (!MediaRegistry::instance().synthHost(&error)) {
        std::printf("no synthesizer: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    const QString wave = toneWave(dir.filePath(QStringLiteral("cheer.wav")), 0.3);
    QStringList entries;
    for (int i = 0; i < 100; ++i) {
        const QString song = dir.filePath(QStringLiteral("soak%1.kar").arg(i, 3, 10, QLatin1Char('0')));
        QFile f(song);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(oneSecondSong(i));
        entries << QStringLiteral("KARAOKE ") + song;
        if (i % 10 == 9) entries << QStringLiteral("PAUSE 0.5") << QStringLiteral("WAVE ") + wave << QStringLiteral("COMMENT: next ten");
    }
    MainWindow w;
    w.setProgramDirectory(QStringLiteral(CANTAVO_PROGRAM_DIR));
    w.show();
    w.compilationEntries = entries;
    w.compilationCount = static_cast<int>(entries.size());
    w.compilationIndex = 0;

    // The window answers when this timer's ticks come on time.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QString longestAt;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (sinceTick.isValid() && sinceTick.elapsed() > 40 && qEnvironmentVariableIsSet("CANTAVO_BENCH_GAPS"))
            std::printf("gap %lld ms at %s\n", static_cast<long long>(sinceTick.elapsed()),
                        qPrintable(w.compilationEntries.value(w.compilationIndex - 1).section(QLatin1Char('/'), -1)));
        if (sinceTick.isValid() && sinceTick.elapsed() > longestGap) {
            longestGap = sinceTick.elapsed();
            longestAt = w.compilationEntries.value(w.compilationIndex - 1).section(QLatin1Char('/'), -1);
        }
        sinceTick.restart();
    });
    qint64 rssAt10 = 0, rssAt100 = 0;
    int songsStarted = 0;
    QTimer watch;
    watch.setInterval(20);
    QElapsedTimer total;
    total.start();
    int lastIndex = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (w.compilationIndex != lastIndex) {
            lastIndex = w.compilationIndex;
            if (w.compilationEntries.value(lastIndex - 1).startsWith(QStringLiteral("KARAOKE"))) {
                ++songsStarted;
                if (songsStarted == 10) rssAt10 = procKb("VmRSS:");
                if (songsStarted == 100) rssAt100 = procKb("VmRSS:");
            }
        }
        if (w.compilationIndex > w.compilationCount || total.elapsed() > 600000) app.quit();
    });
    heartbeat.start();
    watch.start();
    QTimer::singleShot(500, &w, [&] { w.CompilationStep(1); });
    app.exec();
    std::printf("entries played: %d of %d (%d songs) in %.1f s\n", std::min(w.compilationIndex, w.compilationCount), w.compilationCount,
                songsStarted, total.elapsed() / 1000.0);
    std::printf("peak memory: %lld KB; resident growth from the 10th to the 100th song: %lld KB (target under 10240 KB)\n",
                static_cast<long long>(procKb("VmHWM:")), static_cast<long long>(rssAt100 - rssAt10));
    std::printf("longest time the window did not answer: %lld ms, at \"%s\" (target under 100 ms)\n", static_cast<long long>(longestGap),
                qPrintable(longestAt));
    return songsStarted == 100 ? 0 : 1;
}
