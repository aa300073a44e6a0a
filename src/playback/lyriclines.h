#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include "songmodel.h"

namespace cantavo {

// How the lyrics look. The defaults are good on their own; the preferences file overrides them.
struct DisplaySettings {
    QColor textColor{0xE8, 0xE8, 0xF0};
    QColor pilotColor{0xFF, 0xD2, 0x4A};
    QColor highlightColor{0x3C, 0xE0, 0xFF};
    QColor backColor{0x12, 0x16, 0x2E};
    QString backBitmap;
    QString fontName = QStringLiteral("DejaVu Sans");
    int fontSize = 28;
    bool fontBold = true;
    bool fontItalic = false;
    bool fontUnderline = false;
    bool fontStrikethru = false;
};

// The lines of the lyrics: line 0 collects what comes before the first line mark and is
// never shown; a text starting with "\" or "/" starts the next line, which begins with a
// blank; a final "-" is dropped.
struct LyricLines {
    QStringList lines;  // lines[0] .. lines[lineCount()]
    int lineCount() const { return static_cast<int>(lines.size()) - 1; }
    // Lines 1 to lineCount joined with carriage return + line feed.
    QString lyricsText() const;
};

LyricLines BuildLineTable(const SongModel& song);

}  // namespace cantavo
