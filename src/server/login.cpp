#include "server/login.h"

namespace vorel::server {

namespace {

QString literal(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
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

QString loginQuery(const LoginRequest &request)
{
    // The terminal is joined by its key alone: an unknown key still gives the user's row,
    // with empty terminal columns, and the till goes on to register itself.
    return QStringLiteral(
               "SELECT TOP 1 U.USER_ID AS user_id, U.USER_NAME AS user_name, U.POS_QS AS pos_qs, "
               "Z.CK_ID AS CK_ID, W.CK_NAME AS CK_NAME, Z.ZD_ID AS ZD_ID, Z.ZD_NAME AS ZD_NAME, "
               "Z.DB AS DB, Z.T AS ZD_T, Z.ZD_KEY AS ZD_KEY, C.PARAM AS param, getdate() AS serverdate "
               "FROM SYS_USER U "
               "LEFT JOIN D701 Z ON Z.ZD_KEY = %3 "
               "LEFT JOIN D1007 W ON W.CK_ID = Z.CK_ID "
               "LEFT JOIN SYS_CO C ON C.CO_ID = 1 "
               "WHERE U.T = 1 AND U.USER_ID = %1 AND LOWER(U.PASSWORD) = %2 "
               "ORDER BY Z.ZD_ID")
        .arg(literal(request.userId), literal(request.passwordMd5.toLower()), literal(request.terminalKey));
}

LoginOutcome runLogin(sql::Engine &engine, const LoginRequest &request)
{
    LoginOutcome outcome;
    outcome.ok = engine.query(loginQuery(request), outcome.rows, &outcome.error);
    const QStringList &names = loginColumns();
    if (outcome.ok && outcome.rows.columnCount() == names.size()) {
        // The engine gives names back in the schema's spelling; the till's row spells them
        // its own way.
        for (int c = 0; c < names.size(); ++c)
            outcome.rows.renameColumn(c, names.at(c));
    } else if (outcome.ok && outcome.rows.columnCount() == 0) {
        // A query that returned nothing at all still answers with the row's shape.
        QList<Column> columns;
        for (const QString &name : loginColumns())
            columns.append(Column{name, FieldType::Text});
        outcome.rows.setColumns(columns);
    }
    return outcome;
}

} // namespace vorel::server
