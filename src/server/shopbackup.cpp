#include "server/shopbackup.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "server/shopdatabase.h"
#include "server/shopschema.h"
#include "sqlengine/backend.h"

namespace vorel::server {

namespace {

// How long a backup waits for a lock the service holds a moment (a checkpoint) before it
// gives up, and how long a restore waits before it calls the database in use.
constexpr int BackupBusyMs = 10000;
constexpr int RestoreBusyMs = 500;

struct Closer {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

struct BackupFinisher {
    void operator()(sqlite3_backup *b) const { sqlite3_backup_finish(b); }
};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString errorOf(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Opens `path`; on failure returns null and the reason in `why`.
Connection connect(const QString &path, int flags, int busyMs, QString *why)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK) {
        *why = raw ? errorOf(raw) : QString::fromUtf8(sqlite3_errstr(rc));
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, busyMs);
    return db;
}

// Runs `sql`; returns the first column of its first row (empty when none). On failure
// returns false with the reason in `why`.
bool run(sqlite3 *db, const char *sql, QString *value, QString *why)
{
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> stmt(raw, sqlite3_finalize);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            if (value && value->isNull())
                *value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0)));
        }
    }
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        *why = errorOf(db);
        return false;
    }
    return true;
}

// The schema version of the shop in `db`, 0 when it holds none; -1 with `why` when the file
// cannot be read as a database.
int shopVersion(sqlite3 *db, QString *why)
{
    QString tables;
    if (!run(db,
             "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' "
             "AND upper(name) IN ('SYS_CO', 'SYS_USER', 'D701')",
             &tables, why))
        return -1;
    if (tables != QLatin1String("3"))
        return 0;
    QString hasVersion;
    if (!run(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND upper(name) = 'SYS_SCHEMA'", &hasVersion,
             why))
        return -1;
    if (hasVersion == QLatin1String("0"))
        return ShopSchema::OldestVersion;
    QString version;
    if (!run(db, "SELECT VERSION FROM SYS_SCHEMA WHERE SCHEMA_ID = 1", &version, why))
        return -1;
    return version.toInt();
}

// Copies every page of `from` into `to` in one step, so the copy is one read transaction
// of `from`. Returns false with the reason in `why`.
bool copyPages(sqlite3 *from, sqlite3 *to, QString *why)
{
    const std::unique_ptr<sqlite3_backup, BackupFinisher> backup(sqlite3_backup_init(to, "main", from, "main"));
    if (!backup) {
        *why = errorOf(to);
        return false;
    }
    // The busy handler of `from` does not cover the backup: wait for a writer's moment here.
    int rc = SQLITE_OK;
    for (int waited = 0; waited <= BackupBusyMs; waited += 50) {
        rc = sqlite3_backup_step(backup.get(), -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(50);
    }
    if (rc != SQLITE_DONE) {
        *why = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

// Makes the copy at `to` a single file and checks it.
bool finishCopy(sqlite3 *to, QString *why)
{
    QString mode;
    QString verdict;
    if (!run(to, "PRAGMA journal_mode=DELETE", &mode, why) || !run(to, "PRAGMA quick_check(1)", &verdict, why))
        return false;
    if (verdict != QLatin1String("ok")) {
        *why = QStringLiteral("the copy failed its check: %1").arg(verdict);
        return false;
    }
    return true;
}

void removeFiles(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

BackupFigures ShopBackup::backup(const QString &database, const QString &target) const
{
    if (sql::isPostgresLocation(database)) {
        throw ShopDatabaseError(QStringLiteral("backup copies a SQLite shop file; back up a PostgreSQL shop with "
                                               "PostgreSQL's own tool, for example: pg_dump --format=custom "
                                               "--file=shop.dump '%1'")
                                    .arg(ShopDatabase::displayLocation(database)));
    }
    if (QFileInfo::exists(target))
        throw ShopDatabaseError(QStringLiteral("%1 already exists; give the backup a new name").arg(shown(target)));
    if (!QFileInfo(database).isFile())
        throw ShopDatabaseError(QStringLiteral("%1 is not a shop database file").arg(shown(database)));

    QString why;
    const Connection from = connect(database, SQLITE_OPEN_READWRITE, BackupBusyMs, &why);
    if (!from)
        throw ShopDatabaseError(QStringLiteral("cannot open %1: %2").arg(shown(database), why));
    BackupFigures figures;
    figures.version = shopVersion(from.get(), &why);
    if (figures.version < 0)
        throw ShopDatabaseError(QStringLiteral("cannot read %1: %2").arg(shown(database), why));
    if (figures.version == 0)
        throw ShopDatabaseError(QStringLiteral("%1 holds no shop database; nothing was backed up").arg(shown(database)));

    const QString part = target + QStringLiteral(".part");
    removeFiles(part);
    QDir().mkpath(QFileInfo(target).absolutePath());
    bool done = false;
    {
        Connection to = connect(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, BackupBusyMs, &why);
        done = to && copyPages(from.get(), to.get(), &why) && finishCopy(to.get(), &why);
    }
    if (!done || !QFile::rename(part, target)) {
        removeFiles(part);
        throw ShopDatabaseError(QStringLiteral("cannot back up %1 to %2: %3")
                                    .arg(shown(database), shown(target), done ? QStringLiteral("rename failed") : why));
    }
    figures.bytes = QFileInfo(target).size();
    return figures;
}

QString ShopBackup::restore(const QString &source, const QString &database) const
{
    if (sql::isPostgresLocation(database)) {
        throw ShopDatabaseError(QStringLiteral("restore writes a SQLite shop file; restore a PostgreSQL shop with "
                                               "PostgreSQL's own tool, for example: pg_restore --clean --dbname='%1' "
                                               "shop.dump")
                                    .arg(ShopDatabase::displayLocation(database)));
    }
    const auto refuse = [&](const QString &why) {
        return ShopDatabaseError(QStringLiteral("%1; nothing was restored").arg(why));
    };
    if (!QFileInfo(source).isFile())
        throw refuse(QStringLiteral("%1 is not a backup file").arg(shown(source)));

    QString why;
    const Connection from = connect(source, SQLITE_OPEN_READONLY, RestoreBusyMs, &why);
    QString verdict;
    if (!from || !run(from.get(), "PRAGMA quick_check(1)", &verdict, &why))
        throw refuse(QStringLiteral("%1 is not a shop database backup (%2)").arg(shown(source), why));
    if (verdict != QLatin1String("ok"))
        throw refuse(QStringLiteral("%1 is damaged (%2)").arg(shown(source), verdict));
    const int version = shopVersion(from.get(), &why);
    if (version <= 0)
        throw refuse(QStringLiteral("%1 is not a shop database backup").arg(shown(source)));
    if (version > ShopSchema::CurrentVersion) {
        throw refuse(QStringLiteral("%1 has schema version %2, newer than the version %3 this vorel-server knows")
                         .arg(shown(source))
                         .arg(version)
                         .arg(ShopSchema::CurrentVersion));
    }

    const bool replacing = QFileInfo::exists(database);
    Connection to = connect(database, SQLITE_OPEN_READWRITE | (replacing ? 0 : SQLITE_OPEN_CREATE), RestoreBusyMs, &why);
    if (!to)
        throw refuse(QStringLiteral("cannot open %1: %2").arg(shown(database), why));
    QString kept;
    if (replacing) {
        if (shopVersion(to.get(), &why) <= 0) {
            throw refuse(QStringLiteral("%1 is not a shop database and is not overwritten; move it away or give "
                                        "another --db")
                             .arg(shown(database)));
        }
        // A service or a till keeps the shop in WAL mode and so holds a lock on it while it is
        // open: leaving WAL mode needs the file to itself. The exclusive lock taken next is
        // kept until the restore is done, so nothing opens the shop meanwhile.
        QString mode;
        if (!run(to.get(), "PRAGMA journal_mode=DELETE", &mode, &why) || mode != QLatin1String("delete")
            || !run(to.get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, &why)
            || !run(to.get(), "BEGIN EXCLUSIVE", nullptr, &why) || !run(to.get(), "COMMIT", nullptr, &why)) {
            throw refuse(QStringLiteral("%1 is in use (a vorel-server or a till has it open); stop the service "
                                        "first")
                             .arg(shown(database)));
        }
        // A second restore within the same second keeps its own copy too.
        kept = database + QStringLiteral(".replaced-") + clock_.now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        for (int n = 2; QFileInfo::exists(kept); ++n)
            kept = kept.section(u'~', 0, 0) + QStringLiteral("~%1").arg(n);
        bool saved = false;
        {
            const Connection copy = connect(kept, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, RestoreBusyMs, &why);
            saved = copy && copyPages(to.get(), copy.get(), &why) && finishCopy(copy.get(), &why);
        }
        if (!saved) {
            removeFiles(kept);
            throw refuse(QStringLiteral("cannot keep a copy of %1 at %2: %3").arg(shown(database), shown(kept), why));
        }
    }
    // The copy runs in one write transaction of the database: a restore cut short leaves
    // the old shop in place.
    if (!copyPages(from.get(), to.get(), &why) || !finishCopy(to.get(), &why)) {
        to.reset();
        if (!replacing)
            removeFiles(database);
        throw refuse(QStringLiteral("cannot restore %1 to %2: %3").arg(shown(source), shown(database), why));
    }
    return kept;
}

} // namespace vorel::server
