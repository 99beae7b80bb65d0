#pragma once
// The sessions of logged-in tills, kept so that any vorel-server in front of the same shop
// database knows them without asking the others.
//
// A login that found the user gets a signed token; every later call of that till carries
// it. The token holds who it speaks for and until when, signed with the shop's secret
// (SYS_SERVER), so every server verifies it on its own:
//
//     v1.<payload>.<mac>
//
//   payload  base64url (no padding) of the UTF-8 JSON object
//            {"u": user, "k": terminal key, "z": terminal number, "iat": issued, "exp": expires,
//             "e": the user's logout counter, "p": the mark of the user's password}
//            with both times in seconds since 1970-01-01 UTC
//   mac      base64url (no padding) of HMAC-SHA256(secret, "v1.<payload>"), 43 characters
//
// The signature only says a server of this shop made the token. Whether it still speaks for
// anyone is asked of the user table on every call (SessionCheck below): the
// user must still be there, active, allowed at the till, with the password whose mark the
// token holds, and not logged out since (the counter in SYS_LOGIN_GUARD).
//
// The tills online (those that sent "Connect") are rows of SYS_TILL in the same database,
// so every server lists the same tills.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QHash>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>

#include "core/clock.h"
#include "server/wire.h"
#include "sqlengine/backend.h"

namespace vorel::server {

// Who a valid token speaks for.
struct Session {
    QString userId;
    QString terminalKey;
    QString terminalId; // empty for a till that is not registered yet
    QDateTime issued;
    QDateTime expires;
    qint64 epoch = 0;     // the user's logout counter when the token was issued
    QString passwordMark; // passwordMark() of the user's password then
};

class SessionTokens {
public:
    // A long working day; a till still logged in after that is refused once and logs in
    // again by itself.
    static constexpr int LifetimeSeconds = 16 * 3600;
    // `secret`: the raw signing key, the shop's (ShopDatabase::shopSecret). Throws
    // std::invalid_argument when it is shorter than ShopDatabase::MinimumSecretBytes.
    SessionTokens(QByteArray secret, const Clock &clock);

    // A token for the session, issued now and valid for LifetimeSeconds.
    QString issue(const QString &userId, const QString &terminalKey, const QString &terminalId, qint64 epoch = 0,
                  const QString &passwordMark = {}) const;
    // A short keyed digest of the user's stored password digest: it tells a changed password
    // without the token giving the digest away.
    QString passwordMark(const QString &passwordMd5) const;
    // The session of `token`; empty when it is malformed, signed with another key or expired.
    std::optional<Session> verify(const QString &token) const;

private:
    QByteArray mac(const QByteArray &signedPart) const;

    QByteArray secret_;
    const Clock &clock_;
};

// What the session check needs to know of a user now.
struct UserStanding {
    bool exists = false;
    bool active = false;
    bool tillRight = false;
    QString passwordMd5;
    qint64 epoch = 0; // SYS_LOGIN_GUARD.EPOCH
};
// Reads it with the user number bound to the statements. Throws sql::DbError.
UserStanding readStanding(sql::Backend &db, const QString &userId);

// Whether a token that verified still speaks for its user: he is still there, active, may
// work at a till, has the password he had and has not logged out since. What a user's row
// said is kept for CacheSeconds, so a logout, a password change, a deactivation or the
// deletion of the user takes effect on every server within that time (at once on the server
// that served the logout).
class SessionCheck {
public:
    static constexpr int CacheSeconds = 2;
    static constexpr int MaxUsers = 10000; // remembered at once; beyond, all are read again

    SessionCheck(const SessionTokens &tokens, const Clock &clock) : tokens_(tokens), clock_(clock) {}

    // `read` is asked when the user's standing is not remembered or is older than
    // CacheSeconds; its exceptions pass through.
    bool stillValid(const Session &session, const std::function<UserStanding()> &read);
    // The next check of the user reads his row again.
    void forget(const QString &userId);

private:
    struct Remembered {
        UserStanding standing;
        QDateTime read;
    };
    const SessionTokens &tokens_;
    const Clock &clock_;
    std::mutex mutex_;
    QHash<QString, Remembered> users_;
};

// The tills online, kept in SYS_TILL. Every call is one statement on `db`, outside any
// transaction of the caller's.
class TillList {
public:
    // A till is listed while its last "Connect" or keep-alive is at most this old (the
    // tills send a keep-alive about every 30 seconds).
    static constexpr int OnlineWindowSeconds = 180;

    // Where the slips waiting in the till's local store are counted in each message; a
    // till that sends no such field leaves the count unknown (announce) or as it was
    // (keep-alive).
    static constexpr int ConnectUnsentField = 9;
    static constexpr int KeepAliveUnsentField = 3;
    static constexpr int MaxUnsent = 1000000; // a count beyond this is stored as this

    // "Connect": the session's till is online with the fields it sent (the second one is
    // the database name and program version).
    static void announce(sql::Backend &db, const Session &session, const QStringList &fields, const QDateTime &now);
    // A keep-alive: one UPDATE of the till's last-seen time (and its count of unsent slips).
    // False when the till never announced itself.
    static bool keepAlive(sql::Backend &db, const Session &session, const QStringList &fields, const QDateTime &now);
    // Tills seen within the window, ordered by terminal key.
    static QList<wire::OnlineTill> online(sql::Backend &db, const QDateTime &now);
};

} // namespace vorel::server
