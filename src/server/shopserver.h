#pragma once
// vorel-server's two services in front of one shop database:
//
//   connection service (DATAPORT, 8601)   POST /login  {user, password_md5, terminal_key, database}
//                                              -> {token (null without a row), result}
//                                         POST /exec   {code, key, operation, sql} -> {reply}
//                                         POST /open   {sql} -> {ok, result | error}
//                                         POST /noid   {code, key, length} -> {number}
//                                         GET  /tills  -> {tills: [...]}
//   message service (MSGPORT, 8602)       POST /message {kind: "Connect" | "0", fields: [...]}
//
// Every call but /login and the keep-alive carries "Authorization: Bearer <token>" and is
// answered 401 without a valid one. Bodies are JSON (server/wire.h). Each database worker
// holds its own connection and engine; the translations are shared.
//
// A server keeps nothing of a till in memory: the token is signed with the shop's key
// (server/sessions.h) and the tills online are rows of the shop database, so any number of
// servers may stand in front of one database and a till may reach any of them.

#include <QString>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/error.h"

namespace vorel::server {

struct ServerOptions {
    QString location;                      // SQLite path or PostgreSQL URI
    QString host = QStringLiteral("0.0.0.0");
    int port = 8601;                       // 0: any free port (see ShopServer::port)
    int messagePort = 8602;                // 0: any free port
    int workers = 4;                       // database connections
    // How long one attempt of a batch waits for another writer's lock (ms); 0 leaves the
    // database's own wait. A batch is tried three times, and the till gets the lock refusal
    // only if that comes back within its time-out; otherwise it takes the server for gone.
    int lockWaitMs = 0;
    // How long an idle till connection is kept open. A kept connection holds a service
    // thread, and stopping waits for it, so this stays short.
    int keepAliveSeconds = 2;
    QString tlsCertificate;                // both set: HTTPS on both ports
    QString tlsKey;
    // Where the one-line request log goes; empty: standard error.
    std::function<void(const QString &line)> log;
};

// The server could not be started (a port, a certificate).
class ServerError : public VorelError {
public:
    using VorelError::VorelError;
};

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
