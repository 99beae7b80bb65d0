#pragma once
// The login call on the server side: one query gives the login row of a user whose number
// and password match (active users only), with the terminal registered under the till's
// key, its warehouse, the company parameters and the server's time.

#include <QString>
#include <QStringList>

#include "core/resultset.h"
#include "core/shopservice.h"
#include "sqlengine/engine.h"

namespace vorel::server {

// The columns of the login row, in order.
const QStringList &loginColumns();

// The query (T-SQL, for the engine) for one login request. Quotes in the texts are doubled;
// the password MD5 is compared without regard to case.
QString loginQuery(const LoginRequest &request);

struct LoginOutcome {
    bool ok = false; // the query ran (a wrong password is still ok, with no row)
    QString error;   // the database's message when it did not
    ResultSet rows;  // no row, or exactly one
};

LoginOutcome runLogin(sql::Engine &engine, const LoginRequest &request);

} // namespace vorel::server
