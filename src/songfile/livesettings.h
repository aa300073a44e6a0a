#pragma once

#include <QJsonObject>

#include <vector>

#include <array>

#include "songevents.h"
#include "songmodel.h"

namespace cantavo {

// Velocity v of a note under a loudness of `percent`: v * percent / 100 + 1, rounded half to
// even, at most 127; 100 leaves it as it is. The rewriter writes it, the sequencer plays it.
int ScaledVelocity(int velocity, int percent);
// A note moved by `halfTones`, brought back into 0..127 by whole octaves.
int TransposedNote(int note, int halfTones);

// A key as the singer reads it: "0", "+2", "-3".
inline QString KeyText(int halfTones) { return halfTones > 0 ? QStringLiteral("+%1").arg(halfTones) : QString::number(halfTones); }

// What the singer changes while the song plays: the key, the tempo and the mix.
struct LiveSettings {
    static constexpr int kMinKey = -12, kMaxKey = 12, kMinTempo = 50, kMaxTempo = 200, kMaxLoudness = 200;
    int key = 0;             // half tones
    int keepChannel = 10;    // 1..16: the channel never transposed (the drums); 0: none
    int tempoPercent = 100;  // of the song's own tempo
    std::array<int, 16> loudness{100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    std::array<bool, 16> mute{};
    std::array<bool, 16> solo{};

    bool operator==(const LiveSettings&) const = default;
    bool isDefault() const { return *this == LiveSettings{}; }
    // Channel 0..15 is not heard: muted, or another channel is soloed.
    bool silenced(int channel) const;
    // The key as the singer reads it: "0", "+2", "-3".
    QString keyText() const { return KeyText(key); }
    // The values brought into their ranges.
    LiveSettings clamped() const;

    QJsonObject toJson() const;
    static LiveSettings fromJson(const QJsonObject& o);
};

// How well a channel answers the syllables, for the choice of the melody.
struct MelodyMeasure {
    int channel = 0;        // 0..15
    int track = -1;         // the track chunk holding most of its notes
    QString trackName;
    double syllables = 0;   // share of the syllables with a note of the channel starting with them
    double between = 0;     // share of its notes within the sung lines that start with no syllable
    double meanPitch = 0;   // of those notes
    double nameWeight = 1;  // above 1 when its track is named for the melody or the voice
    double score = 0;
};

// The measures of every channel with a note on a syllable (never the drums' channel 10), the
// most likely melody first.
std::vector<MelodyMeasure> MelodyMeasures(const SongModel& song, const SongEvents& events);

// The channel 0..15 that carries the melody under the lyrics: the tune answers the syllables
// one to one (most syllables have a note starting with them, few of its notes fall between
// them) in a singing range, and its maker's name for the track ("Melody", "Vocal") weighs
// strongly; -1 when no channel has a note on a syllable.
int MelodyChannel(const SongModel& song, const SongEvents& events);

}  // namespace cantavo
