#include "core/shopservice.h"

namespace vorel {

QString ShopService::execSql(const QString &code, const QString &key, const QString &operation,
                             const QString &sql, int timeoutSeconds)
{
    QString reply = posExecSql(code, key, operation, sql, timeoutSeconds);
    if (reply != ReplyOk)
        throw ShopServiceError(reply);
    return reply;
}

} // namespace vorel
