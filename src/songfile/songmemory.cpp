#include "songmemory.h"

#include <QCryptographicHash>
#include <QFile>

#include "atomicfile.h"

namespace cantavo {

QByteArray SongMemory::key(const QByteArray& songData) {
    return QCryptographicHash::hash(songData, QCryptographicHash::Sha256).toHex();
}

QString SongMemory::recall(const QByteArray& songData) const {
    QByteArray all;
    if (file_.isEmpty() || !ReadInputFile(file_, kMaxTextBytes, &all, nullptr)) return {};
    const QByteArray k = key(songData);
    for (const QByteArray& raw : all.split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0 && line.left(tab) == k) return QString::fromUtf8(line.mid(tab + 1));
    }
    return {};
}

bool SongMemory::remember(const QByteArray& songData, const QString& name, QString* error) const {
    if (file_.isEmpty()) return true;
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("%1 could not be remembered in %2: %3").arg(what_.left(1).toUpper() + what_.mid(1), file_, why);
        return false;
    };
    const QByteArray k = key(songData);
    QByteArray all, kept;
    QString why;
    // What the other songs remember is kept: a file that is there but cannot be read is
    // not written over.
    if (QFile::exists(file_) && !ReadInputFile(file_, kMaxTextBytes, &all, &why)) return fail(why);
    for (const QByteArray& line : all.split('\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith(k + '\t')) kept += line + '\n';
    QString value = name;
    value.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (!value.isEmpty()) kept += k + '\t' + value.toUtf8() + '\n';
    if (!WriteFileAtomically(file_, kept, &why)) return fail(why);
    return true;
}

}  // namespace cantavo
