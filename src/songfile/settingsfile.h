#pragma once

#include <QString>
#include <QVariantMap>

namespace cantavo {

// Changes keys ("group/name") of an INI settings file that QSettings reads, writing the whole
// file through WriteFileAtomically: QSettings' own writing renames a file cut short over the
// old one when the disk is full, and says nothing. The file's other keys are kept. Values are
// numbers, truth values and plain words. False, with the reason, when it was not written.
bool ChangeSettings(const QString& path, const QVariantMap& changes, QString* error);

}  // namespace cantavo
