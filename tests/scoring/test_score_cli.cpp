// `cantavo --score`: a take of a demo song scored from the command line, as the player scores it.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "cli.h"
#include "singer.h"
#include "smfbytes.h"
#include "songs.h"

namespace cantavo::test {
namespace {

// Writes mono samples as a 16-bit stereo wave, as the player's takes are.
QString writeTake(const QString& path, const std::vector<float>& mono, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* s = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    EXPECT_TRUE(s);
    std::vector<float> stereo(mono.size() * 2);
    for (size_t i = 0; i < mono.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = mono[i];
    sf_writef_float(s, stereo.data(), static_cast<sf_count_t>(mono.size()));
    sf_close(s);
    return path;
}

std::vector<float> readMono(const QString& path, int* rate) {
    SF_INFO info{};
    SNDFILE* s = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    EXPECT_TRUE(s);
    std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(s, all.data(), info.frames);
    sf_close(s);
    *rate = info.samplerate;
    return MonoOf(all.data(), static_cast<size_t>(info.frames), info.channels);
}

QJsonObject scoreJson(const QStringList& args) {
    const CliRun r = run(QStringList{QStringLiteral("--score")} + args + QStringList{QStringLiteral("--json")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

class ScoreCommand : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString song = demoSong("twinkle");
    LoadedSong loaded = loadSong(song);
    QString take(const char* name, const Singer& singer) { return writeTake(dir.filePath(QString::fromLatin1(name)), singer.sing(loaded.melody, loaded.lengthMs), singer.rate); }
};

TEST_F(ScoreCommand, ScoresATakeWithEachNoteAndLine) {
    const QString inTune = take("in-tune.wav", Singer{});
    const QJsonObject o = scoreJson({song, inTune});
    EXPECT_GE(o[QStringLiteral("total")].toInt(), 9000);
    EXPECT_EQ(o[QStringLiteral("total")].toInt(), o[QStringLiteral("notePoints")].toInt() + o[QStringLiteral("linePoints")].toInt());
    EXPECT_EQ(o[QStringLiteral("difficulty")].toString(), QStringLiteral("normal"));
    EXPECT_EQ(o[QStringLiteral("melodyChannel")].toInt(), 1);
    const QJsonArray lines = o[QStringLiteral("lines")].toArray();
    const QJsonArray notes = o[QStringLiteral("notes")].toArray();
    ASSERT_EQ(lines.size(), 6);
    ASSERT_EQ(notes.size(), 42);
    EXPECT_EQ(lines[0].toObject()[QStringLiteral("text")].toString(), QStringLiteral("Twinkle, twinkle, little star,"));
    for (const QJsonValue& l : lines) EXPECT_GT(l.toObject()[QStringLiteral("share")].toDouble(), 0.85);
    EXPECT_EQ(notes[0].toObject()[QStringLiteral("pitch")].toInt(), 62);

    // The text form says the same.
    const CliRun text = run({QStringLiteral("--score"), song, inTune});
    EXPECT_EQ(text.status, 0);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("Score: %1 of 10000 (normal): ").arg(o[QStringLiteral("total")].toInt()))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Twinkle, twinkle, little star,")));
    EXPECT_TRUE(text.out.contains(QStringLiteral("channel 1 (Flute), track 3")));

    // Off by a third: nothing to speak of, whatever the difficulty but the easiest.
    Singer third;
    third.offset = [](int) { return 4.0; };
    const QString off = take("off.wav", third);
    EXPECT_LT(scoreJson({song, off})[QStringLiteral("total")].toInt(), 2000);
    EXPECT_LT(scoreJson({song, off, QStringLiteral("--difficulty"), QStringLiteral("easy")})[QStringLiteral("total")].toInt(), 2000);
    // ... and said for what it is, at every difficulty: not "nothing was sung".
    for (const char* d : {"easy", "normal", "hard"}) {
        const CliRun sharp = run({QStringLiteral("--score"), song, off, QStringLiteral("--difficulty"), QString::fromLatin1(d)});
        EXPECT_TRUE(sharp.out.section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral("Mostly out of tune: sharp by 4.0 semitones on average.")))
            << d << ": " << sharp.out.section(QLatin1Char('\n'), 0, 0).toStdString();
    }
    const QJsonObject sharpJson = scoreJson({song, off});
    EXPECT_NEAR(sharpJson[QStringLiteral("meanOffsetSemitones")].toDouble(), 4.0, 0.3);
    EXPECT_GT(sharpJson[QStringLiteral("voiced")].toDouble(), 0.9);

    // A quarter tone flat passes on Normal, not on Hard.
    Singer flat;
    flat.offset = [](int) { return -0.7; };
    const QString flatTake = take("flat.wav", flat);
    EXPECT_GE(scoreJson({song, flatTake})[QStringLiteral("total")].toInt(), 8500);
    EXPECT_LT(scoreJson({song, flatTake, QStringLiteral("--difficulty"), QStringLiteral("hard")})[QStringLiteral("total")].toInt(), 3000);
}

TEST_F(ScoreCommand, AnOffsetPutsALateTakeBackInPlace) {
    Singer late;
    late.leadMs = 350;
    const QString path = take("late.wav", late);
    const int full = scoreJson({song, take("in-tune.wav", Singer{})})[QStringLiteral("total")].toInt();
    EXPECT_LT(scoreJson({song, path})[QStringLiteral("total")].toInt(), full - 500);
    EXPECT_NEAR(scoreJson({song, path, QStringLiteral("--offset"), QStringLiteral("350")})[QStringLiteral("total")].toInt(), full, full * 0.01);
    // Without the offset the verdict says how late.
    const QJsonObject late350 = scoreJson({song, path});
    EXPECT_NEAR(late350[QStringLiteral("lateMs")].toDouble(), 350, 40) << late350[QStringLiteral("verdict")].toString().toStdString() << " " << late350[QStringLiteral("total")].toInt();
    EXPECT_TRUE(late350[QStringLiteral("verdict")].toString().startsWith(QStringLiteral("You came in late, by 0.3 s")) ||
                late350[QStringLiteral("verdict")].toString().startsWith(QStringLiteral("You came in late, by 0.4 s")))
        << late350[QStringLiteral("verdict")].toString().toStdString();
}

TEST_F(ScoreCommand, ATakeWithTheMusicUnderTheVoiceAsThePlayerRecordsIt) {
    const QString music = dir.filePath(QStringLiteral("music.wav"));
    ASSERT_EQ(run({QStringLiteral("--render"), song, music}).status, 0);
    int rate = 0;
    const std::vector<float> backing = readMono(music, &rate);
    const auto mixed = [&](const Singer& singer, const char* name) {
        Singer s = singer;
        s.rate = rate;
        std::vector<float> voice = s.sing(loaded.melody, loaded.lengthMs);
        for (size_t i = 0; i < voice.size() && i < backing.size(); ++i) voice[i] += 0.5f * backing[i];
        return scoreJson({song, writeTake(dir.filePath(QString::fromLatin1(name)), voice, rate)})[QStringLiteral("total")].toInt();
    };
    Singer third;
    third.offset = [](int) { return 4.0; };
    const int good = mixed(Singer{}, "good.wav"), bad = mixed(third, "bad.wav");
    EXPECT_GE(good, 8500);
    EXPECT_LT(bad, 3000);
}

TEST(ScoreCommandErrors, SayWhatIsWrong) {
    QTemporaryDir dir;
    const QString song = demoSong("twinkle");
    CliRun r = run({QStringLiteral("--score"), song, dir.filePath(QStringLiteral("missing.wav"))});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("missing.wav"))) << r.err.toStdString();
    QFile junk(dir.filePath(QStringLiteral("junk.kar")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a song");
    junk.close();
    r = run({QStringLiteral("--score"), junk.fileName(), dir.filePath(QStringLiteral("missing.wav"))});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("junk.kar")));
    // A song whose words fall on no note: nothing to score against.
    QFile beat(dir.filePath(QStringLiteral("beat.kar")));
    ASSERT_TRUE(beat.open(QIODevice::WriteOnly));
    beat.write(wordsOverDrums());
    beat.close();
    r = run({QStringLiteral("--score"), beat.fileName(), dir.filePath(QStringLiteral("missing.wav"))});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot be scored"))) << r.err.toStdString();
    for (const QStringList& args : {QStringList{QStringLiteral("--score"), song}, QStringList{QStringLiteral("--offset"), QStringLiteral("5"), song},
                                    QStringList{QStringLiteral("--score"), song, song, QStringLiteral("--offset"), QStringLiteral("soon")},
                                    QStringList{QStringLiteral("--score"), song, song, QStringLiteral("--difficulty"), QStringLiteral("expert")},
                                    QStringList{QStringLiteral("--calibrate"), song}}) {
        r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(QLatin1Char(' ')).toStdString();
    }
}

TEST(ScoreCli, InfoSaysWhyTheMelodyWasChosen) {
    const CliRun r = run({QStringLiteral("--info"), QStringLiteral("--json"), fixture("melody-two-voices")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject melody = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("melody")).toObject();
    EXPECT_EQ(melody.value(QStringLiteral("channel")).toInt(), 5);
    const QJsonArray why = melody.value(QStringLiteral("why")).toArray();
    ASSERT_EQ(why.size(), 3);
    const QJsonObject first = why[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("trackName")).toString(), QStringLiteral("Vocal 1"));
    EXPECT_EQ(first.value(QStringLiteral("syllablesWithANote")).toDouble(), 1.0);
    EXPECT_EQ(first.value(QStringLiteral("notesBetweenSyllables")).toDouble(), 0.0);
    EXPECT_GT(first.value(QStringLiteral("score")).toDouble(), why[1].toObject().value(QStringLiteral("score")).toDouble());
    EXPECT_EQ(why[2].toObject().value(QStringLiteral("trackName")).toString(), QStringLiteral("Bass"));
}

}  // namespace
}  // namespace cantavo::test
