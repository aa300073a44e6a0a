// Guests' requests through the real window: the server started on the loopback, a phone's
// calls over HTTP, the host accepting and rejecting, and what the guest then reads.
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWebSocket>

#include "devtools.h"
#include "lyricssurface.h"
#include "lyricswindow.h"
#include <QDockWidget>
#include <QLabel>

#include "requestserver.h"
#include "requestspane.h"
#include "rotationstore.h"
#include "rotationwindow.h"
#include "singersscreen.h"
#include "startup.h"
#include "testpaths.h"
#include "window.h"

#include <QTest>

namespace cantavo::test {
namespace {

class Requests : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        RotationStore& store = window->rotationStore();
        for (const Singer& s : store.rotation()) store.removeSinger(s.id);
        window->rotationWindow().reload();
        // The catalogue: the default list in the program's folder, naming the demo songs.
        QByteArray list;
        for (const char* song : {"twinkle", "oh-susanna", "frere-jacques"}) {
            const QFileInfo f(demoSong(song));
            list += QStringLiteral("\"%1\",\"0:30\",\"%2\",\"Traditional\",\"%3/\"\r\n").arg(f.fileName(), QString::fromLatin1(song), f.absolutePath()).toUtf8();
        }
        // A title with markup in it, for the pages to show as text.
        ASSERT_TRUE(QFile::copy(demoSong("twinkle"), QDir(programDir.path()).filePath(QStringLiteral("odd.kar"))));
        list += QStringLiteral("\"odd.kar\",\"0:30\",\"<img src=x onerror='window.hacked=1'> & <b>bold</b>\",\"-\",\"%1/\"\r\n").arg(programDir.path()).toUtf8();
        window->setProgramDirectory(programDir.path());
        QFile lst(window->defaultListPath());
        ASSERT_TRUE(lst.open(QIODevice::WriteOnly) && lst.write(list) == list.size() && lst.flush());
        lst.close();
    }
    QJsonObject call(const QByteArray& method, const QString& path, const QJsonObject& body = {}, int* status = nullptr) {
        QNetworkRequest r(QUrl(window->requestServer()->urls().value(0) + path.mid(1)));
        r.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        std::unique_ptr<QNetworkReply> reply(method == "POST" ? net.post(r, QJsonDocument(body).toJson()) : net.get(r));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        if (status) *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return QJsonDocument::fromJson(reply->readAll()).object();
    }
    QTemporaryDir programDir;
    QNetworkAccessManager net;
};

TEST_F(Requests, AGuestsRequestIsAcceptedIntoTheRotation) {
    QString problem;
    ASSERT_TRUE(window->StartRequests({QHostAddress(QHostAddress::LocalHost)}, 0, &problem)) << problem.toStdString();
    RequestsPane& pane = window->requestsPane();
    EXPECT_TRUE(pane.findChild<QLabel*>(QStringLiteral("RequestsAddress"))->text().contains(window->requestServer()->urls().value(0)));

    const QJsonArray found = call("GET", QStringLiteral("/api/search?q=susanna")).value(QStringLiteral("songs")).toArray();
    ASSERT_EQ(found.size(), 1);
    int status = 0;
    const QString token = call("POST", QStringLiteral("/api/requests"),
                               {{QStringLiteral("song"), found[0].toObject().value(QStringLiteral("id"))}, {QStringLiteral("name"), QStringLiteral("Guest Gil")},
                                {QStringLiteral("key"), -2}},
                               &status)
                              .value(QStringLiteral("token"))
                              .toString();
    ASSERT_EQ(status, 201);
    QApplication::processEvents();
    ASSERT_EQ(pane.list().topLevelItemCount(), 1);
    EXPECT_EQ(pane.list().topLevelItem(0)->text(0), QStringLiteral("Guest Gil"));
    window->findChild<QDockWidget*>(QStringLiteral("RotationDock"))->show();
    shot(QStringLiteral("requests-waiting"));

    // Ana is in the rotation already; Gil joins after her.
    window->rotationStore().addSinger(QStringLiteral("Ana"));
    pane.findChild<QPushButton*>(QStringLiteral("AcceptRequest"))->click();
    const std::optional<Singer> gil = window->rotationStore().singer(QStringLiteral("Guest Gil"));
    ASSERT_TRUE(gil);
    ASSERT_EQ(gil->queue.size(), 1u);
    EXPECT_EQ(gil->queue[0].key, -2);
    EXPECT_TRUE(gil->queue[0].path.endsWith(QStringLiteral("oh-susanna.kar")));
    EXPECT_EQ(pane.list().topLevelItemCount(), 0);
    const QJsonObject followed = call("GET", QStringLiteral("/api/requests/") + token);
    EXPECT_EQ(followed.value(QStringLiteral("state")).toString(), QStringLiteral("accepted"));
    EXPECT_EQ(followed.value(QStringLiteral("place")).toInt(), 2);

    // Rejected: the guest reads so, and the rotation is as it was.
    const QString second = call("POST", QStringLiteral("/api/requests"),
                                {{QStringLiteral("song"), found[0].toObject().value(QStringLiteral("id"))}, {QStringLiteral("name"), QStringLiteral("Hal")}})
                               .value(QStringLiteral("token"))
                               .toString();
    QApplication::processEvents();
    pane.findChild<QPushButton*>(QStringLiteral("RejectRequest"))->click();
    EXPECT_EQ(call("GET", QStringLiteral("/api/requests/") + second).value(QStringLiteral("state")).toString(), QStringLiteral("rejected"));
    EXPECT_FALSE(window->rotationStore().singer(QStringLiteral("Hal")));

    // The same port a second time is said, and the first server goes on.
    const quint16 port = window->requestServer()->port();
    RequestDesk desk;
    SongIndex index;
    RequestApi api(index, desk);
    RequestServer other(api);
    EXPECT_FALSE(other.start({QHostAddress(QHostAddress::LocalHost)}, port, &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("in use")));
    // The singers' screen invites the room between songs.
    EXPECT_EQ(window->singersScreen()->invitation(), window->requestServer()->urls().value(0));
    window->ShowSingersScreen(0);
    QApplication::processEvents();
    window->singersScreen()->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-stage-invitation.png"));
    window->StopRequests();
    EXPECT_TRUE(window->singersScreen()->invitation().isEmpty());
    EXPECT_FALSE(window->requestServer());
    EXPECT_TRUE(pane.findChild<QLabel*>(QStringLiteral("RequestsAddress"))->text().contains(QStringLiteral("off")));
}

// The words page's feed: a title card before the song, then the line being sung with how far it
// is lit, following the lyrics window frame by frame.
TEST_F(Requests, TheWordsFollowThePlayingSong) {
    QString problem;
    ASSERT_TRUE(window->StartRequests({QHostAddress(QHostAddress::LocalHost)}, 0, &problem)) << problem.toStdString();
    const QString base = QStringLiteral("ws://127.0.0.1:%1").arg(window->requestServer()->port());
    QWebSocket stray;
    bool strayClosed = false;
    QObject::connect(&stray, &QWebSocket::disconnected, [&] { strayClosed = true; });
    stray.open(QUrl(base + QStringLiteral("/not/words")));

    std::vector<QJsonObject> heard;
    QWebSocket phone;
    QObject::connect(&phone, &QWebSocket::textMessageReceived, [&](const QString& m) { heard.push_back(QJsonDocument::fromJson(m.toUtf8()).object()); });
    phone.open(QUrl(base + QStringLiteral("/words/live")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.empty(); }, 3000)) << "the words page heard nothing";
    EXPECT_EQ(heard.back().value(QStringLiteral("type")).toString(), QStringLiteral("page"));
    EXPECT_EQ(window->requestServer()->wordsClients(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return strayClosed; }, 3000)) << "a socket on another path stays open";

    open(demoSong("twinkle"));
    play();
    advance(8.0);
    // Let the frames' messages arrive: the clock stands still between renders, so the last
    // of them describes what the window shows (on a busy machine they may take a while).
    const LyricsSurface& surface = window->lyricsWindow().surface();
    QJsonObject page, lit;
    const auto latest = [&] {
        for (const QJsonObject& m : heard) (m.value(QStringLiteral("type")).toString() == QLatin1String("page") ? page : lit) = m;
        return page.value(QStringLiteral("pilot")).toString() == surface.pilotText() && lit.value(QStringLiteral("wipe")).toDouble() == surface.wipe();
    };
    QTest::qWait(200);
    EXPECT_TRUE(QTest::qWaitFor(latest, 3000)) << "the last messages are not what the window shows";
    EXPECT_FALSE(page.value(QStringLiteral("card")).toBool()) << "eight seconds in, the words are up";
    EXPECT_EQ(page.value(QStringLiteral("pilot")).toString(), surface.pilotText());
    EXPECT_EQ(page.value(QStringLiteral("following")).toVariant().toStringList(), surface.followingLines());
    EXPECT_EQ(lit.value(QStringLiteral("upto")).toInt(), surface.runStart());
    EXPECT_EQ(lit.value(QStringLiteral("through")).toInt(), surface.highlightText().size());
    EXPECT_NEAR(lit.value(QStringLiteral("wipe")).toDouble(), surface.wipe(), 1e-9);
    int lits = 0;
    for (const QJsonObject& m : heard) lits += m.value(QStringLiteral("type")).toString() == QLatin1String("lit");
    EXPECT_GT(lits, 3);
    bool midSyllable = false;
    for (const QJsonObject& m : heard) {
        const double w = m.value(QStringLiteral("wipe")).toDouble();
        midSyllable |= w > 0.05 && w < 0.95;
    }
    EXPECT_TRUE(midSyllable) << "the wipe's steps go out, not only whole syllables";

    window->StopRequests();
    EXPECT_TRUE(QTest::qWaitFor([&] { return phone.state() == QAbstractSocket::UnconnectedState; }, 3000)) << "state " << phone.state();
}

// A phone's browser (headless Chromium at a phone's size) searches, requests, and reads the
// host's answer; markup in a title stays text.
TEST_F(Requests, APhoneRequestsASongInARealBrowser) {
    Browser browser;
    NEED_BROWSER(browser);
    QString problem;
    ASSERT_TRUE(window->StartRequests({QHostAddress(QHostAddress::LocalHost)}, 0, &problem)) << problem.toStdString();
    ASSERT_TRUE(browser.open(window->requestServer()->urls().value(0), 390, 844, true));
    const auto type = [&](const QString& words) {
        browser.eval(QStringLiteral("(() => { const s = document.getElementById('search'); s.value = %1; s.dispatchEvent(new Event('input')); })()")
                         .arg(QString::fromUtf8(QJsonDocument(QJsonArray{words}).toJson(QJsonDocument::Compact)).mid(1).chopped(1)));
    };
    type(QStringLiteral("img bold"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelectorAll('#results button').length === 1"), 5000));
    EXPECT_EQ(browser.eval(QStringLiteral("document.querySelector('#results .title').textContent")).toString(),
              QStringLiteral("<img src=x onerror='window.hacked=1'> & <b>bold</b>"));
    EXPECT_TRUE(browser.eval(QStringLiteral("window.hacked === undefined && document.querySelectorAll('#results img, #results b').length === 0")).toBool());

    type(QStringLiteral("susanna"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelectorAll('#results button').length === 1 && "
                                               "document.querySelector('#results .title').textContent === 'oh-susanna'"),
                                5000));
    browser.screenshot(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-phone-search.png"));
    browser.eval(QStringLiteral("document.querySelector('#results button').click()"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("!document.getElementById('send').hidden"), 3000));
    browser.eval(QStringLiteral("document.getElementById('name').value = 'Phone Pat'; document.getElementById('key').value = '2'; "
                                "document.getElementById('ask').click()"));
    RequestsPane& pane = window->requestsPane();
    for (int i = 0; i < 100 && pane.list().topLevelItemCount() == 0; ++i) Browser::wait(50);
    ASSERT_EQ(pane.list().topLevelItemCount(), 1);
    EXPECT_EQ(pane.list().topLevelItem(0)->text(0), QStringLiteral("Phone Pat"));
    EXPECT_EQ(pane.list().topLevelItem(0)->text(2), QStringLiteral("+2"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('#requests li') && document.querySelector('#requests li').dataset.state === 'pending'"), 3000));
    pane.findChild<QPushButton*>(QStringLiteral("AcceptRequest"))->click();
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('#requests li').dataset.state === 'accepted'"), 8000));
    EXPECT_TRUE(browser.eval(QStringLiteral("document.querySelector('#requests li').textContent")).toString().contains(QStringLiteral("number 1 in the rotation")));
    EXPECT_EQ(window->rotationStore().singer(QStringLiteral("Phone Pat"))->queue.at(0).key, 2);
    browser.screenshot(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-phone-accepted.png"));
}

// The words page in a browser at a television's size follows the song as it plays.
TEST_F(Requests, TheWordsPageFollowsInARealBrowser) {
    Browser browser;
    NEED_BROWSER(browser);
    QString problem;
    ASSERT_TRUE(window->StartRequests({QHostAddress(QHostAddress::LocalHost)}, 0, &problem)) << problem.toStdString();
    open(demoSong("oh-susanna"));
    ASSERT_TRUE(browser.open(window->requestServer()->urls().value(0) + QStringLiteral("words"), 1920, 1080, false));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("Number(document.body.dataset.seen || 0) >= 1"), 5000));
    EXPECT_EQ(browser.eval(QStringLiteral("page.title")).toString(), window->session().song.songTitle.split(QStringLiteral("\r\n")).value(0).simplified());
    EXPECT_EQ(window->requestServer()->wordsClients(), 1);
    browser.screenshot(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-tv-before.png"));
    play();
    double litMost = 0;
    QString pilot;
    for (int step = 0; step < 120 && litMost <= 0; ++step) {
        advance(0.1);
        Browser::wait(15);
        litMost = std::max(litMost, browser.eval(QStringLiteral("Number(document.body.dataset.lit || 0)")).toDouble());
    }
    EXPECT_GT(litMost, 0) << "the line being sung lights in the browser";
    Browser::wait(100);
    const QJsonObject page = QJsonDocument::fromJson(browser.eval(QStringLiteral("JSON.stringify(page)")).toString().toUtf8()).object();
    EXPECT_EQ(page.value(QStringLiteral("pilot")).toString(), window->lyricsWindow().surface().pilotText()) << "the same line as the host's window";
    browser.screenshot(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-tv-words.png"));

    // The same page on a phone held upright: the stage fits the narrower screen.
    browser.resize(390, 844, true);
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('stage').width <= 390 && document.getElementById('stage').width > 300"), 3000))
        << browser.eval(QStringLiteral("document.getElementById('stage').width")).toDouble();
    EXPECT_LE(browser.eval(QStringLiteral("document.documentElement.scrollWidth")).toInt(), 390) << "nothing wider than the phone";
    // Lines too long for the phone's width wrap rather than shrink past reading from arm's length.
    ASSERT_TRUE(browser.waitFor(QStringLiteral("Number(document.body.dataset.size) >= 24"), 3000))
        << "the words are " << browser.eval(QStringLiteral("document.body.dataset.size")).toString().toStdString() << " px";
    EXPECT_GT(browser.eval(QStringLiteral("Number(document.body.dataset.rows)")).toInt(),
              static_cast<int>(window->lyricsWindow().surface().followingLines().size()) + 1)
        << "the lines wrap";
    for (int step = 0; step < 10; ++step) {
        advance(0.1);
        Browser::wait(15);
    }
    browser.screenshot(QStringLiteral(CANTAVO_SHOTS_DIR "/requests-phone-words.png"));
}

TEST(RequestsOption, TakesAnAddressAndAPort) {
    QString error;
    QStringList args{QStringLiteral("cantavo"), QStringLiteral("--requests"), QStringLiteral("192.168.1.5:8080"), QStringLiteral("song.kar")};
    WindowOptions o = TakeWindowOptions(args, &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(o.requestsPort, 8080);
    EXPECT_EQ(o.requestsAddress, QStringLiteral("192.168.1.5"));
    EXPECT_EQ(args, (QStringList{QStringLiteral("cantavo"), QStringLiteral("song.kar")}));
    args = {QStringLiteral("cantavo"), QStringLiteral("--requests"), QStringLiteral("9000")};
    o = TakeWindowOptions(args, &error);
    EXPECT_EQ(o.requestsPort, 9000);
    EXPECT_TRUE(o.requestsAddress.isEmpty());
    args = {QStringLiteral("cantavo"), QStringLiteral("--requests"), QStringLiteral("[::1]:9001")};
    EXPECT_EQ(TakeWindowOptions(args, &error).requestsAddress, QStringLiteral("::1"));
    for (const char* bad : {"", "port", "70000", "0", "nohost:80", "1.2.3.4:"}) {
        error.clear();
        args = {QStringLiteral("cantavo"), QStringLiteral("--requests"), QString::fromLatin1(bad)};
        TakeWindowOptions(args, &error);
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

}  // namespace
}  // namespace cantavo::test
