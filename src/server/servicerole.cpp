#include "server/servicerole.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <stdexcept>

#include "core/resultset.h"
#include "server/statementpolicy.h"

namespace vorel::server {

namespace {

QString one(sql::Backend &db, const QString &query)
{
    ResultSet rows;
    db.execute(query, &rows);
    return rows.totalRowCount() > 0 ? rows.fieldAt(0, 0).asString() : QString();
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

ServiceRole createServiceRole(sql::Backend &db, const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plain.match(name).hasMatch())
        throw std::invalid_argument("the role name must be a lower-case identifier (letters, digits, _)");
    ServiceRole role{name, {}};
    QByteArray bytes(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    role.password = QString::fromLatin1(bytes.toHex());

    const QString attributes = QStringLiteral("LOGIN PASSWORD '%1' NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION "
                                              "NOBYPASSRLS NOINHERIT")
                                   .arg(role.password);
    db.begin(true);
    try {
        const bool exists =
            !one(db, QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = '%1'").arg(name)).isEmpty();
        db.execute(QStringLiteral("%1 ROLE %2 WITH %3").arg(QLatin1String(exists ? "ALTER" : "CREATE"), name, attributes), nullptr);
        const QString schema = quoted(one(db, QStringLiteral("SELECT current_schema()")));
        db.execute(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2")
                       .arg(quoted(one(db, QStringLiteral("SELECT current_database()"))), name),
                   nullptr);
        db.execute(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM %2").arg(schema, name), nullptr);
        db.execute(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(schema, name), nullptr);
        db.execute(QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA %1 TO %2").arg(schema, name), nullptr);
        ResultSet tables;
        db.execute(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                  "current_schema() ORDER BY table_name"),
                   &tables);
        for (int r = 0; r < tables.totalRowCount(); ++r) {
            const QString table = tables.fieldAt(r, 0).asString();
            QString privileges = StatementPolicy::tillPrivileges(table);
            if (privileges.isEmpty())
                privileges = QStringLiteral("SELECT, INSERT, UPDATE, DELETE"); // the service's own
            else if (table.compare(QLatin1String("d1802"), Qt::CaseInsensitive) == 0)
                privileges = QStringLiteral("SELECT, INSERT, UPDATE"); // the slip-line trigger moves stock
            db.execute(QStringLiteral("GRANT %1 ON %2.%3 TO %4").arg(privileges, schema, quoted(table), name), nullptr);
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return role;
}

QString locationFor(const QString &location, const ServiceRole &role)
{
    if (location.startsWith(QLatin1String("postgres://")) || location.startsWith(QLatin1String("postgresql://"))) {
        // scheme://[user[:password]@]host...: the rest is kept as written.
        const qsizetype hostStart = location.indexOf(QLatin1String("://")) + 3;
        const qsizetype slash = location.indexOf(QLatin1Char('/'), hostStart);
        const qsizetype at = location.lastIndexOf(QLatin1Char('@'), slash < 0 ? -1 : slash);
        const qsizetype rest = at >= hostStart ? at + 1 : hostStart;
        return location.left(hostStart) + role.name + QLatin1Char(':') + role.password + QLatin1Char('@')
            + location.mid(rest);
    }
    QString s = location;
    static const QRegularExpression credentials(QStringLiteral("\\b(user|password)\\s*=\\s*('[^']*'|\\S+)"));
    s.remove(credentials);
    return (s.simplified() + QStringLiteral(" user=%1 password=%2").arg(role.name, role.password)).trimmed();
}

bool connectedAsSuperuser(sql::Backend &db)
{
    const QString super = one(db, QStringLiteral("SELECT CASE WHEN rolsuper THEN 1 ELSE 0 END FROM pg_roles "
                                                 "WHERE rolname = current_user"));
    return super == QLatin1String("1");
}

} // namespace vorel::server
