#pragma once

#include <QByteArray>

namespace cantavo::bench {

// A variable-length quantity appended to a track's bytes.
inline void varLen(QByteArray& t, quint32 v) {
    QByteArray g;
    do { g.prepend(static_cast<char>(v & 0x7F)); v >>= 7; } while (v);
    for (qsizetype i = 0; i + 1 < g.size(); ++i) g[i] = static_cast<char>(g[i] | 0x80);
    t += g;
}

}  // namespace cantavo::bench
