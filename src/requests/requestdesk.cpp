#include "requestdesk.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace cantavo {

QString GuestName(const QString& raw, QString* why) {
    const QString name = raw.left(400).simplified();
    if (name.isEmpty()) {
        *why = QStringLiteral("Please give the singer's name.");
        return {};
    }
    const QList<uint> points = name.toUcs4();
    if (points.size() > 40) {
        *why = QStringLiteral("A name may be 40 characters long at most.");
        return {};
    }
    bool plain = name.isValidUtf16();  // no lone half of a surrogate pair
    for (const uint c : points) {
        const QChar::Category cat = QChar::category(static_cast<char32_t>(c));
        if (cat == QChar::Other_Control || cat == QChar::Other_Format || cat == QChar::Other_PrivateUse || cat == QChar::Other_NotAssigned ||
            cat == QChar::Other_Surrogate)
            plain = false;
    }
    if (!plain) {
        *why = QStringLiteral("A name may hold letters, digits, spaces and punctuation only.");
        return {};
    }
    return name;
}

QString RequestDesk::submit(const QString& client, const QString& name, const QString& songId, const QString& title, const QString& path, int key,
                            qint64 nowMs, QString* why) {
    forgetOld(nowMs);
    const auto waiting = [](const GuestRequest& r) { return r.state == GuestRequest::State::Pending; };
    const long all = std::count_if(requests_.begin(), requests_.end(), waiting);
    const long mine = std::count_if(requests_.begin(), requests_.end(), [&](const GuestRequest& r) { return waiting(r) && r.client == client; });
    if (mine >= kPerClient) {
        *why = QStringLiteral("You have %1 requests waiting already: please wait for the host's answer.").arg(kPerClient);
        return {};
    }
    if (all >= kPending) {
        *why = QStringLiteral("The host has too many requests waiting: please try again later.");
        return {};
    }
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    QString token;
    for (quint32 r : random) token += QStringLiteral("%1").arg(r, 8, 16, QLatin1Char('0'));
    requests_.push_back({token, songId, title, path, name, key, client, nowMs, GuestRequest::State::Pending});
    emit changed();
    return token;
}

std::optional<GuestRequest> RequestDesk::find(const QString& token) const {
    for (const GuestRequest& r : requests_)
        if (r.token == token) return r;
    return std::nullopt;
}

std::vector<GuestRequest> RequestDesk::pending() const {
    std::vector<GuestRequest> out;
    for (const GuestRequest& r : requests_)
        if (r.state == GuestRequest::State::Pending) out.push_back(r);
    return out;
}

bool RequestDesk::answer(const QString& token, bool accepted) {
    for (GuestRequest& r : requests_)
        if (r.token == token && r.state == GuestRequest::State::Pending) {
            r.state = accepted ? GuestRequest::State::Accepted : GuestRequest::State::Rejected;
            emit changed();
            return true;
        }
    return false;
}

void RequestDesk::forgetOld(qint64 nowMs) {
    // Answered requests go after a while; waiting ones stay until the host answers.
    std::erase_if(requests_, [nowMs](const GuestRequest& r) { return r.state != GuestRequest::State::Pending && nowMs - r.atMs > kKeptMs; });
    while (static_cast<int>(requests_.size()) > kKept) {
        const auto answered = std::find_if(requests_.begin(), requests_.end(), [](const GuestRequest& r) { return r.state != GuestRequest::State::Pending; });
        if (answered == requests_.end()) break;
        requests_.erase(answered);
    }
}

ClientLimits::Verdict ClientLimits::check(const QString& client, qint64 nowMs) {
    if (!clients_.contains(client) && clients_.size() >= kClients) {
        // Many addresses at once: the quiet ones are forgotten first.
        for (auto it = clients_.begin(); it != clients_.end();)
            it = nowMs - it->lastMs > 60000 && it->bannedUntilMs <= nowMs ? clients_.erase(it) : std::next(it);
        if (clients_.size() >= kClients) return Verdict::Slowed;
    }
    const bool fresh = !clients_.contains(client);
    Bucket& b = clients_[client];
    if (fresh) {
        b.tokens = burst_;
        b.lastMs = nowMs;
    }
    if (b.bannedUntilMs > nowMs) return Verdict::Refused;
    b.tokens = std::min(burst_, b.tokens + static_cast<double>(std::max<qint64>(0, nowMs - b.lastMs)) / 1000.0 * perSecond_);
    b.lastMs = nowMs;
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return Verdict::Allowed;
    }
    if (nowMs - b.strikesSinceMs > 60000) {
        b.strikes = 0;
        b.strikesSinceMs = nowMs;
    }
    if (++b.strikes >= kStrikes) {
        b.bannedUntilMs = nowMs + kBannedMs;
        return Verdict::Refused;
    }
    return Verdict::Slowed;
}

int ClientLimits::retryAfterSeconds() const { return std::max(1, static_cast<int>(std::ceil(1.0 / perSecond_))); }

}  // namespace cantavo
