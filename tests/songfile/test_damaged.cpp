// Damaged files and files that do not follow the Soft Karaoke layout: each case shows the
// input and what a tolerant reader makes of it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <random>

#include "helpers.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

QStringList lyrics(const SongModel& s) {
    QStringList out;
    for (int i = 1; i <= s.lyricCount; ++i) out << s.lyricText[i];
    return out;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

}  // namespace

TEST(Damaged, TruncatedInsideAnEventFailsCleanly) {
    Loaded l;
    loadInto(l, fixture("truncated"));
    EXPECT_EQ(l.result.status, LoadStatus::ReadFailed);
    EXPECT_EQ(l.result.message, QStringLiteral("Input past end of file"));
    EXPECT_TRUE(l.reporter.calls.isEmpty());
}

TEST(Damaged, EndOfTrackWithoutItsLengthByteAtTheEnd) {
    Loaded l;
    loadInto(l, fixture("bare-eot-at-end"));
    EXPECT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("words ")}));
}

TEST(Damaged, JunkAfterEndOfTrackDoesNotMisalignTheNextTrack) {
    Loaded l;
    loadInto(l, fixture("junk-after-eot"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.tempoBpm[1], 120);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Junk After End"));
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("still "), QStringLiteral("aligned")}));
    EXPECT_EQ(l.song.lyricTick[2], 200);
}

TEST(Damaged, ChunkLengthsThatDisagreeAreIgnored) {
    Loaded l;
    loadInto(l, fixture("wrong-chunk-length"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("right "), QStringLiteral("anyway")}));
}

TEST(Damaged, TrackWithoutEndOfTrackEndsWhereTheNextChunkStands) {
    Loaded l;
    loadInto(l, fixture("missing-eot"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.panels.meter, QStringLiteral(" 6/8"));
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("found "), QStringLiteral("me")}));
}

TEST(Damaged, TrackWithoutEndOfTrackEndsAtTheEndOfTheData) {
    SmfBuilder b;
    b.beginTrack(); b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "last ");
    b.meta(10, 0x01, "words");  // no end-of-track, and nothing follows
    SongModel s;
    QByteArray data = b.data();
    ASSERT_EQ(LoadSongData(data, "e.mid", s).status, LoadStatus::Loaded);
    // Two tracks: the words come through the fallback, which starts the first line.
    EXPECT_EQ(lyrics(s), QStringList({QStringLiteral("/last "), QStringLiteral("words")}));
}

TEST(Damaged, LongMetaEventsUseVariableLengthLengths) {
    Loaded l;
    loadInto(l, fixture("long-meta"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_TRUE(l.song.songInfo.endsWith(QStringLiteral("to the end.")));
    EXPECT_GT(l.song.songInfo.size(), 128);
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("after "), QStringLiteral("long")}));
}

TEST(Damaged, SystemExclusivePacketsKeepTheWordsAligned) {
    Loaded l;
    loadInto(l, fixture("sysex-in-words"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("one "), QStringLiteral("two")}));
    EXPECT_EQ(l.song.lyricTick[2], 200);
}

TEST(Damaged, ZeroTempoIsSkipped) {
    Loaded l;
    loadInto(l, fixture("zero-tempo"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    ASSERT_EQ(l.song.tempoCount, 2);
    EXPECT_EQ(l.song.tempoBpm[2], 100);
    EXPECT_EQ(l.song.tempoTick[2], 960);
}

TEST(Damaged, TimeCodeDivisionIsReadAndFlagged) {
    Loaded l;
    loadInto(l, fixture("smpte-division"));
    EXPECT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_TRUE(l.song.isTimeCodeDivision());
    EXPECT_EQ(l.song.divisionHigh, 0xE7);
    EXPECT_EQ(l.song.divisionLow, 0x28);
}

TEST(Damaged, EveryPrefixOfADemoSongReadsOrFailsCleanly) {
    const QByteArray whole = bytesOf(demoSong("twinkle"));
    ASSERT_GT(whole.size(), 500);
    int loaded = 0, failed = 0;
    for (qsizetype n = 0; n <= whole.size(); ++n) {
        SongModel s;
        LoadResult r = LoadSongData(whole.left(n), "p.kar", s);
        (r.status == LoadStatus::ReadFailed ? failed : loaded)++;
        ASSERT_LE(s.lyricCount, whole.size());
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(loaded, 0);
}

TEST(Damaged, RandomCorruptionNeverBreaksTheReader) {
    const QByteArray whole = bytesOf(demoSong("oh-susanna"));
    std::mt19937 rng(20261209);
    for (int round = 0; round < 2000; ++round) {
        QByteArray b = whole;
        std::uniform_int_distribution<qsizetype> at(0, b.size() - 1);
        for (int k = 0; k < 1 + round % 8; ++k) b[at(rng)] = static_cast<char>(rng());
        SongModel s;
        LoadSongData(b, "c.kar", s);
        ScanSongTitlesData(b, s);
    }
    SUCCEED();
}

TEST(Fallback, Format0WithLyricEvents) {
    Loaded l;
    loadInto(l, fixture("format0-lyric-events"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_TRUE(l.reporter.calls.isEmpty());
    EXPECT_EQ(l.song.lyricSource, LyricSource::LyricEvents);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Format Zero Song"));
    EXPECT_EQ(l.song.tempoBpm[1], 90);
    EXPECT_EQ(l.song.panels.meter, QStringLiteral(" 3/4"));
    // The first syllable starts a line; "your boat\r" ends one, "ly\r\n" then "\n" leave an
    // empty line: a new page.
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("/Row "), QStringLiteral("row "), QStringLiteral("row "), QStringLiteral("your boat"),
                                           QStringLiteral("/Gent"), QStringLiteral("ly"), QStringLiteral("\\down ")}));
    EXPECT_EQ(l.song.lyricTick[2], 480);
    EXPECT_EQ(l.song.lyricTick[7], 3360);
}

TEST(Fallback, TwoTracksWithTextEvents) {
    Loaded l;
    loadInto(l, fixture("two-tracks-text"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.lyricSource, LyricSource::TextEvents);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Two Tracks"));
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("/Hi "), QStringLiteral("there"), QStringLiteral("/Next "), QStringLiteral("line")}));
}

TEST(Fallback, TrackWithMostLyricEventsWins) {
    Loaded l;
    loadInto(l, fixture("many-tracks-lyric-events"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.lyricSource, LyricSource::LyricEvents);
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("/One "), QStringLiteral("two "), QStringLiteral("three"), QStringLiteral("/four")}));
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Lyric Events Song"));
    EXPECT_EQ(l.song.lyricTick[4], 720);
}

TEST(Fallback, SoftKaraokeFilesNeverUseIt) {
    // tags-and-lyrics carries a lyric meta event in its words track: it is read past.
    Loaded l;
    loadInto(l, fixture("tags-and-lyrics"));
    EXPECT_EQ(l.song.lyricSource, LyricSource::SoftKaraokeText);
    for (int i = 1; i <= l.song.lyricCount; ++i) EXPECT_NE(l.song.lyricText[i], QStringLiteral("a lyric event"));
}

TEST(Encoding, Utf8SongsAreDecodedAsUtf8) {
    Loaded l;
    loadInto(l, fixture("utf8-lyrics"));
    ASSERT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Café crème"));
    EXPECT_EQ(lyrics(l.song), QStringList({QStringLiteral("\\Ça "), QStringLiteral("va, "), QStringLiteral("/ça "), QStringLiteral("va bien, "),
                                           QStringLiteral("Zoë.")}));
}

TEST(Encoding, OneInvalidSequenceMeansTheCharacterTable) {
    SmfBuilder b;
    b.beginTrack(); b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, QStringLiteral("Zoë ").toUtf8());
    b.meta(0, 0x01, "caf\x82");
    b.endTrack();
    b.beginTrack(); b.endTrack();
    SongModel s;
    LoadSongData(b.data(), "m.kar", s);
    EXPECT_EQ(s.lyricText[2], QStringLiteral("café"));
    EXPECT_EQ(s.lyricText[1].size(), 5);  // two bytes, two characters
}

TEST(Fuzz, Regressions) {
    const QDir dir(QStringLiteral(CANTAVO_FUZZ_REGRESSIONS));
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (name.endsWith(QStringLiteral(".md"))) continue;
        SCOPED_TRACE(name.toStdString());
        const QByteArray b = bytesOf(dir.filePath(name));
        SongModel s;
        LoadSongData(b, name, s);
        ScanSongTitlesData(b, s);
    }
}
