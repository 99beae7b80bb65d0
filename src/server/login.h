#pragma once
// The login call on the server side. The user is read first, on his own, with the user
// number bound to the statement: the password digest is compared here, and only a user who
// is active, has the password and may work at a till (character 1 of his till rights is
// "1") goes on to the login row: the user, the terminal registered under the till's key,
// its warehouse, the company parameters and the server's time.

#include <QString>
#include <QStringList>

#include "core/resultset.h"
#include "core/shopservice.h"
#include "sqlengine/engine.h"

namespace vorel::server {

// What a user without the till right is told.
inline const QString NoTillRightRefusal = QStringLiteral("您没有收银的权限!请与系统管理员联系!");

// The columns of the login row, in order.
const QStringList &loginColumns();

// Whether till rights `rights` (SYS_USER.POS_QS) let the user work at a till.
bool tillAllowed(const QString &rights);

// A user as the login and the session check see him.
struct UserRecord {
    bool exists = false;
    bool active = false;    // T = 1
    bool tillRight = false; // tillAllowed(POS_QS)
    QString passwordMd5;    // as stored (null: no password can match)
};
// Reads the user with his number bound to the statement. Throws sql::DbError.
UserRecord readUser(sql::Backend &db, const QString &userId);
// Whether `passwordMd5` is the stored password of an existing user, compared in a time that
// does not tell where the digests differ.
bool passwordMatches(const UserRecord &user, const QString &passwordMd5);

struct LoginOutcome {
    bool ok = false;            // the database answered (a wrong password is still ok, with no row)
    QString error;              // the database's message when it did not
    ResultSet rows;             // no row, or exactly one
    QString refusal;            // why the login was refused with no row, beyond a wrong password
    bool badFields = false;     // refused before the database was asked (loginFieldsRefusal)
    bool wrongPassword = false; // an existing user with another password: a failed attempt
    QString passwordMd5;        // the stored digest of a user who got his row
};

LoginOutcome runLogin(sql::Engine &engine, const LoginRequest &request);

} // namespace vorel::server
