#pragma once
// What stands between a guessed password and the user table:
//
// - UserGuard: wrong passwords per user, counted in SYS_LOGIN_GUARD of the shop database so
//   every vorel-server in front of it counts the same attempts, and the user's logout
//   counter (EPOCH) that ends the sessions a logout leaves behind.
// - AddressThrottle: wrong passwords per client address, in this server's memory.
//
// Both lock by the same rule: the first few wrong passwords cost nothing; from then on each
// one locks the login for a while, twice as long as the one before (up to a quarter of an
// hour). A login that goes through clears the user's count; a count left alone for a
// quarter of an hour starts again from nothing.

#include <QDateTime>
#include <QHash>
#include <QString>
#include <mutex>
#include <optional>

#include "core/clock.h"
#include "sqlengine/backend.h"

namespace vorel::server {

struct ThrottleRule {
    int freeFailures = 5;        // the wrong password that locks first
    int firstLockSeconds = 30;   // the lock after the first one beyond them
    int longestLockSeconds = 900;
    int forgetAfterSeconds = 900; // a count idle this long starts again

    // How long `failures` wrong passwords lock the login from the last of them (0: not locked).
    int lockSeconds(qint64 failures) const;
};

// The refusal of a locked login, with the seconds left.
QString tooManyAttemptsText(int seconds);

class UserGuard {
public:
    explicit UserGuard(ThrottleRule rule = {}) : rule_(rule) {}

    struct State {
        qint64 failures = 0; // counted and not yet forgotten
        int lockedFor = 0;   // seconds the login stays locked from now (0: not locked)
        qint64 epoch = 0;
    };
    State state(sql::Backend &db, const QString &userId, const QDateTime &now) const;
    // One more wrong password of an existing user.
    void recordFailure(sql::Backend &db, const QString &userId, const QDateTime &now) const;
    // A login that went through: the count starts again (no write when there is none).
    void clearFailures(sql::Backend &db, const QString &userId) const;

    // The user's logout counter (0 before the first logout).
    static qint64 epoch(sql::Backend &db, const QString &userId);
    // Logout: every token issued to the user before now is of no more use.
    static void bumpEpoch(sql::Backend &db, const QString &userId);

private:
    ThrottleRule rule_;
};

class AddressThrottle {
public:
    explicit AddressThrottle(const Clock &clock, ThrottleRule rule = {20, 30, 900, 900})
        : clock_(clock), rule_(rule) {}

    int lockedFor(const QString &address);
    void recordFailure(const QString &address);

    // Addresses kept at most; beyond it the ones whose count was forgotten go first.
    static constexpr int MaxAddresses = 10000;

private:
    struct Count {
        qint64 failures = 0;
        QDateTime last;
    };
    void prune(const QDateTime &now);

    const Clock &clock_;
    ThrottleRule rule_;
    std::mutex mutex_;
    QHash<QString, Count> counts_;
};

// `sql` written with ?1, ?2 ... placeholders, in the dialect of `db` ($1, $2 ... on
// PostgreSQL).
QString placeholders(const sql::Backend &db, QString sql);
sql::BoundValue boundText(const QString &text);
sql::BoundValue boundTime(const QDateTime &time);

} // namespace vorel::server
