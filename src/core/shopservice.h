#pragma once
// The till's only door to the shop database. Two implementations sit behind it: the
// in-process one of the stand-alone edition (the engine on the shop file of this PC) and
// the remote one (HTTP to vorel-server). Business code never talks to either directly: it
// goes through the connection layer's two wrappers, which call these.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>

#include "core/error.h"
#include "core/resultset.h"

namespace vorel {

// Operation codes the till passes with every call (they reach the server's request log).
namespace opcode {
inline const QString Plain = QStringLiteral("711");    // plain statement
inline const QString Read = QStringLiteral("719");     // query
inline const QString Slip = QStringLiteral("720");     // sales slip (slip number, "Add")
inline const QString LoginLog = QStringLiteral("211"); // login record ("E")
inline const QString Member = QStringLiteral("701");   // member card ("Add", card number)
} // namespace opcode

// What the server is told about a batch besides its SQL: the operation code, the key of the
// record the batch is about (a slip number, a card number) and the operation ("Add").
struct ServerCall {
    QString code = opcode::Plain;
    QString key;
    QString operation;
};

// The reply of a batch that went through: anything else is a message for the user.
inline const QString ReplyOk = QStringLiteral("Y");

// Raised by execSql when the server rejects a batch; what() and message() carry its reply.
class ShopServiceError : public VorelError {
public:
    using VorelError::VorelError;
};

// What an online login needs to say who is logging in where.
struct LoginRequest {
    QString userId;
    QString passwordMd5;
    QString terminalKey;
    QString databaseName;
};

// Bounds of the login's fields: the user number as the user table holds it, the digest of
// the password (32 hex digits), the terminal key and database name as the till keeps them.
inline constexpr int MaxUserIdLength = 12;
inline constexpr int MaxTerminalKeyLength = 64;
inline constexpr int MaxDatabaseNameLength = 64;
// Why the fields of a login cannot be asked for, or empty when they can: a field too long,
// holding a control character, or a password digest that is not 32 hex digits. Checked
// before any of them comes near a statement.
QString loginFieldsRefusal(const LoginRequest &request);
// Whether `text` holds a character below U+0020, DEL, or a character Unicode counts as a
// control or format character (a line or paragraph separator included).
bool hasControlCharacter(const QString &text);

// Outcome of the login call: unreachable (no answer at all) or an answer holding the login
// result row (user_id, user_name, pos_qs, CK_ID, CK_NAME, ZD_ID, ZD_NAME, DB, ZD_T, ZD_KEY,
// param, serverdate), no row for a wrong user or password, or a row whose first field is
// ERRID (with ERRMSG) when the stand-alone database could not be started.
// A refused login (a user without the till right, too many wrong passwords, fields that
// cannot be asked for) comes back reachable with no row and the service's `refusal`, the
// text the login dialog shows.
struct LoginReply {
    bool reachable = false;
    ResultSet rows;
    QString refusal;
};

class ShopService {
public:
    virtual ~ShopService() = default;

    // Runs one batch. Returns "Y" on success, else the server's message (a duplicate slip
    // header contains "PK_D712"). A server that cannot be reached within timeoutSeconds
    // gives a reply that is not "Y" and marks the call unusable (see lastCallReachedServer).
    virtual QString posExecSql(const QString &code, const QString &key, const QString &operation,
                               const QString &sql, int timeoutSeconds) = 0;

    // Runs a query into `out`. False when the server was unusable (not reached, or the
    // query failed); `out` is then left empty with no columns.
    virtual bool posOpenSql(ResultSet &out, const QString &sql) = 0;

    // The login call.
    virtual LoginReply thrGetLogin(const LoginRequest &request) = 0;

    // The session ends (logout, the program closes): the service forgets it, so its token
    // is of no more use to anyone. Nothing to do where there is no session.
    virtual void logout() {}

    // The cashier's password was changed to `passwordMd5` by this till: the service logs in
    // again with it, as the old session ends with the old password.
    virtual void passwordChanged(const QString & /*passwordMd5*/) {}

    // Draws a new member card number of `length` characters for operation `code`.
    // Empty when the server could not be reached.
    virtual QString getNoId(const QString &code, const QString &key, int length) = 0;

    // Sends a message-service message: kind "0" is the keep-alive, "Connect" announces a
    // session with nine text fields. False when the message service did not take it.
    virtual bool tcpSend(const QString &kind, const QStringList &fields) = 0;

    // True when the last call got an answer from the server (a refusal is still an answer).
    virtual bool lastCallReachedServer() const = 0;

    // Bytes sent and received by the last call (synchronisation sums them).
    qint64 lastBytesSent() const
    {
        countNow();
        return lastBytesSent_;
    }
    qint64 lastBytesReceived() const
    {
        countNow();
        return lastBytesReceived_;
    }

    // ExecSql: like posExecSql but throws ShopServiceError with the reply when it is not "Y".
    QString execSql(const QString &code, const QString &key, const QString &operation,
                    const QString &sql, int timeoutSeconds);
    // opensql / opensqlqry: a query with the "719" code; false on failure.
    bool openSql(ResultSet &out, const QString &sql) { return posOpenSql(out, sql); }

protected:
    void setLastBytes(qint64 sent, qint64 received)
    {
        lastBytesSent_ = sent;
        lastBytesReceived_ = received;
        countLater_ = nullptr;
    }
    // For a service without a wire, whose byte counts are what the call would have cost:
    // worked out only if someone asks, since nearly every call goes unasked.
    using ByteCount = std::pair<qint64, qint64>; // sent, received
    void setLastBytesLater(std::function<ByteCount()> count) { countLater_ = std::move(count); }
    // A service that passes calls on: the counts of `from`'s last call, worked out or not.
    void takeLastBytes(const ShopService &from)
    {
        lastBytesSent_ = from.lastBytesSent_;
        lastBytesReceived_ = from.lastBytesReceived_;
        countLater_ = from.countLater_;
    }

private:
    void countNow() const
    {
        if (!countLater_)
            return;
        std::tie(lastBytesSent_, lastBytesReceived_) = countLater_();
        countLater_ = nullptr;
    }

    mutable qint64 lastBytesSent_ = 0;
    mutable qint64 lastBytesReceived_ = 0;
    mutable std::function<ByteCount()> countLater_;
};

} // namespace vorel
