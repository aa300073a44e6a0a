#include "atomicfile.h"

#include <QSaveFile>

#include "chartable.h"

namespace cantavo {

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

QString DecodeTextFile(const QByteArray& bytes) {
    return IsValidUtf8(bytes, nullptr) ? QString::fromUtf8(bytes) : DecodeWindows1252(bytes);
}

}  // namespace cantavo
