#pragma once

#include <QByteArray>
#include <QString>

#include "songreaderror.h"

namespace cantavo {

// ReadByte and ReadVarLen work on a track chunk held in memory, at a 1-based position
// that they advance. Reading past the chunk's end is a SongReadError, never a stray read.
int ReadByte(const QByteArray& chunk, qint32& position);
qint32 ReadVarLen(const QByteArray& chunk, qint32& position);

// The open song file. The whole file is read into memory when it is opened and the file
// itself is closed again at once, so no handle outlives a read.
class SongFile {
public:
    // Throws SongReadError(CannotOpen) when the file cannot be read.
    static QByteArray readAll(const QString& path);
    explicit SongFile(QByteArray data) : data_(std::move(data)) {}

    int ReadFileByte();
    qint32 ReadFileVarLen();
    QByteArray ReadFileBytes(qint64 count);
    void Skip(qint64 count);

    qint64 position() const { return pos_; }
    void seek(qint64 position) { pos_ = position; }
    qint64 size() const { return data_.size(); }
    bool atEnd() const { return pos_ >= data_.size(); }
    // True when the four bytes at `at` spell `tag`.
    bool tagAt(qint64 at, const char* tag) const;
    // Position of the next `tag` at or after `from`, or -1.
    qint64 find(const char* tag, qint64 from) const;

private:
    [[noreturn]] static void pastEnd();
    QByteArray data_;
    qint64 pos_ = 0;
};

}  // namespace cantavo
