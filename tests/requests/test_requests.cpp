// Song requests from guests: the catalogue they search, what they may send, how often, and
// that nothing but titles, authors and lengths ever goes out.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include "requestapi.h"

namespace cantavo::test {
namespace {

QList<SongRow> catalogue(int n) {
    QList<SongRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QStringLiteral("song%1.kar").arg(i), QStringLiteral("3:%1").arg(i % 60, 2, 10, QLatin1Char('0')), QStringLiteral("Song number %1").arg(i),
                     QStringLiteral("Band %1").arg(i % 50), QStringLiteral("/home/host/Secret Folder/")});
    rows.append({QStringLiteral("frere.kar"), QStringLiteral("0:40"), QStringLiteral("Frère Jacques"), QStringLiteral("-"), QStringLiteral("/home/host/Kids/")});
    rows.append({QStringLiteral("odd.kar"), QStringLiteral("1:00"), QStringLiteral("<script>alert(\"x\")</script> & \"quotes\""), QStringLiteral("Ünïcødé"),
                 QStringLiteral("/home/host/Kids/")});
    return rows;
}

QJsonObject body(const ApiReply& r) { return QJsonDocument::fromJson(r.body).object(); }

struct Api {
    SongIndex index{catalogue(2000), "secret"};
    RequestDesk desk;
    RequestApi api{index, desk};
    qint64 now = 1000000;
    ApiReply call(const QByteArray& method, const QString& url, const QByteArray& bytes = {}, const QString& client = QStringLiteral("10.0.0.2")) {
        now += 200;  // a person's pace
        return api.handle({method, QUrl(url), bytes, client, now});
    }
    ApiReply send(const QString& song, const QString& name, int key = 0, const QString& client = QStringLiteral("10.0.0.2")) {
        now += 30000;
        return call("POST", QStringLiteral("/api/requests"),
                    QJsonDocument(QJsonObject{{QStringLiteral("song"), song}, {QStringLiteral("name"), name}, {QStringLiteral("key"), key}}).toJson(), client);
    }
    QString idOf(const QString& words) {
        const auto found = index.search(words, 1);
        return found.empty() ? QString() : found[0]->id;
    }
};

TEST(Requests, TheCatalogueIsSearchedByEveryWordWithoutCaseOrAccents) {
    const SongIndex index(catalogue(20000), "secret");
    EXPECT_EQ(index.size(), 20002);
    int total = 0;
    auto found = index.search(QStringLiteral("FRERE jac"), 10, &total);
    ASSERT_EQ(total, 1);
    EXPECT_EQ(found[0]->title, QStringLiteral("Frère Jacques"));
    EXPECT_TRUE(found[0]->author.isEmpty()) << "the list's \"-\" is no author";
    // Every word, in title, author or file name; in the catalogue's order; at most the limit.
    found = index.search(QStringLiteral("band 7 song1999"), 50, &total);
    ASSERT_EQ(total, 1);
    EXPECT_EQ(found[0]->title, QStringLiteral("Song number 19997"));
    found = index.search(QStringLiteral("number"), 500, &total);
    EXPECT_EQ(total, 20000);
    EXPECT_EQ(static_cast<int>(found.size()), SongIndex::kMaxResults);
    EXPECT_EQ(found[1]->title, QStringLiteral("Song number 1"));
    EXPECT_EQ(index.search(QStringLiteral("UNIC"), 5).size(), 1u) << "Ünïcødé, its accents dropped";
    EXPECT_TRUE(index.search(QStringLiteral("nothing such"), 5).empty());
    EXPECT_EQ(index.search(QString(), 5, &total).size(), 5u) << "no words: the catalogue from its start";
    EXPECT_EQ(total, 20002);
    // A search longer than allowed is cut, not refused here (the call refuses it).
    EXPECT_NO_THROW(index.search(QString(100000, QLatin1Char('a')), 5));

    // Ids: the same for the same secret, another for another, never a piece of the path.
    const SongIndex again(catalogue(20), "secret"), other(catalogue(20), "other");
    EXPECT_EQ(again.search(QStringLiteral("number 3"), 1)[0]->id, index.search(QStringLiteral("number 3"), 1)[0]->id);
    EXPECT_NE(other.search(QStringLiteral("number 3"), 1)[0]->id, again.search(QStringLiteral("number 3"), 1)[0]->id);
    EXPECT_EQ(index.find(found[0]->id), found[0]);
    EXPECT_EQ(index.find(QStringLiteral("/home/host/Kids/frere.kar")), nullptr);
    QList<SongRow> twice = catalogue(3);
    twice.append(twice.first());
    EXPECT_EQ(SongIndex(twice, "s").size(), 5) << "a song listed twice is one song";
}

TEST(Requests, NamesAreBoundedAndPlain) {
    QString why;
    EXPECT_EQ(GuestName(QStringLiteral("  Ana   María "), &why), QStringLiteral("Ana María"));
    EXPECT_EQ(GuestName(QStringLiteral("李小龍 🎤"), &why), QStringLiteral("李小龍 🎤")) << "any script, and emoji";
    for (const QString& bad : {QString(), QStringLiteral("   "), QString(41, QLatin1Char('a')), QStringLiteral("Ana\x01"), QStringLiteral("Ana\u202Ebo"),
                               QStringLiteral("A") + QChar(0xD800) + QStringLiteral("na"), QStringLiteral("Ana\uE000")}) {
        why.clear();
        EXPECT_TRUE(GuestName(bad, &why).isEmpty()) << bad.toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_EQ(GuestName(QString(40, QLatin1Char('a')), &why).size(), 40);
}

TEST(Requests, AGuestSearchesRequestsAndFollowsTheAnswer) {
    Api a;
    a.api.placeOf = [](const QString& name) { return name == QLatin1String("Ana") ? 3 : 0; };
    ApiReply r = a.call("GET", QStringLiteral("/api/search?q=fr%C3%A8re&limit=5"));
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(r.contentType.startsWith("application/json"));
    const QJsonArray songs = body(r).value(QStringLiteral("songs")).toArray();
    ASSERT_EQ(songs.size(), 1);
    const QJsonObject song = songs[0].toObject();
    EXPECT_EQ(song.keys(), (QStringList{QStringLiteral("author"), QStringLiteral("id"), QStringLiteral("length"), QStringLiteral("title")}));
    EXPECT_EQ(song.value(QStringLiteral("title")).toString(), QStringLiteral("Frère Jacques"));

    r = a.send(song.value(QStringLiteral("id")).toString(), QStringLiteral("Ana"), 2);
    ASSERT_EQ(r.status, 201) << r.body.toStdString();
    const QString token = body(r).value(QStringLiteral("token")).toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(token).hasMatch());
    ASSERT_EQ(a.desk.pending().size(), 1u);
    EXPECT_EQ(a.desk.pending()[0].path, QStringLiteral("/home/host/Kids/frere.kar")) << "the host knows the file";
    EXPECT_EQ(a.desk.pending()[0].key, 2);
    EXPECT_EQ(body(a.call("GET", QStringLiteral("/api/requests/") + token)).value(QStringLiteral("state")).toString(), QStringLiteral("pending"));
    ASSERT_TRUE(a.desk.answer(token, true));
    EXPECT_FALSE(a.desk.answer(token, false)) << "answered once";
    const QJsonObject followed = body(a.call("GET", QStringLiteral("/api/requests/") + token));
    EXPECT_EQ(followed.value(QStringLiteral("state")).toString(), QStringLiteral("accepted"));
    EXPECT_EQ(followed.value(QStringLiteral("place")).toInt(), 3);
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/requests/") + QString(32, QLatin1Char('0'))).status, 404);

    // The pages, with the headers that keep them to themselves.
    r = a.call("GET", QStringLiteral("/"));
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.contains("<title>Sing a song</title>"));
    EXPECT_EQ(a.call("GET", QStringLiteral("/request.js")).status, 200);
    EXPECT_EQ(a.call("GET", QStringLiteral("/style.css")).status, 200);
    bool csp = false;
    for (const auto& h : RequestApi::Headers(r)) csp |= h.first == "Content-Security-Policy" && h.second.contains("default-src 'self'");
    EXPECT_TRUE(csp);
}

TEST(Requests, NothingButTitlesAuthorsAndLengthsGoesOut) {
    Api a;
    const QString token = body(a.send(a.idOf(QStringLiteral("frere")), QStringLiteral("Bo"))).value(QStringLiteral("token")).toString();
    QByteArray everything;
    for (const QString& url : {QStringLiteral("/api/search?q=&limit=50"), QStringLiteral("/api/search?q=kids"), QStringLiteral("/api/search?q=song1"),
                               QStringLiteral("/api/search?q=script"), QStringLiteral("/api/requests/") + token, QStringLiteral("/../../etc/passwd"),
                               QStringLiteral("/home/host/Kids/frere.kar")})
        everything += a.call("GET", url).body;
    for (const char* secret : {"/home", "host", "Secret Folder", "Kids", ".kar", "song1"}) EXPECT_FALSE(everything.contains(secret)) << secret;
    // Markup in a title stays text in the JSON, which the page shows as text.
    const QJsonArray odd = body(a.call("GET", QStringLiteral("/api/search?q=script"))).value(QStringLiteral("songs")).toArray();
    ASSERT_EQ(odd.size(), 1);
    EXPECT_EQ(odd[0].toObject().value(QStringLiteral("title")).toString(), QStringLiteral("<script>alert(\"x\")</script> & \"quotes\""));
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/search?q=kids")).body.count("\"id\""), 0) << "folders are not searched";
}

TEST(Requests, HostileCallsAreRefusedAndSaySo) {
    Api a;
    const QString id = a.idOf(QStringLiteral("frere"));
    const auto post = [&](const QByteArray& bytes) {
        a.now += 30000;
        return a.call("POST", QStringLiteral("/api/requests"), bytes);
    };
    const struct {
        QByteArray bytes;
        int status;
    } cases[] = {
        {"", 400},
        {"not json", 400},
        {"[1,2]", 400},
        {R"({"song": 5, "name": "Ana"})", 400},
        {R"({"song": "nope", "name": "Ana"})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": ""})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": "Ana", "key": 13})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": "Ana", "key": 1.5})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": "Ana", "key": "2"})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": "Ana\u0000"})", 400},
        {QByteArray(R"({"song": ")") + id.toLatin1() + R"(", "name": ")" + QByteArray(5000, 'a') + "\"}", 413},
    };
    for (const auto& c : cases) {
        const ApiReply r = post(c.bytes);
        EXPECT_EQ(r.status, c.status) << c.bytes.left(80).toStdString();
        EXPECT_FALSE(body(r).value(QStringLiteral("error")).toString().isEmpty()) << c.bytes.left(80).toStdString();
    }
    EXPECT_TRUE(a.desk.pending().empty());
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/search?q=") + QString(101, QLatin1Char('a'))).status, 400);
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/search?q=") + QString(3000, QLatin1Char('a'))).status, 414);
    EXPECT_EQ(a.call("DELETE", QStringLiteral("/api/requests")).status, 405);
    EXPECT_EQ(a.call("PUT", QStringLiteral("/")).status, 405);
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/requests/XYZ")).status, 404);
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/search?limit=-5&q=song")).status, 200);
    EXPECT_EQ(body(a.call("GET", QStringLiteral("/api/search?limit=100000&q=song"))).value(QStringLiteral("songs")).toArray().size(), SongIndex::kMaxResults);

    // Three waiting requests a device; more waits for the host.
    for (int i = 0; i < RequestDesk::kPerClient; ++i) EXPECT_EQ(a.send(id, QStringLiteral("Ana %1").arg(i)).status, 201);
    const ApiReply fourth = a.send(id, QStringLiteral("Ana 4"));
    EXPECT_EQ(fourth.status, 429);
    EXPECT_TRUE(body(fourth).value(QStringLiteral("error")).toString().contains(QStringLiteral("waiting")));
    EXPECT_EQ(a.send(id, QStringLiteral("Bo"), 0, QStringLiteral("10.0.0.3")).status, 201) << "another device is not held up";
}

TEST(Requests, AClientCallingTooOftenIsSlowedThenRefused) {
    ClientLimits limits(5, 1);
    qint64 now = 0;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(limits.check(QStringLiteral("a"), now), ClientLimits::Verdict::Allowed);
    EXPECT_EQ(limits.check(QStringLiteral("a"), now), ClientLimits::Verdict::Slowed);
    EXPECT_EQ(limits.check(QStringLiteral("b"), now), ClientLimits::Verdict::Allowed) << "one client's calls do not count against another";
    now += 1000;
    EXPECT_EQ(limits.check(QStringLiteral("a"), now), ClientLimits::Verdict::Allowed) << "a second later, one more";
    ClientLimits::Verdict v = ClientLimits::Verdict::Allowed;
    for (int i = 0; i < ClientLimits::kStrikes + 1; ++i) v = limits.check(QStringLiteral("a"), now);
    EXPECT_EQ(v, ClientLimits::Verdict::Refused);
    now += 60000;
    EXPECT_EQ(limits.check(QStringLiteral("a"), now), ClientLimits::Verdict::Refused) << "refused for a while, even after a pause";
    now += ClientLimits::kBannedMs;
    EXPECT_EQ(limits.check(QStringLiteral("a"), now), ClientLimits::Verdict::Allowed);

    // Through the calls: a flood of searches gets 429 with Retry-After, then 403.
    Api a;
    int slowed = 0, refused = 0;
    for (int i = 0; i < 200; ++i) {
        const ApiReply r = a.api.handle({"GET", QUrl(QStringLiteral("/api/search?q=a")), {}, QStringLiteral("10.9.9.9"), a.now});
        slowed += r.status == 429 && r.retryAfterSeconds > 0;
        refused += r.status == 403;
    }
    EXPECT_GT(slowed, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(a.call("GET", QStringLiteral("/api/search?q=a"), {}, QStringLiteral("10.0.0.7")).status, 200);
}

}  // namespace
}  // namespace cantavo::test
