// The stage in real time: the real main window and the singers' screen play a song through
// the built-in synthesizer, and this measures what the room sees and hears.
//
//   bench_stage SONG SECONDS frames|poll [PHONES]
//
// PHONES: the request server on, on the loopback, with that many phones (bench_requests in
// another process) following the words and a guest searching or requesting 10 times a second.
// frames: the lyrics follow the music at the display's rate (the program as it is); poll: the
// frames are held back, so the highlight moves only at the 50 ms position poll (as it did).
// Prints one line each of:
//  - per syllable: when it was first shown lit against when the music reached it;
//  - per frame (frames only): the lit position (the wipe's place in the syllable, as a time)
//    against the heard position at the moment the frame was painted;
//  - paint times of the lyrics window's surface and of the singers' screen;
//  - the program's CPU while playing, above its use stopped with both windows open;
//  - gaps heard in the sink's monitor, and the clock thread's priority and longest chunk.
// Needs a sound server with a sink called nullsink (scripts/bench starts a private one).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "lyricssurface.h"
#include "lyricswindow.h"
#include "mainwindow.h"
#include "mci.h"
#include "monitor.h"
#include "singersscreen.h"
#include "steadyclock.h"

using namespace cantavo;
using namespace cantavo::bench;

namespace {

double cpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Times each paint of a widget, and runs `after` once it is painted.
class PaintTimer : public QObject {
public:
    std::vector<double> ms;
    std::function<void()> after;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint || inside_) return false;
        inside_ = true;
        const qint64 start = SteadyNs();
        o->event(e);
        ms.push_back(static_cast<double>(SteadyNs() - start) / 1e6);
        inside_ = false;
        if (after) after();
        return true;
    }

private:
    bool inside_ = false;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Lets the program run for `ms` (or until `done` says so) without spending the CPU itself.
void spin(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer end, check;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done && done()) loop.quit();
    });
    end.start(ms);
    check.start(100);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 5 || (args[3] != QLatin1String("frames") && args[3] != QLatin1String("poll"))) {
        std::fprintf(stderr, "usage: bench_stage SONG SECONDS frames|poll [PHONES]\n");
        return 2;
    }
    const QString song = args[1];
    const int seconds = args[2].toInt();
    const bool frames = args[3] == QLatin1String("frames");
    const int phoneCount = args.value(4).toInt();
    QString error;
    SynthHost* synth = MediaRegistry::instance().synthHost(&error);
    if (!synth) {
        std::printf("no synthesizer: %s\n", qPrintable(error));
        return 1;
    }
    MonitorRecorder rec;
    const bool hearing = rec.start();
    {
        MainWindow w;
        w.show();
        w.chooseSongFile = [&] { return song; };
        w.FileOpen();
        Sequencer* seq = w.sequencerControl().sequencer();
        if (!seq) {
            std::printf("cannot open %s\n", qPrintable(song));
            return 1;
        }
        w.ShowSingersScreen(0);
        auto* stage = w.findChild<SingersScreen*>(QStringLiteral("SingersScreen"));
        LyricsSurface& surface = w.lyricsWindow().surface();
        if (!frames) {
            if (auto* t = w.findChild<QTimer*>(QStringLiteral("frames"))) t->blockSignals(true);
        }
        const SongSession& s = w.session();

        PaintTimer hostPaints, stagePaints;
        std::vector<double> syllableLate, frameLate, frameAhead;
        std::vector<double> frameIntervals;
        qint64 lastWipeFrame = 0;
        int following = phoneCount;
        int shownIndex = s.lyricIndex;
        double lastRaw = NAN, rawBack = 0;
        hostPaints.after = [&] {
            if (seq->mode() != MediaMode::Playing) return;
            if (RequestServer* server = w.requestServer()) following = std::min(following, server->wordsClients());
            // Frames follow one another only while a syllable is being wiped; between lines the
            // window rests, and that pause is no late frame.
            if (surface.wiping()) {
                const qint64 now = SteadyNs();
                if (lastWipeFrame) frameIntervals.push_back(static_cast<double>(now - lastWipeFrame) / 1e6);
                lastWipeFrame = now;
            } else {
                lastWipeFrame = 0;
            }
            const double heard = seq->positionMs();
            // The estimate itself, before the program keeps it from going back.
            const double raw = seq->ticksToMs(seq->ticksHeardAt(SteadyNs()));
            if (!std::isnan(raw)) {
                if (!std::isnan(lastRaw)) rawBack = std::max(rawBack, lastRaw - raw);
                lastRaw = raw;
            }
            const std::vector<double>& at = s.lyricMs;
            for (; shownIndex < s.lyricIndex; ++shownIndex)
                if (shownIndex >= 1 && static_cast<size_t>(shownIndex) < at.size()) {
                    syllableLate.push_back(heard - at[static_cast<size_t>(shownIndex)]);
                }
            if (!frames || !surface.wiping()) return;
            // Where the wipe stands, as a time, against where the music is (a wipe stops at the
            // syllable's end, so the music is taken no further than that).
            const auto span = [&](int n) {
                const double start = at[static_cast<size_t>(n)];
                const double next = static_cast<size_t>(n + 1) < at.size() ? at[static_cast<size_t>(n + 1)] : start + LyricsWindow::kLongestWipeMs;
                return std::pair{start, std::min(next, start + LyricsWindow::kLongestWipeMs)};
            };
            const int lit = s.lyricIndex - 1;
            if (lit < 1 || static_cast<size_t>(lit) >= at.size()) return;
            int k = lit;
            while (static_cast<size_t>(k + 1) < at.size() && at[static_cast<size_t>(k + 1)] <= heard) ++k;
            const auto [litStart, litEnd] = span(lit);
            const double shown = litStart + std::clamp(surface.wipe(), 0.0, 1.0) * (litEnd - litStart);
            const double target = std::min(heard, span(k).second);
            const double late = target - shown;
            if (late >= 0) frameLate.push_back(late);
            else frameAhead.push_back(-late);
        };
        surface.installEventFilter(&hostPaints);
        if (stage) stage->installEventFilter(&stagePaints);

        QProcess phones;
        phones.setProcessChannelMode(QProcess::ForwardedChannels);
        if (phoneCount > 0) {
            QString problem;
            if (!w.StartRequests({QHostAddress(QHostAddress::LocalHost)}, 0, &problem)) {
                std::printf("request server: %s\n", qPrintable(problem));
                return 1;
            }
            // Every phone here comes from the loopback; on a network each has an address of its own.
            w.requestServer()->setPerAddress(phoneCount + 8);
            phones.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_requests"),
                         {QStringLiteral("--phones"), QString::number(w.requestServer()->port()), QString::number(phoneCount),
                          QString::number(static_cast<int>(std::min<double>(seconds, seq->lengthMs() / 1000.0)) + 8)});
        }

        spin(2000);
        const double stoppedBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        spin(5000);
        const double stoppedUse = (cpuSeconds() - stoppedBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);
        hostPaints.ms.clear();
        stagePaints.ms.clear();
        synth->resetLongestChunk();

        const double playBefore = cpuSeconds();
        wall.restart();
        w.sequencerControl().button(MediaButton::Play)->click();
        spin(seconds * 1000, [&] { return w.sequencerControl().mode() != static_cast<int>(MediaMode::Playing); });
        const double played = static_cast<double>(wall.elapsed()) / 1000.0;
        const double playUse = (cpuSeconds() - playBefore) / played;
        w.sequencerControl().button(MediaButton::Stop)->click();
        spin(300);
        rec.stop();

        std::vector<double> paints = hostPaints.ms;
        paints.insert(paints.end(), stagePaints.ms.begin(), stagePaints.ms.end());
        std::vector<double> early;
        for (double& o : syllableLate)
            if (o < 0) early.push_back(-o);
        std::printf("%-6s syllables lit %4zu: late p50 %5.1f p95 %5.1f worst %6.1f ms, ahead worst %5.1f ms\n", frames ? "frames" : "poll",
                    syllableLate.size(), percentile(syllableLate, 0.5), percentile(syllableLate, 0.95),
                    syllableLate.empty() ? 0.0 : *std::max_element(syllableLate.begin(), syllableLate.end()), early.empty() ? 0.0 : percentile(early, 1.0));
        if (frames)
            std::printf("       frames %5zu: lit position behind the music p50 %5.1f p95 %5.1f ms, ahead of it in %zu frames (worst %.1f ms)\n",
                        frameLate.size() + frameAhead.size(), percentile(frameLate, 0.5), percentile(frameLate, 0.95), frameAhead.size(),
                        percentile(frameAhead, 1.0));
        std::printf("       the heard position as the sound server reports it went back by up to %.1f ms between frames\n", rawBack);
        std::printf("       paints %5zu: p50 %.2f p99 %.2f worst %.2f ms; window (%dx%d) %zu, p99 %.2f ms; singers' screen (%dx%d) %zu, p99 %.2f ms\n",
                    paints.size(), percentile(paints, 0.5), percentile(paints, 0.99), percentile(paints, 1.0), surface.width(), surface.height(),
                    hostPaints.ms.size(), percentile(hostPaints.ms, 0.99), stage ? stage->width() : 0, stage ? stage->height() : 0,
                    stagePaints.ms.size(), percentile(stagePaints.ms, 0.99));
        if (frames)
            std::printf("       window's frames while a syllable is wiped: interval p50 %.1f p95 %.1f p99 %.1f worst %.1f ms\n",
                        percentile(frameIntervals, 0.5), percentile(frameIntervals, 0.95), percentile(frameIntervals, 0.99),
                        percentile(frameIntervals, 1.0));
        if (phoneCount > 0) std::printf("       request server on: %d phones following the words all through the song\n", following);
        std::printf("       CPU playing %.1f %% of a core, %.1f %% above stopped (%.1f %%) with both windows open\n", playUse * 100,
                    (playUse - stoppedUse) * 100, stoppedUse * 100);
        double heardSeconds = 0, longestGap = 0;
        const int gaps = hearing ? rec.gaps(&heardSeconds, &longestGap) : -1;
        std::printf("       gaps %d in %.1f s of music (longest %.0f ms); clock thread %s, longest chunk %.2f ms\n", gaps, heardSeconds, longestGap,
                    qPrintable(synth->clockPriority()), static_cast<double>(synth->longestChunkNs()) / 1e6);
        if (phoneCount > 0) phones.waitForFinished(20000);
    }
    MediaRegistry::instance().closeAll();
    return 0;
}
