#include "server/shopschema.h"

#include <QDir>
#include <iterator>

#include "core/resultset.h"
#include "server/shopdatabase.h"

namespace vorel::server {

namespace {

// One upgrade step: its scripts take a shop of version `version` - 1 to `version`, with the
// same tables, columns, keys and indexes as data/schema/*.sql make for a new shop.
struct Step {
    int version;
    const char *sqlite;
    const char *postgres;
};

// The upgrade steps, oldest first. To change the shop schema:
//   1. change data/schema/shop-sqlite.sql and shop-postgres.sql (a new shop is made from
//      them) and raise the VERSION their last line writes into SYS_SCHEMA;
//   2. raise ShopSchema::CurrentVersion to the same number;
//   3. append a step here for that number whose scripts make the same change in an existing
//      shop, keeping its rows (ALTER TABLE ... ADD COLUMN with a DEFAULT, CREATE TABLE,
//      CREATE INDEX). The runner writes the version; a step never does.
// A step that has shipped is never changed: shops out there ran it. The upgrade test makes a
// shop of version 1 (tests/data/schema-v1) and checks that the steps give it every table and
// column of a new shop without losing a row.
constexpr Step kSteps[] = {
    // 2: the version record itself; the tills' count of slips waiting for upload; the guard
    // of the logins (wrong passwords and logouts per user).
    {2,
     "ALTER TABLE SYS_TILL ADD COLUMN UNSENT INTEGER;"
     "CREATE TABLE SYS_LOGIN_GUARD (USER_ID VARCHAR(12) NOT NULL, FAILS INTEGER NOT NULL DEFAULT 0, LAST_FAIL DATETIME,"
     " EPOCH INTEGER NOT NULL DEFAULT 0, CONSTRAINT PK_SYS_LOGIN_GUARD PRIMARY KEY (USER_ID));"
     "CREATE TABLE SYS_SCHEMA (SCHEMA_ID SMALLINT NOT NULL DEFAULT 1, VERSION INTEGER NOT NULL, UPGRADED DATETIME,"
     " CONSTRAINT PK_SYS_SCHEMA PRIMARY KEY (SCHEMA_ID), CONSTRAINT CK_SYS_SCHEMA_ONE_ROW CHECK (SCHEMA_ID = 1));"
     "INSERT INTO SYS_SCHEMA (SCHEMA_ID, VERSION) VALUES (1, 2);",
     "ALTER TABLE SYS_TILL ADD COLUMN UNSENT INTEGER;"
     "CREATE TABLE SYS_LOGIN_GUARD (USER_ID VARCHAR(12) NOT NULL, FAILS INTEGER NOT NULL DEFAULT 0, LAST_FAIL TIMESTAMP(0),"
     " EPOCH INTEGER NOT NULL DEFAULT 0, CONSTRAINT PK_SYS_LOGIN_GUARD PRIMARY KEY (USER_ID));"
     "CREATE TABLE SYS_SCHEMA (SCHEMA_ID SMALLINT NOT NULL DEFAULT 1, VERSION INTEGER NOT NULL, UPGRADED TIMESTAMP(0),"
     " CONSTRAINT PK_SYS_SCHEMA PRIMARY KEY (SCHEMA_ID), CONSTRAINT CK_SYS_SCHEMA_ONE_ROW CHECK (SCHEMA_ID = 1));"
     "INSERT INTO SYS_SCHEMA (SCHEMA_ID, VERSION) VALUES (1, 2);"},
};
static_assert(std::size(kSteps) == ShopSchema::CurrentVersion - ShopSchema::OldestVersion
                  && kSteps[std::size(kSteps) - 1].version == ShopSchema::CurrentVersion,
              "one step per version after the oldest, the last one the current version");

int storedVersion(sql::Backend &db)
{
    ResultSet rows;
    db.execute(QStringLiteral("SELECT VERSION FROM SYS_SCHEMA WHERE SCHEMA_ID = 1"), &rows);
    return rows.totalRowCount() > 0 ? static_cast<int>(rows.fieldAt(0, 0).asInt()) : 0;
}

} // namespace

int ShopSchema::version(sql::Backend &db, const QString &where)
{
    const sql::Catalog catalog = db.loadCatalog();
    for (const char *table : {"SYS_USER", "SYS_CO", "D701"}) {
        if (!catalog.columns(QLatin1String(table)))
            return 0;
    }
    if (catalog.columns(QStringLiteral("SYS_SCHEMA"))) {
        const int stored = storedVersion(db);
        if (stored < OldestVersion)
            throw ShopDatabaseError(QStringLiteral("%1 has no valid schema version in SYS_SCHEMA").arg(where));
        return stored;
    }
    for (const char *table : {"SYS_SERVER", "SYS_TILL", "SYS_NOID"}) {
        if (!catalog.columns(QLatin1String(table))) {
            throw ShopDatabaseError(
                QStringLiteral("%1 lacks the table %2 that vorel-server keeps (the shop was made from an older schema "
                               "than any this server upgrades); add it as %3 makes it")
                    .arg(where, QLatin1String(table), QDir::toNativeSeparators(ShopDatabase::schemaFile(db.kind()))));
        }
    }
    return 1;
}

SchemaChange ShopSchema::upgrade(sql::Backend &db, const QString &where, const Clock &clock)
{
    const auto newer = [&](int found) {
        return ShopDatabaseError(QStringLiteral("%1 has schema version %2, newer than the version %3 this vorel-server "
                                                "knows; run the vorel-server that upgraded it, or a later one")
                                     .arg(where)
                                     .arg(found)
                                     .arg(CurrentVersion));
    };
    const int seen = version(db, where);
    if (seen == 0 || seen == CurrentVersion)
        return {seen, seen};
    if (seen > CurrentVersion)
        throw newer(seen);

    const bool pg = db.kind() == sql::BackendKind::PostgreSQL;
    SchemaChange change;
    try {
        db.begin(true);
        // SQLite's BEGIN IMMEDIATE holds the write lock already; on PostgreSQL the servers
        // starting at once queue here, and the second finds the work done.
        if (pg) {
            ResultSet ignored;
            db.execute(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('vorel-server schema upgrade'))"), &ignored);
        }
        change.from = version(db, where);
        change.to = change.from;
        if (change.from > CurrentVersion)
            throw newer(change.from);
        for (const Step &step : kSteps) {
            if (step.version <= change.from)
                continue;
            db.executeScript(QString::fromUtf8(pg ? step.postgres : step.sqlite));
            change.to = step.version;
        }
        if (change.upgraded()) {
            db.execute(QStringLiteral("UPDATE SYS_SCHEMA SET VERSION = %1, UPGRADED = '%2' WHERE SCHEMA_ID = 1")
                           .arg(change.to)
                           .arg(formatDateTime(clock.now())),
                       nullptr);
        }
        db.commit();
    } catch (const sql::DbError &e) {
        db.rollback();
        throw ShopDatabaseError(QStringLiteral("cannot upgrade %1 from schema version %2 to %3 (nothing was changed; "
                                               "the upgrade needs a user that may change tables, on PostgreSQL the "
                                               "shop's owner: run vorel-server init --db with its location): %4")
                                    .arg(where)
                                    .arg(seen)
                                    .arg(CurrentVersion)
                                    .arg(e.message()));
    } catch (...) {
        db.rollback();
        throw;
    }
    return change;
}

} // namespace vorel::server
