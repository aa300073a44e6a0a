#include "songlist.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <QThread>

#include <dirent.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "atomicfile.h"
#include "chartable.h"
#include "numbers.h"
#include "songreader.h"
#include "tempomap.h"

namespace cantavo {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// What a field of a list line cannot hold; empty when it can hold `text`.
QString fieldProblem(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) return QStringLiteral("a double quote");
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) return QStringLiteral("a line break");
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return QStringLiteral("a control character");
    }
    return {};
}

// A song's own texts go into a list with what the format cannot hold replaced.
QString noQuotes(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('"')) c = QLatin1Char('\'');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.isSurrogate()) c = QLatin1Char(' ');
    }
    return text;
}

bool isKaraokeFileName(const QString& name) {
    for (const char* ext : {".kar", ".mid", ".midi"})
        if (name.endsWith(QLatin1String(ext), Qt::CaseInsensitive)) return true;
    return false;
}

// A line of the report: values separated by commas go to the next print zone of 14 columns.
class ReportLine {
public:
    ReportLine& zone(const QString& value) {
        if (!text_.isEmpty() || started_) {
            // The next zone start (columns 15, 29, ...) past the print position: a value
            // that ends at a zone's last column is followed by a whole empty zone.
            qsizetype start = 14;
            while (start <= text_.size()) start += 14;
            text_ += QString(start - text_.size(), QLatin1Char(' '));
        }
        started_ = true;
        text_ += value;
        return *this;
    }
    QString text() const { return text_; }

private:
    QString text_;
    bool started_ = false;
};

}  // namespace

QString ListLine(const SongRow& row) {
    QStringList fields;
    for (const QString& f : {row.fileName, row.length, row.title, row.author, row.path}) fields << QLatin1Char('"') + f + QLatin1Char('"');
    return fields.join(QLatin1Char(','));
}

bool ParseListLine(const QString& line, SongRow& row) {
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (fields.size() < 5) {
        while (i < n && line[i] == QLatin1Char(' ')) ++i;
        if (i >= n || line[i] != QLatin1Char('"')) return false;
        const qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
        if (close < 0) return false;
        fields << line.mid(i + 1, close - i - 1);
        i = close + 1;
        while (i < n && line[i] == QLatin1Char(' ')) ++i;
        if (fields.size() < 5) {
            if (i >= n || line[i] != QLatin1Char(',')) return false;
            ++i;
        }
    }
    row = {fields[0], fields[1], fields[2], fields[3], fields[4]};
    return true;
}

QList<SongRow> ParseListText(const QString& text, QStringList* problems) {
    QList<SongRow> rows;
    int number = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++number;
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        SongRow row;
        if (ParseListLine(line, row)) rows << row;
        else if (problems) *problems << QStringLiteral("line %1 cannot be read").arg(number);
    }
    return rows;
}

QByteArray ListFileBytes(const QList<SongRow>& rows, QStringList* leftOut) {
    QString text;
    for (const SongRow& r : rows) {
        // Title and author come from the song; what the format cannot hold in them is replaced.
        QString problem = ListNameProblem(r.fullPath());
        for (const QString& field : {r.length, r.title, r.author})
            if (problem.isEmpty() && !fieldProblem(field).isEmpty()) problem = QStringLiteral("its title or author cannot be kept in a list");
        if (problem.isEmpty()) text += ListLine(r) + kCrLf;
        else if (leftOut) *leftOut << r.fullPath() + QStringLiteral(": ") + problem;
    }
    return text.toUtf8();
}

QList<SongRow> ReadListFile(const QString& path, QStringList* problems) {
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(path, kMaxTextBytes, &bytes, &why)) {
        if (problems) *problems << path + QStringLiteral(": ") + why;
        return {};
    }
    QStringList lines;
    const QList<SongRow> rows = ParseListText(DecodeTextFile(bytes), &lines);
    if (problems)
        for (const QString& l : lines) *problems << path + QStringLiteral(": ") + l;
    return rows;
}

QString ListNameProblem(const QString& fullPath) {
    const QString problem = fieldProblem(fullPath);
    if (!problem.isEmpty()) return QStringLiteral("%1 in its name cannot be kept in a list").arg(problem);
    for (const QChar c : fullPath)
        if (c == QChar::ReplacementCharacter || c.isSurrogate())
            return QStringLiteral("its name is not valid UTF-8, so it cannot be kept in a list (rename the file)");
    return {};
}

bool FitsInList(const QString& fullPath) { return ListNameProblem(fullPath).isEmpty(); }

std::optional<SongRow> CatalogueSong(const QString& filePath, QString* why) {
    QByteArray bytes;
    if (!ReadInputFile(filePath, kMaxSongBytes, &bytes, why)) return std::nullopt;
    SongModel song;
    const LoadResult r = LoadSongData(bytes, filePath, song);
    if (r.status == LoadStatus::NotMidiFile || r.status == LoadStatus::ReadFailed) {
        if (why) *why = r.status == LoadStatus::NotMidiFile ? QStringLiteral("not a MIDI file") : r.message;
        return std::nullopt;
    }
    const QFileInfo info(filePath);
    SongRow row;
    row.fileName = info.fileName();
    row.path = info.absolutePath();
    if (!row.path.endsWith(QLatin1Char('/'))) row.path += QLatin1Char('/');
    row.length = MinutesSeconds(song.isTimeCodeDivision() || song.division == 0 ? 0.0 : TicksToMs(song, song.lastEventTick));
    const QStringList lines = song.songTitle.split(kCrLf);
    if (song.lyricCount == 0) {
        row.title = kNotKaraokeFileTitle;
    } else {
        row.title = lines.value(0).trimmed();
    }
    if (row.title.isEmpty()) row.title = QStringLiteral("-");
    const bool titled = song.titleSource == TitleSource::Tags || song.titleSource == TitleSource::LyricHeader;
    row.author = titled && song.lyricCount > 0 ? lines.value(1).trimmed() : QString();
    if (row.author.isEmpty()) row.author = QStringLiteral("-");
    row.title = noQuotes(row.title);
    row.author = noQuotes(row.author);
    return row;
}

namespace {

// Karaoke files whose names are not UTF-8: Qt cannot name them, so its listings pass them
// over in silence. They are found here, byte by byte, to be named in what is left out.
void findUndecodableNames(const QString& folder, QStringList& found, const std::atomic_bool* cancel) {
    QStringList dirs{folder};
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext() && !(cancel && cancel->load())) dirs << it.next();
    for (const QString& dir : dirs) {
        DIR* d = ::opendir(QFile::encodeName(dir).constData());
        if (!d) continue;
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (IsValidUtf8(name, nullptr)) continue;
            const QByteArray lower = name.toLower();
            if (lower.endsWith(".kar") || lower.endsWith(".mid") || lower.endsWith(".midi"))
                found << QDir(dir).filePath(QString::fromUtf8(name)) +
                             QStringLiteral(": its name is not valid UTF-8, so it cannot be opened (rename the file)");
        }
        ::closedir(d);
    }
}

}  // namespace

QStringList FindKaraokeFiles(const QStringList& folders, const std::atomic_bool* cancel, QStringList* undecodable) {
    struct Found {
        QString folder;
        QString name;
    };
    std::vector<Found> found;
    for (const QString& folder : folders) {
        // Special files too (System), so that a pipe or a device named like a song is named
        // among the files left out instead of passed over in silence.
        QDirIterator it(folder, QDir::Files | QDir::System | QDir::Readable, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            if (cancel && cancel->load()) break;
            it.next();
            const QFileInfo info = it.fileInfo();
            if (isKaraokeFileName(info.fileName())) found.push_back({info.absolutePath(), info.fileName()});
        }
        if (undecodable) findUndecodableNames(folder, *undecodable, cancel);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const int byFolder = a.folder.compare(b.folder, Qt::CaseInsensitive);
        if (byFolder != 0) return byFolder < 0;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(found.size()));
    for (const Found& f : found) paths << QDir(f.folder).filePath(f.name);
    return paths;
}

QList<SongRow> CatalogueFolders(const QStringList& folders, QStringList* leftOut, const std::atomic_bool* cancel,
                                const std::function<void(int, int)>& progress) {
    QStringList undecodable;
    const QStringList files = FindKaraokeFiles(folders, cancel, &undecodable);
    const int total = static_cast<int>(files.size());
    // Songs are read by as many threads as there are cores, each taking the next file; every
    // result has its own slot, so the rows keep the files' order. Only the first thread
    // reports progress, so the callback is never called from two threads at once.
    std::vector<std::optional<SongRow>> found(static_cast<size_t>(total));
    std::vector<QString> reasons(static_cast<size_t>(total));
    std::atomic_int next{0}, done{0};
    const auto work = [&](bool reports) {
        for (int i = next++; i < total; i = next++) {
            if (cancel && cancel->load()) break;
            const size_t k = static_cast<size_t>(i);
            reasons[k] = ListNameProblem(files[i]);
            if (reasons[k].isEmpty()) found[k] = CatalogueSong(files[i], &reasons[k]);
            const int now = ++done;
            if (reports && progress) progress(now, total);
        }
    };
    const int threads = std::clamp(QThread::idealThreadCount(), 1, 8);
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads && total > 1; ++t) helpers.emplace_back(work, false);
    work(true);
    for (std::thread& h : helpers) h.join();
    if (progress && !(cancel && cancel->load())) progress(total, total);
    QList<SongRow> rows;
    for (int i = 0; i < total; ++i) {
        const size_t k = static_cast<size_t>(i);
        if (found[k]) rows << std::move(*found[k]);
        else if (!reasons[k].isEmpty() && leftOut) *leftOut << files[i] + QStringLiteral(": ") + reasons[k];
    }
    if (leftOut) *leftOut << undecodable;
    return rows;
}

QByteArray ReportBytes(const QList<SongRow>& rows, const QDateTime& now) {
    QStringList lines{
        QStringLiteral("-================================================-"),
        QStringLiteral("-                                                -"),
        QStringLiteral("-       List of Songs in Karaoke Format          -"),
        QStringLiteral("-                                                -"),
        QStringLiteral("-================================================-"),
        QString(),
    };
    QString previous;
    for (const SongRow& r : rows) {
        if (r.path != previous && !r.path.isEmpty()) {
            lines << QStringLiteral("In ") + r.path.toUpper() << QString();
            previous = r.path;
        }
        lines << ReportLine().zone(r.fileName.toUpper()).zone(r.title).text();
        lines << ReportLine().zone(r.length).zone(r.author).text();
        lines << QString();
    }
    lines << QStringLiteral("-================================================-")
          << QStringLiteral("  This list has been automatically generated by   ")
          << QStringLiteral("       Cantavo! 3.0 (c) 1997 the Cantavo! karaoke player")
          << QStringLiteral("           at ") + now.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" on ") +
                 now.toString(QStringLiteral("MM-dd-yyyy"));
    return (lines.join(kCrLf) + kCrLf).toUtf8();
}

QStringList CompilationEntries(const QString& text) {
    QStringList entries{QString()};
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) entries << QString();
        else if (c != QLatin1Char('\r')) entries.last() += c;
    }
    entries.removeLast();
    return entries;
}

QByteArray CompilationFileBytes(const QString& text) { return (text + kCrLf).toUtf8(); }

}  // namespace cantavo
