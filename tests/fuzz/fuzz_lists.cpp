// Any bytes as a list file and as a compilation file: reading them, writing the rows back,
// the report of the rows and the compilation's entries must return, never crash or read out
// of bounds, and a list written back must read back as the same rows (those it can hold).
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
    // Rows the list format cannot hold are left out and named; the rest read back as written.
    QStringList leftOut;
    const QByteArray written = cantavo::ListFileBytes(rows, &leftOut);
    const QList<cantavo::SongRow> back = cantavo::ParseListText(cantavo::DecodeTextFile(written));
    if (back.size() + leftOut.size() != rows.size() || cantavo::ListFileBytes(back) != written) std::abort();
    cantavo::ReportBytes(rows, QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
    cantavo::CompilationEntries(text);
    cantavo::CompilationFileBytes(text);
    return 0;
}
