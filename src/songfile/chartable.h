#pragma once

#include <QByteArray>
#include <QString>

namespace cantavo {

// The character table first, every other byte as Windows-1252. The text keeps its length:
// one character per byte. A zero byte becomes a blank.
QString ConvertOemChars(const QByteArray& bytes);

// Windows-1252 alone, for texts that are kept "as stored" (the title scan).
QString DecodeWindows1252(const QByteArray& bytes);

// True when `bytes` is valid UTF-8; `multiByte` tells whether it holds any sequence of
// two or more bytes.
bool IsValidUtf8(const QByteArray& bytes, bool* multiByte);

}  // namespace cantavo
