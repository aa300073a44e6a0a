#include "lyriclines.h"

namespace cantavo {

QString SyllableText(const QString& lyric) {
    return lyric.endsWith(QLatin1Char('-')) ? lyric.chopped(1) : lyric;
}

LyricLines BuildLineTable(const SongModel& song) {
    LyricLines t;
    t.lines << QString();
    for (int i = 1; i <= song.lyricCount; ++i) {
        const QString s = SyllableText(song.lyricText[i]);
        if (s.startsWith(QLatin1Char('\\')) || s.startsWith(QLatin1Char('/'))) {
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
