// `cantavo --record`: the wave control's recording without a window.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "atomicfile.h"
#include "commandline.h"
#include "numbers.h"
#include "runfiles.h"
#include "sequencer.h"
#include "songsession.h"
#include "wavedevice.h"

namespace cantavo {

int RecordSong(const QString& song, const QString& wave, double seconds, const QString& soundFont, WaveFormat format, bool voiceOnly,
               QTextStream& out, QTextStream& err) {
    SynthHost::Options options;
    options.soundFont = soundFont;
    options.audioDriver = qEnvironmentVariable("CANTAVO_AUDIO_DRIVER");
    QString error = OutputFileProblem(wave);
    if (!error.isEmpty()) {
        err << wave << ": " << error << "\n";
        return 2;
    }
    std::unique_ptr<SynthHost> host = SynthHost::create(options, &error);
    if (!host) {
        err << song << ": " << error << "\n";
        return 2;
    }
    Sequencer sequencer(*host);
    if (!sequencer.open(song, &error)) {
        err << song << ": " << error << "\n";
        return 2;
    }
    // The take streams to the spool as the window's does, so a run cut short leaves it for
    // the player to offer.
    WaveDevice::setSpoolFolder(runfiles::SharedTemporaryFolder());
    WaveDevice take;
    take.create(format);
    take.setMusicSource(voiceOnly ? nullptr : host.get());
    if (!take.record(&error)) {
        err << error << "\n";
        return 2;
    }
    QEventLoop loop;
    QObject::connect(&sequencer, &Sequencer::completed, &loop, &QEventLoop::quit);
    QObject::connect(&take, &WaveDevice::completed, &loop, &QEventLoop::quit);
    if (seconds > 0) QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    sequencer.play();
    loop.exec();
    // The last notes ring out into the take.
    if (take.recordingProblem().isEmpty()) {
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
    }
    take.stop();
    sequencer.stop();
    if (!take.recordingProblem().isEmpty()) err << "The recording stopped: " << take.recordingProblem() << "\n";
    if (!take.spoolProblem().isEmpty()) err << "The take could not be kept on disk as it was recorded: " << take.spoolProblem() << "\n";
    if (!take.save(wave, &error)) {
        err << error << "\n";
        return 2;
    }
    out << "Recorded " << MinutesSeconds(take.lengthMs()) << " of " << song << " from " << take.inputDescription()
        << (voiceOnly || !host->outputProblem().isEmpty() ? " (voice only)" : " (voice and music)") << " to " << QDir::toNativeSeparators(wave)
        << "\n";
    take.close();
    return 0;
}

}  // namespace cantavo
