#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "cli.h"
#include "helpers.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

}  // namespace

TEST(CommandLine, InfoAsJson) {
    CliRun r = run({QStringLiteral("--info"), QStringLiteral("--json"), fixture("tags-and-lyrics")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o[QStringLiteral("status")].toString(), QStringLiteral("ok"));
    EXPECT_EQ(o[QStringLiteral("title")].toString(), QStringLiteral("My Song - Sung by Somebody"));
    EXPECT_EQ(o[QStringLiteral("info")].toArray().size(), 2);
    EXPECT_EQ(o[QStringLiteral("trackCount")].toInt(), 3);
    EXPECT_EQ(o[QStringLiteral("meter")].toString(), QStringLiteral("4/4"));
    EXPECT_EQ(o[QStringLiteral("key")].toString(), QStringLiteral("Eb Major"));
    EXPECT_EQ(o[QStringLiteral("source")].toString(), QStringLiteral("text"));
    EXPECT_EQ(o[QStringLiteral("titleSource")].toString(), QStringLiteral("tags"));
    QJsonArray tempo = o[QStringLiteral("tempoMap")].toArray();
    ASSERT_EQ(tempo.size(), 2);
    EXPECT_EQ(tempo[1].toObject()[QStringLiteral("bpm")].toInt(), 130);
    EXPECT_EQ(tempo[1].toObject()[QStringLiteral("micros")].toInt(), 461538);
    QJsonArray lyrics = o[QStringLiteral("lyrics")].toArray();
    ASSERT_EQ(lyrics.size(), 10);
    EXPECT_EQ(lyrics[3].toObject()[QStringLiteral("text")].toString(), QStringLiteral("\\Next"));
    EXPECT_EQ(lyrics[3].toObject()[QStringLiteral("tick")].toInt(), 40);
}

TEST(CommandLine, InfoAsTextForADemoSong) {
    CliRun r = run({QStringLiteral("--info"), demoSong("twinkle")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Twinkle, Twinkle, Little Star - Traditional")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("D Major")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Twinkle, twinkle, little star, ")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Length:")));
}

TEST(CommandLine, ExitStatusForBadFiles) {
    CliRun notMidi = run({QStringLiteral("--info"), QStringLiteral("--json"), fixture("not-midi")});
    EXPECT_EQ(notMidi.status, 2);
    EXPECT_EQ(QJsonDocument::fromJson(notMidi.out.toUtf8()).object()[QStringLiteral("status")].toString(),
              QStringLiteral("ERROR! This is not a MIDI File"));
    EXPECT_TRUE(notMidi.err.contains(QStringLiteral("not a MIDI File")));
    EXPECT_EQ(run({QStringLiteral("--info"), fixture("truncated")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--info"), QStringLiteral("/no/such/file.kar")}).status, 2);
    // Damaged but readable, and a file the karaoke warning is about: something was read.
    EXPECT_EQ(run({QStringLiteral("--info"), fixture("junk-after-eot")}).status, 0);
    CliRun warned = run({QStringLiteral("--info"), QStringLiteral("--json"), fixture("format0-no-lyrics")});
    EXPECT_EQ(warned.status, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(warned.out.toUtf8()).object()[QStringLiteral("status")].toString().startsWith(QStringLiteral("Warning!")));
}

TEST(CommandLine, UsageErrors) {
    EXPECT_EQ(run({QStringLiteral("--info")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--bogus")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--help")}).status, 0);
    EXPECT_EQ(run({fixture("golden")}).status, -1);  // a song alone asks for the player
    // A misused option prints what is wrong once, then the usage, and exits 2.
    for (const QStringList& misuse : {QStringList{QStringLiteral("--json"), fixture("golden")},
                                      QStringList{QStringLiteral("--seconds"), QStringLiteral("3"), fixture("golden")},
                                      QStringList{QStringLiteral("--info"), QStringLiteral("--render"), fixture("golden")},
                                      QStringList{QStringLiteral("--play"), QStringLiteral("--seconds"), QStringLiteral("x"), fixture("golden")},
                                      QStringList{QStringLiteral("--record"), fixture("golden")},
                                      QStringList{QStringLiteral("--record"), fixture("golden"), QStringLiteral("t.wav"), QStringLiteral("--format"), QStringLiteral("16-2-48")},
                                      QStringList{QStringLiteral("--record"), fixture("golden"), QStringLiteral("t.wav"), QStringLiteral("--format"), QStringLiteral("12-1-44")},
                                      QStringList{QStringLiteral("--voice-only"), fixture("golden")},
                                      QStringList{QStringLiteral("--play"), QStringLiteral("--format"), QStringLiteral("8-1-11"), fixture("golden")}}) {
        CliRun r = run(misuse);
        EXPECT_EQ(r.status, 2) << misuse.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage:"))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun bogus = run({QStringLiteral("--bogus")});
    EXPECT_EQ(bogus.err.count(QStringLiteral("bogus")), 1) << bogus.err.toStdString();
}

TEST(CommandLine, ASongNamedFromTheStartingFolderIsFoundAfterTheFolderChanges) {
    const QString folder = QFileInfo(fixture("golden")).absolutePath();
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    QString out, err;
    QTextStream o(&out), e(&err);
    const CommandLineRequest r = ParseCommandLine({QStringLiteral("cantavo"), QStringLiteral("golden.mid")}, o, e);
    QDir::setCurrent(before);
    ASSERT_EQ(r.action, CommandLineRequest::Action::Window);
    EXPECT_EQ(r.songs, QStringList(QDir(folder).filePath(QStringLiteral("golden.mid"))));
}

// The program itself, with no display to start a window system on: options are checked
// before any window system is needed.
TEST(CommandLine, NoDisplayIsNeededToBeToldOfAMisusedOption) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    for (const QStringList& args : {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--json"), fixture("golden")}}) {
        p.start(QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo"), args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "it crashed";
        EXPECT_EQ(p.exitCode(), 2);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("Usage:"))) << err.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("xcb"))) << err.toStdString();
    }
}

TEST(CommandLine, RenderWritesAWaveFile) {
    qputenv("CANTAVO_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
    const QString out = QDir::temp().filePath(QStringLiteral("cantavo-render-test.wav"));
    QFile::remove(out);
    CliRun r = run({QStringLiteral("--render"), demoSong("oh-susanna"), out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Rendered 00:18 of music"))) << r.out.toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(44);
    EXPECT_EQ(head.left(4), QByteArray("RIFF"));
    EXPECT_EQ(static_cast<unsigned char>(head[22]), 2u);   // stereo
    EXPECT_EQ(static_cast<unsigned char>(head[34]), 16u);  // 16 bits
    EXPECT_GT(f.size(), 44100 * 4 * 18);
    f.close();
    QFile::remove(out);
    EXPECT_EQ(run({QStringLiteral("--render"), fixture("not-midi"), out}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--render"), demoSong("twinkle")}).status, 2);
}
