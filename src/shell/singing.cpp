#include "singing.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QSettings>

#include "gmnames.h"
#include "preferences.h"
#include "startup.h"

namespace cantavo {

QString ProgramFile(const QString& name) {
    const QString dir = ProgramDirectory();
    return PreferencesPath(dir, QDir(dir) != QDir(QCoreApplication::applicationDirPath()), name);
}

int ChosenMelodyChannel(const SongMemory& memory, const QByteArray& songData) {
    bool ok = false;
    const int channel = memory.recall(songData).toInt(&ok);
    return ok && channel >= 1 && channel <= 16 ? channel - 1 : -1;
}

Melody SongMelody(const SongModel& song, const SongEvents& events, int chosenChannel, const LiveSettings& live) {
    return BuildMelody(song, events, chosenChannel, live.key, live.keepChannel);
}

QString ChannelInstrument(const SongEvents& events, int channel) {
    if (channel == 9) return QStringLiteral("Drums");
    int program = 0;
    for (const SongEvent& e : events.events)
        if (e.sysex < 0 && (e.status & 0xF0) == 0xC0 && (e.status & 0x0F) == channel) {
            program = e.data1;
            break;
        }
    return GmPatchNames()[static_cast<size_t>(program & 0x7F)].trimmed();
}

QString MelodyDescription(const Melody& melody, const SongEvents& events) {
    if (melody.channel < 0) return QStringLiteral("none");
    QString text = QStringLiteral("channel %1 (%2)").arg(melody.channel + 1).arg(ChannelInstrument(events, melody.channel));
    if (melody.track >= 0) text += QStringLiteral(", track %1").arg(melody.track + 1);
    return text;
}

int BestScore(const SongMemory& memory, const QByteArray& songData, Difficulty d) {
    const QJsonObject o = QJsonDocument::fromJson(memory.recall(songData).toUtf8()).object();
    return o.value(DifficultyName(d)).toInt(0);
}

bool KeepBestScore(const SongMemory& memory, const QByteArray& songData, Difficulty d, int total, bool* improved, QString* error) {
    QJsonObject o = QJsonDocument::fromJson(memory.recall(songData).toUtf8()).object();
    *improved = total > o.value(DifficultyName(d)).toInt(0);
    if (!*improved) return true;
    o[DifficultyName(d)] = total;
    return memory.remember(songData, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)), error);
}

double CalibratedExtraMs(const QString& settingsFile) {
    const QSettings s(settingsFile, QSettings::IniFormat);
    if (!s.contains(sing::kRoundTripMs)) return 0;
    return s.value(sing::kRoundTripMs).toDouble() - s.value(sing::kReportedMs).toDouble();
}

}  // namespace cantavo
