#include <gtest/gtest.h>

#include <QFile>

#include "helpers.h"
#include "songevents.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

SongEvents eventsOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    SongEvents e;
    QString error;
    EXPECT_TRUE(LoadSongEvents(f.readAll(), e, &error)) << error.toStdString();
    return e;
}

}  // namespace

TEST(SongEvents, SameTickOrderIsFixed) {
    const SongEvents s = eventsOf(fixture("same-tick-order"));
    std::vector<std::pair<int, int>> at480;
    for (const SongEvent& e : s.events)
        if (e.tick == 480) at480.push_back({e.status, e.data1});
    // Track 2's note-off of C4, the system exclusive of track 3, track 3's program and
    // volume, then the note-ons: track 2's C4 before track 3's E4.
    const std::vector<std::pair<int, int>> expected = {{0x80, 60}, {0xF0, 0}, {0xC1, 5}, {0xB0, 7}, {0x90, 60}, {0x90, 64}};
    EXPECT_EQ(at480, expected);
    ASSERT_EQ(s.sysex.size(), 1u);
    EXPECT_EQ(s.sysex[0], QByteArray::fromHex("7e7ff7"));
}

TEST(SongEvents, TempoChangesAndTheEnd) {
    const SongEvents s = eventsOf(fixture("same-tick-order"));
    ASSERT_EQ(s.tempo.size(), 2u);
    EXPECT_EQ(s.tempo[0].tick, 0);
    EXPECT_DOUBLE_EQ(s.tempo[0].micros, 500000);
    EXPECT_EQ(s.tempo[1].tick, 480);
    EXPECT_DOUBLE_EQ(s.tempo[1].micros, 1000000);
    EXPECT_EQ(s.endTick, 960);
    EXPECT_EQ(s.division, 480);
}

TEST(SongEvents, RunningStatusIsRebuilt) {
    // 90 3C 64, then 3E 64 and 40 00 under running status.
    SmfBuilder b;
    b.beginTrack();
    b.bytes({0x00, 0x90, 0x3C, 0x64, 0x10, 0x3E, 0x64, 0x10, 0x40, 0x00, 0x00, 0xC2, 0x07, 0x05, 0x08});
    b.endTrack();
    SongEvents s;
    ASSERT_TRUE(LoadSongEvents(b.data(), s, nullptr));
    ASSERT_EQ(s.events.size(), 5u);
    EXPECT_EQ(s.events[1].status, 0x90);
    EXPECT_EQ(s.events[1].data1, 0x3E);
    EXPECT_EQ(s.events[1].tick, 16);
    EXPECT_EQ(s.events[2].data1, 0x40);
    EXPECT_EQ(s.events[2].data2, 0);
    EXPECT_EQ(s.events[4].status, 0xC2);
    EXPECT_EQ(s.events[4].data1, 0x08);
    EXPECT_EQ(s.events[4].tick, 37);
}

TEST(SongEvents, BadFiles) {
    SongEvents s;
    QString error;
    EXPECT_FALSE(LoadSongEvents("RIFF....", s, &error));
    EXPECT_EQ(error, QStringLiteral("ERROR! This is not a MIDI File"));
    QFile f(fixture("truncated"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(LoadSongEvents(f.readAll(), s, &error));
    EXPECT_EQ(error, QStringLiteral("Input past end of file"));
}
