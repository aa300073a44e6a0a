#include "songchunks.h"

namespace cantavo {

namespace {

int byteAt(const QByteArray& b, qsizetype i) { return static_cast<unsigned char>(b[i]); }

bool tagAt(const QByteArray& file, qsizetype at) { return at >= 0 && at + 4 <= file.size() && file.mid(at, 4) == "MTrk"; }

quint32 bigEndian32(const QByteArray& b, qsizetype at) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<quint32>(byteAt(b, at + i));
    return v;
}

QByteArray lengthBytes(qsizetype length) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<quint64>(length) >> (24 - 8 * i)) & 0xFF);
    return out;
}

}  // namespace

ChunkWalker::ChunkWalker(const QByteArray& chunk, qsizetype from, qsizetype end)
    : chunk_(chunk), at_(from), end_(std::min(end, chunk.size())), lastComplete_(from) {}

bool ChunkWalker::readByte(int& b) {
    if (at_ >= end_) return false;
    b = byteAt(chunk_, at_++);
    return true;
}

bool ChunkWalker::readVarLen(qint64& v) {
    v = 0;
    int c = 0;
    do {
        if (!readByte(c)) return false;
        v = v * 128 + (c & 0x7F);
        // Longer than any chunk can be: the bytes are not a length.
        if (v > 0x0FFFFFFF) return false;
    } while (c & 0x80);
    return true;
}

ChunkWalker::Step ChunkWalker::next(ChunkEvent& e) {
    e = ChunkEvent{};
    if (at_ >= end_) return Step::RanOut;
    qint64 delta = 0;
    int status = 0;
    if (!readVarLen(delta) || !readByte(status)) return Step::Overrun;
    e.statusByte = status;
    e.status = status;
    const auto skip = [this](qint64 count) {
        if (count > end_ - at_) return false;
        at_ += count;
        return true;
    };
    if (status == 0xFF) {
        int type = 0;
        if (!readByte(type)) return Step::Overrun;
        e.type = type;
        if (type == 0x2F) {
            int length = 0;
            endLengthMissing_ = !readByte(length);
            lastComplete_ = at_;
            return Step::EndOfTrack;
        }
        qint64 length = 0;
        if (!readVarLen(length)) return Step::Overrun;
        e.metaAt = at_;
        e.metaLength = length;
        if (!skip(length)) return Step::Overrun;
    } else if (status == 0xF0 || status == 0xF7) {
        qint64 length = 0;
        if (!readVarLen(length) || !skip(length)) return Step::Overrun;
    } else if (status >= 0x80 && status <= 0xEF) {
        runningStatus_ = status;
        e.data1At = at_;
        if (!skip(1)) return Step::Overrun;
        if (status < 0xC0 || status >= 0xE0) {
            e.data2At = at_;
            if (!skip(1)) return Step::Overrun;
        }
    } else {
        // Running status: this byte was the first data byte. A stray system byte is taken
        // the same way, but it is no data and is left as it is, as is the byte after it.
        e.status = runningStatus_;
        const bool stray = status >= 0x80;
        const bool twoBytes = runningStatus_ != 0 && (runningStatus_ < 0xC0 || runningStatus_ >= 0xE0);
        if (!stray && runningStatus_ != 0) e.data1At = at_ - 1;
        if (twoBytes) {
            if (!stray) e.data2At = at_;
            if (!skip(1)) return Step::Overrun;
        }
    }
    lastComplete_ = at_;
    return Step::Event;
}

SongChunks ReadSongChunks(const QByteArray& file) {
    SongChunks s;
    if (file.size() < 14 || !file.startsWith("MThd")) return s;
    s.format = byteAt(file, 8) * 256 + byteAt(file, 9);
    s.announced = byteAt(file, 11);
    s.divisionHigh = byteAt(file, 12);
    s.divisionLow = byteAt(file, 13);
    const qsizetype size = file.size();
    // As the song reader does: the header body is taken as six bytes, and a chunk starts
    // where the one before it ended, or at the next "MTrk" tag.
    qsizetype expected = 14;
    qsizetype searchFrom = 14;
    for (int i = 0; i < s.announced; ++i) {
        const qsizetype start = tagAt(file, expected) ? expected : file.indexOf("MTrk", searchFrom);
        if (start < 0 || start + 8 > size) break;
        const qsizetype declaredEnd = start + 8 + static_cast<qsizetype>(bigEndian32(file, start + 4));
        const bool wholly = declaredEnd <= size;
        // The walk ends where the declared length ends when that agrees with the file (the
        // next tag or the file's end stands there), otherwise at the next tag.
        qsizetype bound = size;
        if (wholly && (declaredEnd == size || tagAt(file, declaredEnd))) {
            bound = declaredEnd;
        } else {
            const qsizetype nextTag = file.indexOf("MTrk", start + 8);
            if (nextTag >= 0) bound = nextTag;
        }
        ChunkWalker walker(file, start + 8, bound);
        ChunkEvent e;
        ChunkWalker::Step step;
        while ((step = walker.next(e)) == ChunkWalker::Step::Event) {}
        const qsizetype walkEnd = walker.position();
        const bool exact = wholly && !walker.endLengthMissing() && step != ChunkWalker::Step::Overrun &&
                           walkEnd <= declaredEnd && (walkEnd == declaredEnd || !tagAt(file, walkEnd));
        HeldChunk chunk;
        if (exact) {
            chunk.bytes = file.mid(start, declaredEnd - start);
            expected = declaredEnd;
        } else {
            QByteArray data = file.mid(start + 8, walkEnd - start - 8);
            if (step == ChunkWalker::Step::EndOfTrack) {
                if (walker.endLengthMissing()) data.append('\0');
            } else {
                data.append("\x00\xFF\x2F\x00", 4);
            }
            chunk.bytes = QByteArray("MTrk") + lengthBytes(data.size()) + data;
            chunk.repaired = true;
            expected = -1;
        }
        searchFrom = walkEnd;
        if (tagAt(file, walkEnd)) expected = walkEnd;
        s.chunks << chunk;
    }
    s.ok = !s.chunks.isEmpty();
    return s;
}

QString SongChunksProblem(const QByteArray& file) {
    if (file.isEmpty()) return QStringLiteral("the file is empty");
    if (!file.startsWith("MThd")) return QStringLiteral("not a MIDI file (it does not start with \"MThd\")");
    if (file.size() < 14) return QStringLiteral("cut off inside its MIDI header");
    if (byteAt(file, 11) == 0) return QStringLiteral("its MIDI header announces no track");
    return QStringLiteral("no track chunk (\"MTrk\") was found in it");
}

}  // namespace cantavo
