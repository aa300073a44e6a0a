#include <QApplication>
#include <QStringDecoder>
#include <QTextStream>

#include "commandline.h"
#include "dialogs.h"
#include "endsignals.h"
#include "mci.h"
#include "startup.h"
#include "verbs.h"

namespace {

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// A file name whose bytes are not UTF-8 cannot be named to Qt's file functions: it is said
// here, instead of a "No such file" later about a file that exists.
bool undecodableArgument(int argc, char** argv, QTextStream& err) {
    for (int i = 1; i < argc; ++i) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(QByteArray(argv[i]));
        if (!utf8.hasError()) continue;
        err << text << ": the name is not valid UTF-8, so this program cannot open it; rename the file\n";
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The arguments are checked before any window system starts: a misused option needs no
    // display to be told so.
    cantavo::CommandLineRequest request;
    cantavo::WindowOptions window;
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (undecodableArgument(argc, argv, err)) return 2;
        QStringList arguments = argumentList(argc, argv);
        if (const cantavo::CommandVerb* verb = cantavo::FindVerb(arguments)) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("cantavo"));
            QCoreApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
            return verb->run(arguments.mid(2), out, err);
        }
        QString wrong;
        window = cantavo::TakeWindowOptions(arguments, &wrong);
        if (!wrong.isEmpty()) {
            err << wrong << "\n";
            return 2;
        }
        request = cantavo::ParseCommandLine(arguments, out, err);
        if ((window.singersScreen || window.requestsPort) && request.action != cantavo::CommandLineRequest::Action::Window &&
            request.action != cantavo::CommandLineRequest::Action::Exit) {
            err << (window.singersScreen ? "--singers-screen" : "--requests") << " goes with the player window, not with a command-line action\n";
            return 2;
        }
        if (request.action == cantavo::CommandLineRequest::Action::Exit) return request.exitStatus;
        if (request.action != cantavo::CommandLineRequest::Action::Window) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("cantavo"));
            QCoreApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
            return cantavo::RunCommandLineAction(request, out, err);
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cantavo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Cantavo!"));
    QApplication::setApplicationVersion(QStringLiteral(CANTAVO_VERSION));
    // Lets the desktop match the windows to the menu entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral(CANTAVO_APP_ID));
    cantavo::MediaRegistry::instance().synthOptions.soundFont = request.soundFont;
    cantavo::MediaRegistry::instance().synthOptions.audioDriver = qEnvironmentVariable("CANTAVO_AUDIO_DRIVER");
    QApplication::setWindowIcon(cantavo::ProgramIcon());
    int status;
    {
        cantavo::Startup startup(cantavo::ProgramDirectory(), request.songs);
        const cantavo::EndSignals ending([&startup] {
            if (startup.mainWindow()) startup.mainWindow()->endAtRequest();
            QApplication::quit();
        });
        if (window.singersScreen)
            QObject::connect(&startup, &cantavo::Startup::programStarted, &startup,
                             [&startup, window] { startup.mainWindow()->ShowSingersScreen(window.screen); });
        if (window.requestsPort)
            QObject::connect(&startup, &cantavo::Startup::programStarted, &startup, [&startup, window] {
                cantavo::MainWindow* w = startup.mainWindow();
                QList<QHostAddress> addresses;
                if (!window.requestsAddress.isEmpty()) addresses << QHostAddress(window.requestsAddress);
                else addresses = w->requestAddressesChosen();
                QString problem;
                if (!w->StartRequests(addresses, window.requestsPort, &problem)) w->showWarning(problem);
            });
        startup.begin();
        status = QApplication::exec();
    }
    cantavo::MediaRegistry::instance().closeAll();
    return status;
}
