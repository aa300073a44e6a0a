#pragma once
// A demo song read as the program reads it, with its melody.
#include <QFile>

#include <gtest/gtest.h>

#include "melody.h"
#include "songevents.h"
#include "songmodel.h"
#include "songreader.h"
#include "testpaths.h"

namespace cantavo::test {

struct LoadedSong {
    SongModel model;
    SongEvents events;
    Melody melody;
    double lengthMs = 0;
};

inline LoadedSong loadSong(const QString& path, int channel = -1, int key = 0) {
    LoadedSong s;
    LoadSongFile(path, s.model);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QString error;
    EXPECT_TRUE(LoadSongEvents(f.readAll(), s.events, &error)) << error.toStdString();
    s.melody = BuildMelody(s.model, s.events, channel, key);
    s.lengthMs = s.melody.msAtTick(static_cast<double>(s.events.endTick)) + 500;
    return s;
}

}  // namespace cantavo::test
