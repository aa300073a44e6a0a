#pragma once

#include <QJsonObject>
#include <QString>

#include "songmodel.h"
#include "songreader.h"

namespace cantavo {

// The song's facts as a person reads them, and as one JSON object for programs.
QString SongFactsText(const SongModel& song, const LoadResult& result);
QJsonObject SongFactsJson(const SongModel& song, const LoadResult& result);

// The title lines joined by " - ", as the main window's caption shows them.
QString JoinedTitle(const QString& songTitle);
QString LyricSourceName(LyricSource source);

}  // namespace cantavo
