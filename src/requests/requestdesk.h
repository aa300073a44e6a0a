#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace cantavo {

// A guest's request for a song, as the host sees it and the guest follows it.
struct GuestRequest {
    enum class State { Pending, Accepted, Rejected };
    QString token;  // the guest's handle on it: random, unguessable
    QString songId;
    QString title;
    QString path;  // host side only
    QString name;  // the singer's name as given
    int key = 0;
    QString client;  // the address it came from
    qint64 atMs = 0;
    State state = State::Pending;
};

// The guest's name as kept, or empty with `why` set: 1 to 40 characters once spaces are
// simplified, no control or invisible formatting characters.
QString GuestName(const QString& raw, QString* why);

// The requests guests sent, waiting for the host or answered. Bounded: a client has at most
// kPerClient waiting, all at most kPending; answered ones are forgotten after kKeptMs, or
// the oldest first beyond kKept.
class RequestDesk : public QObject {
    Q_OBJECT
public:
    static constexpr int kPerClient = 3;
    static constexpr int kPending = 200;
    static constexpr int kKept = 2000;
    static constexpr qint64 kKeptMs = 6LL * 60 * 60 * 1000;

    explicit RequestDesk(QObject* parent = nullptr) : QObject(parent) {}

    // A new request; its token, or empty with `why` set (for the guest to read).
    QString submit(const QString& client, const QString& name, const QString& songId, const QString& title, const QString& path, int key, qint64 nowMs,
                   QString* why);
    std::optional<GuestRequest> find(const QString& token) const;
    // Waiting for the host, oldest first.
    std::vector<GuestRequest> pending() const;
    bool answer(const QString& token, bool accepted);

signals:
    void changed();

private:
    void forgetOld(qint64 nowMs);
    std::vector<GuestRequest> requests_;  // oldest first
};

// How often one client may call: a bucket of `burst` calls refilled at `perSecond`. A client
// who keeps calling on an empty bucket is slowed (told to wait) and, after kStrikes of those
// within a minute, refused for kBannedMs.
class ClientLimits {
public:
    enum class Verdict { Allowed, Slowed, Refused };
    static constexpr int kStrikes = 30;
    static constexpr qint64 kBannedMs = 10LL * 60 * 1000;
    static constexpr int kClients = 10000;

    ClientLimits(double burst, double perSecond) : burst_(burst), perSecond_(perSecond) {}
    Verdict check(const QString& client, qint64 nowMs);
    // Seconds a slowed client is told to wait.
    int retryAfterSeconds() const;

private:
    struct Bucket {
        double tokens = 0;
        qint64 lastMs = 0;
        int strikes = 0;
        qint64 strikesSinceMs = 0;
        qint64 bannedUntilMs = 0;
    };
    double burst_, perSecond_;
    QHash<QString, Bucket> clients_;
};

}  // namespace cantavo
