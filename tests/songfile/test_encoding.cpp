// Lyrics in every language a karaoke file is written in: each fixture holds a song's words
// in an old code page, and its score holds the same words as they must read.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

#include "chartable.h"
#include "helpers.h"
#include "songencoding.h"
#include "songreader.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

// The strings of a fixture's score, as written (UTF-8): the title, then every lyric.
QStringList scoreStrings(const char* name) {
    QFile f(QStringLiteral(CANTAVO_FIXTURE_SOURCE_DIR "/") + QString::fromLatin1(name) + QStringLiteral(".score"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text)) << name;
    QStringList out;
    static const QRegularExpression text(QStringLiteral("text \"(.*)\""));
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = text.match(line);
        if (m.hasMatch()) out << m.captured(1);
    }
    return out;
}

QStringList songStrings(const SongModel& m) {
    QStringList out{QStringLiteral("@T") + m.songTitle};
    for (int i = 1; i <= m.lyricCount; ++i) out << m.lyricText[i];
    return out;
}

}  // namespace

TEST(Encoding, EachCodePageIsFoundAndReadAsWritten) {
    const QList<QPair<const char*, const char*>> fixtures = {
        {"enc-cyrillic", "windows-1251"}, {"enc-greek", "windows-1253"},   {"enc-turkish", "windows-1254"},
        {"enc-hebrew", "windows-1255"},   {"enc-arabic", "windows-1256"},  {"enc-baltic", "windows-1257"},
        {"enc-central", "windows-1250"},  {"enc-vietnamese", "windows-1258"}, {"enc-thai", "windows-874"},
        {"enc-shiftjis", "Shift_JIS"},    {"enc-gbk", "GBK"},              {"enc-big5", "Big5"},
        {"enc-euckr", "EUC-KR"},         {"enc-vietnamese-decomposed", "windows-1258"},
    };
    for (const auto& [name, codePage] : fixtures) {
        SCOPED_TRACE(name);
        SongModel m;
        ASSERT_EQ(LoadSongFile(fixture(name), m).status, LoadStatus::Loaded);
        EXPECT_EQ(m.encoding, QString::fromLatin1(codePage));
        // Vietnamese keeps its tone marks as combining characters, as the code page stores them.
        const auto normal = [](QStringList l) {
            for (QString& s : l) s = s.normalized(QString::NormalizationForm_C);
            return l;
        };
        EXPECT_EQ(normal(songStrings(m)), normal(scoreStrings(name)));
    }
}

// Made as real files are made: a title of a few words in its own script over ASCII words;
// Western songs with a stray symbol, or with junk bytes in plain English words.
TEST(Encoding, ShortTitlesStraySymbolsAndJunk) {
    const QList<QPair<const char*, const char*>> titles = {
        {"title-thai", "windows-874"},      {"title-vietnamese", "windows-1258"}, {"title-cyrillic", "windows-1251"},
        {"title-greek", "windows-1253"},    {"title-hebrew", "windows-1255"},     {"title-arabic", "windows-1256"},
        {"title-turkish", "windows-1254"},  {"title-central", "windows-1250"},    {"title-baltic", "windows-1257"},
        {"title-japanese", "Shift_JIS"},    {"title-japanese-halfwidth", "Shift_JIS"},
        {"title-chinese", "GBK"},           {"title-korean", "EUC-KR"},
    };
    for (const auto& [name, codePage] : titles) {
        SCOPED_TRACE(name);
        SongModel m;
        ASSERT_EQ(LoadSongFile(fixture(name), m).status, LoadStatus::Loaded);
        EXPECT_EQ(m.encoding, QString::fromLatin1(codePage));
        EXPECT_EQ(m.songTitle.section(QStringLiteral("\r\n"), 0, 0).normalized(QString::NormalizationForm_C),
                  scoreStrings(name).filter(QRegularExpression(QStringLiteral("^@T"))).value(0).mid(2).normalized(QString::NormalizationForm_C));
    }
    for (const char* western : {"western-stray-symbols", "english-junk-bytes"}) {
        SongModel m;
        ASSERT_EQ(LoadSongFile(fixture(western), m).status, LoadStatus::Loaded);
        EXPECT_EQ(m.encoding, QStringLiteral("character-table")) << western;
    }
    // How sure: the detector decided the Thai title; a stray symbol is too little to go on;
    // DOS accents are DOS accents, whatever the detector takes them for.
    SongModel thai, stray, dos;
    LoadSongFile(fixture("title-thai"), thai);
    EXPECT_EQ(thai.encodingGuess.basis, QStringLiteral("detector"));
    EXPECT_EQ(thai.encodingGuess.detector, QStringLiteral("TIS-620"));
    LoadSongFile(fixture("western-stray-symbols"), stray);
    EXPECT_EQ(stray.encodingGuess.basis, QStringLiteral("too few 8-bit bytes"));
    EXPECT_EQ(stray.encodingGuess.eightBitBytes, 1) << "the lone \"©\" is in no word";
    LoadSongFile(demoSong("frere-jacques"), dos);
    EXPECT_EQ(dos.encodingGuess.basis, QStringLiteral("DOS letters"));
}

// Titles of a few characters over ASCII words, as karaoke files carry them: too short for
// the statistical detector, and each readable in the other double-byte code pages too.
TEST(Encoding, ShortDoubleByteTitlesKeepTheirLanguage) {
    const QList<QPair<const char*, QString>> titles = {
        {"GBK", QStringLiteral("月亮河")},      {"GBK", QStringLiteral("甜蜜蜜")},     {"GBK", QStringLiteral("朋友")},
        {"GBK", QStringLiteral("我的歌声里")},  {"GBK", QStringLiteral("小幸运")},
        {"EUC-KR", QStringLiteral("푸른 바다")}, {"EUC-KR", QStringLiteral("사랑해")},  {"EUC-KR", QStringLiteral("아리랑")},
        {"EUC-KR", QStringLiteral("봄날")},
        {"Shift_JIS", QStringLiteral("さくら")}, {"Shift_JIS", QStringLiteral("海の歌")}, {"Shift_JIS", QStringLiteral("ﾖﾙﾉｳﾐ")},
        {"Shift_JIS", QStringLiteral("カラオケ")},       {"GBK", QStringLiteral("朋友")},        {"GBK", QStringLiteral("小幸运")},
        // Titles of as few bytes in the single-byte scripts stay in them.
        {"windows-1251", QStringLiteral("Катюша")}, {"windows-1251", QStringLiteral("Мама")}, {"windows-1251", QStringLiteral("Ночь")},
        {"windows-1253", QStringLiteral("Αγάπη")},  {"windows-1253", QStringLiteral("Σαν")},  {"windows-1255", QStringLiteral("שיר אהבה")},
        {"windows-1256", QStringLiteral("حبيبي")},  {"windows-1256", QStringLiteral("قلبي")}, {"windows-874", QStringLiteral("รักเธอ")},
        {"windows-1251", QStringLiteral("Белые розы")},
    };
    for (const auto& [codePage, title] : titles) {
        SCOPED_TRACE(title.toStdString());
        QStringEncoder encoder(codePage);
        const QByteArray bytes = encoder.encode(title);
        ASSERT_FALSE(encoder.hasError());
        const QList<QByteArray> texts = {"@T" + bytes, "@TBand", "Sing ", "a ", "song ", "of ", "the ", "sea"};
        EncodingGuess guess;
        EXPECT_EQ(DetectSongEncoding(texts, &guess).codePage, QByteArray(codePage))
            << guess.basis.toStdString() << " " << guess.detector.toStdString() << " " << guess.veto.toStdString();
    }
}

TEST(Encoding, AReadingThatIsPlainlyNoTextIsVetoed) {
    EXPECT_TRUE(NotTextReason(QStringLiteral("ดาวบนฟ้า - Band")).isEmpty());
    EXPECT_TRUE(NotTextReason(QStringLiteral("Na\u0301ng, cafe\u0301")).isEmpty());
    EXPECT_EQ(NotTextReason(QStringLiteral("\u0E34ยมมบำ")), QStringLiteral("a combining mark on no letter"));
    EXPECT_EQ(NotTextReason(QStringLiteral("lo\u0648ve")), QStringLiteral("letters of two scripts in one word"));
    EXPECT_EQ(NotTextReason(QStringLiteral("he\u00B6art")), QStringLiteral("a symbol inside a word"));
    EXPECT_EQ(NotTextReason(QStringLiteral("a\u0001b")), QStringLiteral("a control character"));
    EXPECT_EQ(NotTextReason(QStringLiteral("a\uE000b")), QStringLiteral("a private-use character"));
    EXPECT_EQ(NotTextReason(QStringLiteral("Zo\u0102\u00AB caf\u201A")), QStringLiteral("8-bit characters in words that are mostly symbols"));
    EXPECT_TRUE(NotTextReason(QStringLiteral("\u201ETak\u201D, \u0142\u0105ka")).isEmpty()) << "quotes around Polish words";
    EXPECT_EQ(NotTextReason(QStringLiteral("ΕσΣΡ")), QStringLiteral("a capital after a small letter inside a word"));
    EXPECT_TRUE(NotTextReason(QStringLiteral("Η ΑΓΑΠΗ, Καλημέρα, ВКонтакте, iPhone")).isEmpty());
    EXPECT_EQ(NotTextReason(QStringLiteral("جًأغأغ")), QStringLiteral("a word's last mark inside a word"));
    EXPECT_TRUE(NotTextReason(QStringLiteral("شكراً جزيلاً")).isEmpty()) << "tanween at the end of words";
}

TEST(Encoding, WesternSongsReadExactlyAsBefore) {
    // Curly quotes and accents in Windows-1252: the character table, as always.
    SongModel m;
    ASSERT_EQ(LoadSongFile(fixture("enc-western-quotes"), m).status, LoadStatus::Loaded);
    EXPECT_EQ(m.encoding, QStringLiteral("character-table"));
    QStringEncoder toCp1252("windows-1252");
    QStringList expected;
    for (const QString& s : scoreStrings("enc-western-quotes")) expected << ConvertOemChars(toCp1252.encode(s));
    EXPECT_EQ(songStrings(m), expected);
    // The DOS accents of a French song, and plain English.
    for (const char* song : {"frere-jacques", "twinkle", "oh-susanna"}) {
        SongModel s;
        ASSERT_EQ(LoadSongFile(demoSong(song), s).status, LoadStatus::Loaded);
        EXPECT_EQ(s.encoding, QStringLiteral("character-table")) << song;
    }
    EXPECT_EQ(DetectSongEncoding({QByteArrayLiteral("plain words")}), SongEncoding{});
    EXPECT_EQ(DetectSongEncoding({QByteArrayLiteral("caf\xc3\xa9")}), SongEncoding{"UTF-8"});
}

TEST(Encoding, TheUsersChoiceOverridesTheDetector) {
    SongModel chosen;
    ASSERT_EQ(LoadSongFile(fixture("enc-central"), chosen, nullptr, QStringLiteral("windows-1252")).status, LoadStatus::Loaded);
    EXPECT_EQ(chosen.encoding, QStringLiteral("windows-1252"));
    EXPECT_TRUE(chosen.songTitle.startsWith(QStringLiteral("Ksi\u00ea\u00bfyc"))) << chosen.songTitle.toStdString();
    SongModel table;
    ASSERT_EQ(LoadSongFile(fixture("enc-cyrillic"), table, nullptr, QStringLiteral("character-table")).status, LoadStatus::Loaded);
    EXPECT_EQ(table.encoding, QStringLiteral("character-table"));
    for (const EncodingChoice& c : SongEncodingChoices()) EXPECT_EQ(SongEncoding::fromName(c.name).name(), c.name);
}
