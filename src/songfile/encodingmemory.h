#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// The encodings the singer chose for particular songs, remembered by a hash of each song's
// contents (so a copy or a renamed file keeps its choice), one line per song in a text
// file: the hash, a tab, the encoding's name.
class EncodingMemory {
public:
    explicit EncodingMemory(const QString& file = {}) : file_(file) {}
    const QString& file() const { return file_; }

    // The name remembered for the song with these contents; empty: the automatic choice.
    QString recall(const QByteArray& songData) const;
    // Remembers `name` for the song (empty forgets it). False with `error` when the file
    // cannot be written; the old file is then kept whole.
    bool remember(const QByteArray& songData, const QString& name, QString* error = nullptr) const;

private:
    static QByteArray key(const QByteArray& songData);
    QString file_;
};

}  // namespace cantavo
