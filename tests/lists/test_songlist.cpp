// List and compilation files, the catalogue of songs and the report, without a window.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli.h"
#include "engine.h"
#include "numbers.h"
#include "sequencer.h"
#include "smfbytes.h"
#include "songlist.h"
#include "songreader.h"
#include "testpaths.h"

namespace cantavo::test {
namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A karaoke song with the given title tags.
QByteArray songWithTitles(const QList<QByteArray>& titles) {
    SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    for (const QByteArray& t : titles) b.meta(0, 0x01, "@T" + t);
    b.meta(480, 0x01, "/la ");
    b.meta(480, 0x01, "la");
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 60, 90, 0x83, 0x60, 0x80, 60, 0});
    b.endTrack();
    return b.data();
}

TEST(SongList, LinesRoundTripWithCommasAndEncodings) {
    const QList<SongRow> rows{{QStringLiteral("a,b.kar"), QStringLiteral("03:05"), QStringLiteral("Title, with comma"),
                               QStringLiteral("Émile"), QStringLiteral("/songs/x y/")},
                              {QStringLiteral("c.kar"), QStringLiteral("00:40"), QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("/")}};
    const QByteArray bytes = ListFileBytes(rows);
    EXPECT_TRUE(bytes.startsWith("\"a,b.kar\",\"03:05\",\"Title, with comma\",\"\xc3\x89mile\",\"/songs/x y/\"\r\n"));
    EXPECT_TRUE(bytes.endsWith("\"/\"\r\n"));
    EXPECT_EQ(ParseListText(DecodeTextFile(bytes)), rows);
    // A list written by an older program in Windows-1252, with blanks around the fields.
    const QList<SongRow> old = ParseListText(DecodeTextFile("\"caf\xe9.kar\" , \"01:00\",\"Caf\xe9\",\"-\",\"C:/K/\"\r\n"));
    ASSERT_EQ(old.size(), 1);
    EXPECT_EQ(old[0].title, QStringLiteral("Café"));
    // A line that cannot be read is named, and the rows after it are still read.
    QStringList problems;
    EXPECT_EQ(ParseListText(QStringLiteral("\"a\",\"b\",\"c\",\"d\",\"e\"\r\nbroken line\r\n\"f\",\"g\",\"h\",\"i\",\"j\"\r\n"), &problems).size(), 2);
    EXPECT_EQ(problems, QStringList{QStringLiteral("line 2 cannot be read")});
    problems.clear();
    EXPECT_TRUE(ReadListFile(QStringLiteral("/no/such/list.lst"), &problems).isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("/no/such/list.lst: No such file"))) << problems[0].toStdString();
}

// Lists with hostile names, made at random: what is written reads back row for row, and what
// cannot be written is named instead of breaking the rows after it.
TEST(SongList, AListReadAndSavedAgainKeepsEveryRow) {
    const QString alphabet = QStringLiteral("ab ,.'\"\n\r\t\\/éЖ中\uFFFD-_()") + QChar(0x7F);
    quint32 seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    const auto text = [&](int most) {
        QString t;
        for (int n = static_cast<int>(next() % static_cast<quint32>(most)); n > 0; --n) t += alphabet[static_cast<int>(next() % alphabet.size())];
        return t;
    };
    for (int round = 0; round < 200; ++round) {
        QList<SongRow> rows;
        for (int r = static_cast<int>(next() % 8); r >= 0; --r)
            rows << SongRow{text(12) + QStringLiteral(".kar"), QStringLiteral("01:00"), text(10), text(6), QStringLiteral("/") + text(8) + QStringLiteral("/")};
        QStringList leftOut;
        const QByteArray bytes = ListFileBytes(rows, &leftOut);
        QList<SongRow> fitting;
        for (const SongRow& r : rows) {
            bool fits = FitsInList(r.fullPath());
            for (const QString& f : {r.title, r.author})
                fits = fits && !f.contains(QLatin1Char('"')) && std::none_of(f.begin(), f.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
            if (fits) fitting << r;
        }
        QStringList problems;
        const QList<SongRow> back = ParseListText(DecodeTextFile(bytes), &problems);
        ASSERT_EQ(back, fitting) << "round " << round;
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(leftOut.size() + fitting.size(), rows.size());
        // And once more: read and saved again, nothing changes.
        EXPECT_EQ(ListFileBytes(back), bytes);
    }
    EXPECT_EQ(ListNameProblem(QStringLiteral("/a/b\nc.kar")), QStringLiteral("a line break in its name cannot be kept in a list"));
    EXPECT_EQ(ListNameProblem(QStringLiteral("/a/\"b\".kar")), QStringLiteral("a double quote in its name cannot be kept in a list"));
    EXPECT_TRUE(ListNameProblem(QStringLiteral("/a/b\uFFFD.kar")).startsWith(QStringLiteral("its name is not valid UTF-8")));
    EXPECT_TRUE(ListNameProblem(QStringLiteral("/a/Ünïcödé, too.kar")).isEmpty());
}

TEST(SongList, CatalogueRowsAsTheMainWindowShowsTheSongs) {
    QTemporaryDir dir;
    const QString quoted = dir.filePath(QStringLiteral("quoted.kar"));
    writeBytes(quoted, songWithTitles({"The \"Best\" Song", "Ann \"A\" Author"}));
    std::optional<SongRow> row = CatalogueSong(quoted);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title, QStringLiteral("The 'Best' Song"));
    EXPECT_EQ(row->author, QStringLiteral("Ann 'A' Author"));
    EXPECT_EQ(row->fileName, QStringLiteral("quoted.kar"));
    EXPECT_EQ(row->path, dir.path() + QLatin1Char('/'));
    // No title tag: the song's first track name or its file name, and no author.
    const QString untitled = dir.filePath(QStringLiteral("Untitled Song.kar"));
    writeBytes(untitled, songWithTitles({}));
    row = CatalogueSong(untitled);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->author, QStringLiteral("-"));
    SongModel song;
    LoadSongFile(untitled, song);
    EXPECT_EQ(row->title, song.songTitle.split(QStringLiteral("\r\n")).first());
    // Sung files of any format have their titles; only files without words are "not karaoke".
    EXPECT_EQ(CatalogueSong(fixture("format0-lyric-events"))->title, QStringLiteral("Format Zero Song"));
    EXPECT_EQ(CatalogueSong(fixture("format0-no-lyrics"))->title, QStringLiteral("Non è un file KARAOKE"));
    QString why;
    EXPECT_FALSE(CatalogueSong(fixture("not-midi"), &why));
    EXPECT_EQ(why, QStringLiteral("not a MIDI file"));
    EXPECT_FALSE(CatalogueSong(dir.filePath(QStringLiteral("missing.kar")), &why));
}

TEST(SongList, LengthIsTheSequencersWithoutASoundDevice) {
    std::unique_ptr<SynthHost> host = offlineHost();
    for (const char* name : {"frere-jacques", "oh-susanna", "twinkle"}) {
        Sequencer sequencer(*host);
        QString error;
        ASSERT_TRUE(sequencer.open(demoSong(name), &error)) << error.toStdString();
        EXPECT_EQ(CatalogueSong(demoSong(name))->length, MinutesSeconds(sequencer.lengthMs())) << name;
    }
}

TEST(SongList, FoldersAreSearchedDeepInOrderAndBadFilesLeftOut) {
    QTemporaryDir dir;
    QDir root(dir.path());
    for (const char* sub : {"b", "a", "a/deeper"}) root.mkpath(QString::fromLatin1(sub));
    const QByteArray song = songWithTitles({"Song"});
    for (const char* name : {"b/Zed.KAR", "b/alpha.mid", "a/x.midi", "a/deeper/y.kar", "a/notes.txt", "a/say \"hi\".kar"})
        writeBytes(root.filePath(QString::fromLatin1(name)), song);
    writeBytes(root.filePath(QStringLiteral("a/fake.kar")), "not a song at all");
    const QStringList found = FindKaraokeFiles({dir.path()});
    QStringList relative;
    for (const QString& f : found) relative << root.relativeFilePath(f);
    EXPECT_EQ(relative, (QStringList{QStringLiteral("a/fake.kar"), QStringLiteral("a/say \"hi\".kar"), QStringLiteral("a/x.midi"),
                                     QStringLiteral("a/deeper/y.kar"), QStringLiteral("b/alpha.mid"), QStringLiteral("b/Zed.KAR")}));
    QStringList leftOut;
    const QList<SongRow> rows = CatalogueFolders({dir.path()}, &leftOut);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].fileName, QStringLiteral("x.midi"));
    EXPECT_EQ(rows[1].path, root.filePath(QStringLiteral("a/deeper/")));
    ASSERT_EQ(leftOut.size(), 2);
    EXPECT_TRUE(leftOut[0].endsWith(QStringLiteral("fake.kar: not a MIDI file")));
    EXPECT_TRUE(leftOut[1].contains(QStringLiteral("double quote")));
    // A scan cancelled before it starts finds nothing.
    std::atomic_bool cancel{true};
    EXPECT_TRUE(CatalogueFolders({dir.path()}, nullptr, &cancel).isEmpty());
}

TEST(SongList, ReportGroupsByFolderInPrintZones) {
    const QList<SongRow> rows{
        {QStringLiteral("thirteen1.kar"), QStringLiteral("03:10"), QStringLiteral("Title A"), QStringLiteral("Author A"), QStringLiteral("/k/one/")},
        {QStringLiteral("twenty_characters.kr"), QStringLiteral("12:00"), QStringLiteral("Title B"), QStringLiteral("-"), QStringLiteral("/k/one/")},
        {QStringLiteral("fourteen_c.kar"), QStringLiteral("00:59"), QStringLiteral("Title C"), QStringLiteral("Author C"), QString()},
        {QStringLiteral("b.mid"), QStringLiteral("01:00"), QStringLiteral("Title D"), QStringLiteral("Author D"), QStringLiteral("/k/Two/")},
        {QStringLiteral("c.mid"), QStringLiteral("01:01"), QStringLiteral("Title E"), QStringLiteral("Author E"), QStringLiteral("/k/one/")},
    };
    ASSERT_EQ(rows[0].fileName.size(), 13);
    ASSERT_EQ(rows[1].fileName.size(), 20);
    ASSERT_EQ(rows[2].fileName.size(), 14);
    const QByteArray expected =
        "-================================================-\r\n"
        "-                                                -\r\n"
        "-       List of Songs in Karaoke Format          -\r\n"
        "-                                                -\r\n"
        "-================================================-\r\n"
        "\r\n"
        "In /K/ONE/\r\n"
        "\r\n"
        "THIRTEEN1.KAR Title A\r\n"
        "03:10         Author A\r\n"
        "\r\n"
        "TWENTY_CHARACTERS.KR        Title B\r\n"
        "12:00         -\r\n"
        "\r\n"
        "FOURTEEN_C.KAR              Title C\r\n"
        "00:59         Author C\r\n"
        "\r\n"
        "In /K/TWO/\r\n"
        "\r\n"
        "B.MID         Title D\r\n"
        "01:00         Author D\r\n"
        "\r\n"
        "In /K/ONE/\r\n"
        "\r\n"
        "C.MID         Title E\r\n"
        "01:01         Author E\r\n"
        "\r\n"
        "-================================================-\r\n"
        "  This list has been automatically generated by   \r\n"
        "       Cantavo! 3.0 (c) 1997 the Cantavo! karaoke player\r\n"
        "           at 21:05:09 on 03-07-2027\r\n";
    EXPECT_EQ(ReportBytes(rows, QDateTime(QDate(2027, 3, 7), QTime(21, 5, 9))), expected);
}

TEST(SongList, CompilationEntriesCountLinesEndedByTheirLineEnd) {
    EXPECT_EQ(CompilationEntries(QStringLiteral("KARAOKE /k/a.kar\r\nPAUSE 3\r\n")),
              (QStringList{QStringLiteral("KARAOKE /k/a.kar"), QStringLiteral("PAUSE 3")}));
    EXPECT_EQ(CompilationEntries(QStringLiteral("KARAOKE /k/a.kar\r\nPAUSE 3")), QStringList(QStringLiteral("KARAOKE /k/a.kar")));
    EXPECT_EQ(CompilationEntries(QStringLiteral("COMMENT: one\nCOMMENT: two\n")).size(), 2);
    EXPECT_TRUE(CompilationEntries(QString()).isEmpty());
    EXPECT_EQ(CompilationFileBytes(QStringLiteral("PAUSE 3\r\n")), QByteArray("PAUSE 3\r\n\r\n"));
}

TEST(SongList, CatalogueAndReportFromTheCommandLine) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("all.lst"));
    const QString songs = QFileInfo(demoSong("twinkle")).absolutePath();
    const QString fixtures = QFileInfo(fixture("golden")).absolutePath();
    CliRun r = run({QStringLiteral("--catalogue"), songs, fixtures, QStringLiteral("-o"), list});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList leftOut;
    EXPECT_EQ(fileBytes(list), ListFileBytes(CatalogueFolders({songs, fixtures}, &leftOut)));
    EXPECT_TRUE(r.err.contains(QStringLiteral("not-midi.mid: not a MIDI file")));
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), leftOut.size());

    const QString report = dir.filePath(QStringLiteral("report.txt"));
    r = run({QStringLiteral("--report"), list, QStringLiteral("-o"), report});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray written = fileBytes(report);
    const QByteArray expected = ReportBytes(ReadListFile(list), QDateTime::currentDateTime());
    // All but the time line.
    EXPECT_EQ(written.left(written.lastIndexOf("           at ")), expected.left(expected.lastIndexOf("           at ")));

    // Nothing to write: a non-zero status and no file.
    QDir(dir.path()).mkdir(QStringLiteral("empty"));
    const QString none = dir.filePath(QStringLiteral("none.lst"));
    r = run({QStringLiteral("--catalogue"), dir.filePath(QStringLiteral("empty")), QStringLiteral("-o"), none});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(QFile::exists(none));
    EXPECT_EQ(run({QStringLiteral("--report"), none, QStringLiteral("-o"), report}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--catalogue"), songs}).status, 2) << "-o is needed";
}

TEST(SongList, FuzzRegressionsReadSafely) {
    const QDir dir(QStringLiteral(CANTAVO_LIST_REGRESSIONS));
    for (const QString& name : dir.entryList(QDir::Files)) {
        const QString text = DecodeTextFile(fileBytes(dir.filePath(name)));
        const QList<SongRow> rows = ParseListText(text);
        ReportBytes(rows, QDateTime::currentDateTime());
        CompilationEntries(text);
    }
}

}  // namespace
}  // namespace cantavo::test
