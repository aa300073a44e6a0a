#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <vector>

#include "songlist.h"

namespace cantavo {

// A song as guests see it: an opaque id, and nothing of where it lies.
struct IndexedSong {
    QString id;
    QString title;
    QString author;
    QString length;
    QString path;      // for the host only
    QString haystack;  // title, author and file name, folded for search
};

// The catalogue guests search. Each song is named by an id made from its path and a secret
// chosen when the index is made, so that ids say nothing of the songs' files and cannot be
// guessed for songs outside the catalogue.
class SongIndex {
public:
    static constexpr int kMaxQueryLength = 100;
    static constexpr int kMaxResults = 50;

    SongIndex() = default;
    SongIndex(const QList<SongRow>& rows, const QByteArray& secret);

    // The songs whose title, author or file name hold every word of `query` (case and accents
    // ignored), in the catalogue's order; with no words, the catalogue from its start.
    // `total` gets how many matched in all.
    std::vector<const IndexedSong*> search(const QString& query, int limit, int* total = nullptr) const;
    const IndexedSong* find(const QString& id) const;
    int size() const { return static_cast<int>(songs_.size()); }

    // Lower case, without accents, spaces simplified: what a search compares.
    static QString Fold(const QString& text);

private:
    std::vector<IndexedSong> songs_;
    QHash<QString, int> byId_;
};

}  // namespace cantavo
