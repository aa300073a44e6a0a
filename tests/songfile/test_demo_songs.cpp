#include <gtest/gtest.h>

#include <QFile>

#include "helpers.h"
#include "songfacts.h"
#include "tempomap.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

struct Demo {
    const char* file;
    const char* title;
    const char* meter;
    const char* key;
};

const Demo kDemos[] = {
    {"twinkle", "Twinkle, Twinkle, Little Star - Traditional", " 4/4", "D Major"},
    {"frere-jacques", "Frère Jacques - Chanson traditionnelle", " 4/4", "F Major"},
    {"oh-susanna", "Oh! Susanna - Stephen Foster", " 2/4", "Eb Major"},
};

}  // namespace

TEST(DemoSongs, ReadAsKaraokeFilesWithEverythingTheyCarry) {
    for (const Demo& d : kDemos) {
        SCOPED_TRACE(d.file);
        Loaded l;
        loadInto(l, demoSong(d.file));
        const SongModel& s = l.song;
        ASSERT_EQ(l.result.status, LoadStatus::Loaded) << l.result.message.toStdString();
        EXPECT_TRUE(l.reporter.calls.isEmpty());
        EXPECT_EQ(JoinedTitle(s.songTitle), QString::fromUtf8(d.title));
        EXPECT_TRUE(s.songInfo.startsWith(QStringLiteral("\r\n")));
        EXPECT_GE(s.trackCount, 6);
        EXPECT_EQ(s.panels.meter, QString::fromLatin1(d.meter));
        EXPECT_EQ(s.panels.key, QString::fromLatin1(d.key));
        EXPECT_EQ(s.tempoCount, 2);
        EXPECT_NE(s.tempoBpm[1], s.tempoBpm[2]);
        EXPECT_EQ(s.lyricSource, LyricSource::SoftKaraokeText);
        EXPECT_GT(s.lyricCount, 20);
        int pages = 0, lines = 0;
        for (int i = 1; i <= s.lyricCount; ++i) {
            const QString& t = s.lyricText[i];
            pages += t.startsWith(QLatin1Char('\\'));
            lines += t.startsWith(QLatin1Char('/'));
            EXPECT_FALSE(t.endsWith(QLatin1Char('-')) && !t.endsWith(QStringLiteral("z-"))) << t.toStdString();
            if (i > 1) {
                EXPECT_GE(s.lyricTick[i], s.lyricTick[i - 1]);
            }
        }
        EXPECT_GE(pages, 3);
        EXPECT_GE(lines, 3);
        const double ms = TicksToMs(s, s.lastEventTick);
        EXPECT_GT(ms, 15000);
        EXPECT_LT(ms, 120000);
    }
}

TEST(DemoSongs, FrereJacquesKeepsItsAccentsAndItsRealHyphen) {
    Loaded l;
    loadInto(l, demoSong("frere-jacques"));
    EXPECT_EQ(l.song.lyricText[1], QStringLiteral("\\Frè"));
    QString all;
    for (int i = 1; i <= l.song.lyricCount; ++i) all += l.song.lyricText[i];
    EXPECT_TRUE(all.contains(QStringLiteral("Dormez-vous ?"))) << all.toStdString();
}

TEST(DemoSongs, TheIntroTuneIsASongToo) {
    Loaded l;
    loadInto(l, QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo.mid"));
    EXPECT_EQ(l.result.status, LoadStatus::Loaded);
    EXPECT_EQ(l.song.songTitle, QStringLiteral("Cantavo!"));
    EXPECT_EQ(l.song.panels.key, QStringLiteral("G Major"));
    EXPECT_EQ(l.song.lyricCount, 0);
}

// The generator's bytes for a small score, byte for byte: header, running status, the
// note-off before the note-on at the same tick, the meta events and their lengths.
TEST(Generator, GoldenBytes) {
    QFile f(fixture("golden"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = hex(
        "4d546864" "00000006" "0001" "0003" "0060"
        "4d54726b" "0000000b" "00ff510307a120" "00ff2f00"
        "4d54726b" "0000000c" "00ff010440544869" "0aff2f00"
        "4d54726b" "00000012" "00903c60" "004060" "28803c40" "004040" "00ff2f00");
    EXPECT_EQ(f.readAll().toHex(), expected.toHex());
}
