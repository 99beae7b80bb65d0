#include "server/login.h"

#include <QCryptographicHash>

#include "server/loginguard.h"

namespace vorel::server {

namespace {

QString literal(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The row of a user whose password was checked already. The user number and the terminal
// key passed loginFieldsRefusal; the engine binds both to the statement it prepares.
QString loginRowQuery(const LoginRequest &request)
{
    // The terminal is joined by its key alone: an unknown key still gives the user's row,
    // with empty terminal columns, and the till goes on to register itself.
    return QStringLiteral(
               "SELECT TOP 1 U.USER_ID AS user_id, U.USER_NAME AS user_name, U.POS_QS AS pos_qs, "
               "Z.CK_ID AS CK_ID, W.CK_NAME AS CK_NAME, Z.ZD_ID AS ZD_ID, Z.ZD_NAME AS ZD_NAME, "
               "Z.DB AS DB, Z.T AS ZD_T, Z.ZD_KEY AS ZD_KEY, C.PARAM AS param, getdate() AS serverdate "
               "FROM SYS_USER U "
               "LEFT JOIN D701 Z ON Z.ZD_KEY = %2 "
               "LEFT JOIN D1007 W ON W.CK_ID = Z.CK_ID "
               "LEFT JOIN SYS_CO C ON C.CO_ID = 1 "
               "WHERE U.T = 1 AND U.USER_ID = %1 "
               "ORDER BY Z.ZD_ID")
        .arg(literal(request.userId), literal(request.terminalKey));
}

// Compares two digests in a time that does not depend on where they differ.
bool sameDigest(const QString &stored, const QString &given)
{
    const QByteArray a = QCryptographicHash::hash(stored.trimmed().toLower().toUtf8(), QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(given.trimmed().toLower().toUtf8(), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

ResultSet emptyLoginRow()
{
    QList<Column> columns;
    for (const QString &name : loginColumns())
        columns.append(Column{name, FieldType::Text});
    return ResultSet(columns);
}

} // namespace

const QStringList &loginColumns()
{
    static const QStringList columns{
        QStringLiteral("user_id"), QStringLiteral("user_name"), QStringLiteral("pos_qs"), QStringLiteral("CK_ID"),
        QStringLiteral("CK_NAME"), QStringLiteral("ZD_ID"),     QStringLiteral("ZD_NAME"), QStringLiteral("DB"),
        QStringLiteral("ZD_T"),    QStringLiteral("ZD_KEY"),    QStringLiteral("param"),   QStringLiteral("serverdate"),
    };
    return columns;
}

bool tillAllowed(const QString &rights)
{
    return rights.startsWith(QLatin1Char('1'));
}

bool passwordMatches(const UserRecord &user, const QString &passwordMd5)
{
    return user.exists && !user.passwordMd5.isEmpty() && sameDigest(user.passwordMd5, passwordMd5);
}

UserRecord readUser(sql::Backend &db, const QString &userId)
{
    ResultSet rows;
    db.execute(placeholders(db, QStringLiteral("SELECT PASSWORD, T, POS_QS FROM SYS_USER WHERE USER_ID = ?1")),
               {boundText(userId)}, &rows);
    UserRecord user;
    if (rows.totalRowCount() == 0)
        return user;
    user.exists = true;
    user.passwordMd5 = rows.fieldAt(0, 0).isNull() ? QString() : rows.fieldAt(0, 0).asString();
    user.active = rows.fieldAt(0, 1).asInt() == 1;
    user.tillRight = tillAllowed(rows.fieldAt(0, 2).asString());
    return user;
}

LoginOutcome runLogin(sql::Engine &engine, const LoginRequest &request)
{
    LoginOutcome outcome;
    outcome.rows = emptyLoginRow();
    outcome.refusal = loginFieldsRefusal(request);
    if (!outcome.refusal.isEmpty()) {
        outcome.ok = true;
        outcome.badFields = true;
        return outcome;
    }
    UserRecord user;
    try {
        user = readUser(engine.backend(), request.userId);
    } catch (const sql::DbError &e) {
        outcome.error = e.message();
        return outcome;
    }
    outcome.ok = true;
    if (!passwordMatches(user, request.passwordMd5)) {
        outcome.wrongPassword = user.exists;
        return outcome;
    }
    // An inactive user has no row, as if the password were wrong; only the one who knows the
    // password learns that he may not use the till.
    if (!user.active)
        return outcome;
    if (!user.tillRight) {
        outcome.refusal = NoTillRightRefusal;
        return outcome;
    }

    ResultSet rows;
    outcome.ok = engine.query(loginRowQuery(request), rows, &outcome.error);
    if (!outcome.ok || rows.columnCount() != loginColumns().size() || rows.totalRowCount() == 0)
        return outcome;
    // The engine gives names back in the schema's spelling; the till's row spells them its
    // own way.
    for (int c = 0; c < loginColumns().size(); ++c)
        rows.renameColumn(c, loginColumns().at(c));
    outcome.rows = std::move(rows);
    outcome.passwordMd5 = user.passwordMd5;
    return outcome;
}

} // namespace vorel::server
