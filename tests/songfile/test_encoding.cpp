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
        {"enc-euckr", "EUC-KR"},
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
