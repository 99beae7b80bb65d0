#include "offline/connection.h"

#include <QStringList>

#include "core/session.h"
#include "core/shopservice.h"
#include "offline/localstore.h"

namespace vorel {

const QString Connection::NetworkDownText = QStringLiteral(
    "网络已断开!\r\n1、系统关闭离线功能! 2、本单使用储值支付\r\n"
    "以上两种情况会造成单据不能成功保存到服务器时，无法自动转成离线保存\r\n"
    "请于网络连通后再次尝试保存!");
const QString Connection::OnlineCaption = QStringLiteral("连线");
const QString Connection::OfflineCaption = QStringLiteral("离线");

namespace {

// Duplicate slip, stock short, closed stock period, a lock, stored-value balance short.
const QStringList BusinessRefusals{
    QStringLiteral("PK_D712"), QStringLiteral("库存不足"), QStringLiteral("进销存期间"),
    QStringLiteral("锁"),      QStringLiteral("储值卡余额不足"),
};

} // namespace

Connection::Connection(Session &session, ShopService &shop, LocalStore &store, QObject *parent)
    : QObject(parent), session_(session), shop_(shop), store_(store), showsOffline_(session.connection.offline)
{
}

bool Connection::isBusinessRefusal(const QString &reply)
{
    for (const QString &marker : BusinessRefusals) {
        if (reply.contains(marker))
            return true;
    }
    return false;
}

bool Connection::isOffline() const
{
    return session_.connection.offline;
}

void Connection::setOffline(bool offline)
{
    const bool changed = session_.connection.offline != offline;
    session_.connection.offline = offline;
    showStatus(offline);
    if (changed)
        emit offlineChanged(offline);
}

void Connection::showLinkLost()
{
    showStatus(true);
}

void Connection::showStatus(bool offline)
{
    if (showsOffline_ == offline)
        return;
    showsOffline_ = offline;
    emit statusChanged(offline);
}

QString Connection::execServerSql(const ServerCall &call, const QString &sql, Route route)
{
    const Session::Connection &state = session_.connection;
    if (!state.offlineAllowed && state.offline)
        return NetworkDownText;
    if (route == Route::Offline || route == Route::Local)
        return runLocal(sql);

    const QString reply = shop_.posExecSql(call.code, call.key, call.operation, sql, state.serverTimeoutSeconds);
    if (reply == ReplyOk || isBusinessRefusal(reply))
        return reply;
    // Anything else means the server could not take the batch.
    if (state.net == 1)
        return reply;
    setOffline(true);
    if (!state.offlineAllowed || route == Route::ServerOnly)
        return NetworkDownText;
    return runLocal(sql);
}

bool Connection::openServerSql(ResultSet &out, const QString &sql, bool local, const QString &switchSql,
                               const QString &localSql)
{
    if (local || isOffline())
        return readLocal(out, sql);
    if (shop_.posOpenSql(out, sql))
        return true;
    if (session_.connection.net == 1)
        return false;
    setOffline(true);
    if (!switchSql.isEmpty())
        execServerSql({opcode::Plain}, switchSql, Route::Local);
    return readLocal(out, localSql.isEmpty() ? sql : localSql);
}

QString Connection::runLocal(const QString &sql)
{
    try {
        if (!store_.inTransaction())
            store_.begin();
        store_.execute(sql);
        store_.commit();
        return ReplyOk;
    } catch (const LocalStoreError &e) {
        store_.rollback();
        lastLocalError_ = e.message();
        return ReplyError;
    }
}

bool Connection::readLocal(ResultSet &out, const QString &sql)
{
    try {
        out = store_.query(sql);
        return true;
    } catch (const LocalStoreError &e) {
        out = ResultSet();
        lastLocalError_ = e.message();
        return false;
    }
}

QString Connection::execLocalSql(const QString &sql, bool commitOnly)
{
    try {
        if (commitOnly) {
            if (store_.inTransaction())
                store_.commit();
            return ReplyOk;
        }
        if (!store_.inTransaction())
            store_.begin();
        store_.execute(sql);
        return ReplyOk;
    } catch (const LocalStoreError &e) {
        store_.rollback();
        lastLocalError_ = e.message();
        return ReplyError;
    }
}

void Connection::rollbackLocal()
{
    store_.rollback();
}

} // namespace vorel
