// The desktop ends the program with a signal (SIGTERM at logout, SIGHUP when the terminal
// goes, SIGINT from a terminal's Ctrl+C): the running player ends as its "Exit" button ends
// it, also after a wave has played (the sound library takes these signals for itself).
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "soundtests.h"
#include "testpaths.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

QStringList runFolders(const QString& temp) {
    QStringList found;
    QDirIterator it(temp, {QStringLiteral("run-*")}, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}

}  // namespace

TEST(EndSignals, TheWindowProgramEndsAsExitDoesAfterAWaveHasPlayed) {
    NEED_SOUND();
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QTemporaryDir temp;
        ASSERT_TRUE(temp.isValid());
        // A compilation whose first entry is a sound: by the time the signal comes, the sound
        // library has started its audio.
        const QString wave = writeWave(temp.filePath(QStringLiteral("cheer.wav")), WaveFormat{16, 1, 11025}, 0.4);
        const QString cpl = temp.filePath(QStringLiteral("evening.cpl"));
        {
            QFile f(cpl);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("WAVE %1\r\nKARAOKE %2\r\n").arg(wave, demoSong("twinkle")).toUtf8());
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo"), {cpl});
        ASSERT_TRUE(p.waitForStarted(10000));
        QElapsedTimer waited;
        waited.start();
        const auto started = [&] { return !QDir(temp.path()).entryList({QStringLiteral("cantavo-*")}, QDir::Dirs).isEmpty(); };
        while (!started() && waited.elapsed() < 10000) QThread::msleep(50);
        ASSERT_TRUE(started()) << "the program made no temporary folder";
        QThread::msleep(2500);
        ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();

        QElapsedTimer ending;
        ending.start();
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const bool ended = p.waitForFinished(10000);
        if (!ended) p.kill(), p.waitForFinished();
        ASSERT_TRUE(ended) << "the signal did not end the program";
        std::printf("[ figures ] signal %d ended the program in %lld ms\n", sig, static_cast<long long>(ending.elapsed()));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "the program was killed, not ended";
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_LT(ending.elapsed(), 3000) << "the safety net ended it, not the program itself";
        EXPECT_TRUE(runFolders(temp.path()).isEmpty()) << "its working folder was left: " << runFolders(temp.path()).join(' ').toStdString();
    }
}
