#include "rotationverbs.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "livesettings.h"
#include "rotationstore.h"

namespace cantavo {

namespace {


// The options after the verb: --json, and --key N / --tempo PCT where they belong.
struct Options {
    bool json = false;
    std::optional<int> key, tempo;
    QStringList rest;
    QString wrong;
};

Options parse(const QStringList& arguments, bool keyAndTempo) {
    Options o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (keyAndTempo && (a == QLatin1String("--key") || a == QLatin1String("--tempo"))) {
            bool ok = false;
            const int n = arguments.value(i + 1).toInt(&ok);
            const bool isKey = a == QLatin1String("--key");
            // What the player can play the song in.
            const int low = isKey ? LiveSettings::kMinKey : LiveSettings::kMinTempo, high = isKey ? LiveSettings::kMaxKey : LiveSettings::kMaxTempo;
            if (!ok || n < low || n > high) {
                o.wrong = (isKey ? QStringLiteral("--key needs a number of half tones from %1 to %2") : QStringLiteral("--tempo needs a percentage from %1 to %2")).arg(low).arg(high);
                return o;
            }
            (isKey ? o.key : o.tempo) = n;
            ++i;
        } else if (a.startsWith(QLatin1String("--"))) {
            o.wrong = QStringLiteral("%1 is not an option here").arg(a);
            return o;
        } else {
            o.rest << a;
        }
    }
    return o;
}

QJsonObject songJson(const QueuedSong& s) {
    return {{QStringLiteral("title"), s.title}, {QStringLiteral("path"), s.path}, {QStringLiteral("key"), s.key}, {QStringLiteral("tempo"), s.tempo}};
}

// Reading changes nothing: a file that is missing is an empty rotation, not a new file.
bool openForReading(const QString& path, QTextStream& err) {
    if (QFileInfo::exists(path)) return true;
    err << "No rotation yet (" << path << ").\n";
    return false;
}

int printRotation(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const Options o = parse(arguments, false);
    if (!o.wrong.isEmpty() || !o.rest.isEmpty()) {
        err << (o.wrong.isEmpty() ? QStringLiteral("--rotation takes no file") : o.wrong) << "\nusage: cantavo --rotation [--json]\n";
        return 2;
    }
    const QString path = RotationStore::DefaultPath();
    std::vector<Singer> singers;
    if (QFileInfo::exists(path)) {
        RotationStore store(path, RotationStore::Access::ReadOnly);
        if (!store.isOpen()) {
            err << store.openProblem() << "\n";
            return 2;
        }
        singers = store.rotation();
    }
    if (o.json) {
        QJsonArray list;
        for (const Singer& s : singers) {
            QJsonArray queue;
            for (const QueuedSong& song : s.queue) queue.append(songJson(song));
            list.append(QJsonObject{{QStringLiteral("name"), s.name}, {QStringLiteral("away"), s.away}, {QStringLiteral("queue"), queue}});
        }
        out << QJsonDocument(QJsonObject{{QStringLiteral("rotation"), list}}).toJson();
        return 0;
    }
    if (singers.empty()) out << "Nobody is in the rotation.\n";
    int n = 0;
    for (const Singer& s : singers) {
        out << ++n << ". " << s.name << (s.away ? " (away)" : "") << "\n";
        for (const QueuedSong& song : s.queue) {
            out << "     " << song.title;
            if (song.key != 0) out << ", key " << KeyText(song.key);
            if (song.tempo != 100) out << ", tempo " << song.tempo << " %";
            out << "  (" << song.path << ")\n";
        }
    }
    return 0;
}

int printHistory(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const Options o = parse(arguments, false);
    if (!o.wrong.isEmpty() || o.rest.size() > 1) {
        err << (o.wrong.isEmpty() ? QStringLiteral("--history takes one singer's name at most") : o.wrong)
            << "\nusage: cantavo --history [SINGER] [--json]\n";
        return 2;
    }
    const QString path = RotationStore::DefaultPath();
    if (!openForReading(path, err)) {
        if (o.json) out << "{\n    \"history\": [\n    ]\n}\n";
        return 0;
    }
    RotationStore store(path, RotationStore::Access::ReadOnly);
    if (!store.isOpen()) {
        err << store.openProblem() << "\n";
        return 2;
    }
    const QString singer = o.rest.value(0);
    if (!singer.isEmpty() && !store.knownSingers().contains(singer, Qt::CaseInsensitive)) {
        err << "Nobody called " << singer << " has sung here.\n";
        return 1;
    }
    const std::vector<SungSong> sung = store.history(singer, {}, 1000000);
    if (o.json) {
        QJsonArray list;
        for (const SungSong& s : sung) {
            QJsonObject entry{{QStringLiteral("singer"), s.singer}, {QStringLiteral("title"), s.title},       {QStringLiteral("path"), s.path},
                              {QStringLiteral("hash"), s.hash},     {QStringLiteral("sungAt"), s.sungAt.toString(Qt::ISODate)},
                              {QStringLiteral("key"), s.key},       {QStringLiteral("tempo"), s.tempo}};
            if (s.score) entry[QStringLiteral("score")] = *s.score;
            list.append(entry);
        }
        out << QJsonDocument(QJsonObject{{QStringLiteral("history"), list}}).toJson();
        return 0;
    }
    if (sung.empty()) out << "Nothing sung yet.\n";
    for (const SungSong& s : sung) {
        out << s.sungAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")) << "  " << s.singer << "  " << s.title;
        if (s.key != 0) out << ", key " << KeyText(s.key);
        if (s.tempo != 100) out << ", tempo " << s.tempo << " %";
        if (s.score) out << ", score " << *s.score;
        out << "\n";
    }
    return 0;
}

int addToRotation(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const Options o = parse(arguments, true);
    if (!o.wrong.isEmpty() || o.rest.size() != 2) {
        err << (o.wrong.isEmpty() ? QStringLiteral("--rotation-add needs a singer's name and a song") : o.wrong)
            << "\nusage: cantavo --rotation-add NAME SONG [--key N] [--tempo PCT]\n";
        return 2;
    }
    const QString name = o.rest[0].simplified(), song = o.rest[1];
    if (name.isEmpty()) {
        err << "A singer needs a name.\n";
        return 2;
    }
    if (!QFileInfo(song).isFile()) {
        err << song << (QFileInfo::exists(song) ? ": not a song file\n" : ": no such song\n");
        return 2;
    }
    RotationStore store;
    if (!store.openProblem().isEmpty()) err << store.openProblem() << "\n";
    if (!store.isOpen()) return 2;
    const qint64 singer = store.addSinger(name);
    const qint64 added = singer ? store.addSong(singer, song, o.key, o.tempo) : 0;
    if (!added) {
        err << "The song was not added: " << store.lastError() << "\n";
        return 2;
    }
    for (const Singer& s : store.rotation())
        for (const QueuedSong& q : s.queue)
            if (q.id == added)
                out << "Added " << q.title << " for " << s.name << " (key " << KeyText(q.key) << ", tempo " << q.tempo << " %).\n";
    return 0;
}

}  // namespace

std::vector<CommandVerb> RotationVerbs() {
    const QString group = QStringLiteral("The singers' rotation");
    return {
        {group, QStringLiteral("--rotation"), QStringLiteral("  --rotation [--json]          Prints the singers' rotation and their queues."), printRotation},
        {group, QStringLiteral("--history"), QStringLiteral("  --history [SINGER] [--json]  Prints what was sung (by one singer), newest first."), printHistory},
        {group, QStringLiteral("--rotation-add"),
         QStringLiteral("  --rotation-add NAME SONG [--key N] [--tempo PCT]\n"
                        "                               Adds a song to a singer's queue (a new singer joins at the end)."),
         addToRotation},
    };
}

}  // namespace cantavo
