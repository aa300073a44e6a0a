// The rotation's database with a long memory: 100,000 songs sung by 2,000 singers, and 30
// singers in tonight's rotation with three songs each. Prints how long opening it (what the
// window reads at start), proposing a key for a song and searching a singer's history take:
// the median and the worst of 20 tries each.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "rotationstore.h"

using namespace cantavo;

namespace {

struct Figures {
    std::vector<double> ms;
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s median %6.2f ms, worst %6.2f ms (%zu tries)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
    }
};

template <typename F>
double timed(F f) {
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rotation.sqlite"));
    const QString song = dir.filePath(QStringLiteral("song.kar"));
    {
        QFile f(song);
        if (!f.open(QIODevice::WriteOnly) || f.write("a song") != 6 || !f.flush()) return 1;
    }
    std::mt19937 random(1);
    constexpr int kSingers = 2000, kSongs = 5000, kSung = 100000;
    {
        RotationStore store(path);
        std::vector<SungSong> history;
        history.reserve(kSung);
        const QDateTime start = QDateTime::currentDateTimeUtc().addYears(-5);
        for (int i = 0; i < kSung; ++i) {
            const int s = static_cast<int>(random() % kSongs);
            history.push_back({QStringLiteral("Singer %1").arg(random() % kSingers), QStringLiteral("/songs/Song number %1.kar").arg(s),
                               QStringLiteral("%1").arg(s, 40, 16, QLatin1Char('0')), QStringLiteral("Song number %1").arg(s),
                               start.addSecs(i * 1500), static_cast<int>(random() % 7) - 3, 90 + static_cast<int>(random() % 21), static_cast<int>(random() % 100)});
        }
        QElapsedTimer t;
        t.start();
        if (!store.addHistory(history)) {
            std::printf("cannot write the history: %s\n", qPrintable(store.lastError()));
            return 1;
        }
        for (int i = 0; i < 30; ++i) {
            const qint64 id = store.addSinger(QStringLiteral("Singer %1").arg(i * 7));
            for (int k = 0; k < 3; ++k) store.addSong(id, song);
        }
        std::printf("written: %d songs sung by %d singers, 30 in the rotation, in %.1f s; the file is %.1f MB\n", kSung, kSingers,
                    static_cast<double>(t.elapsed()) / 1000.0, static_cast<double>(QFile(path).size()) / 1e6);
    }
    Figures open, propose, search;
    for (int i = 0; i < 20; ++i) {
        std::unique_ptr<RotationStore> store;
        size_t singers = 0;
        open.ms.push_back(timed([&] {
            store = std::make_unique<RotationStore>(path);
            singers = store->rotation().size() + static_cast<size_t>(store->knownSingers().size());
        }));
        if (singers == 0) return 1;
        const QString singer = QStringLiteral("Singer %1").arg(random() % kSingers);
        const QString hash = QStringLiteral("%1").arg(random() % kSongs, 40, 16, QLatin1Char('0'));
        propose.ms.push_back(timed([&] { store->proposal(singer, hash); }));
        size_t found = 0;
        search.ms.push_back(timed([&] { found = store->history(singer, QStringLiteral("number 1")).size(); }));
    }
    open.print("opening: the rotation and every singer's name");
    propose.print("proposing a singer's last key for a song");
    search.print("searching a singer's history");
    std::printf("target: each under 50 ms\n");
    return 0;
}
