#include "bytereader.h"

#include "atomicfile.h"

#include <limits>

namespace cantavo {

namespace {

constexpr qint32 kVarLenLimit = (std::numeric_limits<qint32>::max() - 127) / 128;

[[noreturn]] void overflow() {
    throw SongReadError(SongReadError::Kind::Overflow, QStringLiteral("Overflow"));
}

template <typename NextByte>
qint32 varLen(NextByte next) {
    qint32 v = next();
    if (v & 0x80) {
        v &= 0x7F;
        int c;
        do {
            c = next();
            if (v > kVarLenLimit) overflow();
            v = v * 128 + (c & 0x7F);
        } while (c & 0x80);
    }
    return v;
}

}  // namespace

int ReadByte(const QByteArray& chunk, qint32& position) {
    if (position < 1 || position > chunk.size())
        throw SongReadError(SongReadError::Kind::PastEndOfFile, QStringLiteral("Input past end of track"));
    return static_cast<unsigned char>(chunk[position++ - 1]);
}

qint32 ReadVarLen(const QByteArray& chunk, qint32& position) {
    return varLen([&] { return ReadByte(chunk, position); });
}

QByteArray SongFile::readAll(const QString& path) {
    QByteArray data;
    QString why;
    if (!ReadInputFile(path, kMaxSongBytes, &data, &why))
        throw SongReadError(SongReadError::Kind::CannotOpen, QStringLiteral("Cannot open %1: %2").arg(path, why));
    return data;
}

void SongFile::pastEnd() {
    throw SongReadError(SongReadError::Kind::PastEndOfFile, QStringLiteral("Input past end of file"));
}

int SongFile::ReadFileByte() {
    if (pos_ < 0 || pos_ >= data_.size()) pastEnd();
    return static_cast<unsigned char>(data_[pos_++]);
}

qint32 SongFile::ReadFileVarLen() {
    return varLen([this] { return ReadFileByte(); });
}

QByteArray SongFile::ReadFileBytes(qint64 count) {
    if (count < 0 || count > data_.size() - pos_) pastEnd();
    QByteArray out = data_.mid(pos_, count);
    pos_ += count;
    return out;
}

void SongFile::Skip(qint64 count) {
    if (count < 0 || count > data_.size() - pos_) pastEnd();
    pos_ += count;
}

bool SongFile::tagAt(qint64 at, const char* tag) const {
    return at >= 0 && at + 4 <= data_.size() && data_.mid(at, 4) == QByteArray(tag, 4);
}

qint64 SongFile::find(const char* tag, qint64 from) const {
    if (from < 0) from = 0;
    return data_.indexOf(QByteArray(tag, 4), from);
}

}  // namespace cantavo
