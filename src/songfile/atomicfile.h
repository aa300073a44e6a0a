#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// The most the program reads of each kind of file. Real karaoke songs are a few hundred KB;
// the limits are far above any real file and far below what would exhaust memory.
constexpr qint64 kMaxSongBytes = qint64(64) << 20;
constexpr qint64 kMaxTextBytes = qint64(64) << 20;     // lists, compilations, preferences, lyrics
constexpr qint64 kMaxPictureBytes = qint64(64) << 20;
constexpr qint64 kMaxSoundBytes = qint64(1) << 30;     // an hour of CD-quality stereo is 635 MB

// Why `path` cannot be read as a file of at most `limit` bytes ("it is a folder", "it is
// 120 MB, more than the 64 MB ..."); empty when it is a regular file (after following links)
// within the limit. Never opens the file, so a FIFO cannot block.
QString InputFileProblem(const QString& path, qint64 limit);

// Reads a whole regular file of at most `limit` bytes. False, with the reason, otherwise.
bool ReadInputFile(const QString& path, qint64 limit, QByteArray* bytes, QString* error);

// Why the program must not write `path`: it exists and is not a regular file (a device,
// a FIFO, a folder, a socket). Empty when it may be written.
QString OutputFileProblem(const QString& path);

// Writes `bytes` as a temporary file in the target's folder renamed over the target, so a
// failure leaves any earlier file as it was. Every write is checked and the data is on disk
// before the rename. False, with the reason ("No space left on device"), when it failed.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// A text file the program reads: UTF-8, or Windows-1252 when the bytes are not UTF-8;
// UTF-16 when it starts with a byte order mark.
QString DecodeTextFile(const QByteArray& bytes);

// "64 MB": a size for messages.
QString MegabytesText(qint64 bytes);

}  // namespace cantavo
