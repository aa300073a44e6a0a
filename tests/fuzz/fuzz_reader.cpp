// Any bytes at all go through the reader and the title scan: they must return, never
// crash, read out of bounds or hang.
#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "songreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    cantavo::SongModel model;
    cantavo::LoadSongData(bytes, QStringLiteral("fuzz.kar"), model);
    cantavo::SongModel titles;
    cantavo::ScanSongTitlesData(bytes, titles);
    return 0;
}
