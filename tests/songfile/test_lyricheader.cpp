// Thai karaoke files whose words are one text event of base64 zlib XML.
#include <gtest/gtest.h>

#include <zlib.h>

#include "helpers.h"
#include "lyricheader.h"
#include "songfacts.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

// The event a Thai editor writes for `xml` (given as the editor's bytes).
QByteArray headerEvent(const QByteArray& xml, const char* word = "LyrHdr1") {
    uLongf size = compressBound(static_cast<uLong>(xml.size()));
    QByteArray packed(static_cast<qsizetype>(size), '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(xml.constData()), static_cast<uLong>(xml.size()));
    packed.resize(static_cast<qsizetype>(size));
    return QByteArray(word) + packed.toBase64();
}

}  // namespace

TEST(LyricHeader, AThaiEditorsSongReadsLineByLineAndWordByWord) {
    Loaded l;
    loadInto(l, fixture("thai-lyric-header"));
    const SongModel& s = l.song;
    ASSERT_EQ(l.result.status, LoadStatus::Loaded) << l.result.message.toStdString();
    EXPECT_TRUE(l.reporter.calls.isEmpty()) << l.reporter.calls.join(' ').toStdString();
    EXPECT_EQ(s.lyricSource, LyricSource::LyricHeader);
    EXPECT_EQ(s.titleSource, TitleSource::LyricHeader);
    EXPECT_EQ(JoinedTitle(s.songTitle), QStringLiteral("ฝนตก - วงของเรา"));
    // "@INTRO" and "@SOLO" mark parts of the song: they are no words.
    const QStringList words{QStringLiteral("/ฝน"), QStringLiteral("ตก"), QStringLiteral("ที่"), QStringLiteral("บ้าน"),
                            QStringLiteral("/ดาว"), QStringLiteral("บน"), QStringLiteral("ฟ้า"),
                            QStringLiteral("/ร้อง"), QStringLiteral("เพลง"), QStringLiteral("ด้วย"), QStringLiteral("กัน")};
    const QList<int> times{96, 120, 144, 168, 192, 216, 240, 336, 360, 384, 408};
    ASSERT_EQ(s.lyricCount, words.size());
    for (int i = 1; i <= s.lyricCount; ++i) {
        EXPECT_EQ(s.lyricText[i], words[i - 1]) << i;
        EXPECT_EQ(s.lyricTick[i], times[i - 1] * 480 / 24) << i;
    }
    EXPECT_TRUE(s.lyricsNote.isEmpty());
}

TEST(LyricHeader, ADamagedEventLeavesTheSongAsItWasAndSaysWhy) {
    for (const auto& [name, why] : {std::pair{"thai-lyric-header-cut", "its zlib stream is cut off"},
                                    std::pair{"thai-lyric-header-bad-zlib", "its zlib stream is damaged"}}) {
        Loaded l;
        loadInto(l, fixture(name));
        const SongModel& s = l.song;
        EXPECT_EQ(s.lyricCount, 0) << name << ": no base64 shown as a syllable";
        EXPECT_EQ(s.songTitle, QStringLiteral("untitled")) << name;
        EXPECT_EQ(s.lyricsNote, QStringLiteral("The lyrics stored by a Thai karaoke editor could not be read: ") + QString::fromLatin1(why)) << name;
    }
    EXPECT_EQ(ReadLyricHeader("LyrHdr1eJz*%!FAAA", 480).problem, QStringLiteral("its base64 text is damaged"));
    EXPECT_EQ(ReadLyricHeader(headerEvent("<SONG_LYRIC><LYRIC><LINE><WORD>"), 480).problem.left(24), QStringLiteral("its XML cannot be read ("));
    EXPECT_EQ(ReadLyricHeader(headerEvent("<SONG_LYRIC><LYRIC/></SONG_LYRIC>"), 480).problem, QStringLiteral("it holds no words to sing"));
    // A stream that unpacks to far more than any lyrics is refused, not held.
    EXPECT_EQ(ReadLyricHeader(headerEvent(QByteArray(20 << 20, ' ')), 480).problem, QStringLiteral("its zlib stream unpacks to more than lyrics can be"));
}

TEST(LyricHeader, HeaderWordsTimesAndEncodings) {
    EXPECT_TRUE(IsLyricHeader("LyrHdr1eJz"));
    EXPECT_TRUE(IsLyricHeader("KLyrHdr12eJz"));
    EXPECT_FALSE(IsLyricHeader("LyrHdr"));
    EXPECT_FALSE(IsLyricHeader("LyrHdrX"));
    EXPECT_FALSE(IsLyricHeader("\\LyrHdr1 is a word"));
    // Already UTF-8, ticks as they stand without MIDI_TIME_24, the other header word.
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SONG_LYRIC><INFO><TITLE>Title &amp; more</TITLE></INFO>"
                           "<LYRIC><LINE><TIME>10</TIME><WORD><TIME>10</TIME><TEXT>ดาว</TEXT><VOCAL/></WORD>"
                           "<WORD><TIME>70</TIME><TEXT>บน</TEXT></WORD></LINE></LYRIC></SONG_LYRIC>";
    const LyricHeader h = ReadLyricHeader(headerEvent(xml, "KLyrHdr1"), 96);
    ASSERT_TRUE(h.problem.isEmpty()) << h.problem.toStdString();
    EXPECT_EQ(h.title, QStringLiteral("Title & more"));
    ASSERT_EQ(h.lines.size(), 1);
    ASSERT_EQ(h.lines[0].size(), 2);
    EXPECT_EQ(h.lines[0][0].text, QStringLiteral("ดาว"));
    EXPECT_EQ(h.lines[0][1].tick, 70);
}
