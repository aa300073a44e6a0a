#include "requestapi.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

#include "livesettings.h"

// The pages are compiled into this library; a static library's resources are registered by hand.
static void RegisterRequestPages() { Q_INIT_RESOURCE(requestpages); }

namespace cantavo {

namespace {

ApiReply json(int status, const QJsonObject& o) { return {status, "application/json; charset=utf-8", QJsonDocument(o).toJson(QJsonDocument::Compact), 0}; }
ApiReply error(int status, const QString& text) { return json(status, {{QStringLiteral("error"), text}}); }

ApiReply page(const char* resource, const QByteArray& type) {
    QFile f(QString::fromLatin1(resource));
    if (!f.open(QIODevice::ReadOnly)) return error(500, QStringLiteral("The page is missing."));
    return {200, type, f.readAll(), 0};
}

ApiReply slowed(const ClientLimits& limits) {
    ApiReply r = error(429, QStringLiteral("Too many calls: please wait a moment."));
    r.retryAfterSeconds = limits.retryAfterSeconds();
    return r;
}

}  // namespace

RequestApi::RequestApi(const SongIndex& index, RequestDesk& desk) : index_(index), desk_(desk) {
    static const bool registered = (RegisterRequestPages(), true);
    Q_UNUSED(registered);
}

QList<QPair<QByteArray, QByteArray>> RequestApi::Headers(const ApiReply& reply) {
    QList<QPair<QByteArray, QByteArray>> h{
        {"Content-Type", reply.contentType.isEmpty() ? QByteArray("text/plain; charset=utf-8") : reply.contentType},
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
        {"Content-Security-Policy", "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:; frame-ancestors 'none'"},
    };
    if (reply.retryAfterSeconds > 0) h.append({"Retry-After", QByteArray::number(reply.retryAfterSeconds)});
    return h;
}

ApiReply RequestApi::handle(const ApiCall& call) {
    switch (calls_.check(call.client, call.nowMs)) {
    case ClientLimits::Verdict::Refused: return error(403, QStringLiteral("Too many calls from this device."));
    case ClientLimits::Verdict::Slowed: return slowed(calls_);
    case ClientLimits::Verdict::Allowed: break;
    }
    if (call.url.toEncoded().size() > kMaxUrl) return error(414, QStringLiteral("The address is too long."));
    if (call.body.size() > kMaxBody) return error(413, QStringLiteral("Too much was sent."));
    const QString path = call.url.path();
    const bool get = call.method == "GET" || call.method == "HEAD";
    if (path == QLatin1String("/api/requests")) {
        if (call.method != "POST") return error(405, QStringLiteral("Send requests with POST."));
        return request(call);
    }
    if (!get) return error(405, QStringLiteral("Only GET here."));
    if (path == QLatin1String("/") || path == QLatin1String("/index.html")) return page(":/requests/request.html", "text/html; charset=utf-8");
    if (path == QLatin1String("/request.js")) return page(":/requests/request.js", "text/javascript; charset=utf-8");
    if (path == QLatin1String("/style.css")) return page(":/requests/style.css", "text/css; charset=utf-8");
    if (path == QLatin1String("/words")) return page(":/requests/words.html", "text/html; charset=utf-8");
    if (path == QLatin1String("/words.js")) return page(":/requests/words.js", "text/javascript; charset=utf-8");
    if (path == QLatin1String("/api/search")) return search(call);
    static const QRegularExpression token(QStringLiteral("^/api/requests/([0-9a-f]{32})$"));
    const QRegularExpressionMatch m = token.match(path);
    if (m.hasMatch()) return status(m.captured(1));
    return error(404, QStringLiteral("Nothing here."));
}

ApiReply RequestApi::search(const ApiCall& call) {
    const QUrlQuery query(call.url);
    const QString words = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    if (words.size() > SongIndex::kMaxQueryLength) return error(400, QStringLiteral("The search is too long."));
    bool ok = false;
    int limit = query.queryItemValue(QStringLiteral("limit")).toInt(&ok);
    if (!ok) limit = 20;
    int total = 0;
    QJsonArray songs;
    for (const IndexedSong* s : index_.search(words, limit, &total))
        songs.append(QJsonObject{{QStringLiteral("id"), s->id}, {QStringLiteral("title"), s->title}, {QStringLiteral("author"), s->author}, {QStringLiteral("length"), s->length}});
    return json(200, {{QStringLiteral("songs"), songs}, {QStringLiteral("total"), total}});
}

ApiReply RequestApi::request(const ApiCall& call) {
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(call.body, &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isObject()) return error(400, QStringLiteral("The request could not be read."));
    const QJsonObject o = doc.object();
    const QJsonValue key = o.value(QStringLiteral("key"));
    if (!o.value(QStringLiteral("song")).isString() || !o.value(QStringLiteral("name")).isString() || !(key.isUndefined() || key.isDouble()))
        return error(400, QStringLiteral("The request could not be read."));
    const IndexedSong* song = index_.find(o.value(QStringLiteral("song")).toString().left(64));
    if (!song) return error(400, QStringLiteral("That song is not in the catalogue."));
    QString why;
    const QString name = GuestName(o.value(QStringLiteral("name")).toString(), &why);
    if (name.isEmpty()) return error(400, why);
    const double k = key.toDouble(0);
    if (k != static_cast<int>(k) || k < LiveSettings::kMinKey || k > LiveSettings::kMaxKey)
        return error(400, QStringLiteral("The key change must be a whole number from %1 to %2.").arg(LiveSettings::kMinKey).arg(LiveSettings::kMaxKey));
    switch (sends_.check(call.client, call.nowMs)) {
    case ClientLimits::Verdict::Refused: return error(403, QStringLiteral("Too many requests from this device."));
    case ClientLimits::Verdict::Slowed: return slowed(sends_);
    case ClientLimits::Verdict::Allowed: break;
    }
    const QString token = desk_.submit(call.client, name, song->id, song->title, song->path, static_cast<int>(k), call.nowMs, &why);
    if (token.isEmpty()) return error(429, why);
    return json(201, {{QStringLiteral("token"), token}, {QStringLiteral("state"), QStringLiteral("pending")}});
}

ApiReply RequestApi::status(const QString& token) {
    const std::optional<GuestRequest> r = desk_.find(token);
    if (!r) return error(404, QStringLiteral("No such request."));
    static const char* const states[] = {"pending", "accepted", "rejected"};
    QJsonObject o{{QStringLiteral("state"), QString::fromLatin1(states[static_cast<int>(r->state)])},
                  {QStringLiteral("title"), r->title},
                  {QStringLiteral("name"), r->name}};
    const int place = r->state == GuestRequest::State::Accepted && placeOf ? placeOf(r->name) : 0;
    o.insert(QStringLiteral("place"), place > 0 ? QJsonValue(place) : QJsonValue());
    return json(200, o);
}

}  // namespace cantavo
