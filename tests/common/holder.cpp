// A second running copy for tests: it holds what a running program holds (its own temporary
// folder, marks on working files, the claim on a leftover take) until its standard input
// closes, and says "ready" with its temporary folder once it holds them.
//   test_holder mark FILE... | claim TAKE | folder | spool FOLDER (a take being recorded there)
#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <memory>

#include "runfiles.h"
#include "wavedevice.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return 2;
    const QString folder = cantavo::runfiles::OwnTemporaryFolder();
    std::unique_ptr<QLockFile> claim;
    QLockFile spool(QDir(args.value(1)).filePath(QStringLiteral("take-%1.lock").arg(QCoreApplication::applicationPid())));
    if (args[0] == QStringLiteral("mark")) {
        for (const QString& f : args.mid(1))
            if (!cantavo::runfiles::MarkWorkingFile(f)) return 3;
    } else if (args[0] == QStringLiteral("claim")) {
        claim = cantavo::WaveDevice::ClaimLeftoverTake(args.value(1));
        if (!claim) return 3;
    } else if (args[0] == QStringLiteral("spool")) {
        QFile take(QDir(args.value(1)).filePath(QStringLiteral("take-%1-1.wav").arg(QCoreApplication::applicationPid())));
        if (!spool.tryLock(0) || !take.open(QIODevice::WriteOnly) || take.write(QByteArray(100, 'w')) != 100) return 3;
    } else if (args[0] != QStringLiteral("folder")) {
        return 2;
    }
    std::printf("ready %s\n", QFile::encodeName(folder).constData());
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {}
    return 0;
}
