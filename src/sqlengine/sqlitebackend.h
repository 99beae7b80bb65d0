#pragma once
// The SQLite backend: one connection to a shop database file (the stand-alone edition and a
// single shop). The file runs in WAL mode with full syncs, so a committed slip survives a
// power cut, and a second connection waits up to the busy time-out for the write lock.

#include <QHash>
#include <QString>
#include <chrono>
#include <list>
#include <memory>

#include "sqlengine/backend.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vorel::sql {

class SqliteBackend final : public Backend {
public:
    static constexpr int kDefaultBusyTimeoutMs = 5000;

    // Opens the database at `path`. With `create` false a missing file is an error rather
    // than a new empty database (a shop's file is served, never made up on the spot).
    // Throws DbError with a readable message when the path is a folder, is not a database
    // or cannot be opened.
    explicit SqliteBackend(const QString &path, bool create = false);
    ~SqliteBackend() override;
    SqliteBackend(const SqliteBackend &) = delete;
    SqliteBackend &operator=(const SqliteBackend &) = delete;

    BackendKind kind() const override { return BackendKind::SQLite; }
    void begin(bool forWriting) override;
    void commit() override;
    void rollback() override;
    bool execute(const QString &sql, ResultSet *rows) override;
    bool execute(const QString &sql, const std::vector<BoundValue> &values, ResultSet *rows) override;
    qint64 changedRows() const override;
    Catalog loadCatalog() override;
    void executeScript(const QString &script) override;

    void setLockWait(int ms) override;
    void setStatementTimeout(int ms) override;

    const QString &path() const { return path_; }
    bool inTransaction() const;

private:
    struct DbCloser {
        void operator()(sqlite3 *db) const;
    };
    struct StmtFinalizer {
        void operator()(sqlite3_stmt *stmt) const;
    };
    using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

    void exec(const char *sql);
    StmtPtr prepareOne(const QString &sql);
    // The prepared statement of `sql`, kept for the next call; nullptr when the text holds
    // no statement.
    sqlite3_stmt *statement(const QString &sql);
    [[noreturn]] void fail(int rc) const;

    // How many prepared statements a connection keeps; the least recently used goes first.
    static constexpr int kMaxStatements = 256;
    struct Prepared {
        QString sql;
        StmtPtr stmt;
    };

    QString path_;
    std::unique_ptr<sqlite3, DbCloser> db_;
    // Declared after db_: finalised before the connection closes.
    std::list<Prepared> prepared_; // most recently used first
    // The statement running now is stopped past this moment (checked by the progress handler).
    std::chrono::milliseconds statementTimeout_{0};
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    QHash<QString, std::list<Prepared>::iterator> preparedIndex_;
};

} // namespace vorel::sql
