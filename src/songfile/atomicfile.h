#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// Writes `bytes` as a temporary file in the target's folder renamed over the target, so a
// failure leaves any earlier file as it was. False, with the reason, when it failed.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// A text file the program reads: UTF-8, or Windows-1252 when the bytes are not UTF-8.
QString DecodeTextFile(const QByteArray& bytes);

}  // namespace cantavo
