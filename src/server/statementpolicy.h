#pragma once
// What a till may run on the shop database through the service: the statements the till
// itself builds and nothing else. A batch is read whole before any of it runs
// (sql::BatchAccess); one statement outside the rules refuses the whole batch.
//
// Allowed: SELECT, INSERT and UPDATE on the shop's own tables, each table with the
// operations the till uses on it (TillTables below), IF/ELSE, BEGIN ... END, RAISERROR,
// variables, transactions, and the functions of a short list. Refused: schema statements
// (CREATE, DROP, ALTER), anything the engine does not take as a statement (PRAGMA, ATTACH,
// COPY, EXEC, TRUNCATE), SELECT ... INTO, other functions, the database's catalogues, the
// service's own tables, names qualified with a schema, reading SYS_USER.PASSWORD (but by
// the synchronisation download the offline login needs), changing a password but the
// logged-in user's own, and raising a member card's stored value outside a top-up.

#include <QString>

namespace vorel::sql {
struct BatchShape;
}

namespace vorel::server {

class StatementPolicy {
public:
    // Empty when `userId` may run `batch`; otherwise the refusal for the till, starting with
    // RefusalPrefix and naming what was refused. A batch whose text the engine cannot read
    // is let through: the engine refuses it before running any of it. A batch of a shape
    // already let through (the same statements with other values) is let through again
    // without reading it further; `shape` is the batch's when the caller has read it for the
    // engine as well.
    static QString check(const QString &batch, const QString &userId, const sql::BatchShape *shape = nullptr);

    // The privileges the till's rules give on `table` in SQL words ("SELECT, INSERT,
    // UPDATE (POSTOP, ...)"); empty for a table that is not the till's.
    static QString tillPrivileges(const QString &table);

    static inline const QString RefusalPrefix = QStringLiteral("服务器拒绝执行:");
};

} // namespace vorel::server
