// The local store file: where it comes from, what it refuses to open, what it keeps after a
// crash, and how a text of several statements runs.

#include <QFile>
#include <QFileInfo>
#include <unistd.h> // _exit

#include "offlinetestutil.h"
#include "sqlengine/sqlitebackend.h"
#include "testshop.h"

namespace vorel {
namespace {

using test::StoreFolder;

TEST(LocalStoreFiles, AMissingStoreComesFromTheCleanCopyOrNotAtAll)
{
    StoreFolder dir(false);
    // Without a clean copy nothing is made up, and opening never creates the file.
    try {
        LocalStore::prepareFile(dir.folder());
        FAIL() << "a store appeared from nowhere";
    } catch (const LocalStoreError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("VORELZBACK"))) << e.message().toStdString();
    }
    EXPECT_FALSE(LocalStore::provideCleanCopy(dir.folder(), dir.file(QStringLiteral("nothing-here"))));
    {
        LocalStore store(dir.storePath());
        EXPECT_THROW(store.open(), LocalStoreError);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.storePath()));

    ASSERT_TRUE(LocalStore::provideCleanCopy(dir.folder(), LocalStore::shippedCleanCopy()));
    ASSERT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("VORELZBACK"))));
    const QString path = LocalStore::prepareFile(dir.folder());
    EXPECT_EQ(path, dir.storePath());
    LocalStore store(path);
    store.open();
    EXPECT_EQ(test::scalar(store, QStringLiteral("select count(*) from d712")), 0);
}

TEST(LocalStoreFiles, ExistingStoreIsKeptAndNamesMatchWithoutCase)
{
    StoreFolder dir;
    {
        LocalStore store(dir.storePath());
        store.open();
        store.begin();
        store.execute(test::slipHeader(QStringLiteral("00110000001")));
        store.commit();
    }
    ASSERT_TRUE(QFile::rename(dir.storePath(), dir.file(QStringLiteral("vorelz"))));
    // A clean copy beside it must not replace the store that holds a slip.
    ASSERT_TRUE(LocalStore::provideCleanCopy(dir.folder(), LocalStore::shippedCleanCopy()));
    const QString path = LocalStore::prepareFile(dir.folder());
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("vorelz"));
    LocalStore store(path);
    store.open();
    EXPECT_EQ(test::scalar(store, QStringLiteral("select count(*) from D712")), 1);
}

struct BadFile {
    const char *name;
    QByteArray bytes;   // written over the store; unused with `foreign`
    bool foreign;       // a SQLite database of somebody else
    const char *expect; // part of the message
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LocalStoreDamage : public ::testing::TestWithParam<BadFile> {};

TEST_P(LocalStoreDamage, IsReportedClearlyAndLeftAsItWas)
{
    const BadFile &bad = GetParam();
    StoreFolder dir;
    if (bad.foreign) {
        // A shop database is a perfectly good SQLite file, just not a local store.
        const test::TestShop shop(sql::BackendKind::SQLite, test::TestShop::Content::Schema);
        QFile::remove(dir.storePath());
        ASSERT_TRUE(QFile::copy(shop.location(), dir.storePath()));
    } else {
        QFile f(dir.storePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad.bytes);
    }
    const QByteArray original = contents(dir.storePath());

    LocalStore store(dir.storePath());
    try {
        store.open();
        FAIL() << "a bad store opened";
    } catch (const LocalStoreError &e) {
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(bad.expect))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(dir.storePath()))) << e.message().toStdString();
    }
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(contents(dir.storePath()), original) << "a bad store must never be recreated";
}

QByteArray garbage()
{
    QByteArray bytes;
    for (int i = 0; i < 8192; ++i)
        bytes.append(static_cast<char>((i * 7919 + 13) % 251));
    return bytes;
}

// The clean copy with its first b-tree pages overwritten: the header still says SQLite.
QByteArray brokenPages()
{
    QByteArray bytes = contents(LocalStore::shippedCleanCopy());
    for (qsizetype i = 100; i < std::min<qsizetype>(bytes.size(), 9000); ++i)
        bytes[i] = static_cast<char>(0xA5);
    return bytes;
}

// The clean copy as a later program would leave it: a layout version this one does not know.
QByteArray newerLayout()
{
    QByteArray bytes = contents(LocalStore::shippedCleanCopy());
    bytes[63] = static_cast<char>(LocalStoreVersion + 1); // user_version, big-endian at 60
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LocalStoreDamage,
    ::testing::Values(BadFile{"Garbage", garbage(), false, "已损坏"},
                      BadFile{"BrokenPages", brokenPages(), false, "已损坏"},
                      BadFile{"Empty", QByteArray(), false, "不是本系统的离线数据库"},
                      BadFile{"Foreign", QByteArray(), true, "不是本系统的离线数据库"},
                      BadFile{"Newer", newerLayout(), false, "请安装新版收银程序"}),
    [](const auto &info) { return std::string(info.param.name); });

// A store of the first layout, with offline slips and a shift record waiting, is upgraded
// when the till opens it: every row stays, and it ends with the layout of a clean copy.
TEST(LocalStoreFiles, AStoreOfTheFirstLayoutIsUpgradedKeepingItsRows)
{
    StoreFolder dir(false);
    const auto objects = [](LocalStore &store) {
        const ResultSet rows = store.query(QStringLiteral("SELECT group_concat(type || ' ' || name, ', ') FROM "
                                                          "(SELECT type, name FROM sqlite_master ORDER BY name)"));
        return rows.fieldAt(0, 0).asString();
    };
    {
        QFile v1(test::fixtureDir() + QStringLiteral("/schema-v1/vorelz.sql"));
        ASSERT_TRUE(v1.open(QIODevice::ReadOnly));
        sql::SqliteBackend(dir.storePath(), true)
            .executeScript(QString::fromUtf8(v1.readAll()) + test::slipBatch(QStringLiteral("00110000001"))
                           + QStringLiteral(";INSERT INTO D703 (ZD_ID, BDATE) VALUES ('001', '2026-03-02 08:00:00');"));
    }
    LocalStore store(dir.storePath());
    store.open();
    EXPECT_EQ(test::scalar(store, QStringLiteral("PRAGMA user_version")), LocalStoreVersion);
    EXPECT_EQ(test::scalar(store, QStringLiteral("SELECT (SELECT COUNT(*) FROM D712) + (SELECT COUNT(*) FROM D712A) "
                                                 "+ (SELECT COUNT(*) FROM D703)")),
              3);
    LocalStore clean(LocalStore::shippedCleanCopy());
    clean.open();
    EXPECT_EQ(objects(store), objects(clean));
}

// The process dies between two statements of a batch, inside the transaction (the forked
// child shares the parent's folder). Nothing of the batch may be there when the store is
// opened again.
TEST(LocalStoreDurability, CrashInTheMiddleOfABatchLeavesNothingBehind)
{
    StoreFolder dir;
    {
        LocalStore store(dir.storePath());
        store.open();
        // Commits are fully synced into the one file.
        EXPECT_EQ(test::scalar(store, QStringLiteral("PRAGMA synchronous")), 2); // FULL
        EXPECT_EQ(store.query(QStringLiteral("PRAGMA journal_mode")).fieldAt(0, 0).asString(), QStringLiteral("delete"));
        store.begin();
        store.execute(test::slipHeader(QStringLiteral("00110000001")));
        store.commit();
    }
    // Enough lines that SQLite writes pages into the file before the commit, so the crash
    // leaves a hot journal that the next open has to roll back.
    const QString manyLines = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
        "INSERT INTO D712A (NOID, WL_ID, NOTE) SELECT '00110000002', 'TX' || i, printf('%.40d', i) FROM n;");
    EXPECT_EXIT(
        {
            LocalStore store(dir.storePath());
            store.open();
            store.begin();
            store.execute(test::slipHeader(QStringLiteral("00110000002")) + manyLines);
            ::_exit(3); // before the points update and the commit
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_GT(QFileInfo(dir.storePath() + QStringLiteral("-journal")).size(), 0);

    LocalStore store(dir.storePath());
    store.open();
    EXPECT_EQ(test::scalar(store, QStringLiteral("select count(*) from d712")), 1);
    EXPECT_EQ(test::scalar(store, QStringLiteral("select count(*) from d712a")), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.storePath() + QStringLiteral("-journal")));
}

class OpenLocalStore : public ::testing::Test {
protected:
    OpenLocalStore() { store.open(); }
    qint64 count(const char *table) { return test::scalar(store, QStringLiteral("select count(*) from ") + QLatin1String(table)); }

    StoreFolder dir;
    LocalStore store{dir.storePath()};
};

TEST_F(OpenLocalStore, EveryStatementOfATextRunsInOrderAndAFailureStopsThere)
{
    // Semicolons inside literals and comments, empty statements, a text without a final ";".
    store.execute(QStringLiteral("insert into db_pao(t) values ('a;b');;  -- c;d\n"
                                 "/* e; */ insert into db_pao(t) values ('x''y;')  ;\n"
                                 "update db_pao set t = t || '!' where t like 'x%'"));
    const ResultSet rows = store.query(QStringLiteral("select t from db_pao order by t"));
    ASSERT_EQ(rows.totalRowCount(), 2);
    EXPECT_EQ(rows.fieldAt(0, 0).asString(), QStringLiteral("a;b"));
    EXPECT_EQ(rows.fieldAt(1, 0).asString(), QStringLiteral("x'y;!"));
    EXPECT_NO_THROW(store.execute(QStringLiteral("  ; -- nothing at all\n")));

    // The failure names the statement; the earlier ones stay for the caller to roll back.
    store.execute(QStringLiteral("delete from db_pao"));
    store.begin();
    try {
        store.execute(QStringLiteral("insert into db_pao(t) values ('1'); insert into no_such_table values (1);"
                                     "insert into db_pao(t) values ('3');"));
        FAIL() << "the bad statement ran";
    } catch (const LocalStoreError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no_such_table"))) << e.message().toStdString();
    }
    EXPECT_TRUE(store.inTransaction());
    EXPECT_EQ(count("db_pao"), 1);
    store.rollback();
    EXPECT_FALSE(store.inTransaction());
    EXPECT_EQ(count("db_pao"), 0);
}

TEST_F(OpenLocalStore, ReadsAreTypedByColumnOrByValue)
{
    store.execute(test::slipHeader(QStringLiteral("00110000001")));
    // The rows of the last statement that has columns.
    const ResultSet rows = store.query(QStringLiteral(
        "update d712 set vipf=12 where noid='00110000001';"
        "select NOID, S1, S6, VIPF, BDATE, count(*) as c, max(bdate) as m, sum(s1) as total, "
        "sum(s1) / 2.0 as half, datetime('2026-03-02 10:15:00', '+1 day') as d from d712"));
    ASSERT_EQ(rows.totalRowCount(), 1);
    const struct {
        const char *column;
        FieldType type;
        const char *text;
    } expected[] = {
        {"NOID", FieldType::Text, "00110000001"},       {"S1", FieldType::Decimal, "199"},
        {"S6", FieldType::Decimal, "200"},              {"VIPF", FieldType::Integer, "12"},
        {"BDATE", FieldType::DateTime, "2026-03-02 10:15:00"}, {"c", FieldType::Integer, "1"},
        {"m", FieldType::DateTime, "2026-03-02 10:15:00"},     {"total", FieldType::Integer, "199"},
        {"half", FieldType::Decimal, "99.5"},
        {"d", FieldType::DateTime, "2026-03-03 10:15:00"},
    };
    for (const auto &e : expected) {
        const int i = rows.columnIndex(QString::fromLatin1(e.column));
        ASSERT_GE(i, 0) << e.column;
        EXPECT_EQ(rows.column(i).type, e.type) << e.column;
        EXPECT_EQ(rows.fieldAt(0, i).asString(), QString::fromUtf8(e.text)) << e.column;
    }
}

// The mirror tables that the synchronisation fills by position take the shop's columns in
// the shop's order.
TEST_F(OpenLocalStore, PositionalMirrorsFollowTheShopSchema)
{
    test::TestShop shop(sql::BackendKind::SQLite, test::TestShop::Content::Schema);
    const sql::Catalog catalog = shop.open()->loadCatalog();
    const struct {
        const char *table;
        int count;
    } positional[] = {{"D1801", 3}, {"D1006", 23}, {"D711", 2}};
    for (const auto &p : positional) {
        const QString table = QString::fromLatin1(p.table);
        const ResultSet local = store.query(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        ASSERT_EQ(local.totalRowCount(), p.count) << p.table;
        const auto *shopColumns = catalog.columns(table);
        ASSERT_NE(shopColumns, nullptr) << p.table;
        for (int i = 0; i < p.count; ++i) {
            EXPECT_EQ(local.fieldAt(i, local.columnIndex(QStringLiteral("name"))).asString().toUpper(),
                      shopColumns->at(i).name.toUpper())
                << p.table << " column " << i;
        }
    }
}

} // namespace
} // namespace vorel
