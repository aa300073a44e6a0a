#include "rotationstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUuid>
#include <QVariant>

#include "livesettings.h"
#include "songmodel.h"
#include "songreader.h"

#include <algorithm>

namespace cantavo {

namespace {

// Songs are a few hundred kilobytes; anything past this is not one, and is not read whole.
constexpr qint64 kLargestSong = 64LL * 1024 * 1024;
// Less free space than this, and opening the file cannot make its log and index.
constexpr qint64 kRoomNeeded = 64 * 1024;

const char* const kSchemaV1[] = {
    "CREATE TABLE singers(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " place INTEGER, away INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE queue(id INTEGER PRIMARY KEY, singer INTEGER NOT NULL REFERENCES singers(id) ON DELETE CASCADE,"
    " place INTEGER NOT NULL, path TEXT NOT NULL, hash TEXT NOT NULL, title TEXT NOT NULL,"
    " key INTEGER NOT NULL DEFAULT 0, tempo INTEGER NOT NULL DEFAULT 100)",
    "CREATE TABLE history(id INTEGER PRIMARY KEY, singer INTEGER NOT NULL REFERENCES singers(id),"
    " path TEXT NOT NULL, hash TEXT NOT NULL, title TEXT NOT NULL, sung_at TEXT NOT NULL,"
    " key INTEGER NOT NULL, tempo INTEGER NOT NULL, score INTEGER)",
    "CREATE INDEX queue_singer ON queue(singer, place)",
    "CREATE INDEX history_singer_song ON history(singer, hash, sung_at)",
    "CREATE INDEX history_singer_time ON history(singer, sung_at)",
};

// Version 2: the host's choices for the evening (the pause before a song starts by itself,
// the music between singers), kept with the rotation they belong to.
const char* const kSchemaV2[] = {
    "CREATE TABLE settings(name TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE break_music(place INTEGER NOT NULL, path TEXT NOT NULL)",
};

// Whether an error says the file is not this program's database (so that it is kept aside
// and a fresh one started), rather than that the disk failed or is full (so that nothing is
// moved). `missingTable`: an error from looking for the tables this version needs.
bool IsFilesFault(const QSqlError& e, bool missingTable) {
    // SQLite's primary result codes (the driver may give extended ones).
    constexpr int kError = 1, kCorrupt = 11, kNotADatabase = 26;
    bool number = false;
    const int code = e.nativeErrorCode().toInt(&number) & 0xff;
    if (!number) return false;
    return code == kCorrupt || code == kNotADatabase || (missingTable && code == kError);
}

QString titleFrom(const QString& path) {
    SongModel song;
    const LoadResult read = LoadSongFile(path, song);
    return ShownTitle(read.status == LoadStatus::Loaded ? song.songTitle : QString(), path);
}

// Why a key or tempo cannot be played, or empty.
QString KeyTempoProblem(int key, int tempo) {
    if (key < LiveSettings::kMinKey || key > LiveSettings::kMaxKey)
        return QStringLiteral("the key must be from %1 to %2 half tones").arg(LiveSettings::kMinKey).arg(LiveSettings::kMaxKey);
    if (tempo < LiveSettings::kMinTempo || tempo > LiveSettings::kMaxTempo)
        return QStringLiteral("the tempo must be from %1 to %2 %").arg(LiveSettings::kMinTempo).arg(LiveSettings::kMaxTempo);
    return {};
}

}  // namespace

QString ShownTitle(const QString& songTitle, const QString& path) {
    const QString first = songTitle.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).value(0).simplified();
    return first.isEmpty() ? QFileInfo(path).completeBaseName() : first;
}

QString RotationStore::DefaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("cantavo/rotation.sqlite"));
}

RotationStore::RotationStore(const QString& path, Access access) : path_(path), access_(access) {
    connection_ = QStringLiteral("rotation-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    open_ = openFile();
}

RotationStore::~RotationStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen()) db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool RotationStore::openFile() {
    if (access_ == Access::ReadOnly) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        db.setDatabaseName(path_);
        QSqlQuery q(db);
        const bool readable = QFileInfo(path_).isFile() && db.open() && q.exec(QStringLiteral("PRAGMA user_version")) && q.next();
        const int version = readable ? q.value(0).toInt() : -1;
        // The reports read the singers, queues and history, which every version has.
        if (!readable || version < 1 || version > kSchemaVersion) {
            problem_ = !readable ? QStringLiteral("The rotation file %1 cannot be read.").arg(path_)
                                 : QStringLiteral("The rotation file %1 has schema %2; this program reads schema %3.").arg(path_).arg(version).arg(kSchemaVersion);
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        problem_ = QStringLiteral("The rotation cannot be kept: the folder %1 cannot be made.").arg(QFileInfo(path_).absolutePath());
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid()) {
        problem_ = QStringLiteral("The rotation cannot be kept: Qt's SQLite driver is missing.");
        return false;
    }
    // Another process may hold the file for a moment: wait for it rather than fail.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    db.setDatabaseName(path_);
    if (!db.open()) {
        problem_ = QStringLiteral("The rotation cannot be opened: %1").arg(db.lastError().text());
        return false;
    }
    const bool existed = QFileInfo(path_).size() > 0;
    if (!migrate()) {
        const QString why = error_;
        db.close();
        // A full disk or a failing one is not the file's fault: it stays as it is, and the
        // host is told what the disk said.
        if (!unreadable_) {
            problem_ = QStringLiteral("The rotation cannot be opened: %1").arg(why);
            // SQLite says only "disk I/O error" when the shared-memory index has no room.
            const QStorageInfo disk(QFileInfo(path_).absolutePath());
            if (disk.isValid() && disk.bytesAvailable() < kRoomNeeded) problem_ += QStringLiteral(" (the disk %1 is full)").arg(disk.rootPath());
            if (!existed && QFileInfo(path_).size() == 0) QFile::remove(path_);
            return false;
        }
        if (!setAside(why)) return false;
        if (!db.open() || !migrate()) {
            problem_ += QStringLiteral(" A fresh one cannot be started either: %1").arg(error_);
            return false;
        }
    }
    return true;
}

bool RotationStore::setAside(const QString& why) {
    const QString aside = path_ + QStringLiteral(".unreadable-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = aside;
    for (int n = 2; QFileInfo::exists(target); ++n) target = aside + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(path_, target)) {
        problem_ = QStringLiteral("The rotation file %1 cannot be read (%2), and cannot be moved aside.").arg(path_, why);
        return false;
    }
    // Its log and index go with it, so that the fresh file does not pick them up.
    for (const char* suffix : {"-wal", "-shm"})
        if (QFileInfo::exists(path_ + QLatin1String(suffix))) QFile::rename(path_ + QLatin1String(suffix), target + QLatin1String(suffix));
    problem_ = QStringLiteral("The rotation file could not be read (%1). It was kept as %2, and a new rotation was started.").arg(why, target);
    return true;
}

bool RotationStore::migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    unreadable_ = false;
    // An unreadable file fails here, at its first page.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        error_ = q.lastError().text();
        unreadable_ = IsFilesFault(q.lastError(), false);
        return false;
    }
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        error_ = QStringLiteral("it was written by a newer version of this program (schema %1)").arg(version);
        unreadable_ = true;
        return false;
    }
    q.finish();
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !q.exec(QStringLiteral("PRAGMA foreign_keys=ON"))) {
        error_ = q.lastError().text();
        return false;
    }
    if (version == kSchemaVersion) {
        // A file that merely says so is checked for what this version needs.
        if (!q.exec(QStringLiteral("SELECT id, name, place, away FROM singers LIMIT 1")) ||
            !q.exec(QStringLiteral("SELECT id, singer, place, path, hash, title, key, tempo FROM queue LIMIT 1")) ||
            !q.exec(QStringLiteral("SELECT id, singer, path, hash, title, sung_at, key, tempo, score FROM history LIMIT 1")) ||
            !q.exec(QStringLiteral("SELECT name, value FROM settings LIMIT 1")) || !q.exec(QStringLiteral("SELECT place, path FROM break_music LIMIT 1"))) {
            error_ = q.lastError().text();
            unreadable_ = IsFilesFault(q.lastError(), true);
            return false;
        }
        return true;
    }
    // Each version's steps, from the one the file has to this program's, in one change.
    return transaction([&] {
        QSqlQuery m(db);
        if (version < 1)
            for (const char* statement : kSchemaV1)
                if (!m.exec(QString::fromLatin1(statement))) return false;
        if (version < 2)
            for (const char* statement : kSchemaV2)
                if (!m.exec(QString::fromLatin1(statement))) return false;
        return m.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    });
}

bool RotationStore::transaction(const std::function<bool()>& change) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    error_.clear();
    if (!db.isOpen()) {
        error_ = QStringLiteral("the rotation is not open");
        return false;
    }
    // BEGIN IMMEDIATE takes the write lock first, so that two processes adding songs at once
    // wait for each other instead of failing half way.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        error_ = q.lastError().text();
        return false;
    }
    if (!change()) {
        if (error_.isEmpty()) error_ = db.lastError().text();
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        error_ = q.lastError().text();
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    error_.clear();
    return true;
}

bool RotationStore::writeOrder(const QString& table, const std::vector<qint64>& ids) {
    QSqlQuery u(QSqlDatabase::database(connection_, false));
    u.prepare(QStringLiteral("UPDATE %1 SET place = ? WHERE id = ?").arg(table));
    for (size_t i = 0; i < ids.size(); ++i) {
        u.addBindValue(static_cast<qint64>(i));
        u.addBindValue(ids[i]);
        if (!u.exec()) return false;
    }
    return true;
}

bool RotationStore::renumberSingers() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id FROM singers WHERE place IS NOT NULL ORDER BY place, id"))) return false;
    std::vector<qint64> ids;
    while (q.next()) ids.push_back(q.value(0).toLongLong());
    return writeOrder(QStringLiteral("singers"), ids);
}

std::vector<QueuedSong> RotationStore::queueOf(qint64 singerId) const {
    std::vector<QueuedSong> songs;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT id, path, hash, title, key, tempo FROM queue WHERE singer = ? ORDER BY place, id"));
    q.addBindValue(singerId);
    if (!q.exec()) return songs;
    while (q.next())
        songs.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(), q.value(4).toInt(), q.value(5).toInt()});
    return songs;
}

std::vector<Singer> RotationStore::rotation() const {
    std::vector<Singer> singers;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT id, name, away FROM singers WHERE place IS NOT NULL ORDER BY place, id"))) return singers;
    while (q.next()) singers.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toBool(), {}});
    for (Singer& s : singers) s.queue = queueOf(s.id);
    return singers;
}

std::optional<Singer> RotationStore::singer(const QString& name) const {
    for (Singer& s : rotation())
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) return s;
    return std::nullopt;
}

std::optional<RotationStore::Turn> RotationStore::next() const {
    for (const Singer& s : rotation())
        if (!s.away && !s.queue.empty()) return Turn{s, s.queue.front()};
    return std::nullopt;
}

std::optional<RotationStore::Turn> RotationStore::nextAfter(qint64 singerId) const {
    // The one who sings now goes to the end: the next is the first other singer who can sing,
    // or this one again with their following song when nobody else can.
    const std::vector<Singer> all = rotation();
    for (const Singer& s : all)
        if (s.id != singerId && !s.away && !s.queue.empty()) return Turn{s, s.queue.front()};
    for (const Singer& s : all)
        if (s.id == singerId && !s.away && s.queue.size() > 1) return Turn{s, s.queue[1]};
    return std::nullopt;
}

qint64 RotationStore::singerIdFor(const QString& name, bool create) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id FROM singers WHERE name = ?"));
    q.addBindValue(name);
    if (q.exec() && q.next()) return q.value(0).toLongLong();
    if (!create) return 0;
    QSqlQuery i(db);
    i.prepare(QStringLiteral("INSERT INTO singers(name, place) VALUES(?, NULL)"));
    i.addBindValue(name);
    return i.exec() ? i.lastInsertId().toLongLong() : 0;
}

qint64 RotationStore::addSinger(const QString& rawName, int place) {
    const QString name = rawName.simplified();
    if (name.isEmpty()) {
        error_ = QStringLiteral("a singer needs a name");
        return 0;
    }
    qint64 id = 0;
    const bool ok = transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        id = singerIdFor(name, true);
        if (!id) return false;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT place FROM singers WHERE id = ?"));
        q.addBindValue(id);
        if (!q.exec() || !q.next()) return false;
        if (!q.value(0).isNull()) return true;  // already in the rotation: stays where they are
        QSqlQuery count(db);
        if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM singers WHERE place IS NOT NULL")) || !count.next()) return false;
        const int n = count.value(0).toInt();
        const int at = place < 0 || place > n ? n : place;
        QSqlQuery shift(db);
        shift.prepare(QStringLiteral("UPDATE singers SET place = place + 1 WHERE place IS NOT NULL AND place >= ?"));
        shift.addBindValue(at);
        QSqlQuery set(db);
        set.prepare(QStringLiteral("UPDATE singers SET place = ?, away = 0 WHERE id = ?"));
        set.addBindValue(at);
        set.addBindValue(id);
        return shift.exec() && set.exec() && renumberSingers();
    });
    return ok ? id : 0;
}

bool RotationStore::removeSinger(qint64 singerId) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db), d(db);
        q.prepare(QStringLiteral("UPDATE singers SET place = NULL, away = 0 WHERE id = ?"));
        q.addBindValue(singerId);
        d.prepare(QStringLiteral("DELETE FROM queue WHERE singer = ?"));
        d.addBindValue(singerId);
        return q.exec() && d.exec() && renumberSingers();
    });
}

bool RotationStore::moveSinger(qint64 singerId, int place) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT id FROM singers WHERE place IS NOT NULL ORDER BY place, id"))) return false;
        std::vector<qint64> ids;
        while (q.next()) ids.push_back(q.value(0).toLongLong());
        const auto it = std::find(ids.begin(), ids.end(), singerId);
        if (it == ids.end()) {
            error_ = QStringLiteral("that singer is not in the rotation");
            return false;
        }
        ids.erase(it);
        const size_t at = place < 0 ? ids.size() : std::min(ids.size(), static_cast<size_t>(place));
        ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(at), singerId);
        return writeOrder(QStringLiteral("singers"), ids);
    });
}

bool RotationStore::setAway(qint64 singerId, bool away) {
    return transaction([&] {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.prepare(QStringLiteral("UPDATE singers SET away = ? WHERE id = ? AND place IS NOT NULL"));
        q.addBindValue(away ? 1 : 0);
        q.addBindValue(singerId);
        return q.exec() && q.numRowsAffected() == 1;
    });
}

QString RotationStore::SongHash(const QString& path) {
    // A pipe would wait for a writer and a device never end: songs are plain files.
    if (!QFileInfo(path).isFile()) return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestSong) return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hash.addData(&f)) return {};
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<RotationStore::Proposal> RotationStore::proposal(const QString& singerName, const QString& hash) const {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT h.key, h.tempo FROM history h JOIN singers s ON s.id = h.singer"
                             " WHERE s.name = ? AND h.hash = ? ORDER BY h.sung_at DESC, h.id DESC LIMIT 1"));
    q.addBindValue(singerName);
    q.addBindValue(hash);
    if (!q.exec() || !q.next()) return std::nullopt;
    return Proposal{q.value(0).toInt(), q.value(1).toInt()};
}

qint64 RotationStore::addSong(qint64 singerId, const QString& path, std::optional<int> key, std::optional<int> tempo, const QString& title) {
    error_ = KeyTempoProblem(key.value_or(0), tempo.value_or(100));
    if (!error_.isEmpty()) return 0;
    const QString hash = SongHash(path);
    if (hash.isEmpty()) {
        error_ = QFileInfo(path).isFile() || !QFileInfo::exists(path) ? QStringLiteral("%1 cannot be read").arg(path)
                                                                      : QStringLiteral("%1 is not a song file").arg(path);
        return 0;
    }
    // The song is read before the change, so that the file is not held while it is.
    const QString shown = title.isEmpty() ? titleFrom(path) : title;
    qint64 id = 0;
    const bool ok = transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery name(db);
        name.prepare(QStringLiteral("SELECT name FROM singers WHERE id = ? AND place IS NOT NULL"));
        name.addBindValue(singerId);
        if (!name.exec() || !name.next()) {
            error_ = QStringLiteral("that singer is not in the rotation");
            return false;
        }
        const std::optional<Proposal> last = proposal(name.value(0).toString(), hash);
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO queue(singer, place, path, hash, title, key, tempo)"
                                 " VALUES(?, (SELECT COALESCE(MAX(place) + 1, 0) FROM queue WHERE singer = ?), ?, ?, ?, ?, ?)"));
        q.addBindValue(singerId);
        q.addBindValue(singerId);
        q.addBindValue(QFileInfo(path).absoluteFilePath());
        q.addBindValue(hash);
        q.addBindValue(shown);
        q.addBindValue(key.value_or(last ? last->key : 0));
        q.addBindValue(tempo.value_or(last ? last->tempo : 100));
        if (!q.exec()) return false;
        id = q.lastInsertId().toLongLong();
        return true;
    });
    return ok ? id : 0;
}

bool RotationStore::removeSong(qint64 songId) {
    return transaction([&] {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.prepare(QStringLiteral("DELETE FROM queue WHERE id = ?"));
        q.addBindValue(songId);
        return q.exec();
    });
}

bool RotationStore::moveSong(qint64 songId, int place) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery s(db);
        s.prepare(QStringLiteral("SELECT singer FROM queue WHERE id = ?"));
        s.addBindValue(songId);
        if (!s.exec() || !s.next()) return false;
        const qint64 singerId = s.value(0).toLongLong();
        std::vector<QueuedSong> songs = queueOf(singerId);
        std::vector<qint64> ids;
        for (const QueuedSong& song : songs)
            if (song.id != songId) ids.push_back(song.id);
        const size_t at = place < 0 ? ids.size() : std::min(ids.size(), static_cast<size_t>(place));
        ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(at), songId);
        return writeOrder(QStringLiteral("queue"), ids);
    });
}

bool RotationStore::setSongKeyTempo(qint64 songId, int key, int tempo) {
    error_ = KeyTempoProblem(key, tempo);
    if (!error_.isEmpty()) return false;
    return transaction([&] {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.prepare(QStringLiteral("UPDATE queue SET key = ?, tempo = ? WHERE id = ?"));
        q.addBindValue(key);
        q.addBindValue(tempo);
        q.addBindValue(songId);
        return q.exec() && q.numRowsAffected() == 1;
    });
}

bool RotationStore::sung(qint64 singerId, qint64 songId, std::optional<int> score) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery h(db);
        h.prepare(QStringLiteral("INSERT INTO history(singer, path, hash, title, sung_at, key, tempo, score)"
                                 " SELECT singer, path, hash, title, ?, key, tempo, ? FROM queue WHERE id = ? AND singer = ?"));
        h.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        h.addBindValue(score ? QVariant(*score) : QVariant());
        h.addBindValue(songId);
        h.addBindValue(singerId);
        if (!h.exec() || h.numRowsAffected() != 1) {
            if (error_.isEmpty()) error_ = QStringLiteral("that song is not in the singer's queue");
            return false;
        }
        QSqlQuery d(db), end(db);
        d.prepare(QStringLiteral("DELETE FROM queue WHERE id = ?"));
        d.addBindValue(songId);
        end.prepare(QStringLiteral("UPDATE singers SET place = (SELECT MAX(place) + 1 FROM singers) WHERE id = ? AND place IS NOT NULL"));
        end.addBindValue(singerId);
        return d.exec() && end.exec() && renumberSingers();
    });
}

std::vector<SungSong> RotationStore::history(const QString& singerName, const QString& search, int limit) const {
    std::vector<SungSong> out;
    QString sql = QStringLiteral("SELECT s.name, h.path, h.hash, h.title, h.sung_at, h.key, h.tempo, h.score FROM history h JOIN singers s ON s.id = h.singer");
    QStringList where;
    if (!singerName.isEmpty()) where << QStringLiteral("h.singer = (SELECT id FROM singers WHERE name = :name)");
    if (!search.isEmpty()) where << QStringLiteral("(h.title LIKE :title ESCAPE '\\' OR h.path LIKE :path ESCAPE '\\')");
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY h.sung_at DESC, h.id DESC LIMIT :limit");
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(sql);
    if (!singerName.isEmpty()) q.bindValue(QStringLiteral(":name"), singerName);
    if (!search.isEmpty()) {
        QString escaped = search;
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('%'), QStringLiteral("\\%")).replace(QLatin1Char('_'), QStringLiteral("\\_"));
        q.bindValue(QStringLiteral(":title"), QLatin1Char('%') + escaped + QLatin1Char('%'));
        q.bindValue(QStringLiteral(":path"), QLatin1Char('%') + escaped + QLatin1Char('%'));
    }
    q.bindValue(QStringLiteral(":limit"), std::max(1, limit));
    if (!q.exec()) {
        error_ = q.lastError().text();
        return out;
    }
    while (q.next()) {
        SungSong s{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                   QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs), q.value(5).toInt(), q.value(6).toInt(), std::nullopt};
        if (!q.value(7).isNull()) s.score = q.value(7).toInt();
        out.push_back(std::move(s));
    }
    return out;
}

QStringList RotationStore::knownSingers() const {
    QStringList names;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (q.exec(QStringLiteral("SELECT name FROM singers ORDER BY name")))
        while (q.next()) names << q.value(0).toString();
    return names;
}

bool RotationStore::changed() const {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // data_version moves when another connection commits, and only then.
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next()) return false;
    const qint64 now = q.value(0).toLongLong();
    const bool moved = dataVersion_ >= 0 && now != dataVersion_;
    dataVersion_ = now;
    return moved;
}

bool RotationStore::addHistory(const std::vector<SungSong>& entries) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO history(singer, path, hash, title, sung_at, key, tempo, score) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
        QHash<QString, qint64> ids;
        for (const SungSong& e : entries) {
            qint64& id = ids[e.singer];
            if (!id) id = singerIdFor(e.singer, true);
            if (!id) return false;
            q.addBindValue(id);
            q.addBindValue(e.path);
            q.addBindValue(e.hash);
            q.addBindValue(e.title);
            q.addBindValue(e.sungAt.toUTC().toString(Qt::ISODateWithMs));
            q.addBindValue(e.key);
            q.addBindValue(e.tempo);
            q.addBindValue(e.score ? QVariant(*e.score) : QVariant());
            if (!q.exec()) return false;
        }
        return true;
    });
}

QString RotationStore::setting(const QString& name, const QString& fallback) const {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT value FROM settings WHERE name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next() ? q.value(0).toString() : fallback;
}

bool RotationStore::setSetting(const QString& name, const QString& value) {
    return transaction([&] {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.prepare(QStringLiteral("INSERT INTO settings(name, value) VALUES(?, ?) ON CONFLICT(name) DO UPDATE SET value = excluded.value"));
        q.addBindValue(name);
        q.addBindValue(value);
        return q.exec();
    });
}

QStringList RotationStore::breakMusic() const {
    QStringList paths;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (q.exec(QStringLiteral("SELECT path FROM break_music ORDER BY place, rowid")))
        while (q.next()) paths << q.value(0).toString();
    return paths;
}

bool RotationStore::setBreakMusic(const QStringList& paths) {
    return transaction([&] {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery d(db), i(db);
        if (!d.exec(QStringLiteral("DELETE FROM break_music"))) return false;
        i.prepare(QStringLiteral("INSERT INTO break_music(place, path) VALUES(?, ?)"));
        for (int n = 0; n < paths.size(); ++n) {
            i.addBindValue(n);
            i.addBindValue(QFileInfo(paths[n]).absoluteFilePath());
            if (!i.exec()) return false;
        }
        return true;
    });
}

}  // namespace cantavo
