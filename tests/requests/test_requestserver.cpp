// The request server on the loopback: real HTTP from a client, a port in use, and clients that
// send too much, too slowly or too many at once.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include "requestapi.h"
#include "requestserver.h"

namespace cantavo::test {
namespace {

struct Served {
    SongIndex index{{{QStringLiteral("frere.kar"), QStringLiteral("0:40"), QStringLiteral("Frère Jacques"), QStringLiteral("Traditional"), QStringLiteral("/songs/")}},
                    "secret"};
    RequestDesk desk;
    RequestApi api{index, desk};
    RequestServer server{api};
    QNetworkAccessManager net;

    QNetworkReply* wait(QNetworkReply* reply) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        return reply;
    }
    QUrl url(const QString& path) const { return QUrl(server.urls().value(0) + path.mid(1)); }
};

TEST(RequestServer, AnswersGuestsOverHttp) {
    Served s;
    QString error;
    ASSERT_TRUE(s.server.start({QHostAddress(QHostAddress::LocalHost)}, 0, &error)) << error.toStdString();
    EXPECT_GT(s.server.port(), 0);
    EXPECT_EQ(s.server.urls(), QStringList{QStringLiteral("http://127.0.0.1:%1/").arg(s.server.port())});

    std::unique_ptr<QNetworkReply> page(s.wait(s.net.get(QNetworkRequest(s.url(QStringLiteral("/"))))));
    EXPECT_EQ(page->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    EXPECT_TRUE(page->readAll().contains("Sing a song"));
    EXPECT_TRUE(page->rawHeader("Content-Security-Policy").contains("default-src 'self'"));
    EXPECT_EQ(page->rawHeader("X-Content-Type-Options"), QByteArray("nosniff"));

    std::unique_ptr<QNetworkReply> found(s.wait(s.net.get(QNetworkRequest(s.url(QStringLiteral("/api/search?q=frere"))))));
    const QJsonArray songs = QJsonDocument::fromJson(found->readAll()).object().value(QStringLiteral("songs")).toArray();
    ASSERT_EQ(songs.size(), 1);
    QNetworkRequest post(s.url(QStringLiteral("/api/requests")));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("song"), songs[0].toObject().value(QStringLiteral("id"))}, {QStringLiteral("name"), QStringLiteral("Ana")}}).toJson();
    std::unique_ptr<QNetworkReply> sent(s.wait(s.net.post(post, body)));
    EXPECT_EQ(sent->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
    ASSERT_EQ(s.desk.pending().size(), 1u);
    EXPECT_EQ(s.desk.pending()[0].client, QStringLiteral("127.0.0.1"));

    // A second server cannot have the same port, and says so; the first goes on.
    Served other;
    EXPECT_FALSE(other.server.start({QHostAddress(QHostAddress::LocalHost)}, s.server.port(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("in use"))) << error.toStdString();
    EXPECT_FALSE(other.server.running());
    std::unique_ptr<QNetworkReply> still(s.wait(s.net.get(QNetworkRequest(s.url(QStringLiteral("/style.css"))))));
    EXPECT_EQ(still->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);

    // Turned off: nobody is answered any more.
    const QUrl was = s.url(QStringLiteral("/"));
    s.server.stop();
    EXPECT_FALSE(s.server.running());
    std::unique_ptr<QNetworkReply> gone(s.wait(s.net.get(QNetworkRequest(was))));
    EXPECT_EQ(gone->error(), QNetworkReply::ConnectionRefusedError);
}

// A raw client: what it sends, and whether the server hung up on it within `ms`.
bool droppedWithin(QTcpSocket& socket, int ms) {
    if (socket.state() == QAbstractSocket::UnconnectedState) return true;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return socket.state() == QAbstractSocket::UnconnectedState;
}

TEST(RequestServer, HostileClientsDoNotTieItUp) {
    Served s;
    s.server.setWaits(800, 1500);
    QString error;
    ASSERT_TRUE(s.server.start({QHostAddress(QHostAddress::LocalHost)}, 0, &error)) << error.toStdString();

    // A body far larger than any call: cut off.
    QTcpSocket big;
    big.connectToHost(QHostAddress::LocalHost, s.server.port());
    ASSERT_TRUE(big.waitForConnected(3000));
    big.write("POST /api/requests HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n");
    const QByteArray chunk(16 * 1024, 'a');
    for (int i = 0; i < 12 && big.state() == QAbstractSocket::ConnectedState; ++i) {
        big.write(chunk);
        big.waitForBytesWritten(1000);
        QTest::qWait(20);
    }
    EXPECT_TRUE(droppedWithin(big, 3000)) << "10 MB announced, 192 KB sent, still connected";

    // A client that starts a call and never finishes it: dropped after the call's time.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, s.server.port());
    ASSERT_TRUE(slow.waitForConnected(3000));
    slow.write("GET / HTTP/1.1\r\nHost: x\r\n");
    slow.flush();
    EXPECT_FALSE(droppedWithin(slow, 300));
    EXPECT_TRUE(droppedWithin(slow, 3000));

    // Many connections from one address: those past the limit are closed at once, and the
    // server still answers when they are gone.
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < RequestServer::kPerAddress + 8; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, s.server.port());
        crowd.back()->waitForConnected(3000);
    }
    const auto dropped = [&] {
        int n = 0;
        for (auto& c : crowd) n += c->state() != QAbstractSocket::ConnectedState;
        return n;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return dropped() == 8; }, 3000)) << dropped() << " dropped";
    EXPECT_LE(s.server.connections(), RequestServer::kPerAddress);
    // A higher limit applies to the running server at once: 8 more are let in.
    s.server.setPerAddress(RequestServer::kPerAddress + 8);
    std::vector<std::unique_ptr<QTcpSocket>> more;
    for (int i = 0; i < 8; ++i) {
        more.push_back(std::make_unique<QTcpSocket>());
        more.back()->connectToHost(QHostAddress::LocalHost, s.server.port());
        ASSERT_TRUE(more.back()->waitForConnected(3000));
    }
    EXPECT_FALSE(QTest::qWaitFor([&] { return std::any_of(more.begin(), more.end(), [](auto& c) { return c->state() != QAbstractSocket::ConnectedState; }); }, 300))
        << "turned away under the higher limit";
    more.clear();
    crowd.clear();
    // Quiet connections go after the idle time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.server.connections() == 0; }, 4000)) << s.server.connections() << " connections left";
    std::unique_ptr<QNetworkReply> after(s.wait(s.net.get(QNetworkRequest(s.url(QStringLiteral("/api/search?q=frere"))))));
    EXPECT_EQ(after->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
}

}  // namespace
}  // namespace cantavo::test
