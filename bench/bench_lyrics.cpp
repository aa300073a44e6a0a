// Plays a demo song in real time on the built-in synthesizer through the real main window
// and measures, for every syllable, when it was lit against when the engine's audible
// position reached it. Needs a sound server (scripts/bench starts a private one).
// A second argument changes the live settings three times as the song plays: "tempo"
// (120 %, 85 %, 150 %) or "key" (+3, -2, +5); offsets are then taken in real time, at the
// tempo that plays.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "mainwindow.h"
#include "mci.h"

using namespace cantavo;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString song = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(CANTAVO_PROGRAM_DIR "/songs/twinkle.kar");
    const QString changing = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    int changes = 0;
    QString error;
    if (!MediaRegistry::instance().synthHost(&error)) {
        std::printf("no synthesizer: %s\n", qPrintable(error));
        return 1;
    }
    std::vector<double> offsetsMs;  // lit minus heard; negative is early
    std::vector<int> litIndex;
    int lastIndex = 1, doubled = 0;
    {
        MainWindow w;
        w.show();
        w.chooseSongFile = [&] { return song; };
        w.FileOpen();
        SongSession& s = w.session();
        Sequencer* seq = w.sequencerControl().sequencer();
        if (!seq) {
            std::printf("cannot open %s\n", qPrintable(song));
            return 1;
        }
        QObject::connect(&w.sequencerControl(), &MediaControl::statusUpdate, &w, [&] {
            const int now = s.lyricIndex;
            if (now == lastIndex) return;
            if (now - lastIndex > 1) doubled += now - lastIndex - 1;
            const int lit = now - 1;
            const double heardMs = seq->positionMs();
            const double syllableMs = seq->ticksToMs(s.song.lyricTick[lit]);
            offsetsMs.push_back((heardMs - syllableMs) * 100.0 / seq->live().tempoPercent);
            // The changes fall at a quarter, a half and three quarters of the song.
            const double share = seq->positionTicks() / static_cast<double>(std::max<qint64>(1, seq->lengthTicks()));
            if (!changing.isEmpty() && changes < 3 && share > 0.25 * (changes + 1)) {
                LiveSettings live = seq->live();
                if (changing == QLatin1String("tempo")) live.tempoPercent = std::array<int, 3>{120, 85, 150}[static_cast<size_t>(changes)];
                else live.key = std::array<int, 3>{3, -2, 5}[static_cast<size_t>(changes)];
                w.setLive(live, false);
                ++changes;
            }
            litIndex.push_back(lit);
            lastIndex = now;
        });
        w.sequencerControl().button(MediaButton::Play)->click();
        QElapsedTimer t;
        t.start();
        while (w.sequencerControl().mode() == 526 && t.elapsed() < 600000) QApplication::processEvents(QEventLoop::AllEvents, 5);
        const int count = s.song.lyricCount;
        const int skipped = count - static_cast<int>(litIndex.size());
        if (offsetsMs.empty()) {
            std::printf("no syllable was lit\n");
            return 1;
        }
        std::vector<double> late, early;
        for (double o : offsetsMs) (o >= 0 ? late : early).push_back(o >= 0 ? o : -o);
        std::sort(late.begin(), late.end());
        std::sort(early.begin(), early.end());
        auto pct = [](const std::vector<double>& v, double p) { return v.empty() ? 0.0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))]; };
        const size_t q = offsetsMs.size() / 4;
        double first = 0, last = 0;
        for (size_t i = 0; i < q; ++i) {
            first += offsetsMs[i];
            last += offsetsMs[offsetsMs.size() - q + i];
        }
        std::printf("%s%s: %d syllables, %zu lit, %d skipped, %d lit two in one poll\n", qPrintable(song),
                    changing.isEmpty() ? "" : qPrintable(QStringLiteral(", %1 changed %2 times").arg(changing).arg(changes)), count, offsetsMs.size(), skipped,
                    doubled);
        std::printf("late:  %zu syllables, p50 %.1f ms, p95 %.1f ms, worst %.1f ms\n", late.size(), pct(late, 0.5), pct(late, 0.95),
                    late.empty() ? 0.0 : late.back());
        std::printf("early: %zu syllables, worst %.1f ms\n", early.size(), early.empty() ? 0.0 : early.back());
        std::printf("drift, first to last quarter: %.1f ms\n", q ? (last - first) / static_cast<double>(q) : 0.0);
    }
    MediaRegistry::instance().closeAll();
    return 0;
}
