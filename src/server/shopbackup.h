#pragma once
// Backups of a SQLite shop database, and putting one back.
//
// A backup is SQLite's online backup of the shop file in one read transaction: the service
// keeps serving (the shop runs in WAL mode, so tills go on committing while the copy is
// read) and the copy holds every slip committed before the backup began, each complete,
// and nothing of the ones after. The copy is a single file (rollback journal), written
// under a temporary name and renamed when it is complete and checked.
//
// A PostgreSQL shop is backed up with PostgreSQL's own tools (pg_dump, pg_restore); both
// commands say so.

#include <QString>

#include "core/clock.h"

namespace vorel::server {

struct BackupFigures {
    int version = 0;  // the shop's schema version
    qint64 bytes = 0; // size of the backup file
};

class ShopBackup {
public:
    explicit ShopBackup(const Clock &clock) : clock_(clock) {}

    // Copies the shop at `database` to the new file `target`. Refuses a PostgreSQL location,
    // a database that holds no shop and an existing `target`. Throws ShopDatabaseError;
    // nothing is left at `target` then.
    BackupFigures backup(const QString &database, const QString &target) const;

    // Puts the shop in the backup `source` in place of the one at `database` (made when
    // missing). The replaced database is kept beside it as DATABASE.replaced-YYYYMMDD-hhmmss
    // (~2, ~3 after more restores in the same second), whose path is returned (empty when
    // there was none). Refuses a PostgreSQL location, a `source` that is no sound shop
    // database or is newer than this program, a `database` that is not a shop, and one in
    // use (a service or a till has it open). Throws ShopDatabaseError; the database is
    // unchanged then.
    QString restore(const QString &source, const QString &database) const;

private:
    const Clock &clock_;
};

} // namespace vorel::server
