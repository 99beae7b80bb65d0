#pragma once
// The version of a shop database's schema and the steps that bring an older shop up to the
// version this program knows. A new shop is made from data/schema/*.sql at the current
// version; a shop made by an older vorel-server is upgraded when it is opened (`init`,
// `serve`, the stand-alone till), all steps in one transaction.

#include <QString>

#include "core/clock.h"
#include "sqlengine/backend.h"

namespace vorel::server {

// What an upgrade found and left: `from` == `to` when the shop was already current.
struct SchemaChange {
    int from = 0;
    int to = 0;
    bool upgraded() const { return from != to; }
};

class ShopSchema {
public:
    // The version data/schema/*.sql make (their INSERT INTO SYS_SCHEMA) and the last step's.
    static constexpr int CurrentVersion = 2;
    // The oldest shop the steps start from: the first one with the server's own tables.
    static constexpr int OldestVersion = 1;

    // The version of the shop in `db`: SYS_SCHEMA's, or 1 for a shop made before that table
    // existed; 0 when `db` holds no shop at all (no SYS_CO, SYS_USER, D701). `where` names
    // the database in messages. Throws ShopDatabaseError for a shop older than version 1,
    // sql::DbError when the database cannot be read.
    static int version(sql::Backend &db, const QString &where);

    // Brings the shop in `db` to CurrentVersion: every step after its version, then the new
    // version into SYS_SCHEMA, in one transaction that also takes a lock, so two servers
    // starting at once upgrade once. A shop without a version (0) is left alone. Throws
    // ShopDatabaseError for a shop newer than this program and when a step fails (the shop
    // is then unchanged).
    static SchemaChange upgrade(sql::Backend &db, const QString &where, const Clock &clock);
};

} // namespace vorel::server
