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

// Chooses the encoding of a song from all its 8-bit texts taken together: UTF-8 when they
// are valid UTF-8 with multi-byte sequences; a code page when the bytes are clearly of
// another script's code page; otherwise the character table, as for every Western song.
SongEncoding DetectSongEncoding(const QList<QByteArray>& texts);

}  // namespace cantavo
