#pragma once
// The PostgreSQL backend: one libpq connection to a chain's database. The session runs in
// the shop's local time zone, so LOCALTIMESTAMP is the time on the shop's clock. A
// connection that dropped between transactions is opened again by the next begin() or
// statement; one that drops inside a transaction reports ConnectionLost.

#include <QHash>
#include <QSet>
#include <QString>
#include <list>
#include <vector>
#include <memory>

#include "sqlengine/backend.h"

struct pg_conn;
struct pg_result;

namespace vorel::sql {

class PgBackend final : public Backend {
public:
    // `location`: a "postgresql://..." URI or a libpq "host=... dbname=..." string. Throws
    // DbError (ConnectionLost) with the server's reason when it cannot connect.
    explicit PgBackend(const QString &location);
    ~PgBackend() override;
    PgBackend(const PgBackend &) = delete;
    PgBackend &operator=(const PgBackend &) = delete;

    BackendKind kind() const override { return BackendKind::PostgreSQL; }
    void begin(bool forWriting) override;
    void commit() override;
    void rollback() override;
    bool execute(const QString &sql, ResultSet *rows) override;
    bool execute(const QString &sql, const std::vector<BoundValue> &values, ResultSet *rows) override;
    qint64 changedRows() const override { return changed_; }
    Catalog loadCatalog() override;
    void executeScript(const QString &script) override;
    // Sets lock_timeout, again on every new connection.
    void setLockWait(int ms) override;
    // Sets statement_timeout, again on every new connection.
    void setStatementTimeout(int ms) override;

    // The server process serving this connection (for logs); 0 when not connected.
    int serverProcessId() const;
    // The time zone the session was set to (an IANA name or an offset such as "+08:00").
    const QString &sessionTimeZone() const { return timeZone_; }

private:
    struct ConnCloser {
        void operator()(pg_conn *conn) const;
    };
    struct ResultClearer {
        void operator()(pg_result *res) const;
    };
    using ResultPtr = std::unique_ptr<pg_result, ResultClearer>;

    void connect();
    void ensureConnected();
    // Simple-protocol command (several statements allowed); throws on failure.
    ResultPtr command(const QString &sql);
    void noteChangedRows(const pg_result *res);
    // The rows of a statement's result; false when it returned none.
    bool readResult(pg_result *res, ResultSet *rows);
    // The name of the statement prepared for `key`, preparing it now; empty when the
    // statement cannot take its values as parameters (then they are written into its text).
    QByteArray preparedName(const QString &key, const QString &sql, const std::vector<unsigned int> &types);
    [[noreturn]] void fail(const pg_result *res) const;

    QString location_;
    std::unique_ptr<pg_conn, ConnCloser> conn_;
    QString timeZone_;
    int lockWaitMs_ = 0; // 0: the server's own lock_timeout
    int statementTimeoutMs_ = 0; // 0: the server's own statement_timeout
    qint64 changed_ = 0;
    bool inTransaction_ = false;

    // Statements prepared on this connection, keyed by text and parameter types; the least
    // recently used is deallocated beyond kMaxStatements. Texts PostgreSQL cannot type
    // with placeholders (a bare "SELECT $1") run with their values written in.
    static constexpr int kMaxStatements = 256;
    struct Prepared {
        QString key;
        QByteArray name;
    };
    std::list<Prepared> prepared_; // most recently used first
    QHash<QString, std::list<Prepared>::iterator> preparedIndex_;
    QSet<QString> unpreparable_;
    QList<QByteArray> stale_; // prepared statements to deallocate at the next chance
    quint64 preparedCount_ = 0;
};

} // namespace vorel::sql
