#pragma once
// The till's way to its shop database: over the network to a shop server, or, in the
// stand-alone edition, to the shop file "shop.db" in the program folder served inside this
// process (made with the demo shop on the first start). The connection layer is built once
// over a switch that forwards to whichever service the last login chose, so everything
// that holds the connection keeps working when a later login changes the edition.

#include <QString>
#include <memory>

#include "app/loginflow.h"
#include "core/shopservice.h"
#include "offline/connection.h"
#include "offline/networkwatch.h"

namespace vorel {

class Clock;
class LocalShopService;
class LocalStore;
class RemoteShopService;
class Session;

// Forwards every call to the chosen service; with none chosen it behaves like a server that
// cannot be reached.
class ShopSwitch final : public ShopService {
public:
    void use(ShopService *target) { target_ = target; }
    ShopService *target() const { return target_; }

    QString posExecSql(const QString &code, const QString &key, const QString &operation, const QString &sql,
                       int timeoutSeconds) override;
    bool posOpenSql(ResultSet &out, const QString &sql) override;
    LoginReply thrGetLogin(const LoginRequest &request) override;
    void logout() override;
    void passwordChanged(const QString &passwordMd5) override;
    QString getNoId(const QString &code, const QString &key, int length) override;
    bool tcpSend(const QString &kind, const QStringList &fields) override;
    bool lastCallReachedServer() const override;

private:
    ShopService *target_ = nullptr;
};

class TillShopLink final : public ShopLink {
public:
    static constexpr const char *ShopFileName = "shop.db";

    // `shopFile` is where the stand-alone edition keeps its shop.
    TillShopLink(Session &session, LocalStore &store, const Clock &clock, QString shopFile);
    ~TillShopLink() override;

    QString resolveHost(const QString &name) override;
    // Opens a TCP connection to the shop server within the time-out; on success the remote
    // service for that address becomes the one in use.
    bool connect(const QString &host, int port, int timeoutMs) override;
    void startStandAlone() override;
    ShopService &service() override { return switch_; }
    Connection &connection() override { return connection_; }

    // The server time-out (NUM3) changed: the session and the remote service take it.
    void setServerTimeout(int seconds);
    // HTTPS to the shop server, trusting `caCertificate` (empty: the system's authorities);
    // taken at the next connect.
    void setTransport(bool tls, const QString &caCertificate);
    bool standAloneStarted() const { return local_ != nullptr; }
    // The in-process service, null until the stand-alone edition started.
    LocalShopService *localService() const { return local_.get(); }
    // Makes the network watch's own client for the server in use, carrying the session of
    // the login made before (null in the stand-alone edition, where nothing is watched).
    NetworkWatch::ClientFactory watchClientFactory() const;

private:
    Session &session_;
    bool tls_ = false;
    QString caCertificate_;
    const Clock &clock_;
    QString shopFile_;
    ShopSwitch switch_;
    std::unique_ptr<RemoteShopService> remote_;
    std::unique_ptr<LocalShopService> local_;
    Connection connection_;
};

} // namespace vorel
