#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// What the singer chose for particular songs (the lyrics encoding, the live key and mix),
// remembered by a hash of each song's contents (so a copy or a renamed file keeps its
// choice), one line per song in a text file: the hash, a tab, the value on one line.
class SongMemory {
public:
    // `what` names the choice in messages ("the lyrics encoding").
    explicit SongMemory(const QString& file = {}, const QString& what = QStringLiteral("the lyrics encoding")) : file_(file), what_(what) {}
    const QString& file() const { return file_; }

    // The value remembered for the song with these contents; empty: nothing.
    QString recall(const QByteArray& songData) const;
    // Remembers `name` (one line) for the song (empty forgets it). False with `error` when the file
    // cannot be written; the old file is then kept whole.
    bool remember(const QByteArray& songData, const QString& name, QString* error = nullptr) const;

private:
    static QByteArray key(const QByteArray& songData);
    QString file_;
    QString what_;
};

}  // namespace cantavo
