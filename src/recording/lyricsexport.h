#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// The lyrics text file of a song: its title lines, three line breaks, the lyric lines, a line
// break, two empty lines, the closing line and the author line; UTF-8, every line break CR LF.
QByteArray LyricsFileBytes(const QString& songTitle, const QString& lyricsText);

// What "Save &Lyrics" proposes: the song's path with ".txt" (".TXT" from the toolbar) for its
// extension, the folder and name as they are.
QString LyricsFileProposal(const QString& songPath, bool upperCaseExtension);

}  // namespace cantavo
