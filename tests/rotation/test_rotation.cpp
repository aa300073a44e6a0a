// The singers' rotation and its database: the order singers sing in, what survives a reopen
// and a killed program, files that cannot be read, the memory of keys, and the command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <map>
#include <random>
#include <set>

#include "rotationstore.h"
#include "smalldisk.h"

namespace cantavo::test {
namespace {

QString writeSong(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
    return path;
}

// What a host sees: each singer's name, away or not, and their queue's titles, in order.
std::vector<std::string> picture(const RotationStore& store) {
    std::vector<std::string> rows;
    for (const Singer& s : store.rotation()) {
        std::string row = s.name.toStdString() + (s.away ? " (away):" : ":");
        for (const QueuedSong& q : s.queue) row += " " + q.title.toStdString();
        rows.push_back(row);
    }
    return rows;
}

TEST(Rotation, RandomEveningsAreFairAndLoseNobody) {
    QTemporaryDir dir;
    const QString song = writeSong(dir, QStringLiteral("song.kar"), "MThd song");
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const QString path = dir.filePath(QStringLiteral("r%1.sqlite").arg(seed));
        std::mt19937 random(seed);
        auto store = std::make_unique<RotationStore>(path);
        ASSERT_TRUE(store->isOpen()) << store->openProblem().toStdString();

        // The model: who is in the rotation, in order, and each one's songs and state.
        std::vector<QString> order;
        std::map<QString, int> queued;
        std::set<QString> away;
        int titles = 0;
        // Fairness: who could sing throughout since each singer last sang, and who did.
        std::map<QString, std::set<QString>> waitingSince;  // singer -> those eligible all along since they sang
        const auto eligible = [&](const QString& n) { return !away.count(n) && queued[n] > 0; };

        for (int step = 0; step < 300; ++step) {
            const int op = static_cast<int>(random() % 10);
            const QString someone = order.empty() ? QString() : order[random() % order.size()];
            std::string what;
            if (op == 0 || order.size() < 2) {
                const QString name = QStringLiteral("Singer %1").arg(random() % 12);
                const bool present = std::find(order.begin(), order.end(), name) != order.end();
                ASSERT_NE(store->addSinger(name), 0);
                if (!present) {
                    order.push_back(name);
                    queued[name] = 0;
                    away.erase(name);
                    waitingSince[name].clear();
                }
                what = "add " + name.toStdString();
            } else if (op <= 3) {
                const auto s = store->singer(someone);
                ASSERT_TRUE(s);
                ASSERT_NE(store->addSong(s->id, song, 0, 100, QStringLiteral("t%1").arg(++titles)), 0);
                ++queued[someone];
                what = "song for " + someone.toStdString();
            } else if (op == 4) {
                const bool wasAway = away.count(someone) > 0;
                ASSERT_TRUE(store->setAway(store->singer(someone)->id, !wasAway));
                if (wasAway) away.erase(someone);
                else away.insert(someone);
                what = "away/back " + someone.toStdString();
            } else if (op == 5 && random() % 4 == 0) {
                ASSERT_TRUE(store->removeSinger(store->singer(someone)->id));
                order.erase(std::find(order.begin(), order.end(), someone));
                queued.erase(someone);
                away.erase(someone);
                waitingSince.erase(someone);
                what = "remove " + someone.toStdString();
            } else if (op == 6 && random() % 3 == 0) {
                // The host moves someone: fairness is not promised to or about them this round.
                const int place = static_cast<int>(random() % order.size());
                ASSERT_TRUE(store->moveSinger(store->singer(someone)->id, place));
                order.erase(std::find(order.begin(), order.end(), someone));
                order.insert(order.begin() + place, someone);
                for (auto& [name, others] : waitingSince) others.erase(someone);
                waitingSince[someone].clear();
                what = "move " + someone.toStdString();
            } else {
                const auto turn = store->next();
                QString expected;
                for (const QString& n : order)
                    if (eligible(n)) {
                        expected = n;
                        break;
                    }
                ASSERT_EQ(turn.has_value(), !expected.isEmpty());
                if (!turn) continue;
                ASSERT_EQ(turn->singer.name, expected);
                // Nobody who could sing all along since this singer last sang was passed over.
                for (const QString& other : waitingSince[expected]) ADD_FAILURE() << other.toStdString() << " waited while " << expected.toStdString() << " sang twice";
                ASSERT_TRUE(store->sung(turn->singer.id, turn->song.id));
                --queued[expected];
                order.erase(std::find(order.begin(), order.end(), expected));
                order.push_back(expected);
                for (auto& [name, others] : waitingSince) others.erase(expected);
                waitingSince[expected].clear();
                for (const QString& n : order)
                    if (n != expected && eligible(n)) waitingSince[expected].insert(n);
                what = "sing " + expected.toStdString();
            }
            // Anyone who stops being able to sing is owed nothing until they can again.
            for (auto& [name, others] : waitingSince)
                for (auto it = others.begin(); it != others.end();) it = eligible(*it) ? std::next(it) : others.erase(it);

            std::vector<std::string> expected;
            for (const QString& n : order) expected.push_back(n.toStdString());
            std::vector<std::string> names;
            for (const Singer& s : store->rotation()) {
                names.push_back(s.name.toStdString());
                EXPECT_EQ(s.away, away.count(s.name) > 0) << what;
                EXPECT_EQ(static_cast<int>(s.queue.size()), queued[s.name]) << what;
            }
            ASSERT_EQ(names, expected) << "after " << what;
        }
        // Closed and opened again, it is the same evening.
        const std::vector<std::string> before = picture(*store);
        store.reset();
        RotationStore again(path);
        EXPECT_EQ(picture(again), before);
        EXPECT_TRUE(again.openProblem().isEmpty());
    }
}

TEST(Rotation, SingingMovesTheSingerToTheEndAndRemembersTheirKey) {
    QTemporaryDir dir;
    RotationStore store(dir.filePath(QStringLiteral("r.sqlite")));
    const QString song = writeSong(dir, QStringLiteral("a.kar"), "first song");
    const QString copy = writeSong(dir, QStringLiteral("elsewhere.kar"), "first song");
    const QString other = writeSong(dir, QStringLiteral("b.kar"), "second song");
    const qint64 ana = store.addSinger(QStringLiteral("Ana")), bo = store.addSinger(QStringLiteral("Bo"));
    EXPECT_EQ(store.addSinger(QStringLiteral("  ana ")), ana) << "names are matched without case and spaces";
    const qint64 first = store.addSong(ana, song, -2, 90);
    store.addSong(bo, other);
    ASSERT_TRUE(store.sung(ana, first, 87));
    EXPECT_EQ(picture(store), (std::vector<std::string>{"Bo: b", "Ana:"}));
    EXPECT_FALSE(store.sung(ana, first)) << "a song already sung is not in the queue";

    // The same contents under another name: proposed in the key and tempo Ana sang it in.
    const qint64 again = store.addSong(ana, copy);
    const auto queue = store.singer(QStringLiteral("Ana"))->queue;
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].id, again);
    EXPECT_EQ(queue[0].key, -2);
    EXPECT_EQ(queue[0].tempo, 90);
    EXPECT_EQ(store.singer(QStringLiteral("Bo"))->queue[0].key, 0) << "Bo never sang it";
    const auto sung = store.history(QStringLiteral("ana"));
    ASSERT_EQ(sung.size(), 1u);
    EXPECT_EQ(sung[0].score, 87);
    EXPECT_EQ(sung[0].title, QStringLiteral("a"));
    // Searching takes the words as they are, wildcards included.
    EXPECT_EQ(store.history({}, QStringLiteral("a")).size(), 1u);
    EXPECT_TRUE(store.history({}, QStringLiteral("%")).empty());
    EXPECT_TRUE(store.history(QStringLiteral("Bo")).empty());

    // Leaving keeps the memory; coming back starts with an empty queue.
    ASSERT_TRUE(store.removeSinger(ana));
    EXPECT_EQ(picture(store), (std::vector<std::string>{"Bo: b"}));
    EXPECT_EQ(store.history(QStringLiteral("Ana")).size(), 1u);
    EXPECT_EQ(store.addSinger(QStringLiteral("Ana"), 0), ana);
    EXPECT_EQ(picture(store), (std::vector<std::string>{"Ana:", "Bo: b"}));
    EXPECT_EQ(store.addSong(ana, dir.filePath(QStringLiteral("missing.kar"))), 0);
    EXPECT_FALSE(store.lastError().isEmpty());
    // A pipe or a device chosen by mistake is refused at once, not read until it ends.
    const QString fifo = dir.filePath(QStringLiteral("pipe.kar"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& special : {fifo, QStringLiteral("/dev/zero")}) {
        EXPECT_EQ(store.addSong(ana, special), 0);
        EXPECT_TRUE(store.lastError().contains(QStringLiteral("not a song file"))) << store.lastError().toStdString();
    }
}

TEST(Rotation, AFileThatCannotBeReadIsKeptAsideAndAFreshOneStarted) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rotation.sqlite"));
    const QByteArray junk(4096, 'x');
    writeSong(dir, QStringLiteral("rotation.sqlite"), junk);
    {
        RotationStore store(path);
        ASSERT_TRUE(store.isOpen());
        EXPECT_TRUE(store.openProblem().contains(QStringLiteral("It was kept as"))) << store.openProblem().toStdString();
        EXPECT_NE(store.addSinger(QStringLiteral("Ana")), 0);
    }
    QStringList aside = QDir(dir.path()).entryList({QStringLiteral("rotation.sqlite.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), junk) << "kept as it was";

    // A newer program's file is not this one's to change either.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=99"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    {
        RotationStore reader(path, RotationStore::Access::ReadOnly);
        EXPECT_FALSE(reader.isOpen()) << "read only: said, not moved";
        EXPECT_TRUE(reader.openProblem().contains(QStringLiteral("schema 99")));
    }
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("rotation.sqlite.unreadable-*")}).size(), 1);
    RotationStore store(path);
    EXPECT_TRUE(store.openProblem().contains(QStringLiteral("newer version"))) << store.openProblem().toStdString();
    EXPECT_TRUE(store.rotation().empty());
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("rotation.sqlite.unreadable-*")}).size(), 2);
}

// A rotation kept by the first version of the program opens in this one with everything in
// it, and takes the host's settings and break music from then on.
TEST(Rotation, TheFirstVersionsFileIsBroughtUpToDate) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rotation.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* statement :
             {"CREATE TABLE singers(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE, place INTEGER, away INTEGER NOT NULL DEFAULT 0)",
              "CREATE TABLE queue(id INTEGER PRIMARY KEY, singer INTEGER NOT NULL REFERENCES singers(id) ON DELETE CASCADE, place INTEGER NOT NULL,"
              " path TEXT NOT NULL, hash TEXT NOT NULL, title TEXT NOT NULL, key INTEGER NOT NULL DEFAULT 0, tempo INTEGER NOT NULL DEFAULT 100)",
              "CREATE TABLE history(id INTEGER PRIMARY KEY, singer INTEGER NOT NULL REFERENCES singers(id), path TEXT NOT NULL, hash TEXT NOT NULL,"
              " title TEXT NOT NULL, sung_at TEXT NOT NULL, key INTEGER NOT NULL, tempo INTEGER NOT NULL, score INTEGER)",
              "INSERT INTO singers VALUES(1, 'Ana', 0, 0)", "INSERT INTO singers VALUES(2, 'Bo', 1, 1)",
              "INSERT INTO queue VALUES(1, 1, 0, '/songs/a.kar', 'aaaa', 'Song A', 3, 95)",
              "INSERT INTO history VALUES(1, 2, '/songs/b.kar', 'bbbb', 'Song B', '2026-11-30T21:00:00.000Z', -2, 100, 81)",
              "PRAGMA user_version=1"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(statement))) << statement;
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    {
        RotationStore reader(path, RotationStore::Access::ReadOnly);
        ASSERT_TRUE(reader.isOpen()) << "the reports read it as it is: " << reader.openProblem().toStdString();
        EXPECT_EQ(picture(reader), (std::vector<std::string>{"Ana: Song A", "Bo (away):"}));
    }
    RotationStore store(path);
    ASSERT_TRUE(store.isOpen());
    EXPECT_TRUE(store.openProblem().isEmpty()) << store.openProblem().toStdString();
    EXPECT_EQ(picture(store), (std::vector<std::string>{"Ana: Song A", "Bo (away):"}));
    EXPECT_EQ(store.singer(QStringLiteral("Ana"))->queue.at(0).key, 3);
    const std::vector<SungSong> sung = store.history(QStringLiteral("Bo"));
    ASSERT_EQ(sung.size(), 1u);
    EXPECT_EQ(sung[0].score, 81);
    EXPECT_EQ(store.proposal(QStringLiteral("Bo"), QStringLiteral("bbbb"))->key, -2);
    EXPECT_EQ(store.setting(QStringLiteral("start after"), QStringLiteral("0")), QStringLiteral("0"));
    ASSERT_TRUE(store.setSetting(QStringLiteral("start after"), QStringLiteral("8")));
    ASSERT_TRUE(store.setSetting(QStringLiteral("start after"), QStringLiteral("10")));
    ASSERT_TRUE(store.setBreakMusic({QStringLiteral("/music/one.mid"), QStringLiteral("/music/two.kar")}));
    RotationStore again(path);
    EXPECT_EQ(again.setting(QStringLiteral("start after")), QStringLiteral("10"));
    EXPECT_EQ(again.breakMusic(), (QStringList{QStringLiteral("/music/one.mid"), QStringLiteral("/music/two.kar")}));
    QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    check.setDatabaseName(path);
    ASSERT_TRUE(check.open());
    QSqlQuery v(check);
    ASSERT_TRUE(v.exec(QStringLiteral("PRAGMA user_version")) && v.next());
    EXPECT_EQ(v.value(0).toInt(), RotationStore::kSchemaVersion);
    v.finish();
    check.close();
    check = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

// A full disk is the disk's fault, not the file's: the rotation stays where it is, and the
// host is told why nothing can be kept.
TEST(Rotation, AFullDiskIsSaidAndTheFileKeptInPlace) {
    SmallDisk disk(600);
    NEED_SMALL_DISK(disk);
    QTemporaryDir dir;
    const QString song = writeSong(dir, QStringLiteral("song.kar"), "MThd song");
    const QString path = disk.path(QStringLiteral("rotation.sqlite"));
    std::vector<std::string> before;
    {
        RotationStore store(path);
        ASSERT_TRUE(store.isOpen()) << store.openProblem().toStdString();
        ASSERT_NE(store.addSong(store.addSinger(QStringLiteral("Ana")), song, 2, 90, QStringLiteral("Ana's song")), 0);
        before = picture(store);
    }
    disk.fill();
    const auto unreadable = [&] { return QDir(disk.path()).entryList({QStringLiteral("*.unreadable-*")}); };
    for (int round = 0; round < 2; ++round) {
        RotationStore store(path);
        EXPECT_FALSE(store.openProblem().contains(QStringLiteral("kept as"))) << store.openProblem().toStdString();
        if (store.isOpen()) {
            EXPECT_EQ(picture(store), before);
            EXPECT_EQ(store.addSinger(QStringLiteral("Bo")), 0) << "nothing fits on the disk";
            EXPECT_TRUE(store.lastError().contains(QStringLiteral("full"), Qt::CaseInsensitive)) << store.lastError().toStdString();
        } else {
            EXPECT_TRUE(store.openProblem().contains(QStringLiteral("full"), Qt::CaseInsensitive)) << store.openProblem().toStdString();
        }
        EXPECT_TRUE(unreadable().isEmpty()) << unreadable().join(QLatin1Char(' ')).toStdString();
    }
    // A first rotation on a full disk is not started, and says why.
    {
        RotationStore fresh(disk.path(QStringLiteral("new/rotation.sqlite")));
        EXPECT_FALSE(fresh.isOpen());
        EXPECT_FALSE(fresh.openProblem().isEmpty());
    }
    // With room again, everything is as it was.
    ASSERT_TRUE(QFile::remove(disk.path(QStringLiteral("filler"))));
    RotationStore store(path);
    ASSERT_TRUE(store.isOpen()) << store.openProblem().toStdString();
    EXPECT_TRUE(store.openProblem().isEmpty()) << store.openProblem().toStdString();
    EXPECT_EQ(picture(store), before);
    EXPECT_TRUE(unreadable().isEmpty());
}

TEST(Rotation, AProgramKilledMidChangeLeavesTheStateBeforeOrAfterIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rotation.sqlite"));
    const QString song = writeSong(dir, QStringLiteral("song.kar"), "MThd song");
    std::mt19937 random(7);
    int lastTotal = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(CANTAVO_TEST_BIN_DIR "/rotation_writer"), {path, song});
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "round " << round;
        QTest::qWait(static_cast<int>(random() % 150));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        writer.waitForFinished(5000);

        RotationStore store(path);
        ASSERT_TRUE(store.isOpen());
        ASSERT_TRUE(store.openProblem().isEmpty()) << store.openProblem().toStdString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
            EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        // Every song added is either waiting or sung, once: song-1 ... song-N with no gap.
        std::set<int> seen;
        int copies = 0;
        for (const Singer& s : store.rotation())
            for (const QueuedSong& q : s.queue) seen.insert(q.title.mid(5).toInt()), ++copies;
        for (const SungSong& h : store.history()) seen.insert(h.title.mid(5).toInt()), ++copies;
        EXPECT_EQ(copies, static_cast<int>(seen.size())) << "a song both waiting and sung";
        if (!seen.empty()) {
            EXPECT_EQ(*seen.begin(), 1);
            EXPECT_EQ(*seen.rbegin(), static_cast<int>(seen.size())) << "a song lost";
        }
        EXPECT_GE(static_cast<int>(seen.size()), lastTotal) << "a change that was made came undone";
        lastTotal = static_cast<int>(seen.size());
    }
    EXPECT_GT(lastTotal, 12) << "the writer got changes in between the kills";
}

// The command line, as a host's sign-up script uses it, while a window has the file open.
TEST(Rotation, TheCommandLineAddsWhileTheWindowWatches) {
    QTemporaryDir dir;
    const QString song = writeSong(dir, QStringLiteral("Moon River.kar"), "moon river");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    const auto run = [&](const QStringList& args, int* status = nullptr) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo"), args);
        EXPECT_TRUE(p.waitForFinished(20000));
        if (status) *status = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    };
    int status = -1;
    EXPECT_TRUE(run({QStringLiteral("--rotation")}, &status).contains(QStringLiteral("Nobody is in the rotation")));
    EXPECT_EQ(status, 0);
    const QString db = dir.filePath(QStringLiteral("data/cantavo/rotation.sqlite"));
    EXPECT_FALSE(QFile::exists(db)) << "reading changes nothing";

    EXPECT_TRUE(run({QStringLiteral("--rotation-add"), QStringLiteral("Ana"), song, QStringLiteral("--key"), QStringLiteral("-3")}, &status).contains(QStringLiteral("Added Moon River for Ana (key -3, tempo 100 %)")));
    EXPECT_EQ(status, 0);
    RotationStore window(db);
    EXPECT_FALSE(window.changed());
    run({QStringLiteral("--rotation-add"), QStringLiteral("Bo"), song, QStringLiteral("--tempo"), QStringLiteral("110")}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(window.changed()) << "the window hears of the change";
    EXPECT_EQ(picture(window), (std::vector<std::string>{"Ana: Moon River", "Bo: Moon River"}));
    const QString json = run({QStringLiteral("--rotation"), QStringLiteral("--json")});
    EXPECT_TRUE(json.contains(QStringLiteral("\"tempo\": 110"))) << json.toStdString();

    EXPECT_NE(run({QStringLiteral("--rotation-add"), QStringLiteral("Ana"), song, QStringLiteral("--key"), QStringLiteral("40")}, &status).size(), 0);
    EXPECT_EQ(status, 2);
    run({QStringLiteral("--rotation-add"), QStringLiteral("Ana"), dir.filePath(QStringLiteral("none.kar"))}, &status);
    EXPECT_EQ(status, 2);
    run({QStringLiteral("--history"), QStringLiteral("Nobody")}, &status);
    EXPECT_EQ(status, 1);
    const auto turn = window.next();
    ASSERT_TRUE(turn);
    window.sung(turn->singer.id, turn->song.id, 91);
    const QString history = run({QStringLiteral("--history"), QStringLiteral("Ana"), QStringLiteral("--json")}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(history.contains(QStringLiteral("\"score\": 91"))) << history.toStdString();
    EXPECT_TRUE(history.contains(QStringLiteral("\"key\": -3")));
}

}  // namespace
}  // namespace cantavo::test
