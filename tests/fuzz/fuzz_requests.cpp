// Any bytes as a guest's call (a method line, an address line, then the body): the answer
// comes back, with a status the calls document, and never names a file or a folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

#include "requestapi.h"

namespace {

const cantavo::SongIndex& index() {
    static const cantavo::SongIndex songs = [] {
        QList<cantavo::SongRow> rows;
        for (int i = 0; i < 40; ++i)
            rows.append({QStringLiteral("tune%1.kar").arg(i), QStringLiteral("2:00"), QStringLiteral("Tune %1 é ß 李").arg(i), QStringLiteral("Band"),
                         QStringLiteral("/private/hidden/")});
        return cantavo::SongIndex(rows, "fuzz");
    }();
    return songs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype first = bytes.indexOf('\n');
    const qsizetype second = first < 0 ? -1 : bytes.indexOf('\n', first + 1);
    const QByteArray method = first < 0 ? bytes : bytes.left(first);
    const QByteArray target = first < 0 ? QByteArray("/") : bytes.mid(first + 1, second < 0 ? -1 : second - first - 1);
    const QByteArray body = second < 0 ? QByteArray() : bytes.mid(second + 1);

    cantavo::RequestDesk desk;
    cantavo::RequestApi api(index(), desk);
    api.placeOf = [](const QString& name) { return static_cast<int>(name.size()); };
    // The same call from one client three times (a repeat may meet the limits), and once for
    // a song the catalogue has, so that requests get made and followed.
    for (int round = 0; round < 3; ++round) {
        const cantavo::ApiReply r = api.handle({method, QUrl::fromEncoded(target), body, QStringLiteral("10.0.0.1"), 1000 + round});
        static const int allowed[] = {200, 201, 400, 403, 404, 405, 413, 414, 429, 500};
        if (std::find(std::begin(allowed), std::end(allowed), r.status) == std::end(allowed)) std::abort();
        // The pages are the program's own; what the calls answer is checked for the songs' files.
        if (!r.contentType.startsWith("application/json")) continue;
        if (r.body.contains("/private") || r.body.contains("hidden") || r.body.contains(".kar")) std::abort();
        if (QJsonDocument::fromJson(r.body).isNull()) std::abort();
    }
    const QString id = index().search(QString::fromUtf8(body.left(100)), 1).empty() ? QString() : index().search(QString::fromUtf8(body.left(100)), 1)[0]->id;
    const QString name = QString::fromUtf8(target.left(60));
    const QByteArray request = QJsonDocument(QJsonObject{{QStringLiteral("song"), id}, {QStringLiteral("name"), name}}).toJson();
    const cantavo::ApiReply sent = api.handle({"POST", QUrl(QStringLiteral("/api/requests")), request, QStringLiteral("10.0.0.2"), 5000});
    if (sent.status == 201) {
        const QString token = QJsonDocument::fromJson(sent.body).object().value(QStringLiteral("token")).toString();
        if (desk.pending().size() != 1 || !desk.answer(token, true)) std::abort();
        const cantavo::ApiReply followed = api.handle({"GET", QUrl(QStringLiteral("/api/requests/") + token), {}, QStringLiteral("10.0.0.2"), 6000});
        if (followed.status != 200 || followed.body.contains("hidden")) std::abort();
    }
    return 0;
}
