#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace cantavo {

// How a song's 8-bit texts become Unicode: one choice for all the texts of a song.
// `codePage` empty: the character table and Windows-1252, as karaoke files written with
// the DOS code page in mind need; "UTF-8"; or a code page name that Qt decodes
// ("windows-1251", "Shift_JIS", ...).
struct SongEncoding {
    QByteArray codePage;

    bool isCharacterTable() const { return codePage.isEmpty(); }
    // The name `--info` prints and the override remembers: "character-table" or the code page.
    QString name() const;
    static SongEncoding fromName(const QString& name);
    bool operator==(const SongEncoding&) const = default;
};

// Every encoding a song may be read in, by name, the automatic choice aside; with what the
// menu says of each.
struct EncodingChoice {
    QString name;
    QString label;
};
QList<EncodingChoice> SongEncodingChoices();

// Decodes one text of a song. `useTable`: a zero byte becomes a blank (as in the reader's
// texts); without it the character table is not applied either (texts kept as stored).
QString DecodeSongText(const QByteArray& bytes, const SongEncoding& encoding, bool useTable);

// How the encoding of a song was chosen: how sure the choice is.
struct EncodingGuess {
    // "no 8-bit text", "UTF-8", "too few 8-bit bytes", "DOS letters", "detector" (the
    // statistical detector's answer, its reading plainly text) or "weighing" (the detector had
    // no usable answer: the letters' fit to each code page decided); or "chosen by the singer".
    QString basis;
    QString detector;      // the detector's answer, as it names it
    QString veto;          // why the detector's answer was not taken, when it was not
    int eightBitBytes = 0; // the evidence: bytes 0x80..0xFF inside words of the song's texts
};

// Chooses the encoding of a song from all its 8-bit texts taken together (in file order, as
// one sample): UTF-8 when they are valid UTF-8 with multi-byte sequences; the character table
// when there is no more than a stray symbol, or when every 8-bit byte is one of the DOS
// letters of the character table; otherwise the statistical detector's answer unless its
// reading is plainly no text; when the detector has no usable answer, the reading whose
// letters best fit a script's code page.
SongEncoding DetectSongEncoding(const QList<QByteArray>& texts, EncodingGuess* guess = nullptr);

// Why a decoded text is plainly no text (a control character, an unassigned code point, a
// combining mark on no letter, a symbol inside a word, words whose 8-bit characters are
// mostly symbols, letters of two scripts in one word); empty when it may be text.
QString NotTextReason(const QString& text);

}  // namespace cantavo
