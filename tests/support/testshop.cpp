#include "testshop.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <stdexcept>

#include "sqlengine/sqlitebackend.h"

namespace vorel::test {

QString pgTestServer()
{
    return qEnvironmentVariable("VOREL_TEST_PG");
}

QString dataDir()
{
    const QString fromEnv = qEnvironmentVariable("VOREL_DATA_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(VOREL_SOURCE_DATA_DIR) : fromEnv;
}

QString fixtureDir()
{
    return QStringLiteral(VOREL_TEST_FIXTURE_DIR);
}

namespace {

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return QString::fromUtf8(f.readAll());
}

} // namespace

QString withServerSetting(const QString &location, const QString &setting)
{
    if (location.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive)) {
        const QChar sep = location.contains(u'?') ? u'&' : u'?';
        return location + sep + QStringLiteral("options=-c") + QString(setting).replace(u'=', QLatin1String("%3D"));
    }
    return location + QStringLiteral(" options='-c%1'").arg(setting);
}

QString schemaScript(sql::BackendKind kind)
{
    return readText(dataDir() + (kind == sql::BackendKind::SQLite ? QStringLiteral("/schema/shop-sqlite.sql")
                                                                   : QStringLiteral("/schema/shop-postgres.sql")));
}

QString demoScript(const QDate &today)
{
    QString demo = readText(dataDir() + QStringLiteral("/demo/demo-shop.sql"));
    demo.replace(QStringLiteral("{TODAY}"), today.toString(QStringLiteral("yyyy-MM-dd")));
    demo.replace(QStringLiteral("{PERIOD_END}"), today.addDays(-10).toString(QStringLiteral("yyyy-MM-dd")));
    return demo;
}

TestShop::TestShop(sql::BackendKind kind, Content content, const QDate &today) : kind_(kind)
{
    if (kind == sql::BackendKind::SQLite) {
        location_ = dir_.filePath(QStringLiteral("shop.db"));
    } else {
        const QString server = pgTestServer();
        if (server.isEmpty())
            throw std::runtime_error("VOREL_TEST_PG is not set");
        pgSchema_ = QStringLiteral("t_%1_%2").arg(QCoreApplication::applicationPid()).arg(QRandomGenerator::global()->generate());
        sql::openBackend(server)->executeScript(QStringLiteral("CREATE SCHEMA ") + pgSchema_);
        location_ = withServerSetting(server, QStringLiteral("search_path=") + pgSchema_);
    }
    std::unique_ptr<sql::Backend> db = kind == sql::BackendKind::SQLite
                                           ? std::make_unique<sql::SqliteBackend>(location_, true)
                                           : sql::openBackend(location_);
    if (content == Content::DemoVersionOne) {
        const QString v1 = fixtureDir() + QStringLiteral("/schema-v1/");
        QString demo = readText(v1 + QStringLiteral("demo-shop.sql"));
        demo.replace(QStringLiteral("{TODAY}"), today.toString(QStringLiteral("yyyy-MM-dd")));
        demo.replace(QStringLiteral("{PERIOD_END}"), today.addDays(-10).toString(QStringLiteral("yyyy-MM-dd")));
        db->executeScript(readText(v1 + (kind == sql::BackendKind::SQLite ? QStringLiteral("shop-sqlite.sql")
                                                                           : QStringLiteral("shop-postgres.sql"))));
        db->executeScript(demo);
        return;
    }
    if (content != Content::Empty)
        db->executeScript(schemaScript(kind));
    if (content == Content::Demo)
        db->executeScript(demoScript(today));
}

TestShop::~TestShop()
{
    if (pgSchema_.isEmpty())
        return;
    try {
        sql::openBackend(pgTestServer())->executeScript(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(pgSchema_));
    } catch (const std::exception &) {
        // The throwaway cluster goes away with the test run anyway.
    }
}

std::unique_ptr<sql::Backend> TestShop::open() const
{
    return sql::openBackend(location_);
}

} // namespace vorel::test
