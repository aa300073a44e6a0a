#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "commandline.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cantavo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    int status = cantavo::RunCommandLine(QCoreApplication::arguments(), out, err);
    if (status >= 0) return status;
    // The player window comes with the song session; until then a song is described.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2) return cantavo::PrintSongInfo(args[1], false, out, err);
    err << "usage: cantavo --info [--json] SONG\n";
    return 2;
}
