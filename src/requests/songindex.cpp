#include "songindex.h"

#include <QMessageAuthenticationCode>

#include <algorithm>

namespace cantavo {

QString SongIndex::Fold(const QString& text) {
    // Decomposed, the accents are marks of their own, and are dropped.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing) continue;
        out += c.isSpace() ? QChar(u' ') : c.toCaseFolded();
    }
    return out.simplified();
}

SongIndex::SongIndex(const QList<SongRow>& rows, const QByteArray& secret) {
    songs_.reserve(static_cast<size_t>(rows.size()));
    for (const SongRow& row : rows) {
        const QString path = row.fullPath();
        const QString id = QString::fromLatin1(QMessageAuthenticationCode::hash(path.toUtf8(), secret, QCryptographicHash::Sha256).toHex().left(20));
        if (byId_.contains(id)) continue;  // the same song listed twice
        byId_.insert(id, static_cast<int>(songs_.size()));
        songs_.push_back({id, row.title, row.author == QLatin1String("-") ? QString() : row.author, row.length, path,
                          Fold(row.title + QLatin1Char(' ') + row.author + QLatin1Char(' ') + row.fileName)});
    }
}

std::vector<const IndexedSong*> SongIndex::search(const QString& query, int limit, int* total) const {
    const QStringList words = Fold(query.left(kMaxQueryLength)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    limit = std::clamp(limit, 0, kMaxResults);
    std::vector<const IndexedSong*> found;
    int matched = 0;
    for (const IndexedSong& song : songs_) {
        if (!std::all_of(words.begin(), words.end(), [&song](const QString& w) { return song.haystack.contains(w); })) continue;
        if (static_cast<int>(found.size()) < limit) found.push_back(&song);
        ++matched;
    }
    if (total) *total = matched;
    return found;
}

const IndexedSong* SongIndex::find(const QString& id) const {
    const auto it = byId_.constFind(id);
    return it == byId_.constEnd() ? nullptr : &songs_[static_cast<size_t>(*it)];
}

}  // namespace cantavo
