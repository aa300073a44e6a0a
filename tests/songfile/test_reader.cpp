#include <gtest/gtest.h>

#include "helpers.h"
#include "smfbytes.h"
#include "tempomap.h"

using namespace cantavo;
using namespace cantavo::test;

TEST(Reader, TagsAndLyricRules) {
    Loaded l;
    loadInto(l, fixture("tags-and-lyrics"));
    const SongModel& s = l.song;
    ASSERT_EQ(l.result.status, LoadStatus::Loaded) << l.result.message.toStdString();
    EXPECT_TRUE(l.reporter.calls.isEmpty());
    EXPECT_EQ(s.songTitle, QStringLiteral("My Song\r\nSung by Somebody"));
    EXPECT_EQ(s.songInfo, QStringLiteral("\r\nWords: A\r\nMusic: B"));
    EXPECT_EQ(s.panels.title, s.songTitle);
    EXPECT_EQ(s.panels.info, QStringLiteral("\nWords: A\r\nMusic: B"));
    EXPECT_EQ(s.lyricSource, LyricSource::SoftKaraokeText);
    const QStringList expected = {QStringLiteral("Hel"), QStringLiteral("lo"), QStringLiteral(" world"), QStringLiteral("\\Next"),
                                  QStringLiteral("/line"), QStringLiteral("-"), QStringLiteral("café"), QStringLiteral("êc"),
                                  QStringLiteral("a b"), QString()};
    ASSERT_EQ(s.lyricCount, expected.size());
    for (int i = 1; i <= s.lyricCount; ++i) {
        EXPECT_EQ(s.lyricText[i], expected[i - 1]) << i;
        EXPECT_EQ(s.lyricTick[i], 10 * i) << i;  // counted from the start of the words track
    }
}

TEST(Reader, HeaderFactsTempoMapAndSignatures) {
    Loaded l;
    loadInto(l, fixture("tags-and-lyrics"));
    const SongModel& s = l.song;
    EXPECT_EQ(s.trackCount, 3);
    EXPECT_EQ(s.panels.tracks, QStringLiteral(" 3"));
    EXPECT_EQ(s.division, 96);
    EXPECT_EQ(s.divisionHigh, 0);
    EXPECT_EQ(s.divisionLow, 96);
    EXPECT_EQ(s.panels.tempo, QStringLiteral("- - -"));
    ASSERT_EQ(s.tempoCount, 2);
    EXPECT_EQ(s.tempoTick[1], 0);
    EXPECT_EQ(s.tempoMicros[1], 500000);
    EXPECT_EQ(s.tempoBpm[1], 120);
    EXPECT_EQ(s.tempoTick[2], 96);
    EXPECT_EQ(s.tempoMicros[2], 461538);
    EXPECT_EQ(s.tempoBpm[2], 130);
    EXPECT_EQ(s.maxBpm, 130);
    EXPECT_EQ(s.timeSigNumerator, 4);
    EXPECT_EQ(s.timeSigDenominator, 4);
    EXPECT_EQ(s.panels.meter, QStringLiteral(" 4/4"));
    EXPECT_EQ(s.keyName, QStringLiteral("Eb"));
    EXPECT_EQ(s.keyMode, QStringLiteral("Major"));
    EXPECT_EQ(s.panels.key, QStringLiteral("Eb Major"));
}

TEST(Reader, SixteenthMeterMinorKeyAndNoLyrics) {
    Loaded l;
    loadInto(l, fixture("meter-minor"));
    EXPECT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_TRUE(l.reporter.calls.isEmpty());  // no lyrics, no message
    EXPECT_EQ(l.song.panels.meter, QStringLiteral(" 3/16"));
    EXPECT_EQ(l.song.timeSigDenominator, 16);
    EXPECT_EQ(l.song.panels.key, QStringLiteral("C Minor"));
    EXPECT_EQ(l.song.tempoBpm[1], 130);
    EXPECT_EQ(l.song.lyricCount, 0);
    EXPECT_TRUE(l.song.lyricText[1].isEmpty());
    EXPECT_EQ(l.song.lyricSource, LyricSource::None);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("No Words Here"));
}

TEST(Reader, KeyNamesBySharpsAndFlats) {
    EXPECT_EQ(KeyName(-3, false), QStringLiteral("Eb"));
    EXPECT_EQ(KeyName(-3, true), QStringLiteral("C"));
    EXPECT_EQ(KeyName(7, false), QStringLiteral("C#"));
    EXPECT_EQ(KeyName(7, true), QStringLiteral("A#"));
    EXPECT_EQ(KeyName(-7, false), QStringLiteral("Cb"));
    EXPECT_EQ(KeyName(-7, true), QStringLiteral("Ab"));
    EXPECT_EQ(KeyName(0, true), QStringLiteral("A"));
    EXPECT_TRUE(KeyName(8, false).isEmpty());
}

TEST(Reader, KeyOutsideTheTableKeepsTheNameButSetsTheMode) {
    SmfBuilder b;
    b.beginTrack();
    b.meta(0, 0x59, hex("0200"));  // D major
    b.meta(0, 0x59, hex("0901"));  // nine sharps: no name
    b.endTrack();
    for (int i = 0; i < 2; ++i) { b.beginTrack(); b.endTrack(); }
    SongModel s;
    LoadSongData(b.data(), QStringLiteral("k.mid"), s);
    EXPECT_EQ(s.panels.key, QStringLiteral("D Minor"));
}

TEST(Reader, NoTempoEventMeansHundredTwenty) {
    Loaded l;
    loadInto(l, fixture("no-tempo"));
    EXPECT_EQ(l.song.tempoCount, 0);
    EXPECT_EQ(l.song.tempoBpm[1], 120);
    EXPECT_EQ(l.song.tempoBpm[2], 0);
    EXPECT_EQ(l.song.lyricCount, 2);
    EXPECT_DOUBLE_EQ(TicksToMs(l.song, 960), 1000.0);
}

TEST(Reader, ThirdChunkWhenTheSecondHasNoText) {
    Loaded l;
    loadInto(l, fixture("third-track-lyrics"));
    ASSERT_EQ(l.song.lyricCount, 2);
    EXPECT_EQ(l.song.lyricText[1], QStringLiteral("\\Third "));
    EXPECT_EQ(l.song.lyricTick[1], 480);
    EXPECT_EQ(l.song.lyricTick[2], 720);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Third Track"));
}

TEST(Reader, EmptyFirstLyricMovesOnToTheThirdChunk) {
    Loaded l;
    loadInto(l, fixture("empty-first-lyric"));
    ASSERT_EQ(l.song.lyricCount, 2);
    EXPECT_EQ(l.song.lyricText[1], QStringLiteral("fresh "));
    EXPECT_EQ(l.song.lyricText[2], QStringLiteral("words"));
    EXPECT_EQ(l.song.lyricTick[2], 400);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("First Title\r\nSecond Title"));
}

TEST(Reader, NotAMidiFile) {
    Loaded l;
    loadInto(l, fixture("not-midi"));
    EXPECT_EQ(l.result.status, LoadStatus::NotMidiFile);
    EXPECT_EQ(l.reporter.calls,
              QStringList({QStringLiteral("warning:ERROR! This is not a MIDI File"), QStringLiteral("close:") + fixture("not-midi")}));
    EXPECT_EQ(l.song.trackCount, 0);
    EXPECT_EQ(l.song.tempoCount, 0);
}

TEST(Reader, KaraokeWarningWhenNothingCanBeShown) {
    for (const char* name : {"format0-no-lyrics", "two-tracks-no-lyrics"}) {
        Loaded l;
        loadInto(l, fixture(name));
        EXPECT_EQ(l.result.status, LoadStatus::NotKaraokeFile) << name;
        EXPECT_EQ(l.reporter.calls,
                  QStringList(QStringLiteral("warning:Warning! This file does not look like a karaoke file\r\n(lyrics would not be shown)")))
            << name;
        EXPECT_EQ(l.song.lyricCount, 0);
    }
}

TEST(Reader, MissingFileIsAReadFailure) {
    Loaded l;
    loadInto(l, QStringLiteral("/nonexistent/song.kar"));
    EXPECT_EQ(l.result.status, LoadStatus::ReadFailed);
    EXPECT_TRUE(l.reporter.calls.isEmpty());
}

TEST(Reader, RunningStatusInTheWordsTrack) {
    Loaded l;
    loadInto(l, fixture("running-status"));
    ASSERT_EQ(l.song.lyricCount, 2);
    EXPECT_EQ(l.song.lyricText[1], QStringLiteral("sung "));
    EXPECT_EQ(l.song.lyricTick[1], 0);
    EXPECT_EQ(l.song.lyricTick[2], 100);
}

TEST(Reader, RunningStatusBytesFromThePart) {
    // 90 3C 64, then 3E 64 under running status: two events, then the lyric.
    SmfBuilder b;
    b.beginTrack(); b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64});
    b.meta(5, 0x01, "after");
    b.endTrack();
    b.beginTrack(); b.endTrack();
    SongModel s;
    ASSERT_EQ(LoadSongData(b.data(), "r.mid", s).status, LoadStatus::Loaded);
    ASSERT_EQ(s.lyricCount, 1);
    EXPECT_EQ(s.lyricText[1], QStringLiteral("after"));
    EXPECT_EQ(s.lyricTick[1], 5);
}

TEST(Reader, CapacityOfTheTempoMap) {
    for (int count : {1000, 1001}) {
        SmfBuilder b;
        b.beginTrack();
        for (int i = 0; i < count; ++i) b.tempo(10, 400000 + static_cast<quint32>(i));
        b.endTrack();
        for (int i = 0; i < 2; ++i) { b.beginTrack(); b.endTrack(); }
        SongModel s;
        LoadResult r = LoadSongData(b.data(), "t.mid", s);
        // The old table held 1000: a song with more still loads, every change kept.
        EXPECT_EQ(r.status, LoadStatus::Loaded);
        EXPECT_EQ(s.tempoCount, count);
        EXPECT_EQ(s.tempoTick[count], count * 10);
    }
}

TEST(Reader, CapacityOfTheLyricList) {
    for (int count : {5000, 5001}) {
        SmfBuilder b;
        b.beginTrack(); b.endTrack();
        b.beginTrack();
        for (int i = 0; i < count; ++i) b.meta(1, 0x01, "la ");
        b.endTrack();
        b.beginTrack(); b.endTrack();
        SongModel s;
        LoadResult r = LoadSongData(b.data(), "l.mid", s);
        EXPECT_EQ(r.status, LoadStatus::Loaded) << count;
        EXPECT_EQ(s.lyricCount, count);
        EXPECT_EQ(s.lyricTick[count], count);
    }
}

TEST(Reader, TickBeyondThirtyTwoBitsIsAnOverflow) {
    SmfBuilder b;
    b.beginTrack(); b.endTrack();
    b.beginTrack();
    for (int i = 0; i < 9; ++i) b.meta(0x0FFFFFFF, 0x06, "marker");
    b.meta(0, 0x01, "late");
    b.endTrack();
    b.beginTrack(); b.endTrack();
    SongModel s;
    LoadResult r = LoadSongData(b.data(), "o.mid", s);
    EXPECT_EQ(r.status, LoadStatus::ReadFailed);
    EXPECT_EQ(r.message, QStringLiteral("Overflow"));
}

TEST(Reader, ModelClearEmptiesEverything) {
    Loaded l;
    loadInto(l, fixture("tags-and-lyrics"));
    l.song.clear();
    EXPECT_EQ(l.song.lyricCount, 0);
    EXPECT_TRUE(l.song.lyricText[1].isEmpty());
    EXPECT_EQ(l.song.tempoBpm[1], 0);
    EXPECT_TRUE(l.song.songTitle.isEmpty());
    EXPECT_TRUE(l.song.panels.key.isNull());
}

TEST(TitleScan, TitleLinesTrimmedAndUnconverted) {
    SmfBuilder b;
    b.beginTrack();
    b.meta(0, 0x01, "@T  First ");
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TCaf\x82");
    b.meta(0, 0x01, "la");
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "@TThird chunk is read too");
    b.meta(0, 0x01, "@IInfo is not kept");
    b.endTrack();
    SongModel s;
    EXPECT_EQ(ScanSongTitlesData(b.data(), s).status, LoadStatus::Loaded);
    EXPECT_EQ(s.titleLines[1], QStringLiteral("First"));
    EXPECT_EQ(s.titleLines[2], QStringLiteral("Caf‚"));  // the byte as stored, not the table's é
    EXPECT_EQ(s.titleLines[3], QStringLiteral("Third chunk is read too"));
    EXPECT_TRUE(s.titleLines[4].isEmpty());
    EXPECT_EQ(s.lyricCount, 0);
    EXPECT_TRUE(s.songTitle.isEmpty());
    EXPECT_EQ(s.tempoCount, 0);
}

TEST(TitleScan, BadFilesAndTheLimitOfTenLines) {
    SongModel s;
    ScanSongTitles(fixture("not-midi"), s);
    EXPECT_EQ(s.titleLines[1], QStringLiteral("Non è un file MIDI"));
    s.clear();
    ScanSongTitles(fixture("format0-no-lyrics"), s);
    EXPECT_EQ(s.titleLines[1], QStringLiteral("Non è un file KARAOKE"));
    // Files the reader sings are scanned like any other, whatever their format.
    s.clear();
    EXPECT_EQ(ScanSongTitles(fixture("format0-lyric-events"), s).status, LoadStatus::Loaded);
    EXPECT_EQ(s.titleLines[1], QStringLiteral("Format Zero Song"));
    s.clear();
    EXPECT_EQ(ScanSongTitles(fixture("two-tracks-text"), s).status, LoadStatus::Loaded);
    EXPECT_EQ(s.titleLines[1], QStringLiteral("Two Tracks"));

    SmfBuilder b;
    b.beginTrack();
    for (int i = 1; i <= 12; ++i) b.meta(0, 0x01, "@TLine " + QByteArray::number(i));
    b.endTrack();
    for (int i = 0; i < 2; ++i) { b.beginTrack(); b.endTrack(); }
    s.clear();
    EXPECT_EQ(ScanSongTitlesData(b.data(), s).status, LoadStatus::Loaded);
    EXPECT_EQ(s.titleLines[10], QStringLiteral("Line 10"));
}

namespace {

// A format 1 song: a conductor track, a track of words, and nothing else.
QByteArray twoTrackSong(const QByteArray& conductor, const QByteArray& words) {
    QByteArray out("MThd");
    out += QByteArray::fromHex("00000006000100020060");
    for (QByteArray t : {conductor, words}) {
        cantavo::test::meta(t, 0, 0x2F, {});
        out += "MTrk";
        const auto n = static_cast<quint32>(t.size());
        out += static_cast<char>(n >> 24);
        out += static_cast<char>(n >> 16);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n);
        out += t;
    }
    return out;
}

QByteArray lyricEvents() {
    QByteArray w;
    for (const char* s : {"/Hel-", "lo ", "there"}) cantavo::test::meta(w, 96, 0x05, s);
    return w;
}

}  // namespace

TEST(Titles, TagsThenTheFirstTracksNameThenTheFileName) {
    QByteArray named;
    cantavo::test::meta(named, 0, 0x03, "  My  Sequence ");
    SongModel byName;
    ASSERT_EQ(LoadSongData(twoTrackSong(named, lyricEvents()), QStringLiteral("/songs/some file.mid"), byName).status, LoadStatus::Loaded);
    EXPECT_EQ(byName.songTitle, QStringLiteral("My Sequence"));
    EXPECT_EQ(byName.panels.title, QStringLiteral("My Sequence"));
    EXPECT_EQ(byName.titleSource, TitleSource::TrackName);

    SongModel byFile;
    ASSERT_EQ(LoadSongData(twoTrackSong({}, lyricEvents()), QStringLiteral("/songs/Oh Danny.Boy.mid"), byFile).status, LoadStatus::Loaded);
    EXPECT_EQ(byFile.songTitle, QStringLiteral("Oh Danny.Boy"));
    EXPECT_EQ(byFile.titleSource, TitleSource::FileName);

    QByteArray tagged = named;
    cantavo::test::meta(tagged, 0, 0x01, "@TReal Title");
    SongModel byTag;
    ASSERT_EQ(LoadSongData(twoTrackSong(tagged, lyricEvents()), QStringLiteral("x.mid"), byTag).status, LoadStatus::Loaded);
    EXPECT_EQ(byTag.songTitle, QStringLiteral("Real Title"));
    EXPECT_EQ(byTag.titleSource, TitleSource::Tags);
}

TEST(Titles, NoFixedLimitsOnSyllablesAndTempoChanges) {
    const QByteArray big = cantavo::test::bigSong(5000, 20000, 1);
    SongModel m;
    ASSERT_EQ(LoadSongData(big, QStringLiteral("big.mid"), m).status, LoadStatus::Loaded);
    EXPECT_EQ(m.tempoCount, 5000);
    EXPECT_EQ(m.lyricCount, 20000);
    EXPECT_EQ(m.lyricText[20000], QStringLiteral("a-long "));
    EXPECT_EQ(m.tempoTick[5000], 5000 * 120);
    EXPECT_EQ(m.tempoTick[5001], 0) << "past the last change reads as 0";
}
