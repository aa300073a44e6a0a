// The live key, speed and mix, checked on the messages the sequencer sends while it plays
// offline on the sample clock.
#include <map>
#include <vector>

#include "engine.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

struct Sent {
    qint64 frame;
    int type, channel, key, value;
};

struct LiveRig {
    std::unique_ptr<SynthHost> host = offlineHost();
    Sequencer seq{*host};
    std::vector<Sent> sent;
    explicit LiveRig(const QString& song) {
        QString error;
        EXPECT_TRUE(seq.open(song, &error)) << error.toStdString();
        seq.setEventTap([this](qint64 frame, int status, int d1, int d2) { sent.push_back({frame, status & 0xF0, status & 0x0F, d1, d2}); });
    }
    // The song's note-ons in the order they are played.
    std::vector<SongEvent> songNoteOns() const {
        std::vector<SongEvent> on;
        for (const SongEvent& e : seq.events().events)
            if (e.sysex < 0 && (e.status & 0xF0) == 0x90 && e.data2 > 0) on.push_back(e);
        return on;
    }
    std::vector<Sent> noteOns() const {
        std::vector<Sent> on;
        for (const Sent& s : sent)
            if (s.type == 0x90 && s.value > 0) on.push_back(s);
        return on;
    }
};

bool isOff(const Sent& s) { return s.type == 0x80 || (s.type == 0x90 && s.value == 0); }

// Every note-off ends a sounding note of the same number on its channel, and at the end
// nothing sounds.
void expectNoHangingNotes(const std::vector<Sent>& sent) {
    std::map<std::pair<int, int>, int> sounding;
    for (const Sent& s : sent) {
        if (s.type == 0xB0 && (s.key == 123 || s.key == 120)) {
            for (auto it = sounding.begin(); it != sounding.end();) it = it->first.first == s.channel ? sounding.erase(it) : std::next(it);
            continue;
        }
        if (s.type == 0x90 && s.value > 0) ++sounding[{s.channel, s.key}];
        else if (isOff(s)) {
            auto it = sounding.find({s.channel, s.key});
            EXPECT_TRUE(it != sounding.end() && it->second > 0) << "a note-off for note " << s.key << " on channel " << s.channel + 1 << " that is not sounding";
            if (it != sounding.end() && --it->second == 0) sounding.erase(it);
        }
    }
    for (const auto& [where, count] : sounding) ADD_FAILURE() << "note " << where.second << " on channel " << where.first + 1 << " still sounds";
}

}  // namespace

TEST(Live, KeyChangesAmidHeldNotesLeaveNoneHangingAndReachTheNextNote) {
    LiveRig r(demoSong("oh-susanna"));
    r.seq.play();
    renderSeconds(*r.host, 2.0);
    const std::vector<SongEvent> song = r.songNoteOns();
    std::vector<std::pair<qint64, int>> changes;  // the frame from which each key holds
    for (int key : {3, -5, 12, -12, 0, 7}) {
        LiveSettings live;
        live.key = key;
        r.seq.setLive(live);
        changes.push_back({r.host->framesRendered(), key});
        renderSeconds(*r.host, 0.7 + 0.13 * (key & 3));
    }
    renderSeconds(*r.host, 25);
    ASSERT_EQ(r.seq.mode(), MediaMode::Stopped) << "played to the end";
    expectNoHangingNotes(r.sent);
    const std::vector<Sent> on = r.noteOns();
    ASSERT_EQ(on.size(), song.size()) << "every note of the song is played once";
    int checked = 0;
    for (size_t i = 0; i < on.size(); ++i) {
        int key = 0;
        for (const auto& [frame, k] : changes)
            if (on[i].frame >= frame) key = k;
        const int drums = 9;
        const int expected = song[i].status % 16 == drums ? song[i].data1 : TransposedNote(song[i].data1, key);
        EXPECT_EQ(on[i].key, expected) << "note " << i << " at frame " << on[i].frame;
        checked += on[i].frame >= changes.front().first;
    }
    EXPECT_GT(checked, 20);
    // The first note-on of the block after a change already has the new key.
    for (const auto& [frame, key] : changes) {
        auto first = std::find_if(on.begin(), on.end(), [&](const Sent& s) { return s.frame >= frame; });
        if (first == on.end()) continue;
        EXPECT_LT(first->frame - frame, r.host->sampleRate()) << "no note for a second after the change";
    }
}

TEST(Live, MuteSoloAndLoudnessActOnTheNextNote) {
    LiveRig r(demoSong("oh-susanna"));
    const std::array<bool, 16>& used = r.seq.channelsUsed();
    std::vector<int> channels;
    for (int c = 0; c < 16; ++c)
        if (used[static_cast<size_t>(c)]) channels.push_back(c);
    ASSERT_GE(channels.size(), 2u);
    const int a = channels[0], b = channels[1];
    r.seq.play();
    renderSeconds(*r.host, 3.0);
    LiveSettings live;
    live.mute[static_cast<size_t>(a)] = true;
    live.loudness[static_cast<size_t>(b)] = 50;
    r.seq.setLive(live);
    const qint64 change = r.host->framesRendered();
    renderSeconds(*r.host, 3.0);
    const qint64 unmute = r.host->framesRendered();
    live.mute[static_cast<size_t>(a)] = false;
    live.solo[static_cast<size_t>(a)] = true;
    r.seq.setLive(live);
    renderSeconds(*r.host, 15.0);
    ASSERT_EQ(r.seq.mode(), MediaMode::Stopped) << "played to the end";
    bool endedAtOnce = false;
    for (const Sent& s : r.sent) {
        if (s.frame < change) continue;
        if (s.channel == a && isOff(s) && s.frame == change) endedAtOnce = true;
        const bool on = s.type == 0x90 && s.value > 0;
        if (!on) continue;
        if (s.frame < unmute) {
            EXPECT_NE(s.channel, a) << "a note of the muted channel";
            if (s.channel == b) EXPECT_LE(s.value, 64) << "loudness 50 % lets a velocity over 64 through";
        } else {
            EXPECT_EQ(s.channel, a) << "only the soloed channel plays";
        }
    }
    EXPECT_TRUE(endedAtOnce) << "the muted channel's notes did not end at the change";
    expectNoHangingNotes(r.sent);
    const auto soloNotes = std::count_if(r.sent.begin(), r.sent.end(), [&](const Sent& s) { return s.frame >= unmute && s.type == 0x90 && s.value > 0; });
    EXPECT_GT(soloNotes, 0) << "the channel came back at its next note";
}

TEST(Live, SpeedMovesPositionsAsTheTempoMapSays) {
    LiveRig r(demoSong("twinkle"));  // 800 ticks a second until tick 23040
    r.seq.play();
    renderSeconds(*r.host, 5.0);
    EXPECT_NEAR(r.seq.positionTicks(), 4000, 2);
    LiveSettings live;
    live.tempoPercent = 150;
    r.seq.setLive(live);
    renderSeconds(*r.host, 4.0);
    EXPECT_NEAR(r.seq.positionTicks(), 4000 + 4 * 1200, 3);
    live.tempoPercent = 50;
    r.seq.setLive(live);
    renderSeconds(*r.host, 2.0);
    EXPECT_NEAR(r.seq.positionTicks(), 8800 + 2 * 400, 3);
    // The position in the song's own time does not change with the speed.
    EXPECT_NEAR(r.seq.positionMs(), 9600 / 800.0 * 1000, 5);
    // A paused song resumes at the speed it was left with.
    r.seq.pause();
    r.seq.play();
    renderSeconds(*r.host, 1.0);
    EXPECT_NEAR(r.seq.positionTicks(), 9600 + 400, 3);
}

TEST(Live, SettingsKeepTheirRangesAndTravelAsJson) {
    LiveSettings s;
    s.key = 40;
    s.tempoPercent = 10;
    s.loudness[3] = 900;
    s.mute[4] = true;
    s.solo[9] = true;
    const LiveSettings c = s.clamped();
    EXPECT_EQ(c.key, 12);
    EXPECT_EQ(c.tempoPercent, 50);
    EXPECT_EQ(c.loudness[3], 200);
    EXPECT_EQ(LiveSettings::fromJson(c.toJson()), c);
    EXPECT_TRUE(c.silenced(4));
    EXPECT_TRUE(c.silenced(0)) << "another channel is soloed";
    EXPECT_FALSE(c.silenced(9));
    EXPECT_TRUE(LiveSettings::fromJson({}).isDefault());
}
