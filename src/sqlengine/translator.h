#pragma once
// Turns a T-SQL batch into a small program for one backend: control flow (IF, BEGIN ... END,
// RAISERROR, no-op variable assignments) plus plain statements rewritten into the backend's
// dialect. The whole batch is translated before any of it runs.

#include <QHash>
#include <QString>
#include <memory>
#include <mutex>
#include <vector>

#include "sqlengine/backend.h"
#include "sqlengine/tokenizer.h"

namespace vorel::sql {

// Stands in the translated text wherever the batch said getdate(); the engine puts the
// time of the run there.
inline const QString NowMarker = QStringLiteral("\x01NOW\x01");

struct Node {
    enum class Kind { Statement, If, Block, RaisError, Noop };
    Kind kind = Kind::Statement;
    // Statement: backend SQL. If: a query returning one row with 1 when the condition holds.
    QString sql;
    bool returnsRows = false;
    bool writes = false;
    // Statement: lower-case name -> spelling the batch used, to give result columns back in
    // the case the query wrote them.
    std::shared_ptr<const QHash<QString, QString>> spellings;
    // RaisError
    QString message;
    int severity = 0;
    // If: children[0] then, children[1] else (optional). Block: the statements.
    std::vector<Node> children;
};

struct Program {
    std::vector<Node> nodes;
    bool writes = false; // any statement changes data: SQLite takes the write lock up front
};

// Throws TranslationError with a message for the user.
Program translate(const QString &batch, BackendKind backend, const Catalog &catalog);

// The program as text, one line per node, for tests and for `vorel-server explain`.
QString describe(const Program &program);

// Thread-safe cache of translations, keyed by backend and batch text.
class TranslationCache {
public:
    explicit TranslationCache(int capacity = 4096) : capacity_(capacity) {}
    std::shared_ptr<const Program> get(const QString &batch, BackendKind backend, const Catalog &catalog);
    void clear();
    int size() const;

private:
    mutable std::mutex mutex_;
    QHash<QString, std::shared_ptr<const Program>> entries_;
    int capacity_;
};

} // namespace vorel::sql
