#pragma once
// The network edition's shop service: an HTTP client of vorel-server. Calls to the
// connection service wait at most the time-out; a server that refuses the connection or
// does not answer in time makes the call unusable (no "Y", no rows, lastCallReachedServer
// false). The session token from the login goes with every later call; when the server
// refuses it (it expired after a working day, or the shop's key was replaced) the client
// logs in again once and repeats the call.

#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "core/shopservice.h"
#include "server/wire.h"

namespace vorel {

struct RemoteServer {
    QString host = QStringLiteral("127.0.0.1");
    int port = 8601;        // DATAPORT
    int messagePort = 8602; // MSGPORT
    bool tls = false;
    QString caCertificate;  // with tls: the file of the certificate(s) to trust; empty: the system's
};

class RemoteShopService final : public ShopService {
public:
    // The reply of posExecSql when the server could not be used.
    static const QString UnreachableReply;

    explicit RemoteShopService(RemoteServer server, int timeoutSeconds = 3);
    ~RemoteShopService() override;
    RemoteShopService(const RemoteShopService &) = delete;
    RemoteShopService &operator=(const RemoteShopService &) = delete;

    // The time-out of reads, logins, member numbers and messages (posExecSql takes its own).
    void setTimeoutSeconds(int seconds);
    int timeoutSeconds() const;
    const RemoteServer &server() const;

    bool hasSession() const;
    // The session token the last login obtained; empty without one.
    QString sessionToken() const;
    // Carries `token`, a copy of another client's, with every later call, as the network
    // watch's client does with the till's. Without that client's login it cannot log in
    // again when the server refuses the token.
    void useSessionToken(const QString &token);
    // The session of this client, to be shared: a client that uses it carries whatever token
    // this one holds at the time of each call (the one after a new login included), and
    // leaves logging in again to this one.
    class SharedSession;
    std::shared_ptr<SharedSession> sharedSession() const;
    void useSession(std::shared_ptr<SharedSession> session);
    // What the server said when the last call did not succeed (an error text, a refusal).
    QString lastMessage() const;

    // The tills the message service lists as online; empty when the server could not be asked.
    std::optional<QList<wire::OnlineTill>> tillsOnline();

    QString posExecSql(const QString &code, const QString &key, const QString &operation, const QString &sql,
                       int timeoutSeconds) override;
    bool posOpenSql(ResultSet &out, const QString &sql) override;
    LoginReply thrGetLogin(const LoginRequest &request) override;
    // Tells the server the session ended (its tokens are refused from then on) and forgets it.
    void logout() override;
    // Logs in again with the new password, keeping the rest of the last login.
    void passwordChanged(const QString &passwordMd5) override;
    QString getNoId(const QString &code, const QString &key, int length) override;
    // Goes to the message port on a connection of its own, so the network watch thread may
    // call it while the till is busy with another call. Leaves the byte counters alone.
    bool tcpSend(const QString &kind, const QStringList &fields) override;
    bool lastCallReachedServer() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vorel
