// Any bytes as a list file and as a compilation file: reading them, writing the rows back,
// the report of the rows and the compilation's entries must return, never crash or read out
// of bounds, and a list written back must read back as the same rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "atomicfile.h"
#include "songlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = cantavo::DecodeTextFile(bytes);
    const QList<cantavo::SongRow> rows = cantavo::ParseListText(text);
    QList<cantavo::SongRow> kept;
    for (const cantavo::SongRow& r : rows)
        if (!r.fileName.contains(QLatin1Char('\n')) && !r.path.contains(QLatin1Char('\n')) && !r.title.contains(QLatin1Char('\n')) &&
            !r.author.contains(QLatin1Char('\n')) && !r.length.contains(QLatin1Char('\n')))
            kept << r;
    if (cantavo::ParseListText(cantavo::DecodeTextFile(cantavo::ListFileBytes(kept))) != kept) std::abort();
    cantavo::ReportBytes(rows, QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
    cantavo::CompilationEntries(text);
    cantavo::CompilationFileBytes(text);
    return 0;
}
