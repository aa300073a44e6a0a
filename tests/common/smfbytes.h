#pragma once
// Standard MIDI File bytes made in code, for tests and benchmarks that need songs larger or
// odder than the scores in the tree.
#include <QByteArray>

#include <initializer_list>
#include <vector>

namespace cantavo::test {

// A variable-length quantity appended to a track's bytes.
inline void varLen(QByteArray& t, quint32 v) {
    QByteArray g;
    do { g.prepend(static_cast<char>(v & 0x7F)); v >>= 7; } while (v);
    for (qsizetype i = 0; i + 1 < g.size(); ++i) g[i] = static_cast<char>(g[i] | 0x80);
    t += g;
}

inline void meta(QByteArray& t, quint32 delta, int type, const QByteArray& data) {
    varLen(t, delta);
    t += static_cast<char>(0xFF);
    t += static_cast<char>(type);
    varLen(t, static_cast<quint32>(data.size()));
    t += data;
}

// 16 tracks: a conductor with `tempos` tempo changes, a words track with `lyrics` syllables
// `lyricGap` ticks apart (a line every eight), and 14 tracks of notes, `scale` times the
// notes of a typical song.
inline QByteArray bigSong(int tempos, int lyrics, int scale, int lyricGap = 24) {
    QByteArray out("MThd");
    auto be = [](QByteArray& o, quint32 v, int n) { for (int s = (n - 1) * 8; s >= 0; s -= 8) o += static_cast<char>(v >> s); };
    be(out, 6, 4); be(out, 1, 2); be(out, 16, 2); be(out, 480, 2);
    auto addTrack = [&](const QByteArray& body) {
        QByteArray t = body;
        meta(t, 0, 0x2F, {});
        out += "MTrk";
        be(out, static_cast<quint32>(t.size()), 4);
        out += t;
    };
    QByteArray conductor;
    for (int i = 0; i < tempos; ++i) {
        quint32 us = 400000 + static_cast<quint32>(i) * 97;
        meta(conductor, 120, 0x51, QByteArray::fromHex(QByteArray::number(us, 16).rightJustified(6, '0')));
    }
    addTrack(conductor);
    QByteArray words;
    for (int i = 0; i < lyrics; ++i) meta(words, static_cast<quint32>(lyricGap), 0x01, i % 8 == 0 ? "/sing-" : "a-long ");
    addTrack(words);
    for (int k = 0; k < 14; ++k) {
        QByteArray notes;
        for (int i = 0; i < 3000 * scale; ++i) {
            varLen(notes, 60);
            notes += static_cast<char>(0x90 | k);
            notes += static_cast<char>(48 + i % 24);
            notes += static_cast<char>(90);
            varLen(notes, 60);
            notes += static_cast<char>(48 + i % 24);
            notes += static_cast<char>(0);
        }
        addTrack(notes);
    }
    return out;
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

// Words over a drum beat and nothing else: lyrics that follow no tune.
inline QByteArray wordsOverDrums() {
    SmfBuilder b;
    b.beginTrack();
    b.meta(0, 0x01, "@KMIDI KARAOKE FILE");
    b.meta(0, 0x01, "\\Boom");
    b.meta(480, 0x01, "chick");
    b.endTrack();
    b.beginTrack();
    for (int i = 0; i < 2; ++i) b.varLen(i ? 480 : 0), b.bytes({0x99, 36, 100}), b.varLen(100), b.bytes({0x89, 36, 0});
    b.endTrack();
    return b.data();
}

inline QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text)); }

}  // namespace cantavo::test
