// Changes a rotation without end, for the test that kills it at random moments:
//   rotation_writer DATABASE SONG
// Two singers take turns; songs are added with the titles "song-1", "song-2", ... and every
// third change, the next singer sings.
#include <QCoreApplication>

#include <cstdio>

#include "rotationstore.h"

using namespace cantavo;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    RotationStore store(QString::fromLocal8Bit(argv[1]));
    if (!store.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(store.openProblem()));
        return 1;
    }
    const QString song = QString::fromLocal8Bit(argv[2]);
    const qint64 singers[2] = {store.addSinger(QStringLiteral("Ana")), store.addSinger(QStringLiteral("Bo"))};
    int added = 0;
    for (const Singer& s : store.rotation()) added += static_cast<int>(s.queue.size());
    added += static_cast<int>(store.history().size());
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 0;; ++i) {
        if (i % 3 == 2) {
            if (const auto turn = store.next()) store.sung(turn->singer.id, turn->song.id, i % 100);
        } else {
            ++added;
            if (!store.addSong(singers[i % 2], song, i % 5, 100, QStringLiteral("song-%1").arg(added))) return 1;
        }
    }
}
