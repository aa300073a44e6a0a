#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "atomicfile.h"

namespace cantavo {

// The settings the preferences file keeps. Colours are 0x00BBGGRR, style flags 0 or -1,
// the window geometry in twips (15 to a pixel).
struct Preferences {
    QString fontName;
    int fontSize = 0;
    qint32 textColor = 0;
    qint32 backColor = 0;
    QString backBitmap;
    int fontItalic = 0;
    int fontBold = 0;
    int fontUnderline = 0;
    int fontStrikethru = 0;
    qint32 pilotColor = 0;
    qint32 highlightColor = 0;
    QString ribbon;  // "ON" shows the toolbar; anything else hides it
    QString userSound1;
    QString userSound2;
    int recordBits = 0;
    int recordStereo = 0;
    int recordKHz = 0;
    int midiOutChoice = 0;
    QString dir;
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;

    bool operator==(const Preferences&) const = default;
};

// The values the program ships with: a readable lyrics font, a pilot and a highlight colour
// that stand out on the background, the toolbar on, 16-bit stereo 44 kHz recording, the mapper.
Preferences DefaultPreferences();

// The numeric text rule: leading blanks skipped, "&H" reads hexadecimal (a closing "&", or
// more than four digits, makes it 32-bit; four digits or fewer alone are a 16-bit number),
// reading stops at the first character that does not belong, no number gives 0.
double NumericValue(const QString& text);

// A program-directory path: one separator between the folder and the name.
QString ProgramDirectoryPath(const QString& folder, const QString& name);

// Reads the file by line position. Lines the file does not have (or no file at all) keep the
// values of `defaults`; a number outside its field's range leaves the previous value.
// False when the file could not be read.
bool ReadPreferences(const QString& path, Preferences& prefs, const Preferences& defaults);
Preferences ParsePreferences(const QStringList& lines, const Preferences& defaults);

// The file's 24 lines, each ended by carriage return and line feed.
QByteArray FormatPreferences(const Preferences& prefs);
// Writes the file atomically: the old file stays whole if anything goes wrong. False with
// `error` on failure.
bool WritePreferences(const QString& path, const Preferences& prefs, QString* error);

// Where the preferences live: the program directory when the program runs from its build
// folder and may write there; for an installed program (data in share/cantavo) or a
// read-only folder, the user's configuration folder ($XDG_CONFIG_HOME/cantavo), seeded with
// the shipped file on first use.
QString PreferencesPath(const QString& programDir, bool installed, const QString& fileName = QStringLiteral("CANTAVO.INI"));


}  // namespace cantavo
