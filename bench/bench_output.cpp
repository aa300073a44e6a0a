// How the real-time sound holds up, heard as a listener would: the sink's monitor is
// recorded while a long song plays, and the recording is searched for gaps (runs of
// digital silence of 5 ms or more between the first and the last sound). Also the time from
// Play to the first sound, and what the program and the sound server cost while a song is
// loaded and nothing plays.
//
//   bench_output cantavo SECONDS            the built-in synthesizer through this program
//   bench_output command SECONDS CMD ARGS   any other player (fluidsynth, paplay), for comparison
//   bench_output idle SECONDS               CPU of this program and of the sound server, idle
//   bench_output song FILE.mid              writes the long song the others play
//
// Needs a sound server with a sink called nullsink (scripts/bench starts a private one).
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <pulse/error.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sequencer.h"
#include "smfbytes.h"
#include "synthhost.h"
#include "monitor.h"

using namespace cantavo;
using namespace cantavo::bench;

namespace {

// Five minutes of continuous music on fourteen channels, the drums included.
QByteArray longSong() { return test::bigSong(1, 16, 1, 96); }

QString writeLongSong(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("long.mid"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(longSong());
    return path;
}

double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : line.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    // utime and stime are fields 14 and 15 of the whole line: 12 and 13 after the name.
    if (fields.size() < 13) return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t serverPid() {
    QProcess p;
    p.start(QStringLiteral("pgrep"), {QStringLiteral("-n"), QStringLiteral("-x"), QStringLiteral("pulseaudio")});
    p.waitForFinished(5000);
    return static_cast<pid_t>(p.readAllStandardOutput().trimmed().toInt());
}

void report(const char* who, const MonitorRecorder& rec, Clock::time_point played) {
    double heard = 0;
    const int gaps = rec.gaps(&heard);
    const Clock::time_point first = rec.firstSound();
    const double firstMs = first == Clock::time_point{} ? -1 : std::chrono::duration<double, std::milli>(first - played).count();
    std::printf("%-34s gaps %3d in %5.1f s of music, first sound %6.0f ms after Play\n", who, gaps, heard, firstMs);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const double seconds = args.value(2).toDouble();
    if (mode == QLatin1String("song") && args.size() == 3) {
        QFile f(args[2]);
        return f.open(QIODevice::WriteOnly) && f.write(longSong()) > 0 ? 0 : 1;
    }
    if (mode == QLatin1String("idle")) {
        const pid_t server = serverPid();
        const auto measure = [&](double s) {
            const double ownBefore = cpuSeconds(getpid()), serverBefore = cpuSeconds(server);
            QThread::msleep(static_cast<unsigned long>(s * 1000));
            return std::pair{(cpuSeconds(getpid()) - ownBefore) / s * 100, (cpuSeconds(server) - serverBefore) / s * 100};
        };
        const auto [ownBase, serverBase] = measure(seconds);
        QString error;
        auto host = SynthHost::create({}, &error);
        Sequencer seq(*host);
        QTemporaryDir dir;
        const QString song = writeLongSong(dir);
        seq.open(song, &error);
        // A few seconds of music first, as a singer would have heard before stopping.
        seq.play();
        QThread::msleep(2000);
        seq.stop();
        // The last notes fade out before the measuring starts.
        for (int i = 0; i < 100 && host->clockRunning(); ++i) QThread::msleep(50);
        const auto [own, serverCpu] = measure(seconds);
        std::printf("idle with a song loaded and stopped: cantavo %.2f %% of a core above its idle %.2f %%, sound server %.2f %% above its %.2f %%\n",
                    own - ownBase, ownBase, serverCpu - serverBase, serverBase);
        return 0;
    }
    MonitorRecorder rec;
    if (!rec.start()) return 1;
    QThread::msleep(300);
    Clock::time_point played;
    if (mode == QLatin1String("cantavo")) {
        QString error;
        auto host = SynthHost::create({}, &error);
        Sequencer seq(*host);
        QTemporaryDir dir;
        const QString song = writeLongSong(dir);
        if (!seq.open(song, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        played = Clock::now();
        seq.play();
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        seq.stop();
        rec.stop();
        report("cantavo (built-in synthesizer)", rec, played);
        return 0;
    }
    if (mode == QLatin1String("command") && args.size() > 3) {
        QProcess p;
        played = Clock::now();
        p.start(args[3], args.mid(4));
        p.waitForFinished(static_cast<int>(seconds * 1000));
        p.kill();
        p.waitForFinished(3000);
        rec.stop();
        report(qPrintable(QFileInfo(args[3]).fileName()), rec, played);
        return 0;
    }
    std::fprintf(stderr, "usage: bench_output cantavo|idle SECONDS | command SECONDS CMD ARGS... | song FILE.mid\n");
    return 2;
}
