#include "songmemory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

namespace cantavo {

QByteArray SongMemory::key(const QByteArray& songData) {
    return QCryptographicHash::hash(songData, QCryptographicHash::Sha256).toHex();
}

QString SongMemory::recall(const QByteArray& songData) const {
    QFile f(file_);
    if (file_.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    const QByteArray k = key(songData);
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0 && line.left(tab) == k) return QString::fromUtf8(line.mid(tab + 1));
    }
    return {};
}

bool SongMemory::remember(const QByteArray& songData, const QString& name, QString* error) const {
    if (file_.isEmpty()) return true;
    const QByteArray k = key(songData);
    QByteArray kept;
    QFile old(file_);
    if (old.open(QIODevice::ReadOnly)) {
        while (!old.atEnd()) {
            const QByteArray line = old.readLine();
            if (!line.trimmed().isEmpty() && !line.startsWith(k + '\t')) kept += line.endsWith('\n') ? line : line + '\n';
        }
    }
    if (!name.isEmpty()) kept += k + '\t' + name.toUtf8() + '\n';
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit()) {
        if (error) *error = QStringLiteral("%1 could not be remembered in %2: %3").arg(what_.left(1).toUpper() + what_.mid(1), file_, out.errorString());
        return false;
    }
    return true;
}

}  // namespace cantavo
