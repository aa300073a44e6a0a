#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

#include "smfbytes.h"
#include "songreader.h"
#include "testpaths.h"

namespace cantavo::test {


// Records what the reader tells the user.
class RecordingReporter : public SongReadReporter {
public:
    void showWarning(const QString& text) override { calls << QStringLiteral("warning:") + text; }
    void closeSong(const QString& path) override { calls << QStringLiteral("close:") + path; }
    QStringList calls;
};

struct Loaded {
    SongModel song;
    LoadResult result;
    RecordingReporter reporter;
};

inline void loadInto(Loaded& l, const QString& path) {
    l.song.clear();
    l.result = LoadSongFile(path, l.song, &l.reporter);
}


}  // namespace cantavo::test
