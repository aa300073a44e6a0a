#include "startup.h"

#include <QHostAddress>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QScreen>

#include "dialogs.h"
#include "gmnames.h"
#include "mci.h"
#include "preferences.h"

namespace cantavo {

QString ProgramDirectory() {
    const QString exe = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(QDir(exe).filePath(QStringLiteral("cantavo.mid")))) return exe;
    const QString shared = QDir(exe).absoluteFilePath(QStringLiteral("../share/cantavo"));
    if (QFileInfo::exists(QDir(shared).filePath(QStringLiteral("cantavo.mid")))) return QDir::cleanPath(shared);
    return exe;
}

SplashWindow::SplashWindow(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Cantavo!"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    QPixmap picture = ProgramPicture(QSize(480, 270));
    {
        QPainter p(&picture);
        QFont f = p.font();
        f.setPointSize(10);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(picture.rect().adjusted(0, 0, 0, -10), Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Click or press a key to skip the intro"));
    }
    setPixmap(picture);
    setFocusPolicy(Qt::StrongFocus);
    music = new MediaControl(MediaControl::DeviceType::Sequencer, this);
    music->setObjectName(QStringLiteral("MMControl1"));
    music->hide();
}

void SplashWindow::mousePressEvent(QMouseEvent*) { emit goOn(); }
void SplashWindow::keyPressEvent(QKeyEvent*) { emit goOn(); }

namespace {

// "--requests [ADDRESS:]PORT"; false when what follows is not that.
bool takeRequests(QStringList& arguments, qsizetype i, WindowOptions& o, QString* error) {
    arguments.removeAt(i);
    const QString value = arguments.value(i);
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    QString address = colon < 0 ? QString() : value.left(colon);
    if (address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']'))) address = address.mid(1, address.size() - 2);
    bool number = false;
    const int port = value.mid(colon + 1).toInt(&number);
    if (!number || port < 1 || port > 65535 || (!address.isEmpty() && QHostAddress(address).isNull())) {
        if (error) *error = QStringLiteral("--requests takes [ADDRESS:]PORT, as in --requests 8080 or --requests 192.168.1.5:8080");
        return false;
    }
    arguments.removeAt(i);
    o.requestsPort = static_cast<quint16>(port);
    o.requestsAddress = address;
    return true;
}

}  // namespace

WindowOptions TakeWindowOptions(QStringList& arguments, QString* error) {
    WindowOptions o;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--requests")) {
            if (!takeRequests(arguments, i, o, error)) return o;
            --i;
            continue;
        }
        if (arguments[i] != QLatin1String("--singers-screen")) continue;
        o.singersScreen = true;
        arguments.removeAt(i);
        if (i < arguments.size()) {
            bool number = false;
            const int n = arguments[i].toInt(&number);
            if (number) {
                arguments.removeAt(i);
                if (n < 1 || n > 16) {
                    if (error) *error = QStringLiteral("--singers-screen takes a screen number 1..16 (as the desktop lists them)");
                    return o;
                }
                o.screen = n;
            }
        }
        --i;
    }
    return o;
}

QString WindowOptionsHelp() {
    return QStringLiteral("\nPlayer window:\n"
                          "  --singers-screen [N]          Opens the singers' screen at start, full\n"
                          "                                screen on screen N (1: the first the\n"
                          "                                desktop lists; without N, the one chosen\n"
                          "                                before, or the screen the player is not on).\n"
                          "  --requests [ADDRESS:]PORT     Takes song requests from guests' phones at\n"
                          "                                http://ADDRESS:PORT/ (without ADDRESS: the\n"
                          "                                addresses chosen in Preferences > Requests,\n"
                          "                                the loopback until some are chosen). Calls,\n"
                          "                                plain HTTP with JSON:\n"
                          "                                GET /api/search?q=WORDS&limit=N\n"
                          "                                POST /api/requests {\"song\": ID, \"name\": NAME,\n"
                          "                                  \"key\": -12..12}  -> {\"token\": T}\n"
                          "                                GET /api/requests/T -> {\"state\", \"place\"}\n");
}

Startup::Startup(const QString& programDir, const QStringList& songArguments, QObject* parent)
    : QObject(parent), programDir_(programDir), songs_(songArguments) {}

Startup::~Startup() = default;

void Startup::begin() {
    splash_ = std::make_unique<SplashWindow>();
    QDir::setCurrent(programDir_);
    patchList_ = PatchListEntries();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        splash_->move(r.center() - QPoint(240, 135));
    }
    splash_->show();
    if (!songs_.isEmpty() && QFileInfo(songs_.first()).isFile()) {
        StartProgram();
        return;
    }
    connect(splash_.get(), &SplashWindow::goOn, this, &Startup::StartProgram);
    connect(splash_->music, &MediaControl::completed, this, &Startup::StartProgram);
    splash_->music->setFileName(ProgramDirectoryPath(programDir_, QStringLiteral("cantavo.mid")));
    if (!splash_->music->setCommand(QStringLiteral("open")) || !splash_->music->setCommand(QStringLiteral("play"))) {
        // No music to wait for: go on at once.
        StartProgram();
    }
}

void Startup::StartProgram() {
    // The triggers can come more than once (the music ends after a click, say).
    if (started_) return;
    started_ = true;
    const QString intro = ProgramDirectoryPath(programDir_, QStringLiteral("cantavo.mid"));
    window_ = std::make_unique<MainWindow>();
    window_->setProgramDirectory(programDir_);
    window_->loadPreferences();
    if (splash_) splash_->music->setCommand(QStringLiteral("close"));
    MciSendString(QStringLiteral("close ") + intro + QStringLiteral(" wait"));
    window_->show();
    if (splash_) splash_->hide();
    window_->OfferLeftoverTakes();
    if (!songs_.isEmpty()) {
        if (QFileInfo(songs_.first()).isFile()) window_->openFromOutside(songs_.first());
        else window_->showWarning(QStringLiteral("The song \"%1\" was not found.").arg(songs_.first()));
    }
    emit programStarted();
}

}  // namespace cantavo
