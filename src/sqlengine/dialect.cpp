#include "sqlengine/dialect.h"

namespace vorel::sql::detail {

QString dateAddSql(BackendKind backend, const QString &date, const QString &days, bool minus)
{
    if (backend == BackendKind::SQLite)
        return QStringLiteral("datetime(%1, (%2(%3)) || ' days')").arg(date, minus ? QStringLiteral("-") : QString(), days);
    return QStringLiteral("(%1 %2 (%3) * INTERVAL '1 day')").arg(date, minus ? QStringLiteral("-") : QStringLiteral("+"), days);
}

QString likeOperator(BackendKind backend, const QString &written)
{
    return backend == BackendKind::PostgreSQL ? QStringLiteral("ILIKE") : written;
}

QString numericCastType(BackendKind backend, SqlType other)
{
    return (backend == BackendKind::PostgreSQL && other == SqlType::Integer) ? QStringLiteral("BIGINT") : QStringLiteral("NUMERIC");
}

bool storesDateTimeAsText(BackendKind backend)
{
    return backend == BackendKind::SQLite;
}

bool castsTextInArithmetic(BackendKind backend)
{
    return backend == BackendKind::PostgreSQL;
}

} // namespace vorel::sql::detail
