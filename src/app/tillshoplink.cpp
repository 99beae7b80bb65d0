#include "app/tillshoplink.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>

#include "core/session.h"
#include "server/localshopservice.h"
#include "server/remoteshopservice.h"

namespace vorel {

QString ShopSwitch::posExecSql(const QString &code, const QString &key, const QString &operation, const QString &sql,
                               int timeoutSeconds)
{
    if (!target_)
        return RemoteShopService::UnreachableReply;
    const QString reply = target_->posExecSql(code, key, operation, sql, timeoutSeconds);
    takeLastBytes(*target_);
    return reply;
}

bool ShopSwitch::posOpenSql(ResultSet &out, const QString &sql)
{
    if (!target_) {
        out = ResultSet();
        return false;
    }
    const bool ok = target_->posOpenSql(out, sql);
    takeLastBytes(*target_);
    return ok;
}

LoginReply ShopSwitch::thrGetLogin(const LoginRequest &request)
{
    if (!target_)
        return LoginReply{};
    return target_->thrGetLogin(request);
}

void ShopSwitch::logout()
{
    if (target_)
        target_->logout();
}

void ShopSwitch::passwordChanged(const QString &passwordMd5)
{
    if (target_)
        target_->passwordChanged(passwordMd5);
}

QString ShopSwitch::getNoId(const QString &code, const QString &key, int length)
{
    return target_ ? target_->getNoId(code, key, length) : QString();
}

bool ShopSwitch::tcpSend(const QString &kind, const QStringList &fields)
{
    return target_ && target_->tcpSend(kind, fields);
}

bool ShopSwitch::lastCallReachedServer() const
{
    return target_ && target_->lastCallReachedServer();
}

TillShopLink::TillShopLink(Session &session, LocalStore &store, const Clock &clock, QString shopFile)
    : session_(session), clock_(clock), shopFile_(std::move(shopFile)), connection_(session, switch_, store)
{
}

TillShopLink::~TillShopLink() = default;

QString TillShopLink::resolveHost(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || !QHostAddress(trimmed).isNull())
        return trimmed;
    const QHostInfo info = QHostInfo::fromName(trimmed);
    for (const QHostAddress &address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address.toString();
    }
    return info.addresses().isEmpty() ? trimmed : info.addresses().first().toString();
}

void TillShopLink::setServerTimeout(int seconds)
{
    session_.connection.serverTimeoutSeconds = seconds;
    if (remote_)
        remote_->setTimeoutSeconds(seconds);
}

void TillShopLink::setTransport(bool tls, const QString &caCertificate)
{
    tls_ = tls;
    caCertificate_ = caCertificate;
}

bool TillShopLink::connect(const QString &host, int port, int timeoutMs)
{
    QTcpSocket probe;
    probe.connectToHost(host, quint16(port));
    if (!probe.waitForConnected(timeoutMs))
        return false;
    probe.disconnectFromHost();

    const RemoteServer &current = remote_ ? remote_->server() : RemoteServer{};
    if (!remote_ || current.host != host || current.port != port
        || current.messagePort != session_.connection.indyTcpPort || current.tls != tls_
        || current.caCertificate != caCertificate_) {
        RemoteServer server;
        server.host = host;
        server.port = port;
        server.messagePort = session_.connection.indyTcpPort;
        server.tls = tls_;
        server.caCertificate = caCertificate_;
        remote_ = std::make_unique<RemoteShopService>(server, session_.connection.serverTimeoutSeconds);
    } else {
        remote_->setTimeoutSeconds(session_.connection.serverTimeoutSeconds);
    }
    switch_.use(remote_.get());
    return true;
}

void TillShopLink::startStandAlone()
{
    if (!local_)
        local_ = std::make_unique<LocalShopService>(shopFile_, clock_);
    switch_.use(local_.get());
}

NetworkWatch::ClientFactory TillShopLink::watchClientFactory() const
{
    if (!remote_ || switch_.target() != remote_.get())
        return {};
    const RemoteServer server = remote_->server();
    const int timeout = remote_->timeoutSeconds();
    // The keep-alive moves the till's last-seen time only with the session the login opened,
    // as it is renewed (after a password change, a working day).
    auto session = remote_->sharedSession();
    return [server, timeout, session]() -> std::unique_ptr<ShopService> {
        auto client = std::make_unique<RemoteShopService>(server, timeout);
        client->useSession(session);
        return client;
    };
}

} // namespace vorel
