#pragma once
// The PostgreSQL role vorel-server serves with: it owns nothing and holds only the grants the
// service needs (what a till may do, StatementPolicy, plus the service's own tables), so a
// batch that got past the policy still cannot change the schema or reach the server's files.

#include <QString>

#include "sqlengine/backend.h"

namespace vorel::server {

struct ServiceRole {
    QString name;
    QString password; // drawn fresh each time the role is made or renewed
};

// Creates `name` (or renews its password and attributes when it exists) as a login role
// without superuser, database or role rights, and grants it the shop schema of `db`: SELECT
// on every table and view, INSERT / UPDATE (columns where the policy names them) where a
// till writes, the stock rows the slip-line trigger moves, and the service's own tables.
// `db` must be connected as the shop's owner. Throws sql::DbError; std::invalid_argument
// for a name that is not a plain lower-case identifier.
ServiceRole createServiceRole(sql::Backend &db, const QString &name);

// The location to put in the service's configuration: `location` with the role's user and
// password in place of the owner's (a URI or a "key=value" string).
QString locationFor(const QString &location, const ServiceRole &role);

// True when `db` (PostgreSQL) is connected as a superuser.
bool connectedAsSuperuser(sql::Backend &db);

} // namespace vorel::server
