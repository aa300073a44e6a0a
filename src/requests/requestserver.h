#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>

#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <memory>
#include <vector>

namespace cantavo {

class RequestApi;

// Guests' calls over HTTP on the local network, answered by a RequestApi.
//
// Everything runs on the thread that made the server (the window's): each call is answered at
// once from memory, and a connection costs nothing while it waits. What keeps a hostile or
// broken client from tying it up: at most kConnections connections, kPerAddress from one
// address; at most kBytesPerCall bytes from a connection before it is answered (a larger body
// is cut off); kCallMs for a call to arrive once it has begun (a slow client is dropped), and
// kIdleMs for a quiet connection.
class RequestServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnections = 256;
    static constexpr int kPerAddress = 32;
    static constexpr qint64 kBytesPerCall = 64 * 1024;
    static constexpr int kCallMs = 10000;
    static constexpr int kIdleMs = 60000;

    explicit RequestServer(RequestApi& api, QObject* parent = nullptr);
    ~RequestServer() override;

    // Listens on each address at `port` (0: a free one). On failure nothing listens and
    // `error` says why ("the port 8080 on 192.168.1.5 is in use").
    bool start(const QList<QHostAddress>& addresses, quint16 port, QString* error);
    void stop();
    bool running() const;
    quint16 port() const { return port_; }
    // The addresses guests type: "http://192.168.1.5:8080/".
    QStringList urls() const;
    // Connections open now.
    int connections() const;
    // The words page's live feed (a WebSocket at "/words/live", at most kWordsClients): each
    // client gets the page when it connects and whenever it changes, and every lit message as
    // it comes; the page again every kHeartbeatMs, so that a quiet feed stays open.
    static constexpr int kWordsClients = 200;
    static constexpr int kHeartbeatMs = 15000;
    void setWordsPage(const QByteArray& json);
    void sendWordsLit(const QByteArray& json);
    int wordsClients() const { return static_cast<int>(words_.size()); }

    // Connections allowed from one address, at once (the benchmarks' phones all come from the
    // loopback).
    void setPerAddress(int connections);

    // Shorter waits, for tests of slow clients; from the next start.
    void setWaits(int callMs, int idleMs) {
        callMs_ = callMs;
        idleMs_ = idleMs;
    }

private:
    class Http;
    class Guard;
    RequestApi& api_;
    std::unique_ptr<Http> http_;
    QList<Guard*> guards_;
    QList<QHostAddress> addresses_;
    QHash<QString, int> perAddress_;  // connections open from each address
    int open_ = 0;
    int callMs_ = kCallMs, idleMs_ = kIdleMs, perAddressLimit_ = kPerAddress;
    void takeWordsClients();
    std::vector<std::unique_ptr<QWebSocket>> words_;
    QByteArray wordsPage_;
    QTimer heartbeat_;
    QWebSocketServer wordsServer_;
    quint16 port_ = 0;
};

// The addresses of this machine's local networks a server can be offered on (IPv4 and IPv6,
// no link-local IPv6), the loopback first.
QList<QHostAddress> LocalAddresses();

}  // namespace cantavo
