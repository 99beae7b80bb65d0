#pragma once
// vorel-server's two services in front of one shop database:
//
//   connection service (DATAPORT, 8601)   POST /login  {user, password_md5, terminal_key, database}
//                                              -> {token (null without a row), result, refusal?}
//                                              400 / 429 {error, refusal} for fields that cannot
//                                              be asked for / too many wrong passwords
//                                         POST /logout -> {ok}: the user's tokens end
//                                         POST /exec   {code, key, operation, sql} -> {reply}
//                                         POST /open   {sql} -> {ok, result | error}
//                                         POST /noid   {code, key, length} -> {number}
//                                         GET  /tills  -> {tills: [...]}
//                                         GET  /, POST /status/login, GET /status: the
//                                              read-only status page (server/statuspage.h)
//   message service (MSGPORT, 8602)       POST /message {kind: "Connect" | "0", fields: [...]}
//
// Every call but /login and the keep-alive carries "Authorization: Bearer <token>" and is
// answered 401 without a valid one. Bodies are JSON (server/wire.h). Each database worker
// holds its own connection and engine; the translations are shared.
//
// Every connection is served on a thread of its own, so a till that keeps its connection
// open between calls never keeps another till out. The calls then queue for the database
// workers; on SQLite the writing calls take turns (one writer is all the file allows) while
// reading calls go on beside them. The queue is bounded: a call that finds it full, or waits
// longer than queueWaitMs, is answered 503 {"error": BusyMessage}. Connections are served
// through a guard (server/connectionguard.h) that bounds what a client may hold: connections
// per address, idle and request time, body size per path.
//
// A server keeps nothing of a till in memory: the token is signed with the shop's key
// (server/sessions.h) and the tills online are rows of the shop database, so any number of
// servers may stand in front of one database and a till may reach any of them.
// What a server does keep is a moment's memory of each user's row (SessionCheck, two
// seconds) and the wrong passwords per client address (AddressThrottle); the wrong passwords
// per user are counted in the database, for all of them.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/clock.h"
#include "core/error.h"

namespace vorel::server {

// Which requests the one-line request log keeps: every one, only those refused (a status of
// 400 and above, a login without a user, a batch the database turned down) and those that
// failed, or only those that failed (a status of 500 and above).
enum class LogLevel { Info, Warning, Error };

// The level called "info", "warning" or "error" (case ignored); nothing for another word.
std::optional<LogLevel> logLevelNamed(const QString &name);

struct ServerOptions {
    QString location;                      // SQLite path or PostgreSQL URI
    QString host = QStringLiteral("0.0.0.0");
    int port = 8601;                       // 0: any free port (see ShopServer::port)
    int messagePort = 8602;                // 0: any free port
    // Database connections; 0 sizes them to the backend: on SQLite one writer at a time and
    // readers beside it (a few, the file is local), on PostgreSQL a pool that keeps the
    // database's cores busy while other calls travel the network.
    int workers = 0;
    // Calls that may wait for a database worker at once, and how long one waits (ms; never
    // more than three quarters of the wait a till announces in wire::TillWaitHeader). A call
    // beyond either is answered 503 with BusyMessage instead of leaving the till to time out.
    int queueLength = 512;
    int queueWaitMs = 5000;
    // Connections served at once, each on its own thread (idle threads are kept a while for
    // the next connection). Beyond this, new connections wait for one to close.
    int maxConnections = 2000;
    // How long one attempt of a batch waits for another writer's lock (ms); 0 leaves the
    // database's own wait. A batch is tried three times, and the till gets the lock refusal
    // only if that comes back within its time-out; otherwise it takes the server for gone.
    int lockWaitMs = 0;
    // How long an idle till connection is kept open. A kept connection holds a thread of its
    // own (never a database worker), and stopping waits for it, so this stays short.
    int keepAliveSeconds = 2;
    // Connections one address may hold open on each port, and how long (ms) one request may
    // take to arrive whole; see server/connectionguard.h.
    int connectionsPerAddress = 32;
    int requestReadMs = 10000;
    // How long (ms) one statement may run before it is stopped; 0: no limit.
    int statementTimeoutMs = 5000;
    QString tlsCertificate;                // both set: HTTPS on both ports
    QString tlsKey;
    // Where the one-line request log goes; empty: standard error.
    std::function<void(const QString &line)> log;
    LogLevel logLevel = LogLevel::Info;
};

// The server could not be started (a port, a certificate).
class ServerError : public VorelError {
public:
    using VorelError::VorelError;
};

// What a till is told when the service has no room for its call.
inline const QString BusyMessage = QStringLiteral("服务器忙,请稍后再试!");
// What a till is told in place of the database's own error text (which goes to the log).
inline const QString DatabaseFaultMessage = QStringLiteral("数据库执行出错,详情已记入服务器日志!");

// The database workers ShopServer opens for `location` when ServerOptions::workers is 0.
int defaultWorkers(const QString &location);

class ShopServer {
public:
    // `clock` dates the tokens (issue, expiry) and the tills' last-seen times.
    ShopServer(ServerOptions options, const Clock &clock);
    ~ShopServer(); // stops
    ShopServer(const ShopServer &) = delete;
    ShopServer &operator=(const ShopServer &) = delete;

    // Opens the database workers, binds both ports and starts serving in the background.
    // Throws ShopDatabaseError (the database) or ServerError (ports, certificate).
    void start();
    // Stops both services and waits for their threads; idempotent.
    void stop();
    // False once a service stopped by itself.
    bool running() const;

    int port() const;        // the bound ports, valid after start()
    int messagePort() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vorel::server
