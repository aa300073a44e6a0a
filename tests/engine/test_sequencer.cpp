// The sequencer driven offline on the synthesizer's sample clock: exact positions.
#include <QSignalSpy>

#include <fluidsynth.h>

#include <set>
#include <vector>

#include "engine.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

// Twinkle plays at 100 bpm (800 ticks a second at 480 per quarter) up to tick 23040, then at
// 84 bpm (714286 microseconds a quarter).
double twinkleTickAt(double seconds) {
    if (seconds <= 28.8) return seconds * 800.0;
    return 23040.0 + (seconds - 28.8) * 480e6 / 714286.0;
}

struct Recorded {
    qint64 frame;
    int type, channel, key, value;
};

struct Rig {
    std::unique_ptr<SynthHost> host = offlineHost();
    Sequencer seq{*host};
    std::vector<Recorded> events;
    explicit Rig(const QString& song) {
        QString error;
        EXPECT_TRUE(seq.open(song, &error)) << error.toStdString();
        seq.setEventTap([this](qint64 frame, int status, int d1, int d2) {
            const int type = status & 0xF0;
            events.push_back({frame, type, status & 0x0F, d1, type == 0xC0 ? d1 : d2});
        });
    }
};

}  // namespace

namespace {

int voicesOn(fluid_synth_t* synth) {
    fluid_voice_t* voices[256];
    fluid_synth_get_voicelist(synth, voices, 256, -1);
    int on = 0;
    for (int i = 0; i < 256 && voices[i]; ++i) on += fluid_voice_is_on(voices[i]) ? 1 : 0;
    return on;
}

}  // namespace

TEST(Sequencer, AnswersInTheLayersUnits) {
    Rig r(demoSong("twinkle"));
    EXPECT_EQ(r.seq.mode(), MediaMode::Stopped);
    EXPECT_EQ(r.seq.division(), 480);
    EXPECT_EQ(r.seq.divisionType(), QStringLiteral("PPQN"));
    EXPECT_EQ(r.seq.lengthTicks(), 28800);
    EXPECT_DOUBLE_EQ(r.seq.lengthSixteenths(), 240.0);
    EXPECT_NEAR(r.seq.lengthMs(), 28800.0 + 5760.0 / 480 * 714.286, 0.01);
    EXPECT_EQ(r.seq.tempoBpm(), 100);
    EXPECT_DOUBLE_EQ(r.seq.positionTicks(), 0);
}

TEST(Sequencer, TimeCodeDivisionType) {
    auto host = offlineHost();
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(fixture("smpte-division"), &error));
    EXPECT_EQ(seq.divisionType(), QStringLiteral("SMPTE 25"));
    EXPECT_FALSE(seq.open(fixture("not-midi"), &error));
    EXPECT_FALSE(seq.isOpen());
    EXPECT_EQ(seq.mode(), MediaMode::NotReady);
}

TEST(Sequencer, PositionFollowsTheSampleClockAcrossATempoChange) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    double rendered = 0;
    for (double at : {0.5, 1.0, 7.25, 28.0, 29.0, 30.5, 34.0}) {
        renderSeconds(*r.host, at - rendered);
        rendered = static_cast<double>(r.host->framesRendered()) / r.host->sampleRate();
        // Within a block and a tick, plus a block for the one tempo change the player re-anchors at.
        const double slack = rendered < 28.8 ? 2.0 : 4.0;
        EXPECT_NEAR(r.seq.positionTicks(), twinkleTickAt(rendered), slack) << "at " << rendered << " s";
        EXPECT_NEAR(r.seq.positionMs(), rendered * 1000.0, slack * 1.5) << "at " << rendered << " s";
        EXPECT_DOUBLE_EQ(r.seq.positionSixteenths(), r.seq.positionTicks() * 4 / 480);
        EXPECT_EQ(r.seq.tempoBpm(), rendered < 28.8 ? 100 : 84);
    }
    EXPECT_EQ(r.seq.mode(), MediaMode::Playing);
}

TEST(Sequencer, PauseHoldsThePositionAndResumeGoesOn) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    renderSeconds(*r.host, 2.0);
    r.seq.pause();
    const double held = r.seq.positionTicks();
    EXPECT_NEAR(held, 1600, 2);
    EXPECT_EQ(r.seq.mode(), MediaMode::Paused);
    renderSeconds(*r.host, 1.0);
    EXPECT_DOUBLE_EQ(r.seq.positionTicks(), held);
    EXPECT_EQ(voicesOn(r.host->synth()), 0) << "notes left held after pause";
    r.seq.play();
    renderSeconds(*r.host, 1.0);
    EXPECT_NEAR(r.seq.positionTicks(), held + 800, 3);
    r.seq.stop();
    EXPECT_EQ(r.seq.mode(), MediaMode::Stopped);
}

TEST(Sequencer, SeekWhileStoppedTakesEffectAtPlay) {
    Rig r(demoSong("twinkle"));
    r.seq.seekSixteenths(64);  // bar 5
    EXPECT_DOUBLE_EQ(r.seq.positionSixteenths(), 64);
    r.seq.play();
    EXPECT_DOUBLE_EQ(r.seq.positionSixteenths(), 64);  // before the player has caught up
    renderSeconds(*r.host, 0.6);
    EXPECT_NEAR(r.seq.positionTicks(), 7680 + 480, 3);
}

TEST(Sequencer, ForwardSeekLeavesNoNoteHangingAndStartsNoneAgain) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    renderSeconds(*r.host, 3.0);
    ASSERT_GT(voicesOn(r.host->synth()), 0);
    r.events.clear();
    // Sixteenth 97 lies between eighth notes: no note of the song starts there.
    r.seq.seekSixteenths(97);
    r.host->render(64, nullptr);
    EXPECT_EQ(voicesOn(r.host->synth()), 0) << "notes from before the seek still held";
    for (const Recorded& e : r.events) EXPECT_FALSE(e.type == 0x90 && e.value > 0) << "a note from before the seek was started again";
    EXPECT_NEAR(r.seq.positionSixteenths(), 97, 0.05);
    renderSeconds(*r.host, 0.5);
    EXPECT_NEAR(r.seq.positionTicks(), 97 * 120 + 400, 3);
}

TEST(Sequencer, BackwardSeekChasesProgramsAndControllers) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    renderSeconds(*r.host, 8.0);
    r.events.clear();
    r.seq.seekSixteenths(17);
    r.host->render(64, nullptr);
    std::set<std::pair<int, int>> programs;
    for (const Recorded& e : r.events) {
        EXPECT_FALSE(e.type == 0x90 && e.value > 0) << "note started by the chase";
        if (e.type == 0xC0) programs.insert({e.channel, e.value});
    }
    EXPECT_TRUE(programs.count({0, 73})) << "flute on channel 1 not chased";
    EXPECT_TRUE(programs.count({1, 32})) << "bass on channel 2 not chased";
    EXPECT_TRUE(programs.count({2, 0})) << "piano on channel 3 not chased";
    EXPECT_EQ(voicesOn(r.host->synth()), 0);
    EXPECT_NEAR(r.seq.positionSixteenths(), 17, 0.05);
}

TEST(Sequencer, SetTempoHoldsUntilTheSongsNextTempoChange) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    r.seq.setTempoBpm(150);
    EXPECT_EQ(r.seq.tempoBpm(), 150);
    renderSeconds(*r.host, 1.0);
    EXPECT_NEAR(r.seq.positionTicks(), 1200, 3);
    // 23040 ticks at 1200 a second: the song's own 84 bpm takes over after 19.2 s.
    renderSeconds(*r.host, 17.5);
    EXPECT_EQ(r.seq.tempoBpm(), 150);
    renderSeconds(*r.host, 1.5);
    EXPECT_EQ(r.seq.tempoBpm(), 84);
    const double before = r.seq.positionTicks();
    renderSeconds(*r.host, 1.0);
    EXPECT_NEAR(r.seq.positionTicks() - before, 480e6 / 714286.0, 3);
}

TEST(Sequencer, CompletionComesOnceAtTheEnd) {
    Rig r(demoSong("oh-susanna"));
    QSignalSpy done(&r.seq, &Sequencer::completed);
    r.seq.play();
    renderSeconds(*r.host, r.seq.lengthMs() / 1000.0 - 0.5);
    EXPECT_EQ(done.count(), 0);
    renderSeconds(*r.host, 1.0);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(r.seq.mode(), MediaMode::Stopped);
    EXPECT_DOUBLE_EQ(r.seq.positionTicks(), static_cast<double>(r.seq.lengthTicks()));
    renderSeconds(*r.host, 2.0);
    EXPECT_EQ(done.count(), 1);
    // Play again: from the start.
    r.seq.play();
    renderSeconds(*r.host, 0.5);
    EXPECT_LT(r.seq.positionMs(), 600);
}

TEST(Sequencer, NoCompletionAfterStopOrSeekBack) {
    Rig r(demoSong("oh-susanna"));
    QSignalSpy done(&r.seq, &Sequencer::completed);
    r.seq.play();
    renderSeconds(*r.host, r.seq.lengthMs() / 1000.0 - 1.0);
    r.seq.seekTicks(0);
    renderSeconds(*r.host, 2.0);
    EXPECT_EQ(done.count(), 0);
    r.seq.stop();
    renderSeconds(*r.host, r.seq.lengthMs() / 1000.0);
    EXPECT_EQ(done.count(), 0);
}

TEST(Sequencer, EventsLeaveOnTheBlockOfTheirTick) {
    Rig r(demoSong("twinkle"));
    r.seq.play();
    renderSeconds(*r.host, 12.0);
    // The melody starts after two bars (4.8 s), a quarter note every 600 ms.
    std::vector<qint64> frames;
    for (const Recorded& e : r.events)
        if (e.type == 0x90 && e.channel == 0 && e.value > 0) frames.push_back(e.frame);
    ASSERT_GE(frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {  // "Twin-kle, twin-kle, lit-tle": six quarter notes
        const double ideal = (4.8 + 0.6 * static_cast<double>(i)) * 44100;
        EXPECT_LE(std::abs(static_cast<double>(frames[i]) - ideal), 64.0) << "note " << i;
    }
}
