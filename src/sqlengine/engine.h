#pragma once
// The T-SQL engine: takes a batch as the till writes it for the shop database (IF [NOT]
// EXISTS ... ELSE ..., BEGIN ... END, RAISERROR, TOP, getdate(), ...), translates it once
// for the backend, and runs the whole batch as one transaction.

#include <QString>
#include <memory>

#include "core/clock.h"
#include "core/resultset.h"
#include "sqlengine/backend.h"

namespace vorel::sql {

class TranslationCache;
struct BatchShape;

// The reply to a batch that kept finding the database locked (another writer, a deadlock)
// after every retry. It is a refusal, not a failure of the link: the till stays online and
// shows it, and the cashier tries again.
inline const QString BusyReply = QStringLiteral("数据库锁定,请稍后再试!");
// The reply to a batch whose statement ran past the statement time-out and was stopped.
inline const QString TimeoutReply = QStringLiteral("数据库执行超时,语句已被中止!");

struct BatchResult {
    // "Y" when the batch committed; otherwise the message for the user (the RAISERROR text,
    // or the database error as the till expects it, e.g. naming PK_D712).
    QString reply;
    bool ok() const { return reply == QStringLiteral("Y"); }
    // Set when `reply` is the database's own error text (no key violation, lock, time-out
    // or message raised on purpose): a service that must not show it can put its own refusal
    // in its place and keep this for its log.
    bool databaseText = false;
    // The rows of the last statement that returned rows.
    bool hasRows = false;
    ResultSet rows;
};

class Engine {
public:
    // `cache` may be shared between the engines of several connections (it is thread-safe);
    // without one the engine keeps its own.
    Engine(Backend &backend, const Clock &clock, std::shared_ptr<TranslationCache> cache = {});
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // Runs a batch in one transaction. `shape`: the batch's shape when the caller has read it.
    BatchResult run(const QString &batch, const BatchShape *shape = nullptr);

    // Opens a query: runs the batch and hands back the rows of its last row-returning
    // statement. False with `error` filled when the batch failed.
    bool query(const QString &batch, ResultSet &out, QString *error = nullptr);

    // Translation only (for tests and the benchmark): the backend statements of a batch
    // with control flow flattened into comments. Throws TranslationError.
    QString explain(const QString &batch);

    // Reads the catalogue again (after the schema changed) and forgets cached translations.
    void reloadCatalog();

    Backend &backend() { return backend_; }

private:
    Backend &backend_;
    const Clock &clock_;
    std::shared_ptr<TranslationCache> cache_;
    std::shared_ptr<const Catalog> catalog_;
};

} // namespace vorel::sql
