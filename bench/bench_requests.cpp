// Guests' phones against the request server, each side in its own process as on a real
// network: 50 phones follow the words' live feed while searches and requests come in at 10 a
// second. Printed: how late each lit message reaches the phones (sent to received, p50/p95/
// worst), how long searches of a 20,000-song catalogue take (p50/p95), and what sending the
// feed costs the window's thread per frame, with 50 phones and with none.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "requestapi.h"
#include "requestserver.h"

namespace {

qint64 nowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

QList<cantavo::SongRow> catalogue(int n) {
    static const char* const words[] = {"love", "night", "heart", "river", "summer", "dance", "blue", "road", "fire", "rain", "home", "star"};
    QList<cantavo::SongRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QStringLiteral("song%1.kar").arg(i), QStringLiteral("3:30"),
                     QStringLiteral("%1 %2 %3").arg(QLatin1String(words[i % 12]), QLatin1String(words[(i / 12) % 12])).arg(i),
                     QStringLiteral("Band %1").arg(i % 700), QStringLiteral("/music/karaoke/")});
    return rows;
}

// The phones: followers of the feed, and a guest searching or requesting ten times a second.
int phones(quint16 port, int count, int seconds) {
    std::vector<std::unique_ptr<QWebSocket>> followers;
    std::vector<double> lateMs;
    size_t lit = 0;
    for (int i = 0; i < count; ++i) {
        followers.push_back(std::make_unique<QWebSocket>());
        QObject::connect(followers.back().get(), &QWebSocket::textMessageReceived, [&lateMs, &lit](const QString& m) {
            const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
            if (o.value(QStringLiteral("type")).toString() != QLatin1String("lit")) return;
            ++lit;
            // The program's own feed carries no send time; only this benchmark's server stamps it.
            if (o.contains(QStringLiteral("sent")))
                lateMs.push_back(static_cast<double>(nowNs() - static_cast<qint64>(o.value(QStringLiteral("sent")).toDouble())) / 1e6);
        });
        followers.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/words/live").arg(port)));
    }
    QNetworkAccessManager net;
    std::vector<double> searchMs;
    int calls = 0, answered = 0, refused = 0;
    QTimer guests;
    guests.setInterval(100);
    static const char* const queries[] = {"love", "night river", "band 12", "summer dance 4", "star", "blue road", "fire rain 1", "home"};
    QObject::connect(&guests, &QTimer::timeout, [&] {
        const int n = calls++;
        const qint64 start = nowNs();
        QNetworkReply* reply;
        if (n % 10 == 9) {
            QNetworkRequest r(QUrl(QStringLiteral("http://127.0.0.1:%1/api/requests").arg(port)));
            r.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
            reply = net.post(r, QByteArray(R"({"song":"unknown","name":"Guest"})"));
        } else {
            reply = net.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/api/search?q=%2").arg(port).arg(QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(queries[n % 8])))))));
        }
        QObject::connect(reply, &QNetworkReply::finished, [&, reply, start, n] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            ++answered;
            refused += status == 429 || status == 403;
            if (n % 10 != 9 && status == 200) searchMs.push_back(static_cast<double>(nowNs() - start) / 1e6);
            reply->deleteLater();
        });
    });
    guests.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    int open = 0;
    for (const auto& f : followers) open += f->state() == QAbstractSocket::ConnectedState;
    std::printf("phones following the words: %d of %d; lit messages received: %zu\n", open, count, lit);
    if (!lateMs.empty())
        std::printf("lit message, sent to received: p50 %6.2f ms  p95 %6.2f ms  worst %6.2f ms   (target: p95 under 50 ms)\n", percentile(lateMs, 0.5),
                percentile(lateMs, 0.95), percentile(lateMs, 1.0));
    std::printf("searches of the catalogue over HTTP: %zu, p50 %6.2f ms  p95 %6.2f ms   (target: p95 under 100 ms)\n", searchMs.size(), percentile(searchMs, 0.5),
                percentile(searchMs, 0.95));
    std::printf("calls made %d, answered %d, slowed or refused %d (one address for all: the limits per device apply)\n", calls, answered, refused);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--phones")) return phones(static_cast<quint16>(args.value(2).toUInt()), args.value(3).toInt(), args.value(4).toInt());

    const int seconds = 10, count = 50;
    const cantavo::SongIndex index(catalogue(20000), "bench");
    {
        QElapsedTimer t;
        t.start();
        std::vector<double> ms;
        for (const char* q : {"love", "night river", "band 12", "summer dance 4", "zzz", "star 19"}) {
            t.restart();
            index.search(QString::fromLatin1(q), 20);
            ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        std::printf("search of 20,000 songs in memory: p50 %.2f ms, worst %.2f ms\n", percentile(ms, 0.5), percentile(ms, 1.0));
    }
    cantavo::RequestDesk desk;
    cantavo::RequestApi api(index, desk);
    cantavo::RequestServer server(api);
    // Every phone here comes from the loopback; on a network each has an address of its own.
    server.setPerAddress(count + 8);
    QString error;
    if (!server.start({QHostAddress(QHostAddress::LocalHost)}, 0, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The window's frames at 60 a second: a lit message each, a new page every two seconds.
    std::vector<double> costWith, costWithout;
    int frame = 0;
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    frames.setInterval(16);
    QObject::connect(&frames, &QTimer::timeout, [&] {
        ++frame;
        const qint64 start = nowNs();
        if (frame % 120 == 1)
            server.setWordsPage(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("page")}, {QStringLiteral("card"), false},
                                                          {QStringLiteral("pilot"), QStringLiteral("Line %1 of the song, sung now").arg(frame / 120)}})
                                    .toJson(QJsonDocument::Compact));
        server.sendWordsLit(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("lit")}, {QStringLiteral("upto"), frame % 20},
                                                      {QStringLiteral("through"), frame % 20 + 4}, {QStringLiteral("wipe"), (frame % 30) / 30.0},
                                                      {QStringLiteral("sent"), static_cast<double>(nowNs())}})
                                .toJson(QJsonDocument::Compact));
        (server.wordsClients() > 0 ? costWith : costWithout).push_back(static_cast<double>(nowNs() - start) / 1e6);
    });
    frames.start();
    // A second with nobody following, then the phones.
    QProcess phones;
    phones.setProcessChannelMode(QProcess::ForwardedChannels);
    QTimer::singleShot(1000, [&] { phones.start(app.applicationFilePath(), {QStringLiteral("--phones"), QString::number(server.port()), QString::number(count), QString::number(seconds)}); });
    QObject::connect(&phones, &QProcess::finished, &app, &QCoreApplication::quit);
    QTimer::singleShot((seconds + 15) * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    std::printf("sending the feed on the window's thread, per frame: none following p50 %.3f ms p95 %.3f ms; %d following p50 %.3f ms p95 %.3f ms worst %.3f ms\n",
                percentile(costWithout, 0.5), percentile(costWithout, 0.95), count, percentile(costWith, 0.5), percentile(costWith, 0.95), percentile(costWith, 1.0));
    return 0;
}
