#include "sqlengine/sqlitevalues.h"

#include <sqlite3.h>

#include "sqlengine/backendvalues.h"

namespace vorel::sql {

QString sqliteColumnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

namespace {

// One value, typed for a column of `type` (Unknown: as stored).
QVariant columnValue(sqlite3_stmt *statement, int column, SqlType type)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER: {
        const qint64 value = sqlite3_column_int64(statement, column);
        // NUMERIC affinity stores 12.00 as the integer 12: a decimal column reads alike
        // whichever way a value happens to be stored.
        if (type == SqlType::Decimal)
            return QVariant(static_cast<double>(value));
        return QVariant(value);
    }
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: {
        QString text = sqliteColumnText(statement, column);
        if (type == SqlType::DateTime) {
            const QDateTime stamp = detail::parseTimestamp(text);
            if (stamp.isValid())
                return QVariant(stamp);
        }
        return QVariant(std::move(text));
    }
    default:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, column)),
                                   sqlite3_column_bytes(statement, column)));
    }
}

} // namespace

void SqliteRowReader::StorageSeen::see(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        integer = true;
        break;
    case SQLITE_FLOAT:
        real = true;
        break;
    case SQLITE_TEXT:
        text = true;
        // datetime('now', 'localtime'), max(BDATE) and friends hand back text; a column made
        // only of such stamps reads as a time stamp, the way PostgreSQL types it.
        if (timestampText) {
            const QString value = sqliteColumnText(statement, column);
            timestampText = value.size() >= 19 && detail::parseTimestamp(value).isValid();
        }
        break;
    case SQLITE_NULL:
        break;
    default:
        other = true;
        break;
    }
}

SqlType SqliteRowReader::StorageSeen::type() const
{
    if (other)
        return SqlType::Text;
    if (text)
        return (integer || real || !timestampText) ? SqlType::Text : SqlType::DateTime;
    if (real)
        return SqlType::Decimal;
    if (integer)
        return SqlType::Integer;
    return SqlType::Text;
}

SqliteRowReader::SqliteRowReader(sqlite3_stmt *statement) : statement_(statement)
{
    const int n = sqlite3_column_count(statement);
    declared_.reserve(n);
    for (int i = 0; i < n; ++i)
        declared_.append(detail::typeOfDeclaration(QString::fromUtf8(sqlite3_column_decltype(statement, i))));
    seen_.resize(n);
}

void SqliteRowReader::readRow()
{
    const int n = columnCount();
    QVariantList row;
    row.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (declared_[i] == SqlType::Unknown)
            seen_[i].see(statement_, i);
        row.append(columnValue(statement_, i, declared_[i]));
    }
    rows_.append(std::move(row));
}

SqliteRows SqliteRowReader::finish()
{
    const int n = columnCount();
    SqliteRows result;
    result.columns.reserve(n);
    for (int i = 0; i < n; ++i) {
        SqlType type = declared_[i];
        if (type == SqlType::Unknown) {
            type = seen_[i].type();
            // Values were read as stored; bring them to the type the column got.
            for (QVariantList &row : rows_) {
                QVariant &value = row[i];
                if (type == SqlType::Decimal && value.typeId() == QMetaType::LongLong)
                    value = QVariant(value.toDouble());
                else if (type == SqlType::DateTime && value.typeId() == QMetaType::QString) {
                    const QDateTime stamp = detail::parseTimestamp(value.toString());
                    if (stamp.isValid())
                        value = QVariant(stamp);
                }
            }
        }
        result.columns.append(Column{QString::fromUtf8(sqlite3_column_name(statement_, i)), detail::fieldTypeOf(type)});
    }
    result.rows = std::move(rows_);
    rows_.clear();
    return result;
}

} // namespace vorel::sql
