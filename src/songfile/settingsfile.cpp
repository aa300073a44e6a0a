#include "settingsfile.h"

#include <QFileInfo>
#include <QMap>
#include <QSettings>

#include "atomicfile.h"

namespace cantavo {

namespace {

// A value as the INI format holds it; quoted when it holds more than a plain word.
QString iniValue(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 17);
    const QString text = v.toString();
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber() || QStringLiteral(".-+_").contains(c); });
    if (plain && !text.isEmpty()) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\"")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

bool ChangeSettings(const QString& path, const QVariantMap& changes, QString* error) {
    QMap<QString, QMap<QString, QString>> groups;
    if (QFileInfo::exists(path)) {
        const QString problem = InputFileProblem(path, kMaxTextBytes);
        if (!problem.isEmpty()) {
            if (error) *error = problem;
            return false;
        }
        const QSettings old(path, QSettings::IniFormat);
        for (const QString& key : old.allKeys()) {
            const QString group = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, 0) : QStringLiteral("General");
            groups[group][key.section(QLatin1Char('/'), key.contains(QLatin1Char('/')) ? 1 : 0)] = iniValue(old.value(key));
        }
    }
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const QString& key = it.key();
        const QString group = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, 0) : QStringLiteral("General");
        groups[group][key.section(QLatin1Char('/'), key.contains(QLatin1Char('/')) ? 1 : 0)] = iniValue(it.value());
    }
    QByteArray bytes;
    for (auto g = groups.begin(); g != groups.end(); ++g) {
        if (!bytes.isEmpty()) bytes += '\n';
        bytes += '[' + g.key().toUtf8() + "]\n";
        for (auto k = g->begin(); k != g->end(); ++k) bytes += k.key().toUtf8() + '=' + k.value().toUtf8() + '\n';
    }
    return WriteFileAtomically(path, bytes, error);
}

}  // namespace cantavo
