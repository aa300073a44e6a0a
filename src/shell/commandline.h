#pragma once

#include <QStringList>
#include <QTextStream>

#include "trackrows.h"
#include "scorekeeper.h"
#include "takerecorder.h"

namespace cantavo {

// What the arguments ask for. Parsing needs no application object and no display, so a
// misused option is answered before any window system starts.
struct CommandLineRequest {
    enum class Action { Exit, Window, Info, Render, Play, Record, Score, Calibrate, Paths, Modify, Catalogue, Report } action = Action::Exit;
    int exitStatus = 0;  // Action::Exit
    bool json = false;
    double seconds = 0;  // --play, --record: stop after this long (0: the whole song)
    WaveFormat format;      // --record
    bool voiceOnly = false; // --record
    Difficulty difficulty = Difficulty::Normal;  // --score
    double offsetMs = 0;                          // --score
    QString soundFont;
    QStringList songs;
    ModifyRequest modify;  // --modify
    QString output;        // -o of --catalogue and --report
};

// Parses the arguments; usage errors and --help/--version are printed here (errors once,
// on `err`) and come back as Action::Exit with their status.
CommandLineRequest ParseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

// Carries out a request that needs no window (needs a QCoreApplication).
int RunCommandLineAction(const CommandLineRequest& request, QTextStream& out, QTextStream& err);

// Both, for the options that do their work and exit without a window. Returns the process
// exit status, or -1 when the arguments ask for the player window.
int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

// `cantavo --play SONG`: plays the song in real time with no window, through the sound
// server (or the silent clock), and says what it played through. 0 at the end of the song.
int PlaySong(const QString& song, double seconds, const QString& soundFont, QTextStream& out, QTextStream& err);

// `cantavo --record SONG TAKE.wav`: plays the song as --play does and records the default
// input (with the music mixed in, unless `voiceOnly`) into a wave file of `format`, as the
// wave control records. 0 when the take was written, 2 otherwise.
int RecordSong(const QString& song, const QString& wave, double seconds, const QString& soundFont, WaveFormat format, bool voiceOnly,
               QTextStream& out, QTextStream& err);

// `cantavo --score SONG TAKE.wav`: scores a take that starts with the song (shifted by
// `offsetMs`) as the player scores singing, in text or JSON. 0 when it was scored.
int ScoreTakeFile(const QString& song, const QString& take, Difficulty difficulty, double offsetMs, bool json, QTextStream& out, QTextStream& err);

// `cantavo --calibrate`: measures the sound's round trip as "Calibrate..." does and keeps it.
int CalibrateSound(const QString& soundFont, QTextStream& out, QTextStream& err);

// `cantavo --info [--json] FILE`: 0 when something could be read, 2 for a file that is not
// a MIDI file or cannot be read.
int PrintSongInfo(const QString& path, bool json, QTextStream& out, QTextStream& err);

// `cantavo --catalogue FOLDER... -o LIST.lst`: the list of the songs under the folders.
// `cantavo --report LIST.lst -o REPORT.txt`: the report of a list. Files left out go to `err`;
// 0 when the file was written, 2 otherwise.
int WriteCatalogue(const QStringList& folders, const QString& list, QTextStream& err);
int WriteReport(const QString& list, const QString& report, QTextStream& err);

// `cantavo --render SONG OUT.wav`: 0 when the wave file was written, 2 otherwise.
int RenderSong(const QString& song, const QString& wave, const QString& soundFont, QTextStream& out, QTextStream& err);

}  // namespace cantavo
