// `cantavo --catalogue` over a generated collection: 10,000 songs of about 50 KB in 100
// folders (and a quarter and a half of it). Prints files per second with a warm cache and the
// process's peak memory, which must not grow with the number of files beyond the rows.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include "smfbytes.h"

namespace {

// A karaoke song of about 50 KB: a tempo track, words with title tags, notes.
QByteArray fiftyKilobyteSong(int n) {
    cantavo::test::SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TSong number " + QByteArray::number(n));
    b.meta(0, 0x01, "@TSome Author");
    for (int i = 0; i < 400; ++i) b.meta(120, 0x01, i % 8 == 0 ? "/la " : "la ");
    b.endTrack();
    for (int ch = 0; ch < 6; ++ch) {
        b.beginTrack();
        for (int i = 0; i < 1100; ++i) b.bytes({0x3C, 0x90 | ch, 48 + i % 24, 90, 0x3C, 0x80 | ch, 48 + i % 24, 0});
        b.endTrack();
    }
    return b.data();
}

struct Run {
    double seconds = 0;
    qint64 peakKb = 0;
    int lines = 0;
};

// Runs the catalogue in a process of its own and watches its peak resident memory.
Run catalogue(const QString& cantavo, const QStringList& folders, const QString& out) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(cantavo, QStringList{QStringLiteral("--catalogue")} + folders + QStringList{QStringLiteral("-o"), out});
    p.waitForStarted();
    Run r;
    const QString status = QStringLiteral("/proc/%1/status").arg(p.processId());
    while (!p.waitForFinished(5)) {
        QFile f(status);
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) r.peakKb = std::max(r.peakKb, line.mid(6).trimmed().split(' ').first().toLongLong());
    }
    r.seconds = t.elapsed() / 1000.0;
    QFile list(out);
    if (list.open(QIODevice::ReadOnly)) r.lines = static_cast<int>(list.readAll().count('\n'));
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString cantavo = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("cantavo"));
    QTemporaryDir dir;
    const int folders = 100, perFolder = 100;
    std::printf("generating %d songs in %d folders...\n", folders * perFolder, folders);
    QStringList all;
    qint64 bytes = 0;
    for (int f = 0; f < folders; ++f) {
        const QString sub = dir.filePath(QStringLiteral("artist%1").arg(f, 3, 10, QLatin1Char('0')));
        QDir().mkpath(sub);
        all << sub;
        for (int s = 0; s < perFolder; ++s) {
            const QByteArray song = fiftyKilobyteSong(f * perFolder + s);
            QFile out(QDir(sub).filePath(QStringLiteral("song%1.kar").arg(s, 3, 10, QLatin1Char('0'))));
            if (!out.open(QIODevice::WriteOnly)) return 1;
            out.write(song);
            bytes += song.size();
        }
    }
    std::printf("average song: %.1f KB\n", bytes / 1024.0 / (folders * perFolder));
    const QString list = dir.filePath(QStringLiteral("all.lst"));
    catalogue(cantavo, all, list);  // the cache warms
    std::printf("%8s %10s %12s %14s\n", "files", "seconds", "files/s", "peak memory");
    for (int share : {25, 50, 100}) {
        const QStringList some = all.mid(0, folders * share / 100);
        const Run r = catalogue(cantavo, some, list);
        std::printf("%8d %10.2f %12.0f %11lld KB\n", r.lines, r.seconds, r.lines / r.seconds, static_cast<long long>(r.peakKb));
    }
    std::printf("target: at least 2000 files/s; peak memory growing only with the rows (their texts, file names and the list: about 1 KB a song)\n");
    return 0;
}
