#pragma once

#include <QJsonObject>

#include <array>

#include "songevents.h"
#include "songmodel.h"

namespace cantavo {

// Velocity v of a note under a loudness of `percent`: v * percent / 100 + 1, rounded half to
// even, at most 127; 100 leaves it as it is. The rewriter writes it, the sequencer plays it.
int ScaledVelocity(int velocity, int percent);
// A note moved by `halfTones`, brought back into 0..127 by whole octaves.
int TransposedNote(int note, int halfTones);

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
    QString keyText() const { return key > 0 ? QStringLiteral("+%1").arg(key) : QString::number(key); }
    // The values brought into their ranges.
    LiveSettings clamped() const;

    QJsonObject toJson() const;
    static LiveSettings fromJson(const QJsonObject& o);
};

// The channel 0..15 that carries the melody under the lyrics: the one with a note-on within
// a 32nd note of the most syllables (ties to the higher mean pitch), never the drums' channel
// 10; -1 when none has any.
int MelodyChannel(const SongModel& song, const SongEvents& events);

}  // namespace cantavo
