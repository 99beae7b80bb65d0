#pragma once
// Loading many generated rows into a shop database in one transaction, at the speed the
// database itself allows: on SQLite one prepared INSERT per table with the values bound, on
// PostgreSQL COPY ... FROM STDIN. A load has a connection of its own to the location, so it
// never shares a transaction with a Backend; rows are added table by table in any
// interleaving and land when commit() returns.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sqlengine/backend.h"

namespace vorel::sql {

// One row of values, in the order of the table's columns given to BulkLoad::table(). Kept
// and cleared between rows, it reuses its storage.
class BulkRow {
public:
    BulkRow &text(std::string_view utf8);
    BulkRow &text(const QString &value);
    BulkRow &integer(qint64 value);
    BulkRow &null();
    void clear()
    {
        cells_.clear();
        bytes_.clear();
    }
    int size() const { return static_cast<int>(cells_.size()); }

    struct Cell {
        enum class Kind { Null, Integer, Text } kind = Kind::Null;
        qint64 integer = 0;
        size_t offset = 0; // of the text in the row's bytes
        size_t length = 0;
    };
    const Cell &at(int i) const { return cells_[static_cast<size_t>(i)]; }
    std::string_view textAt(int i) const
    {
        const Cell &c = at(i);
        return std::string_view(bytes_).substr(c.offset, c.length);
    }

private:
    std::vector<Cell> cells_;
    std::string bytes_;
};

class BulkLoad {
public:
    // Opens its own connection to `location` (as openBackend() takes it). Throws DbError.
    static std::unique_ptr<BulkLoad> open(const QString &location);
    virtual ~BulkLoad() = default;

    virtual BackendKind kind() const = 0;

    // One transaction for everything; on SQLite it holds the write lock from begin() on.
    virtual void begin() = 0;
    virtual void commit() = 0;   // sends what is still buffered, then commits
    virtual void rollback() = 0; // never throws

    // Reads and single statements inside the load's transaction: each row of a query as
    // text (NULL as an empty string).
    virtual QList<QStringList> select(const QString &sql) = 0;
    virtual void execute(const QString &sql) = 0;

    // Names a table and the columns its rows fill; the number it returns is add()'s `table`.
    virtual int table(const QString &name, const QStringList &columns) = 0;
    // Throws DbError (a duplicate key may only show at commit() on PostgreSQL).
    virtual void add(int table, const BulkRow &row) = 0;
};

} // namespace vorel::sql
