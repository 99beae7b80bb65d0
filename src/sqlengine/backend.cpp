#include "sqlengine/backend.h"

#include "sqlengine/pgbackend.h"
#include "sqlengine/sqlitebackend.h"

namespace vorel::sql {

void Catalog::addTable(const QString &table, QList<CatalogColumn> columns)
{
    tables_.insert(table.toLower(), std::move(columns));
}

const QList<CatalogColumn> *Catalog::columns(const QString &table) const
{
    const auto it = tables_.constFind(table.toLower());
    return it == tables_.constEnd() ? nullptr : &it.value();
}

SqlType Catalog::columnType(const QString &table, const QString &column) const
{
    const QList<CatalogColumn> *cols = columns(table);
    if (!cols)
        return SqlType::Unknown;
    for (const CatalogColumn &c : *cols) {
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return c.type;
    }
    return SqlType::Unknown;
}

QString inlineValues(const QString &sql, const std::vector<BoundValue> &values)
{
    QString out;
    out.reserve(sql.size() + 16 * static_cast<int>(values.size()));
    int from = 0;
    for (const BoundValue &v : values) { // in the order they stand
        out += QStringView(sql).mid(from, v.at - from);
        out += v.literal;
        from = v.at + v.length;
    }
    out += QStringView(sql).mid(from);
    return out;
}

bool isPostgresLocation(const QString &location)
{
    const QString s = location.trimmed();
    return s.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || s.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)
        || s.contains(QLatin1String("dbname="), Qt::CaseInsensitive)
        || s.contains(QLatin1String("host="), Qt::CaseInsensitive);
}

std::unique_ptr<Backend> openBackend(const QString &location)
{
    if (isPostgresLocation(location))
        return std::make_unique<PgBackend>(location.trimmed());
    // A shop database is served, never conjured up: a wrong path must not leave an empty
    // database behind.
    return std::make_unique<SqliteBackend>(location, false);
}

} // namespace vorel::sql
