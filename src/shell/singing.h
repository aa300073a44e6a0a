#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "livesettings.h"
#include "melody.h"
#include "scorekeeper.h"
#include "songmemory.h"

namespace cantavo {

// What singing keeps between runs: with the program's newer settings (QSettings), and per
// song (by its contents) beside them.
namespace sing {
inline const QString kOn = QStringLiteral("score/on");
inline const QString kDifficulty = QStringLiteral("score/difficulty");
inline const QString kRoundTripMs = QStringLiteral("score/roundTripMs");
inline const QString kReportedMs = QStringLiteral("score/reportedMs");
inline const QString kMelodyFile = QStringLiteral("song-melody.txt");
inline const QString kBestFile = QStringLiteral("song-scores.txt");
}  // namespace sing

// A file of the program's own beside the preferences (the build tree), or in the user's
// config folder when installed.
QString ProgramFile(const QString& name);

// The melody channel the singer chose for the song (0..15), or -1: found from the lyrics.
int ChosenMelodyChannel(const SongMemory& memory, const QByteArray& songData);

// The melody of a song as the singer sings it: the chosen channel, the live key.
Melody SongMelody(const SongModel& song, const SongEvents& events, int chosenChannel, const LiveSettings& live);

// "channel 4 (Harmonica), track 3" (tracks numbered as the track list numbers them).
QString MelodyDescription(const Melody& melody, const SongEvents& events);
// The instrument a channel starts with, by its General MIDI name ("Drums" on channel 10).
QString ChannelInstrument(const SongEvents& events, int channel);

// The best score of a song at each difficulty, and keeping a new one. `improved` tells
// whether `total` beat what was kept.
int BestScore(const SongMemory& memory, const QByteArray& songData, Difficulty d);
bool KeepBestScore(const SongMemory& memory, const QByteArray& songData, Difficulty d, int total, bool* improved, QString* error);

// What calibration found beyond the sound server's report, from the settings; 0 if never run.
double CalibratedExtraMs(const QString& settingsFile);

}  // namespace cantavo
