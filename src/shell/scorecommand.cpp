// `cantavo --score` and `cantavo --calibrate`: scoring a take, and measuring the sound's
// round trip, without a window.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>

#include <sndfile.h>

#include <cmath>

#include "atomicfile.h"
#include "calibration.h"
#include "settingsfile.h"
#include "commandline.h"
#include "singing.h"
#include "songreader.h"
#include "songsession.h"

namespace cantavo {

namespace {

// The take as floats, interleaved; false with `error` when it cannot be read.
bool readTake(const QString& path, std::vector<float>& samples, SF_INFO& info, QString* error) {
    info = {};
    if (const QString problem = InputFileProblem(path, kMaxSoundBytes); !problem.isEmpty()) {
        *error = QStringLiteral("The take %1 could not be read: %2").arg(QDir::toNativeSeparators(path), problem);
        return false;
    }
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) {
        *error = QFileInfo::exists(path) ? QStringLiteral("The take %1 could not be read: %2").arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(sf_strerror(nullptr)))
                                         : QStringLiteral("The take %1 does not exist.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(f, samples.data(), info.frames);
    samples.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    sf_close(f);
    return true;
}

}  // namespace

int ScoreTakeFile(const QString& song, const QString& take, Difficulty difficulty, double offsetMs, bool json, QTextStream& out, QTextStream& err) {
    SongModel model;
    const LoadResult loaded = LoadSongFile(song, model);
    SongEvents events;
    QString error;
    QByteArray data;
    if (loaded.status == LoadStatus::NotMidiFile || loaded.status == LoadStatus::ReadFailed || !ReadInputFile(song, kMaxSongBytes, &data, &error) ||
        !LoadSongEvents(data, events, &error)) {
        err << song << ": " << (error.isEmpty() ? loaded.message : error) << "\n";
        return 2;
    }
    // Scored as the player would have played it: the song's remembered key, tempo and melody.
    const QString kept = SongMemory(ProgramFile(QStringLiteral("song-live.txt"))).recall(data);
    const LiveSettings live = kept.isEmpty() ? LiveSettings{} : LiveSettings::fromJson(QJsonDocument::fromJson(kept.toUtf8()).object());
    const Melody melody = SongMelody(model, events, ChosenMelodyChannel(SongMemory(ProgramFile(sing::kMelodyFile)), data), live);
    if (melody.empty()) {
        err << song << ": the lyrics match no melody channel; the song cannot be scored.\n";
        return 2;
    }
    std::vector<float> samples;
    SF_INFO info;
    if (!readTake(take, samples, info, &error)) {
        err << error << "\n";
        return 2;
    }
    const ScoreResult r = ScoreTake(melody, difficulty, samples.data(), static_cast<size_t>(info.frames), info.channels, info.samplerate,
                                    offsetMs, live.tempoPercent / 100.0);
    if (json) {
        QJsonObject o = r.toJson(melody, difficulty);
        o[QStringLiteral("song")] = song;
        o[QStringLiteral("take")] = take;
        o[QStringLiteral("offsetMs")] = offsetMs;
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
    } else {
        out << "Score: " << r.total << " of 10000 (" << DifficultyName(difficulty) << "): " << r.verdict() << "\n";
        out << "Notes: " << r.notePoints << " of 9000; whole lines: " << r.linePoints << " of 1000\n";
        out << "Melody: " << MelodyDescription(melody, events) << ", " << melody.notes.size() << " notes in " << melody.lines.size() << " lines\n";
        for (size_t i = 0; i < melody.lines.size(); ++i)
            out << QStringLiteral("%1 %\t%2\n").arg(std::lround(r.lineShares[i] * 100), 3).arg(melody.lines[i].text);
    }
    out.flush();
    return 0;
}

int CalibrateSound(const QString& soundFont, QTextStream& out, QTextStream& err) {
    SynthHost::Options options;
    options.soundFont = soundFont;
    QString error;
    std::unique_ptr<SynthHost> host = SynthHost::create(options, &error);
    if (!host) {
        err << error << "\n";
        return 2;
    }
    const CalibrationResult r = RunCalibration(*host, SongSession::TemporaryFolder());
    if (!r.ok) {
        err << r.error << "\n";
        return 2;
    }
    out << QStringLiteral("Round trip: %1 ms measured, %2 ms reported by the sound server; the voice is placed %3 ms earlier than reported.\n")
               .arg(r.roundTripMs, 0, 'f', 1)
               .arg(r.reportedMs, 0, 'f', 1)
               .arg(r.extraMs(), 0, 'f', 1);
    out.flush();
    const QString settings = ProgramFile(QStringLiteral("cantavo.conf"));
    QString why;
    if (ChangeSettings(settings, {{sing::kRoundTripMs, r.roundTripMs}, {sing::kReportedMs, r.reportedMs}}, &why)) return 0;
    err << settings << ": the measurement could not be kept: " << why << "\n";
    return 2;
}

}  // namespace cantavo
