#include "songfacts.h"

#include <QJsonArray>
#include <QStringList>

#include "numbers.h"
#include "tempomap.h"

namespace cantavo {

QString JoinedTitle(const QString& songTitle) {
    return songTitle.split(QStringLiteral("\r\n")).join(QStringLiteral(" - "));
}

QString TitleSourceName(TitleSource source) {
    switch (source) {
    case TitleSource::Tags: return QStringLiteral("tags");
    case TitleSource::TrackName: return QStringLiteral("track-name");
    case TitleSource::FileName: return QStringLiteral("file-name");
    case TitleSource::LyricHeader: return QStringLiteral("lyric-header");
    case TitleSource::None: break;
    }
    return QStringLiteral("none");
}

QString LyricSourceName(LyricSource source) {
    switch (source) {
    case LyricSource::SoftKaraokeText: return QStringLiteral("text");
    case LyricSource::LyricEvents: return QStringLiteral("lyric-events");
    case LyricSource::TextEvents: return QStringLiteral("text-events");
    case LyricSource::LyricHeader: return QStringLiteral("lyric-header");
    case LyricSource::None: break;
    }
    return QStringLiteral("none");
}

namespace {

QString statusText(const LoadResult& r) {
    return r.status == LoadStatus::Loaded ? QStringLiteral("ok") : r.message;
}

QStringList infoLines(const SongModel& s) {
    QStringList lines = s.songInfo.split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    return lines;
}

bool hasLength(const SongModel& s) {
    return s.division > 0 && !s.isTimeCodeDivision();
}

// The lyric lines as the lyrics window breaks them: a new line at "/" and "\".
QStringList lyricLines(const SongModel& s) {
    QStringList lines;
    QString line;
    for (int i = 1; i <= s.lyricCount; ++i) {
        QString t = s.lyricText[i];
        if (t.startsWith(QLatin1Char('\\')) || t.startsWith(QLatin1Char('/'))) {
            if (!line.isEmpty() || i > 1) lines << line;
            if (t.startsWith(QLatin1Char('\\')) && i > 1) lines << QString();
            line = t.mid(1);
        } else {
            line += t;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

}  // namespace

QString SongFactsText(const SongModel& s, const LoadResult& r) {
    QString out;
    auto row = [&](const QString& label, const QString& value) { out += label.leftJustified(14) + value + QLatin1Char('\n'); };
    if (r.status == LoadStatus::NotMidiFile || r.status == LoadStatus::ReadFailed) {
        row(QStringLiteral("Status:"), statusText(r));
        return out;
    }
    row(QStringLiteral("Title:"), JoinedTitle(s.songTitle));
    const QStringList info = infoLines(s);
    for (int i = 0; i < info.size(); ++i) row(i == 0 ? QStringLiteral("Information:") : QString(), info[i]);
    row(QStringLiteral("Tracks:"), QString::number(s.trackCount));
    row(QStringLiteral("Meter:"), s.timeSigDenominator ? QStringLiteral("%1/%2").arg(s.timeSigNumerator).arg(s.timeSigDenominator) : QStringLiteral("-"));
    row(QStringLiteral("Key:"), s.panels.key.isEmpty() ? QStringLiteral("-") : s.panels.key);
    row(QStringLiteral("Tempo:"), QStringLiteral("%1 bpm").arg(s.tempoBpm[1]) + (s.tempoCount > 1 ? (s.tempoCount == 2 ? QStringLiteral(" (1 change)") : QStringLiteral(" (%1 changes)").arg(s.tempoCount - 1)) : QString()));
    row(QStringLiteral("Length:"), hasLength(s) ? MinutesSeconds(TicksToMs(s, s.lastEventTick)) : QStringLiteral("- - -"));
    row(QStringLiteral("Lyrics:"), QStringLiteral("%1 events (%2)").arg(s.lyricCount).arg(LyricSourceName(s.lyricSource)));
    if (r.status != LoadStatus::Loaded) row(QStringLiteral("Status:"), statusText(r));
    if (!s.lyricsNote.isEmpty()) row(QStringLiteral("Note:"), s.lyricsNote);
    const QStringList lines = lyricLines(s);
    if (!lines.isEmpty()) {
        out += QLatin1Char('\n');
        for (const QString& l : lines) out += QStringLiteral("  ") + l + QLatin1Char('\n');
    }
    return out;
}

QJsonObject SongFactsJson(const SongModel& s, const LoadResult& r) {
    QJsonObject o;
    o[QStringLiteral("status")] = statusText(r);
    o[QStringLiteral("title")] = JoinedTitle(s.songTitle);
    o[QStringLiteral("info")] = QJsonArray::fromStringList(infoLines(s));
    o[QStringLiteral("tracks")] = s.trackCount;
    o[QStringLiteral("division")] = s.division;
    o[QStringLiteral("meter")] = s.timeSigDenominator ? QStringLiteral("%1/%2").arg(s.timeSigNumerator).arg(s.timeSigDenominator) : QString();
    o[QStringLiteral("key")] = s.panels.key;
    QJsonArray tempo;
    for (int i = 1; i <= s.tempoCount; ++i)
        tempo.append(QJsonObject{{QStringLiteral("tick"), s.tempoTick[i]}, {QStringLiteral("micros"), s.tempoMicros[i]}, {QStringLiteral("bpm"), s.tempoBpm[i]}});
    o[QStringLiteral("tempoMap")] = tempo;
    o[QStringLiteral("lengthMs")] = hasLength(s) ? qRound64(TicksToMs(s, s.lastEventTick)) : 0;
    o[QStringLiteral("length")] = hasLength(s) ? MinutesSeconds(TicksToMs(s, s.lastEventTick)) : QStringLiteral("- - -");
    o[QStringLiteral("source")] = LyricSourceName(s.lyricSource);
    o[QStringLiteral("titleSource")] = TitleSourceName(s.titleSource);
    o[QStringLiteral("encoding")] = s.encoding;
    if (!s.lyricsNote.isEmpty()) o[QStringLiteral("lyricsNote")] = s.lyricsNote;
    const EncodingGuess& g = s.encodingGuess;
    QJsonObject how{{QStringLiteral("basis"), g.basis}, {QStringLiteral("eightBitBytes"), g.eightBitBytes}};
    if (!g.detector.isEmpty()) how[QStringLiteral("detector")] = g.detector;
    if (!g.veto.isEmpty()) how[QStringLiteral("detectorVetoed")] = g.veto;
    o[QStringLiteral("encodingChoice")] = how;
    QJsonArray lyrics;
    for (int i = 1; i <= s.lyricCount; ++i)
        lyrics.append(QJsonObject{{QStringLiteral("tick"), s.lyricTick[i]}, {QStringLiteral("text"), s.lyricText[i]}});
    o[QStringLiteral("lyrics")] = lyrics;
    o[QStringLiteral("lines")] = QJsonArray::fromStringList(lyricLines(s));
    return o;
}

}  // namespace cantavo
