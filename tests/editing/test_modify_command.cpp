// `cantavo --modify` writes what the dialog writes and refuses what it refuses.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "cli.h"
#include "rewriter.h"
#include "testpaths.h"
#include "trackrows.h"

namespace cantavo::test {
namespace {

TEST(ModifyCommand, WritesTheBytesOfTheRewriter) {
    QTemporaryDir dir;
    const QString song = demoSong("frere-jacques");
    const QString out = dir.filePath(QStringLiteral("out.kar"));
    const CliRun r = run({QStringLiteral("--modify"), song, QStringLiteral("-o"), out, QStringLiteral("--transpose"), QStringLiteral("-3"),
                       QStringLiteral("--tempo"), QStringLiteral("12.5"), QStringLiteral("--volume"), QStringLiteral("2=150"),
                       QStringLiteral("--mute"), QStringLiteral("7"), QStringLiteral("--patch"), QStringLiteral("4=40"),
                       QStringLiteral("--keep-channel"), QStringLiteral("3")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    const SongChunks chunks = ReadSongChunks(fileBytes(song));
    QList<TrackEdit> edits;
    for (const HeldChunk& c : chunks.chunks) edits << EditFor(AnalyseTrack(c.bytes, 10));
    edits[6].muted = true;
    edits[3].patchChanged = true;
    edits[3].program = 40;
    ModifySettings s;
    s.transpose = -3;
    s.tempoPercent = 12.5;
    s.mixer[1] = 150;
    s.keepChannel = 3;
    EXPECT_EQ(fileBytes(out), WriteModifiedSong(chunks, edits, s));
}

TEST(ModifyCommand, RefusesAsTheDialogDoesAndWritesNothing) {
    QTemporaryDir dir;
    const QString song = demoSong("frere-jacques");
    const QString out = dir.filePath(QStringLiteral("out.kar"));
    const auto refused = [&](const QStringList& settings, const QString& message) {
        const CliRun r = run(QStringList{QStringLiteral("--modify"), song, QStringLiteral("-o"), out} + settings);
        EXPECT_NE(r.status, 0) << message.toStdString();
        EXPECT_EQ(r.err.trimmed(), message);
        EXPECT_FALSE(QFile::exists(out));
    };
    refused({}, QStringLiteral("Nothing to do!"));
    refused({QStringLiteral("--mute"), QStringLiteral("2")}, QStringLiteral("This track can't be muted"));
    refused({QStringLiteral("--mute"), QStringLiteral("4"), QStringLiteral("--mute"), QStringLiteral("5"), QStringLiteral("--mute"),
             QStringLiteral("6"), QStringLiteral("--mute"), QStringLiteral("7")},
            QStringLiteral("Muting all tracks would result in an empty file!"));
    refused({QStringLiteral("--patch"), QStringLiteral("7=3")}, QStringLiteral("This track's patch can't be changed"));
    refused({QStringLiteral("--patch"), QStringLiteral("2=3")}, QStringLiteral("This track's patch can't be changed"));
    refused({QStringLiteral("--tempo"), QStringLiteral("-100")}, QStringLiteral("Error in modifying file"));
    // Usage errors say how the option is used.
    const CliRun bad = run({QStringLiteral("--modify"), song, QStringLiteral("-o"), out, QStringLiteral("--volume"), QStringLiteral("17=50")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.startsWith(QStringLiteral("--volume needs CH=PCT")));
    EXPECT_EQ(run({QStringLiteral("--transpose"), QStringLiteral("2"), song}).status, 2);
}

TEST(ModifyCommand, InfoListsTheTracksAsTheDialogDoes) {
    const CliRun r = run({QStringLiteral("--info"), QStringLiteral("--json"), demoSong("frere-jacques")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"patch\": \" 72 - Clarinet \"")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"name\": \"Voice 1\"")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"trackCount\": 7")));
    const CliRun help = run({QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains(QStringLiteral("--modify")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("--patch <TRACK=PROGRAM>")));
}

}  // namespace
}  // namespace cantavo::test
