#include "server/sessions.h"

#include <QRandomGenerator>
#include <map>

namespace vorel::server {

QString SessionRegistry::open(Session session)
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString token;
    for (const quint32 w : words)
        token += QStringLiteral("%1").arg(w, 8, 16, QLatin1Char('0'));

    const QDateTime now = clock_.now();
    session.lastSeen = now;
    const std::lock_guard lock(mutex_);
    forgetIdle(now);
    sessions_.insert(token, std::move(session));
    return token;
}

std::optional<Session> SessionRegistry::touch(const QString &token)
{
    if (token.isEmpty())
        return std::nullopt;
    const QDateTime now = clock_.now();
    const std::lock_guard lock(mutex_);
    const auto it = sessions_.find(token);
    if (it == sessions_.end())
        return std::nullopt;
    if (it->lastSeen.secsTo(now) > IdleLimitSeconds) {
        sessions_.erase(it);
        return std::nullopt;
    }
    it->lastSeen = now;
    return *it;
}

bool SessionRegistry::announce(const QString &token, const QStringList &fields)
{
    const QDateTime now = clock_.now();
    const std::lock_guard lock(mutex_);
    const auto it = sessions_.find(token);
    if (it == sessions_.end())
        return false;
    it->announced = true;
    it->lastSeen = now;
    it->version = fields.value(1).trimmed();
    return true;
}

QList<wire::OnlineTill> SessionRegistry::onlineTills() const
{
    const QDateTime now = clock_.now();
    std::map<QString, const Session *> latest; // by terminal key, ordered
    const std::lock_guard lock(mutex_);
    for (const Session &s : sessions_) {
        if (!s.announced || s.lastSeen.secsTo(now) > OnlineWindowSeconds)
            continue;
        const auto it = latest.find(s.terminalKey);
        if (it == latest.end() || it->second->lastSeen < s.lastSeen)
            latest[s.terminalKey] = &s;
    }
    QList<wire::OnlineTill> out;
    for (const auto &[key, s] : latest)
        out.append(wire::OnlineTill{key, s->terminalId, s->userId, s->userName, s->version, s->lastSeen});
    return out;
}

int SessionRegistry::size() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(sessions_.size());
}

void SessionRegistry::forgetIdle(const QDateTime &now)
{
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->lastSeen.secsTo(now) > IdleLimitSeconds)
            it = sessions_.erase(it);
        else
            ++it;
    }
}

} // namespace vorel::server
