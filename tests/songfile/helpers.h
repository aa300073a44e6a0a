#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

#include "songreader.h"
#include "testpaths.h"

namespace cantavo::test {


// Records what the reader tells the user.
class RecordingReporter : public SongReadReporter {
public:
    void showWarning(const QString& text) override { calls << QStringLiteral("warning:") + text; }
    void closeSong(const QString& path) override { calls << QStringLiteral("close:") + path; }
    QStringList calls;
};

struct Loaded {
    SongModel song;
    LoadResult result;
    RecordingReporter reporter;
};

inline void loadInto(Loaded& l, const QString& path) {
    l.song.clear();
    l.result = LoadSongFile(path, l.song, &l.reporter);
}

// Builds Standard MIDI File bytes in memory for cases too large or too odd for a score.
class SmfBuilder {
public:
    explicit SmfBuilder(int format = 1, int division = 480) : format_(format), division_(division) {}
    void beginTrack() { tracks_.emplace_back(); }
    void varLen(quint32 v) {
        QByteArray g;
        do { g.prepend(static_cast<char>(v & 0x7F)); v >>= 7; } while (v);
        for (qsizetype i = 0; i + 1 < g.size(); ++i) g[i] = static_cast<char>(g[i] | 0x80);
        tracks_.back() += g;
    }
    void bytes(std::initializer_list<int> b) {
        for (int x : b) tracks_.back() += static_cast<char>(x);
    }
    void meta(quint32 delta, int type, const QByteArray& data) {
        varLen(delta);
        bytes({0xFF, type});
        varLen(static_cast<quint32>(data.size()));
        tracks_.back() += data;
    }
    void tempo(quint32 delta, quint32 micros) {
        meta(delta, 0x51, QByteArray::fromHex(QByteArray::number(micros, 16).rightJustified(6, '0')));
    }
    void endTrack() { meta(0, 0x2F, {}); }
    QByteArray data() const {
        QByteArray out("MThd");
        auto be = [&](quint32 v, int n) { for (int s = (n - 1) * 8; s >= 0; s -= 8) out += static_cast<char>(v >> s); };
        be(6, 4);
        be(static_cast<quint32>(format_), 2);
        be(static_cast<quint32>(tracks_.size()), 2);
        be(static_cast<quint32>(division_), 2);
        for (const QByteArray& t : tracks_) {
            out += "MTrk";
            be(static_cast<quint32>(t.size()), 4);
            out += t;
        }
        return out;
    }

private:
    int format_, division_;
    std::vector<QByteArray> tracks_;
};

inline QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text)); }

}  // namespace cantavo::test
