#pragma once
// A database the T-SQL engine runs batches on. Two implementations: SQLite (the stand-alone
// edition and a single shop) and PostgreSQL (a chain). A backend is one connection and is
// used by one thread at a time; the server keeps one per worker.

#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

#include "core/error.h"
#include "core/resultset.h"

namespace vorel::sql {

enum class BackendKind { SQLite, PostgreSQL };

// What the engine needs to know of a column to rewrite statements by type.
enum class SqlType { Text, Integer, Decimal, DateTime, Unknown };

struct CatalogColumn {
    QString name; // as the schema spells it (upper case for the shop schema)
    SqlType type = SqlType::Unknown;
};

// Tables and views of the database with their columns in order. Names are looked up
// without regard to case.
class Catalog {
public:
    void addTable(const QString &table, QList<CatalogColumn> columns);
    const QList<CatalogColumn> *columns(const QString &table) const; // nullptr when unknown
    // Type of `column` in `table`; Unknown when either is unknown.
    SqlType columnType(const QString &table, const QString &column) const;
    bool isEmpty() const { return tables_.isEmpty(); }

private:
    QHash<QString, QList<CatalogColumn>> tables_;  // key: lower-case table name
};

// A failed statement. message() is the database's own text; the engine rephrases it for
// the till (a duplicate primary key names PK_<TABLE>).
struct DbError : VorelError {
    enum class Kind {
        Other,
        DuplicateKey,     // unique or primary key violated
        Busy,             // locked / could not serialise: the whole batch may be retried
        ConnectionLost,   // the connection is gone
        Raised,           // raised on purpose by a trigger (message is for the user)
        Timeout,          // ran longer than the statement time-out and was stopped
    };
    DbError(Kind k, const QString &msg, QString tbl = {}, QString constraintName = {})
        : VorelError(msg), kind(k), table(std::move(tbl)), constraint(std::move(constraintName)) {}
    Kind kind;
    QString table;      // the table a key violation happened in, when known
    QString constraint; // the constraint's name, when known
};

// A value a statement takes through a placeholder (?N on SQLite, $N on PostgreSQL) rather
// than written into its text. `literal` is the value as the statement's text would spell
// it; `at` and `length` say where the placeholder stands, so a backend can write the value
// back in where a placeholder cannot stand.
struct BoundValue {
    enum class Type { Text, Integer, Decimal, Timestamp };
    Type type = Type::Text;
    QString text;    // the value: digits for numbers, the string itself for text
    QString literal; // e.g. 'it''s', 12.50, TIMESTAMP '2026-12-05 10:30:00'
    int at = 0;
    int length = 0;
};

// `sql` with each placeholder replaced by the literal of its value.
QString inlineValues(const QString &sql, const std::vector<BoundValue> &values);

class Backend {
public:
    virtual ~Backend() = default;
    virtual BackendKind kind() const = 0;

    // Transactions. `forWriting` lets SQLite take the write lock up front (BEGIN IMMEDIATE)
    // so two writers never deadlock on the upgrade; PostgreSQL ignores it.
    virtual void begin(bool forWriting) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0; // never throws; a no-op outside a transaction

    // Runs one statement in the backend's own dialect. When it returns rows and `rows` is
    // given, fills it (column names as the database reports them) and returns true; returns
    // false for a statement that returns no rows. Throws DbError.
    virtual bool execute(const QString &sql, ResultSet *rows) = 0;
    // The same with values bound to the statement's placeholders. The prepared statement is
    // kept for the next call with the same text (a bounded number per connection), so
    // statements that differ only in their values are prepared once.
    virtual bool execute(const QString &sql, const std::vector<BoundValue> &values, ResultSet *rows) = 0;

    // Rows changed by the last INSERT/UPDATE/DELETE.
    virtual qint64 changedRows() const = 0;

    // Reads the tables and views with their columns and types.
    virtual Catalog loadCatalog() = 0;

    // Runs a script of several statements (schema set-up), outside the engine.
    virtual void executeScript(const QString &script) = 0;

    // How long (ms > 0) a statement waits for another connection's lock before it fails
    // with Busy. Until set, SQLite waits kDefaultBusyTimeoutMs and PostgreSQL as long as
    // its own lock_timeout says (no limit unless the location sets one).
    virtual void setLockWait(int ms) = 0;

    // How long (ms > 0) one statement may run before it is stopped with Timeout; 0: no limit
    // (the default).
    virtual void setStatementTimeout(int ms) = 0;
};

// Opens a backend from a location: a SQLite file path, or a "postgresql://..." /
// "postgres://..." URI or a libpq "host=... dbname=..." string. Throws DbError with a
// readable message when it cannot be opened.
std::unique_ptr<Backend> openBackend(const QString &location);
bool isPostgresLocation(const QString &location);

} // namespace vorel::sql
