// The main window's part of guests' song requests: the server started and stopped from
// Preferences ▸ Requests (or the command line), the requests waiting under the rotation, and
// what accepting one does (the song to that singer's queue, in the key asked for).
#include <QDockWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QStatusBar>

#include "mainwindow.h"
#include "preferences.h"
#include "requestapi.h"
#include "requestserver.h"
#include "requestspane.h"
#include "lyricssurface.h"
#include "lyricswindow.h"
#include "rotationwindow.h"
#include "singersscreen.h"
#include "songlist.h"
#include "songsession.h"
#include "stagemoment.h"

namespace cantavo {

namespace {

// The addresses chosen, as kept with the rotation: "127.0.0.1 192.168.1.5".
QList<QHostAddress> addressesFrom(const QString& text) {
    QList<QHostAddress> out;
    for (const QString& a : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QHostAddress address(a);
        if (!address.isNull()) out << address;
    }
    return out;
}

}  // namespace

void MainWindow::connectRequests() {
    requestDesk_ = std::make_unique<RequestDesk>();
    requestsPane_ = new RequestsPane(*requestDesk_, rotation_);
    rotation_->addPane(requestsPane_);
    connect(requestsPane_, &RequestsPane::accepted, this, [this](const GuestRequest& r) {
        const qint64 singer = rotationStore_->addSinger(r.name);
        if (!singer || !rotationStore_->addSong(singer, r.path, r.key, std::nullopt, r.title)) {
            rotation_->tell(QStringLiteral("Requests"), QStringLiteral("%1 for %2 was not added: %3").arg(r.title, r.name, rotationStore_->lastError()));
            return;
        }
        requestDesk_->answer(r.token, true);
        rotation_->reload();
        announceNext();
    });
    connect(requestsPane_, &RequestsPane::rejected, this, [this](const GuestRequest& r) { requestDesk_->answer(r.token, false); });
    connect(requestDesk_.get(), &RequestDesk::changed, this, [this] {
        const size_t waiting = requestDesk_->pending().size();
        if (waiting > 0)
            statusBar()->showMessage(waiting == 1 ? QStringLiteral("A song request is waiting in the rotation.")
                                                  : QStringLiteral("%1 song requests are waiting in the rotation.").arg(waiting),
                                     5000);
    });

    // The words page follows what the singers' screen shows: each change of the lyrics window's
    // page or highlight, and the title card's and countdown's moments between them.
    connect(&lyrics_->surface(), &LyricsSurface::changed, this, &MainWindow::pushWords);
    wordsTick_.setInterval(250);
    connect(&wordsTick_, &QTimer::timeout, this, &MainWindow::pushWords);

    Commands& c = *commands_;
    QAction* prefs = c.add(QStringLiteral("requests"), QStringLiteral("&Requests..."), QKeySequence());
    c.setAvailable(QStringLiteral("requests"));
    prefs->setToolTip(QStringLiteral("Guests request songs from their phones"));
    if (auto* menu = menuBar()->findChild<QMenu*>(QStringLiteral("mnuchar"))) menu->addAction(prefs);
    connect(prefs, &QAction::triggered, this, &MainWindow::ShowRequestsDialog);
    if (rotationStore_->setting(QStringLiteral("requests")) == QLatin1String("on")) {
        QString problem;
        if (!StartRequests(requestAddressesChosen(),
                           static_cast<quint16>(rotationStore_->setting(QStringLiteral("requests port"), QStringLiteral("8080")).toUInt()), &problem))
            statusBar()->showMessage(problem, 10000);
    }
}

bool MainWindow::StartRequests(const QList<QHostAddress>& addresses, quint16 port, QString* problem) {
    StopRequests();
    // The catalogue guests search is the default song list as it stands now.
    QStringList unread;
    const QList<SongRow> rows = ReadListFile(defaultListPath(), &unread);
    QByteArray secret(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()), secret.size() / 4);
    requestIndex_ = std::make_unique<SongIndex>(rows, secret);
    requestApi_ = std::make_unique<RequestApi>(*requestIndex_, *requestDesk_);
    requestApi_->placeOf = [this](const QString& name) {
        int place = 0;
        for (const Singer& s : rotationStore_->rotation()) {
            ++place;
            if (s.name.compare(name, Qt::CaseInsensitive) == 0) return place;
        }
        return 0;
    };
    requestServer_ = std::make_unique<RequestServer>(*requestApi_);
    if (!requestServer_->start(addresses, port, problem)) {
        StopRequests();
        return false;
    }
    requestsPane_->setAddress(requestServer_->urls().join(QStringLiteral("  ")));
    // The singers' screen invites the room between songs, at an address phones can reach.
    QString invite = requestServer_->urls().value(0);
    for (const QString& u : requestServer_->urls())
        if (!u.contains(QStringLiteral("//127.")) && !u.contains(QStringLiteral("//[::1]"))) {
            invite = u;
            break;
        }
    if (singers_) singers_->setInvitation(invite, QrCode(invite, 8));
    wordsLit_.clear();
    pushWords();
    wordsTick_.start();
    statusBar()->showMessage(QStringLiteral("Guests request songs at %1 (%2 songs in the catalogue).").arg(requestServer_->urls().join(QStringLiteral("  "))).arg(requestIndex_->size()), 10000);
    return true;
}

void MainWindow::pushWords() {
    if (!requestServer_) return;
    const LyricsSurface& s = lyrics_->surface();
    const StageMoment m = StageMomentAt(session_->song, session_->lyricMs, session_->positionMs, session_->lyricIndex, session_->songLoaded());
    QJsonObject page{{QStringLiteral("type"), QStringLiteral("page")},
                     {QStringLiteral("card"), m.titleCard},
                     {QStringLiteral("title"), m.title},
                     {QStringLiteral("author"), m.author},
                     {QStringLiteral("next"), singers_ ? singers_->nextUp() : QString()},
                     {QStringLiteral("countdown"), m.countdown}};
    if (!m.titleCard) {
        page.insert(QStringLiteral("pilot"), s.pilotText());
        page.insert(QStringLiteral("following"), QJsonArray::fromStringList(s.followingLines()));
    }
    const QByteArray pageJson = QJsonDocument(page).toJson(QJsonDocument::Compact);
    const bool newPage = pageJson != wordsPageSent_;
    wordsPageSent_ = pageJson;
    requestServer_->setWordsPage(pageJson);
    // How far the line being sung is lit: whole syllables up to `upto`, and `wipe` of the way
    // on to `through` (characters of the line).
    const bool lit = !m.titleCard && s.highlightRow() == 1 && !s.highlightText().isEmpty();
    const QJsonObject reach{{QStringLiteral("type"), QStringLiteral("lit")},
                            {QStringLiteral("upto"), lit ? s.runStart() : 0},
                            {QStringLiteral("through"), lit ? static_cast<int>(s.highlightText().size()) : 0},
                            {QStringLiteral("wipe"), lit ? s.wipe() : 0.0}};
    const QByteArray litJson = QJsonDocument(reach).toJson(QJsonDocument::Compact);
    if (!newPage && litJson == wordsLit_) return;
    wordsLit_ = litJson;
    requestServer_->sendWordsLit(litJson);
}

void MainWindow::StopRequests() {
    wordsTick_.stop();
    wordsPageSent_.clear();
    requestServer_.reset();
    requestApi_.reset();
    requestIndex_.reset();
    if (requestsPane_) requestsPane_->setAddress({});
    if (singers_) singers_->setInvitation({}, {});
}

QString MainWindow::defaultListPath() const { return PreferencesPath(programDir_, installed_, QStringLiteral("CANTAVO.LST")); }

QList<QHostAddress> MainWindow::requestAddressesChosen() const {
    const QList<QHostAddress> chosen = addressesFrom(rotationStore_->setting(QStringLiteral("requests addresses")));
    return chosen.isEmpty() ? QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)} : chosen;
}

void MainWindow::ShowRequestsDialog() {
    const QList<QHostAddress> chosen = requestAddressesChosen();
    RequestsDialog d(LocalAddresses(), chosen, static_cast<quint16>(rotationStore_->setting(QStringLiteral("requests port"), QStringLiteral("8080")).toUInt()),
                     requestServer_ != nullptr, this);
    d.showResult(requestServer_ ? requestServer_->urls() : QStringList(), {});
    connect(&d, &RequestsDialog::applyRequested, &d, [this, &d] {
        QStringList addresses;
        for (const QHostAddress& a : d.chosen()) addresses << a.toString();
        rotationStore_->setSetting(QStringLiteral("requests"), d.on() ? QStringLiteral("on") : QStringLiteral("off"));
        rotationStore_->setSetting(QStringLiteral("requests port"), QString::number(d.port()));
        rotationStore_->setSetting(QStringLiteral("requests addresses"), addresses.join(QLatin1Char(' ')));
        QString problem;
        if (!d.on()) StopRequests();
        else if (d.chosen().isEmpty()) problem = QStringLiteral("Choose the addresses guests may use: the loopback serves this computer only.");
        else StartRequests(d.chosen(), d.port(), &problem);
        d.showResult(requestServer_ ? requestServer_->urls() : QStringList(), problem);
    });
    d.exec();
}

}  // namespace cantavo
