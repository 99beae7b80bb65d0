// A shop made by an older vorel-server (the demo shop on the schema of version 1, kept in
// tests/data/schema-v1) is upgraded without losing a row and ends with the layout of a new
// shop; a shop newer than the program is refused. Both backends.

#include <gtest/gtest.h>

#include <QMap>
#include <thread>

#include "fakeclock.h"
#include "server/shopdatabase.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

QStringList column(sql::Backend &db, const QString &sql)
{
    ResultSet rows;
    db.execute(sql, &rows);
    QStringList out;
    for (int r = 0; r < rows.totalRowCount(); ++r)
        out << rows.fieldAt(r, 0).asString().toUpper();
    out.sort();
    return out;
}

// Tables, their columns and types, and the indexes, as sorted lines.
QStringList layout(sql::Backend &db)
{
    if (db.kind() == BackendKind::SQLite) {
        return column(db, "SELECT m.name || '.' || p.name || ' ' || p.type FROM sqlite_master m, pragma_table_info(m.name) p "
                          "WHERE m.type = 'table' UNION ALL SELECT type || ' ' || name FROM sqlite_master "
                          "WHERE type IN ('index', 'trigger', 'view')");
    }
    return column(db, "SELECT table_name || '.' || column_name || ' ' || data_type FROM information_schema.columns "
                      "WHERE table_schema = current_schema() UNION ALL SELECT 'index ' || indexname FROM pg_indexes "
                      "WHERE schemaname = current_schema()");
}

QMap<QString, qint64> rowCounts(sql::Backend &db)
{
    const QStringList tables = db.kind() == BackendKind::SQLite
                                   ? column(db, "SELECT name FROM sqlite_master WHERE type = 'table'")
                                   : column(db, "SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                                "current_schema() AND table_type = 'BASE TABLE'");
    QMap<QString, qint64> counts;
    for (const QString &table : tables)
        counts[table] = column(db, "SELECT COUNT(*) FROM " + table).first().toLongLong();
    return counts;
}

class ShopSchemaTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override { VOREL_REQUIRE_BACKEND(GetParam()); }
    FakeClock clock_{QDateTime(QDate(2026, 12, 5), QTime(7, 45, 0))};
};

} // namespace

TEST_P(ShopSchemaTest, AVersionOneShopIsUpgradedOnceKeepingEveryRow)
{
    const test::TestShop old(GetParam(), test::TestShop::Content::DemoVersionOne, clock_.now().date());
    const QMap<QString, qint64> before = rowCounts(*old.open());
    ASSERT_TRUE(!before.contains("SYS_SCHEMA") && before.value("D1809") > 0);

    // Two servers starting at the same moment: one upgrades, the other finds it done.
    SchemaChange changes[2];
    std::vector<std::thread> starting;
    for (SchemaChange &change : changes)
        starting.emplace_back([&] { change = ShopDatabase(old.location(), clock_).upgrade(); });
    for (std::thread &t : starting)
        t.join();
    EXPECT_EQ(changes[0].upgraded() + changes[1].upgraded(), 1);
    for (const SchemaChange &change : changes) {
        EXPECT_EQ(change.from, change.upgraded() ? 1 : ShopSchema::CurrentVersion);
        EXPECT_EQ(change.to, ShopSchema::CurrentVersion);
    }

    const auto db = old.open();
    QMap<QString, qint64> after = rowCounts(*db);
    EXPECT_EQ(after.take("SYS_SCHEMA"), 1);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key(), -1), it.value()) << it.key().toStdString();
    EXPECT_EQ(column(*db, "SELECT VERSION || ' ' || UPGRADED FROM SYS_SCHEMA"),
              QStringList{QString::number(ShopSchema::CurrentVersion) + " 2026-12-05 07:45:00"});

    const test::TestShop fresh(GetParam(), test::TestShop::Content::Schema);
    EXPECT_EQ(layout(*db), layout(*fresh.open()));
    EXPECT_EQ(column(*fresh.open(), "SELECT VERSION FROM SYS_SCHEMA"), QStringList{QString::number(ShopSchema::CurrentVersion)});
}

TEST_P(ShopSchemaTest, AShopNewerThanTheProgramIsRefused)
{
    const test::TestShop shop(GetParam(), test::TestShop::Content::Demo);
    shop.open()->execute(QStringLiteral("UPDATE SYS_SCHEMA SET VERSION = %1").arg(ShopSchema::CurrentVersion + 1), nullptr);
    try {
        test::startServer(shop.location(), clock_, nullptr, 1);
        FAIL() << "a newer shop was served";
    } catch (const ShopDatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("schema version %1, newer").arg(ShopSchema::CurrentVersion + 1)))
            << e.message().toStdString();
    }
    EXPECT_EQ(column(*shop.open(), "SELECT VERSION FROM SYS_SCHEMA"), QStringList{QString::number(ShopSchema::CurrentVersion + 1)});
}

INSTANTIATE_TEST_SUITE_P(Backends, ShopSchemaTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
