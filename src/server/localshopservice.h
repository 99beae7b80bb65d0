#pragma once
// The stand-alone edition's shop service: the engine runs in the till's own process on a
// SQLite shop file (made with the demo shop when it is not there yet). No network: the
// message service is a list kept here.

#include <QList>
#include <QString>
#include <memory>
#include <mutex>

#include "core/clock.h"
#include "core/shopservice.h"
#include "server/wire.h"

namespace vorel::sql {
class Backend;
class Engine;
} // namespace vorel::sql

namespace vorel {

class LocalShopService final : public ShopService {
public:
    LocalShopService(QString shopFile, const Clock &clock);
    ~LocalShopService() override;
    LocalShopService(const LocalShopService &) = delete;
    LocalShopService &operator=(const LocalShopService &) = delete;

    // False when the shop file could not be made or opened; every call then fails, and the
    // login answers with an ERRID / ERRMSG row carrying openError().
    bool isOpen() const { return engine_ != nullptr; }
    const QString &openError() const { return openError_; }
    const QString &shopFile() const { return shopFile_; }

    // Tills that announced themselves with "Connect" (here: this one).
    QList<wire::OnlineTill> tillsOnline() const;

    QString posExecSql(const QString &code, const QString &key, const QString &operation, const QString &sql,
                       int timeoutSeconds) override;
    bool posOpenSql(ResultSet &out, const QString &sql) override;
    LoginReply thrGetLogin(const LoginRequest &request) override;
    QString getNoId(const QString &code, const QString &key, int length) override;
    // Safe to call from the network watch thread.
    bool tcpSend(const QString &kind, const QStringList &fields) override;
    bool lastCallReachedServer() const override { return isOpen(); }

private:
    QString shopFile_;
    const Clock &clock_;
    QString openError_;
    std::unique_ptr<sql::Backend> db_;
    std::unique_ptr<sql::Engine> engine_;

    mutable std::mutex tillsMutex_;
    wire::OnlineTill lastLogin_;   // who logged in here last
    QList<wire::OnlineTill> online_;
};

} // namespace vorel
