#pragma once

#include <QString>

namespace cantavo::test {

// The demo songs the build generates into the program directory, and the test songs.
inline QString demoSong(const char* name) {
    return QStringLiteral(CANTAVO_PROGRAM_DIR "/songs/") + QString::fromUtf8(name) + QStringLiteral(".kar");
}
inline QString fixture(const char* name) {
    return QStringLiteral(CANTAVO_FIXTURE_DIR "/") + QString::fromUtf8(name) + QStringLiteral(".mid");
}

}  // namespace cantavo::test
