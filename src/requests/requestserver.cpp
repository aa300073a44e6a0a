#include "requestserver.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QNetworkInterface>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocketServer>

#include "requestapi.h"

namespace cantavo {

class RequestServer::Http : public QAbstractHttpServer {
public:
    explicit Http(RequestApi& api) : api_(api) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        static const QHash<QHttpServerRequest::Method, QByteArray> names{
            {QHttpServerRequest::Method::Get, "GET"},   {QHttpServerRequest::Method::Head, "HEAD"},       {QHttpServerRequest::Method::Post, "POST"},
            {QHttpServerRequest::Method::Put, "PUT"},   {QHttpServerRequest::Method::Delete, "DELETE"},   {QHttpServerRequest::Method::Options, "OPTIONS"},
            {QHttpServerRequest::Method::Patch, "PATCH"}, {QHttpServerRequest::Method::Trace, "TRACE"}, {QHttpServerRequest::Method::Connect, "CONNECT"},
        };
        const ApiReply reply = api_.handle({names.value(request.method(), "OTHER"), request.url(), request.body(),
                                            request.remoteAddress().toString(), QDateTime::currentMSecsSinceEpoch()});
        QHttpServerResponder responder = makeResponder(request, socket);
        const QByteArray body = request.method() == QHttpServerRequest::Method::Head ? QByteArray() : reply.body;
        responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
        for (const auto& h : RequestApi::Headers(reply)) responder.writeHeader(h.first, h.second);
        responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
        responder.writeBody(body);
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    RequestApi& api_;
};

// Accepts connections within the limits and watches each one: the bytes of a call, its time
// to arrive, and quiet.
class RequestServer::Guard : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

    // A connection whose first call asks for the words' live feed is handed to the WebSocket
    // server with its handshake unread (only looked at); anything else stays with HTTP.
    static bool takenForWords(QTcpSocket* socket, QWebSocketServer* words) {
        const QByteArray head = socket->peek(4096);
        const qsizetype end = head.indexOf("\r\n\r\n");
        if (end < 0 || !head.startsWith("GET /words/live ")) return false;
        bool upgrade = false;
        for (const QByteArray& line : head.left(end).split('\n'))
            upgrade |= line.trimmed().toLower().startsWith("upgrade:") && line.toLower().contains("websocket");
        if (!upgrade) return false;
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        words->handleConnection(socket);
        emit socket->readyRead();
        return true;
    }
    QHash<QString, int>* perAddress = nullptr;
    int* open = nullptr;
    // The server's limit, read at each connection so a change applies to a running server.
    const int* perAddressLimit = nullptr;
    int callMs = kCallMs, idleMs = kIdleMs;
    // Where a connection asking for the words' feed goes, before the HTTP server sees it.
    QWebSocketServer* words = nullptr;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        const QString from = socket->peerAddress().toString();
        if (*open >= kConnections || perAddress->value(from) >= *perAddressLimit) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        ++*open;
        ++(*perAddress)[from];
        // A guard being destroyed takes its sockets along without counting them down: by then
        // the counts are being reset.
        QHash<QString, int>* counts = perAddress;
        int* total = open;
        connect(socket, &QObject::destroyed, this, [counts, total, from] {
            --*total;
            if (--(*counts)[from] <= 0) counts->remove(from);
        });
        auto* call = new QTimer(socket);
        call->setSingleShot(true);
        call->setInterval(callMs);
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setInterval(idleMs);
        auto received = std::make_shared<qint64>(0);
        const QPointer<QTcpSocket> watched(socket);
        const auto drop = [watched] {
            if (watched) watched->abort();
        };
        connect(call, &QTimer::timeout, socket, drop);
        connect(idle, &QTimer::timeout, socket, drop);
        // Connected before the server's own reading, so it sees each piece first.
        QWebSocketServer* words = this->words;
        connect(socket, &QTcpSocket::readyRead, socket, [watched, call, idle, received, drop, words] {
            if (!watched) return;
            if (*received == 0 && words && takenForWords(watched, words)) {
                call->stop();
                idle->start();
                return;
            }
            if (*received == 0) call->start();
            *received += watched->bytesAvailable();
            idle->start();
            if (*received > kBytesPerCall) drop();
        });
        connect(socket, &QTcpSocket::bytesWritten, socket, [call, idle, received] {
            *received = 0;
            call->stop();
            idle->start();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        idle->start();
        addPendingConnection(socket);
    }
};

RequestServer::RequestServer(RequestApi& api, QObject* parent)
    : QObject(parent), api_(api), wordsServer_(QStringLiteral("cantavo"), QWebSocketServer::NonSecureMode) {
    connect(&wordsServer_, &QWebSocketServer::newConnection, this, &RequestServer::takeWordsClients);
    heartbeat_.setInterval(kHeartbeatMs);
    connect(&heartbeat_, &QTimer::timeout, this, [this] {
        for (const auto& w : words_) w->sendTextMessage(QString::fromUtf8(wordsPage_));
    });
}

void RequestServer::takeWordsClients() {
    while (wordsServer_.hasPendingConnections()) {
        std::unique_ptr<QWebSocket> socket(wordsServer_.nextPendingConnection());
        if (!socket) break;
        if (!http_) {
            socket->abort();
            continue;
        }
        if (socket->requestUrl().path() != QLatin1String("/words/live") || static_cast<int>(words_.size()) >= kWordsClients) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            continue;
        }
        // Guests only listen: anything they send is small or the connection goes.
        socket->setMaxAllowedIncomingMessageSize(1024);
        socket->setMaxAllowedIncomingFrameSize(1024);
        QWebSocket* raw = socket.get();
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            // Within its own signal the socket is not deleted at once.
            for (auto it = words_.begin(); it != words_.end(); ++it)
                if (it->get() == raw) {
                    it->release()->deleteLater();
                    words_.erase(it);
                    break;
                }
        });
        if (!wordsPage_.isEmpty()) raw->sendTextMessage(QString::fromUtf8(wordsPage_));
        words_.push_back(std::move(socket));
    }
}

void RequestServer::setWordsPage(const QByteArray& json) {
    if (json == wordsPage_) return;
    wordsPage_ = json;
    for (const auto& w : words_) w->sendTextMessage(QString::fromUtf8(json));
}

void RequestServer::sendWordsLit(const QByteArray& json) {
    const QString text = QString::fromUtf8(json);
    for (const auto& w : words_) w->sendTextMessage(text);
}

RequestServer::~RequestServer() { stop(); }

bool RequestServer::start(const QList<QHostAddress>& addresses, quint16 port, QString* error) {
    stop();
    if (addresses.isEmpty()) {
        *error = QStringLiteral("No address was chosen for the request server.");
        return false;
    }
    http_ = std::make_unique<Http>(api_);
    perAddress_.clear();
    open_ = 0;
    quint16 chosen = port;
    for (const QHostAddress& address : addresses) {
        auto* guard = new Guard(http_.get());
        guard->perAddress = &perAddress_;
        guard->open = &open_;
        guard->callMs = callMs_;
        guard->idleMs = idleMs_;
        guard->perAddressLimit = &perAddressLimit_;
        guard->words = &wordsServer_;
        if (!guard->listen(address, chosen)) {
            *error = guard->serverError() == QAbstractSocket::AddressInUseError
                         ? QStringLiteral("The port %1 on %2 is in use: choose another port for requests.").arg(chosen).arg(address.toString())
                         : QStringLiteral("Requests cannot be served on %1 port %2: %3").arg(address.toString()).arg(chosen).arg(guard->errorString());
            delete guard;
            stop();
            return false;
        }
        // The other addresses on the same port as the first, when it was free to choose.
        chosen = guard->serverPort();
        http_->bind(guard);
        guards_.append(guard);
    }
    addresses_ = addresses;
    port_ = chosen;
    heartbeat_.start();
    return true;
}

void RequestServer::stop() {
    heartbeat_.stop();
    std::vector<std::unique_ptr<QWebSocket>> leaving = std::move(words_);
    words_.clear();
    for (auto& w : leaving) {
        w->disconnect(this);
        w->abort();
    }
    for (Guard* g : guards_) g->close();
    guards_.clear();
    http_.reset();
    addresses_.clear();
    port_ = 0;
}

void RequestServer::setPerAddress(int connections) {
    perAddressLimit_ = connections;
}

bool RequestServer::running() const { return !guards_.isEmpty(); }

int RequestServer::connections() const { return open_; }

QStringList RequestServer::urls() const {
    QStringList out;
    for (const QHostAddress& a : addresses_) {
        const QString host = a.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + a.toString() + QLatin1Char(']') : a.toString();
        out << QStringLiteral("http://%1:%2/").arg(host).arg(port_);
    }
    return out;
}

QList<QHostAddress> LocalAddresses() {
    QList<QHostAddress> out{QHostAddress(QHostAddress::LocalHost)};
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsUp) || !(i.flags() & QNetworkInterface::IsRunning)) continue;
        for (const QNetworkAddressEntry& e : i.addressEntries()) {
            const QHostAddress a = e.ip();
            if (a.isLoopback() || a.isLinkLocal() || a.isMulticast()) continue;
            out << a;
        }
    }
    return out;
}

}  // namespace cantavo
