#include "sqlengine/bulkload.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>

namespace vorel::sql {

BulkRow &BulkRow::text(std::string_view utf8)
{
    Cell c;
    c.kind = Cell::Kind::Text;
    c.offset = bytes_.size();
    c.length = utf8.size();
    bytes_.append(utf8);
    cells_.push_back(c);
    return *this;
}

BulkRow &BulkRow::text(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    return text(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

BulkRow &BulkRow::integer(qint64 value)
{
    Cell c;
    c.kind = Cell::Kind::Integer;
    c.integer = value;
    cells_.push_back(c);
    return *this;
}

BulkRow &BulkRow::null()
{
    cells_.emplace_back();
    return *this;
}

namespace {

// ---- SQLite: a prepared INSERT per table, values bound

class SqliteLoad final : public BulkLoad {
public:
    explicit SqliteLoad(const QString &path)
    {
        sqlite3 *raw = nullptr;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        db_.reset(raw);
        if (rc != SQLITE_OK)
            throw DbError(DbError::Kind::Other, QStringLiteral("cannot open %1: %2").arg(path, message()));
        sqlite3_busy_timeout(raw, 5000);
        // The connection of a shop (foreign keys, the journal of the file), with room in the
        // page cache for the indexes that grow with the load.
        run("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL; PRAGMA cache_size=-131072");
    }

    ~SqliteLoad() override { rollback(); }

    BackendKind kind() const override { return BackendKind::SQLite; }
    void begin() override { run("BEGIN IMMEDIATE"); }
    void commit() override { run("COMMIT"); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(db_.get()))
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }

    QList<QStringList> select(const QString &sql) override
    {
        const Stmt stmt = prepare(sql.toUtf8());
        QList<QStringList> rows;
        const int columns = sqlite3_column_count(stmt.get());
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < columns; ++c)
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), c)));
            rows << row;
        }
        if (rc != SQLITE_DONE)
            fail();
        return rows;
    }

    void execute(const QString &sql) override { run(sql.toUtf8().constData()); }

    int table(const QString &name, const QStringList &columns) override
    {
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        inserts_.push_back(prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(name, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                                       .toUtf8()));
        return static_cast<int>(inserts_.size()) - 1;
    }

    void add(int table, const BulkRow &row) override
    {
        sqlite3_stmt *stmt = inserts_.at(static_cast<size_t>(table)).get();
        for (int i = 0; i < row.size(); ++i) {
            const BulkRow::Cell &c = row.at(i);
            switch (c.kind) {
            case BulkRow::Cell::Kind::Null:
                sqlite3_bind_null(stmt, i + 1);
                break;
            case BulkRow::Cell::Kind::Integer:
                sqlite3_bind_int64(stmt, i + 1, c.integer);
                break;
            case BulkRow::Cell::Kind::Text: {
                const std::string_view text = row.textAt(i);
                sqlite3_bind_text(stmt, i + 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
                break;
            }
            }
        }
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE)
            fail();
    }

private:
    struct Close {
        void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
    };
    struct Finalize {
        void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
    };
    using Stmt = std::unique_ptr<sqlite3_stmt, Finalize>;

    QString message() const
    {
        return db_ ? QString::fromUtf8(sqlite3_errmsg(db_.get())) : QStringLiteral("out of memory");
    }
    [[noreturn]] void fail() const { throw DbError(DbError::Kind::Other, message()); }

    void run(const char *sql)
    {
        if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }

    Stmt prepare(const QByteArray &sql)
    {
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.constData(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
            fail();
        return Stmt(raw);
    }

    std::unique_ptr<sqlite3, Close> db_;
    std::vector<Stmt> inserts_; // finalized before db_ closes
};

// ---- PostgreSQL: rows in COPY's text format, sent a few megabytes at a time

class PostgresLoad final : public BulkLoad {
public:
    explicit PostgresLoad(const QString &location)
    {
        const QByteArray where = location.toUtf8();
        const char *const keys[] = {"connect_timeout", "application_name", "dbname", "client_encoding", nullptr};
        const char *const values[] = {"10", "vorel", where.constData(), "UTF8", nullptr};
        conn_.reset(PQconnectdbParams(keys, values, 1));
        if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK)
            throw DbError(DbError::Kind::ConnectionLost,
                          QStringLiteral("cannot connect to the database: %1").arg(message()));
        run("SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; SET DateStyle = 'ISO, YMD'");
    }
    ~PostgresLoad() override { rollback(); }

    BackendKind kind() const override { return BackendKind::PostgreSQL; }
    void begin() override
    {
        run("BEGIN");
        open_ = true;
    }
    void commit() override
    {
        for (size_t t = 0; t < tables_.size(); ++t)
            send(tables_[t]);
        run("COMMIT");
        open_ = false;
    }
    void rollback() override
    {
        for (Table &t : tables_)
            t.rows.clear();
        if (open_ && conn_) {
            PQclear(PQexec(conn_.get(), "ROLLBACK"));
            open_ = false;
        }
    }

    QList<QStringList> select(const QString &sql) override
    {
        const Result r = exec(sql.toUtf8().constData(), PGRES_TUPLES_OK);
        QList<QStringList> rows;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            QStringList row;
            for (int c = 0; c < PQnfields(r.get()); ++c)
                row << QString::fromUtf8(PQgetvalue(r.get(), i, c));
            rows << row;
        }
        return rows;
    }

    void execute(const QString &sql) override { run(sql.toUtf8().constData()); }

    int table(const QString &name, const QStringList &columns) override
    {
        Table t;
        t.copy = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(name, columns.join(QLatin1Char(','))).toUtf8();
        tables_.push_back(std::move(t));
        return static_cast<int>(tables_.size()) - 1;
    }

    void add(int table, const BulkRow &row) override
    {
        Table &t = tables_.at(static_cast<size_t>(table));
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0)
                t.rows += '\t';
            const BulkRow::Cell &c = row.at(i);
            switch (c.kind) {
            case BulkRow::Cell::Kind::Null:
                t.rows += "\\N";
                break;
            case BulkRow::Cell::Kind::Integer: {
                char digits[24];
                const auto end = std::to_chars(digits, digits + sizeof digits, c.integer).ptr;
                t.rows.append(digits, end - digits);
                break;
            }
            case BulkRow::Cell::Kind::Text:
                appendEscaped(t.rows, row.textAt(i));
                break;
            }
        }
        t.rows += '\n';
        if (t.rows.size() >= ChunkBytes)
            send(t);
    }

private:
    static constexpr qsizetype ChunkBytes = 4 << 20;

    struct Table {
        QByteArray copy; // the COPY statement
        QByteArray rows; // rows not sent yet
    };
    struct Finish {
        void operator()(PGconn *c) const { PQfinish(c); }
    };
    struct Clear {
        void operator()(PGresult *r) const { PQclear(r); }
    };
    using Result = std::unique_ptr<PGresult, Clear>;

    // Backslash, tab, newline and carriage return are the characters COPY's text reads specially.
    static void appendEscaped(QByteArray &out, std::string_view text)
    {
        if (text.find_first_of("\\\t\n\r") == std::string_view::npos) {
            out.append(text.data(), static_cast<qsizetype>(text.size()));
            return;
        }
        for (const char ch : text) {
            switch (ch) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += ch;
            }
        }
    }

    QString message() const
    {
        return conn_ ? QString::fromUtf8(PQerrorMessage(conn_.get())).trimmed() : QStringLiteral("out of memory");
    }

    Result exec(const char *sql, ExecStatusType expected)
    {
        Result r(PQexec(conn_.get(), sql));
        if (PQresultStatus(r.get()) != expected)
            throw DbError(DbError::Kind::Other, QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed());
        return r;
    }
    void run(const char *sql) { exec(sql, PGRES_COMMAND_OK); }

    void send(Table &t)
    {
        if (t.rows.isEmpty())
            return;
        exec(t.copy.constData(), PGRES_COPY_IN);
        const bool sent = PQputCopyData(conn_.get(), t.rows.constData(), static_cast<int>(t.rows.size())) == 1;
        t.rows.clear();
        PQputCopyEnd(conn_.get(), sent ? nullptr : "the rows could not be sent");
        QString error;
        while (PGresult *raw = PQgetResult(conn_.get())) {
            const Result r(raw);
            if (PQresultStatus(raw) != PGRES_COMMAND_OK && error.isEmpty())
                error = QString::fromUtf8(PQresultErrorMessage(raw)).trimmed();
        }
        if (!sent && error.isEmpty())
            error = message();
        if (!error.isEmpty())
            throw DbError(DbError::Kind::Other, error);
    }

    std::unique_ptr<PGconn, Finish> conn_;
    std::vector<Table> tables_;
    bool open_ = false;
};

} // namespace

std::unique_ptr<BulkLoad> BulkLoad::open(const QString &location)
{
    if (isPostgresLocation(location))
        return std::make_unique<PostgresLoad>(location);
    return std::make_unique<SqliteLoad>(location);
}

} // namespace vorel::sql
