#pragma once
// The sessions of logged-in tills: a login that found the user gets a random token, and
// every later call of that till carries it. A till that announced itself on the message
// service ("Connect") counts as online while it keeps calling.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

#include "core/clock.h"
#include "server/wire.h"

namespace vorel::server {

struct Session {
    QString userId;
    QString userName;
    QString terminalKey;
    QString terminalId; // empty for a till that is not registered yet
    QString database;
    QDateTime lastSeen;
    bool announced = false; // sent "Connect"
    QString version;        // the database name and program version from "Connect"
};

class SessionRegistry {
public:
    // A session idle longer than this is forgotten (its till logs in again).
    static constexpr int IdleLimitSeconds = 24 * 3600;
    // A till is listed as online while it was seen within this time (three keep-alives).
    static constexpr int OnlineWindowSeconds = 90;

    explicit SessionRegistry(const Clock &clock) : clock_(clock) {}

    // Starts a session and returns its token (32 hex digits from the system's random source).
    QString open(Session session);
    // The session of `token`, marked as seen now; empty for an unknown or expired token.
    std::optional<Session> touch(const QString &token);
    // "Connect": marks the session's till online with the fields it sent. False for an
    // unknown token.
    bool announce(const QString &token, const QStringList &fields);
    // Tills that announced themselves and were seen lately, one per terminal key (the most
    // recent session), ordered by terminal key.
    QList<wire::OnlineTill> onlineTills() const;
    int size() const;

private:
    void forgetIdle(const QDateTime &now); // with mutex_ held

    const Clock &clock_;
    mutable std::mutex mutex_;
    QHash<QString, Session> sessions_;
};

} // namespace vorel::server
