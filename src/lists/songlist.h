#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

namespace cantavo {

// One row of a song list: file name, length (mm:ss), title, author, folder (ending in "/").
struct SongRow {
    QString fileName;
    QString length;
    QString title;
    QString author;
    QString path;

    QString fullPath() const { return path + fileName; }
    bool operator==(const SongRow&) const = default;
};

// A list file's line: the five fields in double quotes, separated by commas (no line end).
QString ListLine(const SongRow& row);
// Reads one line; false when it does not hold five quoted fields.
bool ParseListLine(const QString& line, SongRow& row);
// The rows of a list file's text. A line that cannot be read is passed over and named in
// `problems` ("line 7 cannot be read"); the rows after it are still read.
QList<SongRow> ParseListText(const QString& text, QStringList* problems = nullptr);
// A list file: one line per row, UTF-8, each line ended by CR LF. A row the format cannot
// hold (see ListNameProblem) is left out and named in `leftOut` as "path: reason".
QByteArray ListFileBytes(const QList<SongRow>& rows, QStringList* leftOut = nullptr);
// Reads a list file; `problems` gets what could not be read, the file itself included
// ("SONGS.lst: it is a folder, not a file"), each naming the file.
QList<SongRow> ReadListFile(const QString& path, QStringList* problems = nullptr);

// Why a song's file name or folder cannot be written in a list line (a double quote, a line
// break or another control character, bytes that were not UTF-8); empty when it can.
QString ListNameProblem(const QString& fullPath);
bool FitsInList(const QString& fullPath);

// The catalogue row of one song file, from the song reader: the title as the main window
// shows it, the second title line as author ("-" when none), the length the sequencer gives.
// Nothing, with the reason, when the file cannot be read or is not a MIDI file.
std::optional<SongRow> CatalogueSong(const QString& filePath, QString* why = nullptr);

// Every karaoke file (".kar", ".mid", ".midi", any case) under the folders, sorted by folder
// and name. `cancel` stops the search early; what was found stays.
// Karaoke files whose names are not UTF-8 cannot be opened: they go to `undecodable`, each as
// "path: reason".
QStringList FindKaraokeFiles(const QStringList& folders, const std::atomic_bool* cancel = nullptr, QStringList* undecodable = nullptr);

// `cantavo --catalogue`: the rows of the songs under the folders, in order; files left out go
// to `leftOut` as "path: reason". The songs are read on one thread per core; `progress` is
// called from one of them at a time, and `cancel` is read by all.
QList<SongRow> CatalogueFolders(const QStringList& folders, QStringList* leftOut, const std::atomic_bool* cancel = nullptr,
                                const std::function<void(int done, int total)>& progress = {});

// The report of a list, grouped by folder, with the time it was made.
QByteArray ReportBytes(const QList<SongRow>& rows, const QDateTime& now);

// The entries of a compilation text: one per line ended by a line feed; carriage returns
// dropped; a last line without its line end is not an entry.
QStringList CompilationEntries(const QString& text);
// The bytes of a compilation file: the text as it is, then CR LF.
QByteArray CompilationFileBytes(const QString& text);

}  // namespace cantavo
