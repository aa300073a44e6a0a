#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

#include "requestdesk.h"
#include "songindex.h"

namespace cantavo {

// One call from a guest's browser, whatever server carried it.
struct ApiCall {
    QByteArray method;
    QUrl url;
    QByteArray body;
    QString client;  // the address it came from
    qint64 nowMs = 0;
};

struct ApiReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    int retryAfterSeconds = 0;  // with 429
};

// What guests can do, and nothing else: fetch the pages, search the catalogue, send a request
// and follow it. Every input is bounded and checked; ids name catalogue songs only; no path or
// folder ever goes out. No widgets and no network: a server hands calls in, and tests and the
// fuzzer call it directly.
//
//   GET  /                      the request page (and /request.js, /style.css)
//   GET  /words                 the words of the song being sung, live (and /words.js); the
//                               page follows a WebSocket at /words/live (RequestServer)
//   GET  /api/search?q=WORDS&limit=N
//        {"songs": [{"id", "title", "author", "length"}], "total": N}
//   POST /api/requests  {"song": ID, "name": NAME, "key": -12..12}
//        201 {"token": T, "state": "pending"}; 400 {"error": TEXT}
//   GET  /api/requests/T
//        {"state": "pending"|"accepted"|"rejected", "title", "name", "place": N or null}
class RequestApi {
public:
    static constexpr int kMaxBody = 4096;
    static constexpr int kMaxUrl = 2048;

    RequestApi(const SongIndex& index, RequestDesk& desk);
    // Where a singer of that name stands in the rotation (1: next), 0 when not in it.
    std::function<int(const QString& name)> placeOf;

    ApiReply handle(const ApiCall& call);

    // The security headers every reply carries.
    static QList<QPair<QByteArray, QByteArray>> Headers(const ApiReply& reply);

private:
    ApiReply search(const ApiCall& call);
    ApiReply request(const ApiCall& call);
    ApiReply status(const QString& token);

    const SongIndex& index_;
    RequestDesk& desk_;
    ClientLimits calls_{40, 10};
    ClientLimits sends_{3, 1.0 / 20};
};

}  // namespace cantavo
