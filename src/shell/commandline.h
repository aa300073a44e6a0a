#pragma once

#include <QStringList>
#include <QTextStream>

namespace cantavo {

// The program's command-line entry: options that do their work and exit without a window.
// Returns the process exit status, or -1 when the arguments ask for the player window.
int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

// `cantavo --info [--json] FILE`: 0 when something could be read, 2 for a file that is not
// a MIDI file or cannot be read.
int PrintSongInfo(const QString& path, bool json, QTextStream& out, QTextStream& err);

// `cantavo --render SONG OUT.wav`: 0 when the wave file was written, 2 otherwise.
int RenderSong(const QString& song, const QString& wave, const QString& soundFont, QTextStream& out, QTextStream& err);

}  // namespace cantavo
