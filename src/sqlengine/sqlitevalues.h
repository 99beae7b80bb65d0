#pragma once
// Reading the rows of an SQLite statement into our values, for the SQLite backend and the
// till's local store alike. A column's declared type decides the type of its values; a
// column that declares nothing we know (a computed one) is typed by the values it held.

#include <QList>
#include <QVariant>

#include "core/resultset.h"
#include "sqlengine/backend.h"

struct sqlite3_stmt;

namespace vorel::sql {

// The text of column `column` of the row the statement stands on.
QString sqliteColumnText(sqlite3_stmt *statement, int column);

struct SqliteRows {
    QList<Column> columns;
    QList<QVariantList> rows;
};

class SqliteRowReader {
public:
    // `statement` is prepared and not stepped yet; it outlives the reader.
    explicit SqliteRowReader(sqlite3_stmt *statement);

    int columnCount() const { return static_cast<int>(declared_.size()); }

    // Keeps the row the statement stands on (its last step gave SQLITE_ROW).
    void readRow();

    // After the last row: the columns with their names and types, and the rows read. The
    // values of a computed column are brought to the type it got.
    SqliteRows finish();

private:
    // The storage classes a computed column's values came in.
    struct StorageSeen {
        bool integer = false;
        bool real = false;
        bool text = false;
        bool timestampText = true; // every text value is a full "YYYY-MM-DD hh:mm:ss[.fff]"
        bool other = false;
        void see(sqlite3_stmt *statement, int column);
        SqlType type() const;
    };

    sqlite3_stmt *statement_;
    QList<SqlType> declared_; // Unknown: computed
    QList<StorageSeen> seen_;
    QList<QVariantList> rows_;
};

} // namespace vorel::sql
