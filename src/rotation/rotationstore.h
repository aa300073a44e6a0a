#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace cantavo {

// The title a song is shown by: the first line of its own title, else its file's name.
QString ShownTitle(const QString& songTitle, const QString& path);

// One song waiting in a singer's queue, with the key (half tones) and tempo (percent of the
// song's own) the singer sings it in.
struct QueuedSong {
    qint64 id = 0;
    QString path;
    QString hash;  // of the file's contents, so that a song is known again wherever it lies
    QString title;
    int key = 0;
    int tempo = 100;
};

struct Singer {
    qint64 id = 0;
    QString name;
    bool away = false;  // kept in place, skipped until back
    std::vector<QueuedSong> queue;
};

struct SungSong {
    QString singer;
    QString path;
    QString hash;
    QString title;
    QDateTime sungAt;  // UTC
    int key = 0;
    int tempo = 100;
    std::optional<int> score;
};

// The evening's rotation and the memory of every singer, in one SQLite file.
//
// The rotation is the order of the singers present; each has a queue of songs. The next to
// sing is the first singer in order who is not away and has a song waiting; after singing,
// a singer goes to the end, and a new singer joins at the end (or where the host puts them).
// Everything sung is kept: who, what (by the contents' hash and the path), when, in which key
// and tempo, and the score when there was one. A singer who leaves the rotation is
// remembered, with their history, for the next evening.
//
// Every change is one transaction, with write-ahead logging and full syncs, so that a
// program killed or a laptop that dies leaves the state before or after the change. Another
// process may change the same file at the same time (the command line adds songs while the
// window has it open); changed() tells a reader to look again.
//
// A file that cannot be read as this database, or that a newer program wrote, is moved aside
// (never overwritten) and a fresh one started; openProblem() says so. A disk that is full or
// failing leaves the file where it is and the store closed, openProblem() saying why.
class RotationStore {
public:
    // The file in the user's data folder the program uses.
    static QString DefaultPath();

    // Read only: nothing is written, migrated or moved aside (the command line's reports);
    // a file this version cannot read is not opened, and openProblem() says why.
    enum class Access { ReadWrite, ReadOnly };
    explicit RotationStore(const QString& path = DefaultPath(), Access access = Access::ReadWrite);
    ~RotationStore();
    RotationStore(const RotationStore&) = delete;
    RotationStore& operator=(const RotationStore&) = delete;

    bool isOpen() const { return open_; }
    const QString& path() const { return path_; }
    // What went wrong opening it (a file kept aside, a folder that cannot be written), or empty.
    const QString& openProblem() const { return problem_; }
    // Why the last change failed, or empty.
    const QString& lastError() const { return error_; }
    static constexpr int kSchemaVersion = 2;

    // The rotation in order, with each singer's queue.
    std::vector<Singer> rotation() const;
    std::optional<Singer> singer(const QString& name) const;
    // The singer and song that are next, if anyone can sing.
    struct Turn {
        Singer singer;
        QueuedSong song;
    };
    std::optional<Turn> next() const;
    // And the one after (the singers' screen shows it while a song plays).
    std::optional<Turn> nextAfter(qint64 singerId) const;

    // Joins the rotation: a new name at `place` (0-based; -1: at the end); a singer already
    // present stays where they are; a remembered one comes back at `place`. Their id, 0 on error.
    qint64 addSinger(const QString& name, int place = -1);
    bool removeSinger(qint64 singerId);  // from the rotation; their history stays
    bool moveSinger(qint64 singerId, int place);
    bool setAway(qint64 singerId, bool away);
    // Adds a song to a singer's queue; 0 on error. Without a key or tempo given, the last
    // ones the singer used for this song (by its contents) are taken.
    qint64 addSong(qint64 singerId, const QString& path, std::optional<int> key = {}, std::optional<int> tempo = {}, const QString& title = {});
    bool removeSong(qint64 songId);
    bool moveSong(qint64 songId, int place);
    bool setSongKeyTempo(qint64 songId, int key, int tempo);
    // The singer sang the song: it goes into the history and out of the queue, and the singer
    // to the end of the rotation. One change.
    bool sung(qint64 singerId, qint64 songId, std::optional<int> score = {});

    // The key and tempo the singer used last for a song with these contents.
    struct Proposal {
        int key = 0;
        int tempo = 100;
    };
    std::optional<Proposal> proposal(const QString& singerName, const QString& hash) const;
    // The history, newest first: one singer's (or everyone's, with an empty name), of songs
    // whose title or path contains `search` (any, when empty); at most `limit` entries.
    std::vector<SungSong> history(const QString& singerName = {}, const QString& search = {}, int limit = 1000) const;
    // Every remembered singer's name, for completing a name typed in.
    QStringList knownSingers() const;

    // True when another connection (another process) changed the file since the last call.
    bool changed() const;

    // The contents' hash a song is remembered by; empty when the file cannot be read.
    static QString SongHash(const QString& path);

    // The host's choices, by name ("start after", "break music on", ...); `fallback` when unset.
    QString setting(const QString& name, const QString& fallback = {}) const;
    bool setSetting(const QString& name, const QString& value);
    // The songs played between singers, in order.
    QStringList breakMusic() const;
    bool setBreakMusic(const QStringList& paths);

    // For the benchmarks and tests: many history entries in one change.
    bool addHistory(const std::vector<SungSong>& entries);

private:
    bool openFile();
    bool migrate();
    bool setAside(const QString& why);
    bool transaction(const std::function<bool()>& change);
    // Gives the rows of `table` ("singers" or "queue") the places 0, 1, ... in this order.
    bool writeOrder(const QString& table, const std::vector<qint64>& ids);
    bool renumberSingers();
    qint64 singerIdFor(const QString& name, bool create);
    std::vector<QueuedSong> queueOf(qint64 singerId) const;

    QString path_;
    Access access_ = Access::ReadWrite;
    QString connection_;
    bool open_ = false;
    // The last migrate() failed because the file is not a database this version can use.
    bool unreadable_ = false;
    QString problem_;
    mutable QString error_;
    mutable qint64 dataVersion_ = -1;
};

}  // namespace cantavo
