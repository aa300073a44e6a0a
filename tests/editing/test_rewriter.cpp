// The rewriter on bytes: what each setting does to the notes, the header it writes, and the
// tolerant reading of damaged chunks.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "rewriter.h"
#include "smfbytes.h"
#include "trackrows.h"

namespace cantavo::test {
namespace {

// A chunk of the given event bytes (delta times included), ended by an end-of-track.
QByteArray chunk(const QByteArray& events) {
    QByteArray body = events + hex("00FF2F00");
    QByteArray out("MTrk");
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(body.size() >> s);
    return out + body;
}

QByteArray body(const QByteArray& c) { return c.mid(8, c.size() - 12); }

ModifySettings transposeBy(int halfTones) {
    ModifySettings s;
    s.transpose = halfTones;
    return s;
}

TEST(Rewriter, NotesFollowTranspositionAndMixerRunningStatusIncluded) {
    // ch 1 note-on 60/100, running 62/100, running release 60/0; ch 10 note-on 36/100;
    // ch 1 note-off 62/64.
    QByteArray c = chunk(hex("00903C64" "003E64" "003C00" "00992464" "00803E40"));
    ModifySettings s = transposeBy(2);
    s.mixer[0] = 50;
    s.mixer[9] = 200;
    ASSERT_TRUE(RewriteTrack(c, s, TrackEdit{}));
    EXPECT_EQ(body(c).toHex(), QByteArray("00903e33" "004033" "003e00" "0099247f" "00804021"));
}

TEST(Rewriter, VelocityRuleRoundsHalvesToEvenAndCaps) {
    EXPECT_EQ(ScaledVelocity(100, 50), 51);
    EXPECT_EQ(ScaledVelocity(100, 200), 127);
    EXPECT_EQ(ScaledVelocity(1, 50), 2);   // 1.5 -> 2
    EXPECT_EQ(ScaledVelocity(3, 50), 2);   // 2.5 -> 2
    EXPECT_EQ(ScaledVelocity(0, 0), 1);
    EXPECT_EQ(ScaledVelocity(90, 100), 90);
}

TEST(Rewriter, TransposedNotesStayInRangeByWholeOctaves) {
    EXPECT_EQ(TransposedNote(126, 5), 119);
    EXPECT_EQ(TransposedNote(2, -5), 9);
    EXPECT_EQ(TransposedNote(60, 12), 72);
    EXPECT_EQ(TransposedNote(60, 127) % 12, (60 + 127) % 12);
    // A note-off moves exactly as its note-on.
    QByteArray c = chunk(hex("00907E64" "00807E40"));
    ASSERT_TRUE(RewriteTrack(c, transposeBy(5), TrackEdit{}));
    EXPECT_EQ(body(c).toHex(), QByteArray("00907764" "00807740"));
}

TEST(Rewriter, KeepChannelZeroTransposesTheDrumsToo) {
    QByteArray c = chunk(hex("00992464"));
    ModifySettings s = transposeBy(1);
    s.keepChannel = 0;
    ASSERT_TRUE(RewriteTrack(c, s, TrackEdit{}));
    EXPECT_EQ(body(c).toHex(), QByteArray("00992564"));
}

TEST(Rewriter, WalkFollowsTheReader) {
    // A 3183-byte text event (its length a two-byte quantity) between notes, running status
    // across it and across a system exclusive message, a stray system byte taken as data.
    QByteArray events = hex("00903C64");
    QByteArray text(3183, 'a');
    meta(events, 0, 0x01, text);
    events += hex("003E64");          // running status after the meta event
    events += hex("00F003417F7F");    // system exclusive, length 3
    events += hex("004064");          // running status after it
    events += hex("00F464");          // stray system byte + the byte after it: left alone
    events += hex("004264");
    QByteArray c = chunk(events);
    ASSERT_TRUE(RewriteTrack(c, transposeBy(1), TrackEdit{}));
    QByteArray expected = hex("00903D64");
    meta(expected, 0, 0x01, text);
    expected += hex("003F64" "00F003417F7F" "004164" "00F464" "004364");
    EXPECT_EQ(body(c), expected);
}

TEST(Rewriter, PatchReplacesProgramChangesOnTheAnalysedChannelOnly) {
    // Programs on ch 2 (0, then 5 under running status) and on ch 3.
    const QByteArray original = chunk(hex("00C100" "0005" "00C207" "00913C64"));
    const TrackAnalysis a = AnalyseTrack(original, 10);
    EXPECT_EQ(a.program, 0);
    EXPECT_EQ(a.programChannel, 2);
    TrackEdit edit = EditFor(a);
    QByteArray untouched = original;
    ASSERT_TRUE(RewriteTrack(untouched, transposeBy(1), edit));
    EXPECT_EQ(body(untouched).toHex(), QByteArray("00c100" "0005" "00c207" "00913d64")) << "no patch chosen: programs stay";
    edit.patchChanged = true;
    edit.program = 40;
    QByteArray c = original;
    ASSERT_TRUE(RewriteTrack(c, ModifySettings{}, edit));
    EXPECT_EQ(body(c).toHex(), QByteArray("00c128" "0028" "00c207" "00913c64"));
}

TEST(Rewriter, EventRunningPastTheChunkIsIllegalDataAndTheStartStaysRewritten) {
    QByteArray c = QByteArray("MTrk") + hex("00000007") + hex("00903C64" "00903E");
    IllegalData where;
    EXPECT_FALSE(RewriteTrack(c, transposeBy(2), TrackEdit{}, &where));
    EXPECT_EQ(where.status, 0x90);
    EXPECT_EQ(where.lastStatus, 0x90);
    EXPECT_EQ(IllegalDataMessage(where), QStringLiteral("Illegal data found  144 144"));
    EXPECT_EQ(c.mid(8, 4).toHex(), QByteArray("00903e64"));
}

TEST(Rewriter, NewDivisionFromTheTempoPercentage) {
    EXPECT_EQ(NewDivision(0x01, 0xE0, 10), 528);
    EXPECT_EQ(NewDivision(0x00, 96, 15), 110);
    EXPECT_EQ(NewDivision(0x01, 0xE0, -50), 240);
    EXPECT_EQ(NewDivision(0x01, 0xE0, 0), 480);
    EXPECT_EQ(NewDivision(0x01, 0xE0, -100), -1);
    EXPECT_EQ(NewDivision(0x01, 0xE0, -250), -1);
    EXPECT_EQ(NewDivision(0x7F, 0xFF, 10), -1);
    EXPECT_EQ(NewDivision(0xE7, 0x28, 0), -1) << "time-code division";
}

SongChunks songOf(const QByteArray& file) { return ReadSongChunks(file); }

QByteArray fiveTrackSong(int format = 1) {
    SmfBuilder b(format, 96);
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TWords");
    b.endTrack();
    for (int ch = 0; ch < 3; ++ch) {
        b.beginTrack();
        b.bytes({0x00, 0xC0 | ch, 10 + ch, 0x00, 0x90 | ch, 60, 100, 0x60, 0x80 | ch, 60, 0});
        b.endTrack();
    }
    return b.data();
}

TEST(Rewriter, SongHeaderMutingAndUntouchedTracks) {
    const QByteArray file = fiveTrackSong(0);
    const SongChunks song = songOf(file);
    ASSERT_EQ(song.chunks.size(), 5);
    QList<TrackEdit> edits(5);
    edits[4].muted = true;
    ModifySettings s;
    s.tempoPercent = 15;
    ASSERT_EQ(CheckModification(song, edits, s), ModifyRefusal::None);
    const QByteArray out = WriteModifiedSong(song, edits, s);
    // Format 1 always, four tracks left, division 96 + 15 % = 110.
    EXPECT_EQ(out.left(14).toHex(), QByteArray("4d5468640000000600010004006e"));
    // Nothing but the header changes: every kept track is the file's, byte for byte.
    QByteArray kept;
    for (int i = 0; i < 4; ++i) kept += song.chunks[i].bytes;
    EXPECT_EQ(out.mid(14), kept);
    EXPECT_EQ(file.mid(14, kept.size()), kept);
}

TEST(Rewriter, RefusalsComeBeforeAnythingIsWritten) {
    const SongChunks five = songOf(fiveTrackSong());
    QList<TrackEdit> edits(5);
    EXPECT_EQ(CheckModification(five, edits, ModifySettings{}), ModifyRefusal::NothingToDo);
    edits[3].muted = edits[4].muted = true;
    EXPECT_EQ(CheckModification(five, edits, ModifySettings{}), ModifyRefusal::AllMuted);
    edits[4].muted = false;
    EXPECT_EQ(CheckModification(five, edits, ModifySettings{}), ModifyRefusal::None) << "four tracks left";
    edits[3].muted = false;
    edits[1].muted = true;
    EXPECT_EQ(CheckModification(five, edits, ModifySettings{}), ModifyRefusal::CantMute);
    edits[1].muted = false;
    edits[1].patchChanged = true;
    EXPECT_EQ(CheckModification(five, edits, ModifySettings{}), ModifyRefusal::CantChangePatch);
    edits[1].patchChanged = false;
    ModifySettings slower;
    slower.tempoPercent = -100;
    EXPECT_EQ(CheckModification(five, edits, slower), ModifyRefusal::BadDivision);

    SmfBuilder b;
    for (int i = 0; i < 3; ++i) {
        b.beginTrack();
        b.endTrack();
    }
    const SongChunks three = songOf(b.data());
    ModifySettings faster;
    faster.tempoPercent = 10;
    EXPECT_EQ(CheckModification(three, QList<TrackEdit>(3), faster), ModifyRefusal::None);
    EXPECT_EQ(WriteModifiedSong(three, QList<TrackEdit>(3), faster).mid(12, 2).toHex(), QByteArray("0210"));
}

TEST(Rewriter, TrackRowsAsTheListShowsThem) {
    SmfBuilder b;
    b.beginTrack();
    b.endTrack();
    b.beginTrack();
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x03, "Piano");
    b.bytes({0x00, 0xC9, 0x10, 0x00, 0xC0, 0x00, 0x00, 0x90, 60, 64});
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0xC9, 0x10, 0x00, 0x99, 36, 64});
    b.endTrack();
    const QList<TrackRow> rows = TrackRows(songOf(b.data()), SongEncoding{});
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].name, QStringLiteral("Track 0"));
    EXPECT_EQ(rows[1].name, QStringLiteral("-"));
    EXPECT_EQ(rows[1].channel, QStringLiteral("-"));
    EXPECT_EQ(rows[2].name, QStringLiteral("Piano"));
    EXPECT_EQ(rows[2].channel, QStringLiteral("1"));
    EXPECT_EQ(rows[2].patch, QStringLiteral(" 1 - Acoustic Grand Piano "));
    EXPECT_EQ(rows[2].program, QStringLiteral("0"));
    EXPECT_EQ(rows[3].patch, QStringLiteral("-")) << "programs only on the kept channel";
    EXPECT_EQ(rows[3].channel, QStringLiteral("10"));
}

// --- Damaged files -------------------------------------------------------------------

QByteArray header(int tracks, int division = 480) {
    QByteArray h = hex("4D546864000000060001");
    h += static_cast<char>(tracks >> 8);
    h += static_cast<char>(tracks & 0xFF);
    h += static_cast<char>(division >> 8);
    h += static_cast<char>(division & 0xFF);
    return h;
}

QByteArray rawChunk(quint32 declared, const QByteArray& data) {
    QByteArray out("MTrk");
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(declared >> s);
    return out + data;
}

TEST(Chunks, ChunkRunningPastTheFileIsCutAtItsEndAndCompleted) {
    const QByteArray first = chunk(hex("00FF510307A120"));
    // The end-of-track lost its length byte; the declared length runs far past the file.
    const QByteArray file = header(2) + first + rawChunk(100000, hex("00903C64" "6080" "3C00" "00FF2F"));
    const SongChunks s = ReadSongChunks(file);
    ASSERT_EQ(s.chunks.size(), 2);
    EXPECT_EQ(s.chunks[0].bytes, first);
    EXPECT_FALSE(s.chunks[0].repaired);
    EXPECT_TRUE(s.chunks[1].repaired);
    EXPECT_EQ(s.chunks[1].bytes.toHex(), rawChunk(12, hex("00903C64" "6080" "3C00" "00FF2F00")).toHex());
}

TEST(Chunks, ChunkWithoutEndOfTrackGetsOneAfterItsLastCompleteEvent) {
    const QByteArray file = header(1) + rawChunk(500, hex("00903C64" "60803C00" "0090"));
    const SongChunks s = ReadSongChunks(file);
    ASSERT_EQ(s.chunks.size(), 1);
    EXPECT_EQ(s.chunks[0].bytes.toHex(), rawChunk(12, hex("00903C64" "60803C00" "00FF2F00")).toHex());
}

TEST(Chunks, TolerantFindingOfChunks) {
    const QByteArray a = chunk(hex("00903C64"));
    const QByteArray b = chunk(hex("00913C64"));
    // Junk between chunks: the next is found by its tag.
    SongChunks s = ReadSongChunks(header(2) + a + hex("0000AB") + b);
    ASSERT_EQ(s.chunks.size(), 2);
    EXPECT_EQ(s.chunks[1].bytes, b);
    // Fewer chunks than announced: those found.
    EXPECT_EQ(ReadSongChunks(header(5) + a + b).chunks.size(), 2);
    // 300 announced is 44: the high byte is not read.
    QByteArray many = header(300);
    for (int i = 0; i < 50; ++i) many += a;
    EXPECT_EQ(ReadSongChunks(many).announced, 44);
    EXPECT_EQ(ReadSongChunks(many).chunks.size(), 44);
    // Bytes after the end-of-track inside the chunk are the chunk's: held exactly.
    const QByteArray junkInside = rawChunk(10, hex("00903C64" "00FF2F00" "ABCD"));
    s = ReadSongChunks(header(2) + junkInside + b);
    ASSERT_EQ(s.chunks.size(), 2);
    EXPECT_EQ(s.chunks[0].bytes, junkInside);
    EXPECT_EQ(s.chunks[1].bytes, b);
    // Not a MIDI file.
    EXPECT_FALSE(ReadSongChunks("RIFF0000WAVEfmt ").ok);
}

TEST(Chunks, DeclaredLengthTooShortOrTooLongLosesNothing) {
    const QByteArray b = chunk(hex("00913C64"));
    // Too short: the events run on to their end-of-track, which ends the chunk.
    SongChunks s = ReadSongChunks(header(2) + rawChunk(3, hex("00FF510307A120" "00FF2F00")) + b);
    ASSERT_EQ(s.chunks.size(), 2);
    EXPECT_EQ(s.chunks[0].bytes, chunk(hex("00FF510307A120")));
    EXPECT_EQ(s.chunks[1].bytes, b);
    // Too long, covering the next chunk: cut at the end-of-track, the next read once.
    const QByteArray c = chunk(hex("00923C64"));
    s = ReadSongChunks(header(3) + rawChunk(static_cast<quint32>(8 + b.size()), hex("00903C64" "00FF2F00")) + b + c);
    ASSERT_EQ(s.chunks.size(), 3);
    EXPECT_EQ(s.chunks[0].bytes, chunk(hex("00903C64")));
    EXPECT_EQ(s.chunks[1].bytes, b);
    EXPECT_EQ(s.chunks[2].bytes, c);
}

TEST(Chunks, RepairedSongIsReadBackWholeByTheChunkReader) {
    const QByteArray file = header(3) + chunk(hex("00FF510307A120")) + chunk(hex("00FF0103616263")) +
                            rawChunk(100000, hex("00903C64" "6080" "3C00" "00FF2F"));
    const SongChunks s = ReadSongChunks(file);
    ModifySettings faster;
    faster.tempoPercent = 10;
    const QByteArray out = WriteModifiedSong(s, QList<TrackEdit>(3), faster);
    const SongChunks again = ReadSongChunks(out);
    ASSERT_EQ(again.chunks.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(again.chunks[i].repaired) << i;
        EXPECT_EQ(again.chunks[i].bytes, s.chunks[i].bytes) << i;
    }
}

// The number of "MTrk" chunks that really stand in a written file, walked by their lengths.
int chunksIn(const QByteArray& file) {
    int n = 0;
    for (qsizetype at = 14; at + 8 <= file.size() && file.mid(at, 4) == "MTrk"; ++n) {
        quint32 length = 0;
        for (int i = 4; i < 8; ++i) length = length << 8 | static_cast<unsigned char>(file[at + i]);
        at += 8 + length;
        if (at > file.size()) return -1;
    }
    return n;
}

// A real song announced 18 tracks and held 17 and a cut-off fragment: the header of what is
// written counts what is written, never what the damaged header claimed.
TEST(Chunks, AHeaderThatAnnouncesMoreTracksThanStandIsNotCopied) {
    SmfBuilder b;
    for (int t = 0; t < 17; ++t) {
        b.beginTrack();
        b.varLen(0), b.bytes({0x90 | (t % 9), 60, 100}), b.varLen(96), b.bytes({0x80 | (t % 9), 60, 0});
        b.endTrack();
    }
    QByteArray whole = b.data();
    whole[11] = 18;
    for (const QByteArray& fragment : {QByteArray("MTr"), QByteArray("MTrk\0\0"), QByteArray("MTrk\0\0\0\x10\0\x90", 10), QByteArray()}) {
        const QByteArray file = whole + fragment;
        const SongChunks song = ReadSongChunks(file);
        ASSERT_TRUE(song.ok);
        EXPECT_EQ(song.announced, 18);
        for (const ModifySettings& s : {transposeBy(1), ModifySettings{}}) {
            QList<TrackEdit> edits(song.chunks.size());
            edits[5].muted = true;
            const QByteArray out = WriteModifiedSong(song, edits, s);
            const int written = chunksIn(out);
            EXPECT_EQ(written, static_cast<int>(song.chunks.size()) - 1) << fragment.toHex().toStdString();
            EXPECT_EQ(static_cast<unsigned char>(out[11]), written) << fragment.toHex().toStdString();
            EXPECT_EQ(ReadSongChunks(out).chunks.size(), written);
        }
    }
}

TEST(Chunks, FuzzRegressionsRewriteSafely) {
    const QDir dir(QStringLiteral(CANTAVO_REWRITER_REGRESSIONS));
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (name == QStringLiteral("README.md")) continue;
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll().mid(20);
        const SongChunks s = ReadSongChunks(bytes);
        for (const HeldChunk& c : s.chunks) {
            QByteArray r = c.bytes;
            RewriteTrack(r, transposeBy(3), TrackEdit{false, true, 5, 1});
            EXPECT_EQ(r.size(), c.bytes.size()) << name.toStdString();
        }
    }
}

}  // namespace
}  // namespace cantavo::test
