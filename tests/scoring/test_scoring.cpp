// The melody under the lyrics, the pitch of a voice, and the score of synthetic singers.
#include <gtest/gtest.h>

#include <cmath>

#include "livesettings.h"
#include "pitchtracker.h"
#include "scorekeeper.h"
#include "singer.h"
#include "smfbytes.h"
#include "songs.h"

namespace cantavo::test {
namespace {

double scoreOf(const LoadedSong& s, const Singer& singer, Difficulty d = Difficulty::Normal, double offsetMs = 0) {
    const std::vector<float> take = singer.sing(s.melody, s.lengthMs);
    return ScoreTake(s.melody, d, take.data(), take.size(), 1, singer.rate, offsetMs).total;
}

TEST(Melody, IsTheChannelUnderTheSyllablesWithinSungLines) {
    const LoadedSong s = loadSong(demoSong("twinkle"));
    ASSERT_FALSE(s.melody.empty());
    EXPECT_EQ(s.melody.channel, 0);
    EXPECT_EQ(s.melody.track, 2);
    // Six lines of seven syllables, a note each; the two bars of introduction are not sung.
    EXPECT_EQ(s.melody.lines.size(), 6u);
    EXPECT_EQ(s.melody.notes.size(), 42u);
    EXPECT_GT(s.melody.notes.front().startMs, 2 * 4 * 600.0 - 1);
    EXPECT_EQ(s.melody.lines.front().text, QStringLiteral("Twinkle, twinkle, little star,"));
    // Sounding in D: the song's first note C4 is written with a transposition of 2.
    EXPECT_EQ(s.melody.notes.front().pitch, 62);
    for (size_t i = 1; i < s.melody.notes.size(); ++i) EXPECT_LE(s.melody.notes[i - 1].endMs, s.melody.notes[i].startMs);
    // The live key moves the target, the drum channel never is the melody.
    const LoadedSong up = loadSong(demoSong("twinkle"), -1, 3);
    EXPECT_EQ(up.melody.notes.front().pitch, 65);
    EXPECT_NE(loadSong(demoSong("oh-susanna")).melody.channel, 9);
}

// The tune, not the busiest channel on the beat: a riff bass, a harmony above the lead, a
// doubling an octave up. Each would have been chosen by counting notes on syllables alone.
TEST(Melody, IsTheTuneNotTheBusiestChannelOnTheBeat) {
    const auto chosen = [](const char* name) { return loadSong(fixture(name)).melody.channel + 1; };
    EXPECT_EQ(chosen("melody-riff-bass"), 6) << "the bass has a note on every syllable, and as many between them";
    EXPECT_EQ(chosen("melody-two-voices"), 5) << "\"Vocal 1\" over the harmony a third above it";
    EXPECT_EQ(chosen("melody-octave-doubled"), 7) << "the octave a voice sings in";
    // The measures say why.
    const LoadedSong riff = loadSong(fixture("melody-riff-bass"));
    const std::vector<MelodyMeasure> m = MelodyMeasures(riff.model, riff.events);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_NEAR(m[0].syllables, 10.0 / 11, 1e-9);
    EXPECT_EQ(m[0].between, 0);
    EXPECT_EQ(m[1].channel, 2);
    EXPECT_EQ(m[1].syllables, 1);
    EXPECT_GT(m[1].between, 0.5);
    EXPECT_LT(m[1].meanPitch, 48);
    const LoadedSong voices = loadSong(fixture("melody-two-voices"));
    const std::vector<MelodyMeasure> v = MelodyMeasures(voices.model, voices.events);
    ASSERT_GE(v.size(), 2u);
    EXPECT_EQ(v[0].trackName, QStringLiteral("Vocal 1"));
    EXPECT_GT(v[0].nameWeight, v[1].nameWeight);
}

TEST(Melody, TempoMapConversionsAreInverse) {
    const LoadedSong s = loadSong(demoSong("twinkle"));
    for (double tick : {0.0, 480.0, 12345.0, 40000.0}) EXPECT_NEAR(s.melody.tickAtMs(s.melody.msAtTick(tick)), tick, 1e-6);
    EXPECT_NEAR(s.melody.msAtTick(480), 600.0, 1e-9);  // 100 bpm
}

// A song of one words track and one note track on `channel`: syllables at 0 and 480, a
// C major chord under the first, F under the second.
QByteArray chordSong(int channel) {
    SmfBuilder b;
    b.beginTrack();
    b.meta(0, 0x01, "@KMIDI KARAOKE FILE");
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "\\La");
    b.meta(480, 0x01, "la");
    b.endTrack();
    b.beginTrack();
    for (int n : {60, 64, 67}) b.varLen(0), b.bytes({0x90 | channel, n, 90});
    b.varLen(480), b.bytes({0x80 | channel, 60, 0});
    for (int n : {64, 67}) b.varLen(0), b.bytes({0x80 | channel, n, 0});
    b.varLen(0), b.bytes({0x90 | channel, 65, 90});
    b.varLen(480), b.bytes({0x80 | channel, 65, 0});
    b.endTrack();
    return b.data();
}

TEST(Melody, ChordsKeepTheTopNoteAndDrumsAreNoTune) {
    const QByteArray song = chordSong(0);
    SongModel model;
    LoadSongData(song, QStringLiteral("x.kar"), model);
    ASSERT_EQ(model.lyricCount, 2);
    SongEvents events;
    ASSERT_TRUE(LoadSongEvents(song, events, nullptr));
    const Melody m = BuildMelody(model, events);
    ASSERT_EQ(m.notes.size(), 2u);
    EXPECT_EQ(m.notes[0].pitch, 67);
    EXPECT_EQ(m.notes[1].pitch, 65);
    EXPECT_EQ(m.track, 2);
    // A channel with no notes gives nothing to score.
    EXPECT_TRUE(BuildMelody(model, events, 5).empty());
    // The same notes on the drum channel: the lyrics match no tune.
    const QByteArray drums = chordSong(9);
    SongEvents drumEvents;
    ASSERT_TRUE(LoadSongEvents(drums, drumEvents, nullptr));
    EXPECT_EQ(BuildMelody(model, drumEvents).channel, -1);
    EXPECT_TRUE(BuildMelody(model, drumEvents).empty());
}

TEST(PitchTracker, FindsTheNoteOfAVoiceAndNothingInSilenceOrNoise) {
    for (int rate : {44100, 48000, 22050}) {
        PitchTracker t(rate);
        EXPECT_LE(t.hop() * 1000.0 / rate, 10.0);
        Melody m;
        m.notes = {{0, 0, 0, 1000, 57, 0}, {0, 0, 1000, 2000, 45, 0}, {0, 0, 2000, 3000, 76, 0}};
        Singer singer;
        singer.rate = rate;
        singer.breathMs = 0;
        singer.vibratoCents = 0;
        const std::vector<float> voice = singer.sing(m, 3000);
        std::vector<PitchFrame> frames;
        t.feed(voice.data(), voice.size(), frames);
        for (const PitchFrame& f : frames) {
            const int i = m.noteAt(f.ms);
            // Away from the changes of note, where the window holds two.
            if (i < 0 || f.ms < m.notes[static_cast<size_t>(i)].startMs + 60 || f.ms > m.notes[static_cast<size_t>(i)].endMs - 30) continue;
            ASSERT_TRUE(f.voiced()) << rate << " at " << f.ms;
            EXPECT_NEAR(f.pitch, m.notes[static_cast<size_t>(i)].pitch, 0.3) << rate << " at " << f.ms;
        }
    }
    PitchTracker t(44100);
    std::vector<float> quiet(44100, 0.0f), noise(44100);
    std::mt19937 random(3);
    std::normal_distribution<float> gauss(0.0f, 0.1f);
    for (float& v : noise) v = gauss(random);
    std::vector<PitchFrame> frames;
    t.feed(quiet.data(), quiet.size(), frames);
    t.feed(noise.data(), noise.size(), frames);
    int voiced = 0;
    for (const PitchFrame& f : frames) voiced += f.voiced();
    EXPECT_LT(voiced, static_cast<int>(frames.size()) / 20);
}

TEST(Score, FoldsOctavesAndWeighsNotesByLength) {
    EXPECT_FLOAT_EQ(Folded(48.3f, 60), 60.3f);
    EXPECT_FLOAT_EQ(Folded(77.0f, 64), 65.0f);
    EXPECT_TRUE(std::isnan(Folded(NAN, 60)));
    Melody m;
    m.notes = {{0, 0, 0, 1000, 60, 0}, {0, 0, 1000, 4000, 62, 0}};
    m.lines = {{1, QStringLiteral("a"), 0, 2}};
    ScoreKeeper k(m, Difficulty::Normal);
    for (double ms = 0; ms < 4000; ms += 10) k.add(ms, ms < 1000 ? 60.4f : 70.0f);
    const ScoreResult r = k.result();
    EXPECT_DOUBLE_EQ(r.noteShares[0], 1.0);
    EXPECT_DOUBLE_EQ(r.noteShares[1], 0.0);
    EXPECT_EQ(r.notePoints, 2250);
    EXPECT_EQ(r.linePoints, 0);
    // Easy forgives two half tones, Hard only half of one.
    ScoreKeeper hard(m, Difficulty::Hard), easy(m, Difficulty::Easy);
    for (double ms = 0; ms < 4000; ms += 10) hard.add(ms, 60.7f), easy.add(ms, 61.8f);
    EXPECT_EQ(hard.result().total, 0);
    EXPECT_EQ(easy.result().total, 10000);
    Difficulty d;
    EXPECT_TRUE(ParseDifficulty(QStringLiteral("Hard"), &d));
    EXPECT_EQ(d, Difficulty::Hard);
    EXPECT_FALSE(ParseDifficulty(QStringLiteral("expert"), &d));
}

class SyntheticSinger : public ::testing::TestWithParam<const char*> {};

TEST_P(SyntheticSinger, ScoresAsTheTuneWasSung) {
    const LoadedSong s = loadSong(demoSong(GetParam()));
    ASSERT_FALSE(s.melody.empty());
    Singer inTune;
    const double full = scoreOf(s, inTune);
    EXPECT_GE(full, 9000) << GetParam();

    Singer third;
    third.offset = [](int) { return 4.0; };
    EXPECT_LT(scoreOf(s, third), 2000);

    Singer octaveDown;
    octaveDown.offset = [](int) { return -12.0; };
    EXPECT_NEAR(scoreOf(s, octaveDown), full, full * 0.02);

    Singer silent;
    silent.offset = [](int) { return NAN; };
    EXPECT_EQ(scoreOf(s, silent), 0);

    Singer half;
    half.offset = [](int k) { return k % 2 ? 4.0 : 0.0; };
    const double halfScore = scoreOf(s, half);
    EXPECT_NEAR(halfScore / full, 0.5, 0.12) << halfScore;

    // A take that starts late by 300 ms is scored as sung once the offset is given.
    Singer late;
    late.leadMs = 300;
    EXPECT_LT(scoreOf(s, late), full - 500);
    EXPECT_NEAR(scoreOf(s, late, Difficulty::Normal, 300), full, full * 0.01);
}

// The verdict says what was heard: no voice, a voice sharp or flat (by how much), late or
// early (by how much), or the score's band; the total alone cannot tell these apart.
TEST_P(SyntheticSinger, TheVerdictSaysWhatWentWrong) {
    const LoadedSong s = loadSong(demoSong(GetParam()));
    const auto verdictOf = [&](const Singer& singer, Difficulty d = Difficulty::Normal) {
        const std::vector<float> take = singer.sing(s.melody, s.lengthMs);
        return ScoreTake(s.melody, d, take.data(), take.size(), 1, singer.rate);
    };
    Singer inTune;
    EXPECT_EQ(verdictOf(inTune).verdict(), QStringLiteral("Superb! Right on the tune."));
    for (const Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard}) {
        SCOPED_TRACE(DifficultyName(d).toStdString());
        Singer sharp;
        sharp.offset = [](int) { return 4.0; };
        const ScoreResult r = verdictOf(sharp, d);
        EXPECT_EQ(r.verdict(), QStringLiteral("Mostly out of tune: sharp by 4.0 semitones on average."));
        EXPECT_NEAR(r.meanOffset, 4.0, 0.3);
        Singer flat;
        flat.offset = [](int) { return -3.0; };
        EXPECT_EQ(verdictOf(flat, d).verdict(), QStringLiteral("Mostly out of tune: flat by 3.0 semitones on average."));
    }
    Singer silent;
    silent.offset = [](int) { return NAN; };
    EXPECT_EQ(verdictOf(silent).verdict(), QStringLiteral("Nothing was sung."));
    Singer late;
    late.leadMs = 500;
    const ScoreResult lateResult = verdictOf(late);
    EXPECT_NEAR(lateResult.lagMs, 500, 40);
    EXPECT_TRUE(lateResult.verdict().startsWith(QStringLiteral("You came in late, by 0.5 s"))) << lateResult.verdict().toStdString();
}

INSTANTIATE_TEST_SUITE_P(DemoSongs, SyntheticSinger, ::testing::Values("oh-susanna", "twinkle", "frere-jacques"));

}  // namespace
}  // namespace cantavo::test
