#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include "commandline.h"
#include "mci.h"
#include "dialogs.h"
#include "startup.h"

namespace {

// Options that do their work without a window.
bool commandLineOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        for (const char* o : {"--info", "--render", "--paths", "--help", "-h", "--help-all", "--version", "-v"})
            if (a == QLatin1String(o)) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (commandLineOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("cantavo"));
        QCoreApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
        QTextStream out(stdout);
        QTextStream err(stderr);
        return cantavo::RunCommandLine(QCoreApplication::arguments(), out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cantavo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cantavo!"));
    QApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
    QCommandLineParser parser;
    QCommandLineOption soundFont(QStringLiteral("soundfont"), QStringLiteral("The General MIDI SoundFont of the built-in synthesizer."),
                                 QStringLiteral("FILE.sf2"));
    parser.addOption(soundFont);
    parser.addPositionalArgument(QStringLiteral("song"), QStringLiteral("A song to open."), QStringLiteral("[SONG]"));
    parser.process(app);
    cantavo::MediaRegistry::instance().synthOptions.soundFont = parser.value(soundFont);
    QApplication::setWindowIcon(cantavo::ProgramIcon());
    int status;
    {
        cantavo::Startup startup(cantavo::ProgramDirectory(), parser.positionalArguments());
        startup.begin();
        status = QApplication::exec();
    }
    cantavo::MediaRegistry::instance().closeAll();
    return status;
}
