#include "lyriclines.h"

namespace cantavo {

LyricLines BuildLineTable(const SongModel& song) {
    LyricLines t;
    t.lines << QString();
    for (int i = 1; i <= song.lyricCount; ++i) {
        const QString s = SyllableText(song.lyricText[i]);
        if (StartsLine(s)) {
            t.lines << QLatin1Char(' ') + s.mid(1);
        } else {
            t.lines.last() += s;
        }
    }
    return t;
}

QString LyricLines::lyricsText() const {
    return lines.mid(1).join(QStringLiteral("\r\n"));
}

}  // namespace cantavo
