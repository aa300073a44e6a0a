// The music between singers, on the synthesizer as it really renders: it plays on its own
// channels, quieter, one song after another, and leaves the sung song's channels alone.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fluidsynth.h>

#include <cmath>
#include <set>

#include "breakmusic.h"
#include "engine.h"
#include "smfbytes.h"

namespace cantavo::test {
namespace {

// One track on channel 1: a General MIDI reset, an instrument, and a note of `beats` beats.
QByteArray resettingSong(int program, int beats) {
    QByteArray t;
    varLen(t, 0);
    t += QByteArray::fromHex("f0057e7f0901f7");
    varLen(t, 0);
    t += static_cast<char>(0xC0);
    t += static_cast<char>(program);
    varLen(t, 0);
    t += QByteArray::fromHex("903c64");
    varLen(t, static_cast<quint32>(480 * beats));
    t += QByteArray::fromHex("803c00");
    meta(t, 0, 0x2F, {});
    QByteArray out = QByteArray::fromHex("4d546864000000060000000101e0") + "MTrk";
    for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(t.size() >> s);
    return out + t;
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
    return f.fileName();
}

std::set<int> soundingChannels(SynthHost& host) {
    fluid_voice_t* voices[256] = {};
    fluid_synth_get_voicelist(host.synth(), voices, 256, -1);
    std::set<int> channels;
    for (fluid_voice_t* v : voices)
        if (v && fluid_voice_is_playing(v)) channels.insert(fluid_voice_get_channel(v));
    return channels;
}

int programOf(SynthHost& host, int channel) {
    int font = 0, bank = 0, preset = 0;
    fluid_synth_get_program(host.synth(), channel, &font, &bank, &preset);
    return preset;
}

double rms(SynthHost& host, double seconds) {
    std::vector<float> out(static_cast<size_t>(seconds * host.sampleRate() / 64) * 64 * 2);
    host.render(static_cast<int>(out.size() / 2), out.data());
    double sum = 0;
    for (float s : out) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(out.size()));
}

TEST(BreakMusic, PlaysOnItsOwnChannelsQuieterAndGoesRoundTheList) {
    auto host = offlineHost();
    ASSERT_TRUE(host);
    QTemporaryDir dir;
    const QString first = write(dir, QStringLiteral("first.mid"), resettingSong(48, 2));
    const QString broken = write(dir, QStringLiteral("broken.mid"), "MThd, and nothing after");
    const QString second = write(dir, QStringLiteral("second.mid"), resettingSong(56, 2));

    // The song loaded for the next singer has set its first channel's instrument.
    fluid_synth_program_change(host->synth(), 0, 40);
    BreakMusic music(*host);
    QSignalSpy titles(&music, &BreakMusic::nowPlayingChanged);
    music.setSongs({first, broken, second});
    music.setLoudness(100);
    ASSERT_TRUE(music.start()) << music.problem().toStdString();
    EXPECT_EQ(music.nowPlaying(), QStringLiteral("first"));
    const double full = rms(*host, 0.5);
    EXPECT_EQ(soundingChannels(*host), std::set<int>{16});
    EXPECT_EQ(programOf(*host, 16), 48);
    EXPECT_EQ(programOf(*host, 0), 40) << "its reset and instrument stayed off the song's channels";

    // Quieter at a lower loudness, taken from the next note on.
    music.stop();
    renderSeconds(*host, 2.0);
    EXPECT_LT(rms(*host, 0.5), full / 20) << "stopped, and its last notes faded";
    EXPECT_EQ(titles.count(), 2) << "a title, then the end";
    music.setSongs({first});
    music.setLoudness(30);
    ASSERT_TRUE(music.start());
    EXPECT_LT(rms(*host, 0.5), full * 0.6);
    music.stop();

    // At the end of a song the next readable one follows, and the list goes round.
    music.setSongs({first, broken, second});
    music.setLoudness(100);
    ASSERT_TRUE(music.start());
    renderSeconds(*host, 1.6);
    EXPECT_EQ(music.nowPlaying(), QStringLiteral("second")) << "the broken one is passed over";
    renderSeconds(*host, 0.1);
    EXPECT_EQ(programOf(*host, 16), 56);
    renderSeconds(*host, 1.6);
    EXPECT_EQ(music.nowPlaying(), QStringLiteral("first"));
    EXPECT_TRUE(music.playing());
    music.stop();
    EXPECT_FALSE(music.playing());
    EXPECT_TRUE(music.nowPlaying().isEmpty());

    // Nothing playable: said, and nothing plays.
    music.setSongs({broken, dir.filePath(QStringLiteral("gone.mid"))});
    EXPECT_FALSE(music.start());
    EXPECT_TRUE(music.problem().contains(QStringLiteral("broken.mid"))) << music.problem().toStdString();
    EXPECT_TRUE(music.problem().contains(QStringLiteral("gone.mid")));
    EXPECT_FALSE(music.playing());
    music.setSongs({});
    EXPECT_FALSE(music.start());
    EXPECT_FALSE(music.problem().isEmpty());
}

}  // namespace
}  // namespace cantavo::test
