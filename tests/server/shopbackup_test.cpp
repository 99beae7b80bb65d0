// Backups of a SQLite shop taken while tills commit slips through the real service, and
// the restores that must be refused.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "fakeclock.h"
#include "server/shopbackup.h"
#include "server/shopdatabase.h"
#include "servertestutil.h"
#include "sqlengine/sqlitebackend.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;

namespace {

constexpr int Tills = 4;
constexpr int SlipsPerTill = 40;
constexpr int LinesPerSlip = 3;

// A slip of three lines as one batch, so it lands whole or not at all.
QString slipBatch(const QString &noid, const QString &terminal)
{
    QString b = QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, BDATE, USER_ID, S1, S6) VALUES "
                               "('%1', '001', '%2', '1', '2026-12-05 10:30:15', '01', 207, 207);")
                    .arg(noid, terminal);
    for (const char *unit : {"TX00101", "TX00102", "CS00702"}) {
        b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S1, SJ, SMONEY) VALUES ('%1', '%2', '1', '001', 1, 69, "
                            "69);")
                 .arg(noid, QLatin1String(unit));
    }
    return b;
}

qint64 scalar(sql::Backend &db, const char *sql)
{
    ResultSet rows;
    db.execute(QString::fromLatin1(sql), &rows);
    return rows.fieldAt(0, 0).asInt();
}

class ShopBackupTest : public ::testing::Test {
protected:
    FakeClock clock_{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15))};
    test::TestShop shop_{sql::BackendKind::SQLite, test::TestShop::Content::Demo, clock_.now().date()};
    QTemporaryDir dir_;
    ShopBackup backups_{clock_};
};

} // namespace

TEST_F(ShopBackupTest, ABackupTakenWhileTillsCommitHoldsEveryEarlierSlipWhole)
{
    auto server = test::startServer(shop_.location(), clock_, nullptr, 4);
    std::atomic<int> committed{0};
    std::atomic<int> running{Tills};
    std::vector<std::thread> tills;
    for (int till = 0; till < Tills; ++till) {
        tills.emplace_back([&, till] {
            RemoteShopService service(test::addressOf(*server), 10);
            service.thrGetLogin(test::loginOf("01"));
            const QString terminal = QString::number(101 + till);
            for (int n = 1; n <= SlipsPerTill; ++n) {
                if (service.posExecSql(opcode::Slip, terminal + QString::number(10000000 + n), "Add",
                                       slipBatch(terminal + QString::number(10000000 + n), terminal),
                                       10)
                    == ReplyOk)
                    ++committed;
            }
            --running;
        });
    }
    // Each copy holds at least the slips committed before it began and at most those
    // committed before it ended, every one with all its lines.
    struct Copy {
        QString file;
        int atLeast = 0;
        int atMost = 0;
    };
    QList<Copy> copies;
    while (committed == 0)
        std::this_thread::yield();
    while (running > 0 || copies.size() < 2) {
        Copy c{dir_.filePath(QStringLiteral("backup-%1.db").arg(copies.size())), committed, 0};
        EXPECT_EQ(backups_.backup(shop_.location(), c.file).version, ShopSchema::CurrentVersion);
        c.atMost = committed;
        copies << c;
    }
    for (std::thread &t : tills)
        t.join();
    ASSERT_EQ(committed, Tills * SlipsPerTill);
    EXPECT_LT(copies.first().atLeast, Tills * SlipsPerTill) << "no backup ran while the tills committed";

    for (const Copy &c : copies) {
        sql::SqliteBackend db(c.file);
        ResultSet check;
        db.execute(QStringLiteral("PRAGMA integrity_check"), &check);
        EXPECT_EQ(check.fieldAt(0, 0).asString(), QStringLiteral("ok")) << c.file.toStdString();
        const qint64 slips = scalar(db, "SELECT COUNT(*) FROM D712");
        EXPECT_GE(slips, c.atLeast);
        EXPECT_LE(slips, c.atMost);
        EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM D712A"), slips * LinesPerSlip);
        EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM D712A WHERE NOID NOT IN (SELECT NOID FROM D712)"), 0);
        EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM D1809"), scalar(*shop_.open(), "SELECT COUNT(*) FROM D1809"));
    }
    EXPECT_FALSE(QFile::exists(copies.first().file + QStringLiteral(".part")));

    // Restoring over the shop a service is serving is refused; once it stopped, the shop
    // is the copy and the replaced one is kept.
    const auto restoreRefusal = [&](const QString &from, const QString &to) {
        try {
            backups_.restore(from, to);
            return QStringLiteral("restored");
        } catch (const ShopDatabaseError &e) {
            return e.message();
        }
    };
    EXPECT_TRUE(restoreRefusal(copies.first().file, shop_.location()).contains("is in use"));
    EXPECT_EQ(scalar(*shop_.open(), "SELECT COUNT(*) FROM D712"), Tills * SlipsPerTill);
    server->stop();
    server.reset();
    const QString kept = backups_.restore(copies.first().file, shop_.location());
    EXPECT_EQ(scalar(*shop_.open(), "SELECT COUNT(*) FROM D712"), scalar(*sql::openBackend(copies.first().file), "SELECT COUNT(*) FROM D712"));
    EXPECT_EQ(scalar(*sql::openBackend(kept), "SELECT COUNT(*) FROM D712"), Tills * SlipsPerTill);
}

TEST_F(ShopBackupTest, RestoresThatWouldLoseSomethingAreRefused)
{
    const QString good = dir_.filePath("good.db");
    backups_.backup(shop_.location(), good);
    const QString newer = dir_.filePath("newer.db");
    backups_.backup(shop_.location(), newer);
    sql::SqliteBackend(newer).execute(QStringLiteral("UPDATE SYS_SCHEMA SET VERSION = 99"), nullptr);
    const QString text = dir_.filePath("notes.txt");
    const QString empty = dir_.filePath("empty.db");
    for (const QString &file : {text, empty}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file == text ? "slips of Monday\n" : "");
    }
    sql::SqliteBackend(empty, true).execute(QStringLiteral("CREATE TABLE T (A INTEGER)"), nullptr);

    const struct {
        QString from;
        QString to;
        const char *expected;
    } cases[] = {
        {text, shop_.location(), "not a shop database backup"},
        {empty, shop_.location(), "not a shop database backup"},
        {dir_.filePath("missing.db"), shop_.location(), "not a backup file"},
        {newer, shop_.location(), "schema version 99, newer"},
        {good, text, "not a shop database and is not overwritten"},
        {good, empty, "not a shop database and is not overwritten"},
        {good, "postgresql://shop:pw@db.local/vorel", "pg_restore"},
    };
    const QByteArray shopBytes = [&] {
        QFile f(shop_.location());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (const auto &c : cases) {
        try {
            backups_.restore(c.from, c.to);
            ADD_FAILURE() << c.expected;
        } catch (const ShopDatabaseError &e) {
            EXPECT_TRUE(e.message().contains(c.expected)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains("nothing was restored") || e.message().contains("pg_restore"));
        }
    }
    QFile after(shop_.location());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), shopBytes);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).filter("replaced"), QStringList{}) << "a refused restore kept a copy";

    // A backup refuses a PostgreSQL shop, a file that is no shop, and an existing target.
    for (const auto &[from, to, expected] : {std::tuple{QString("postgresql://shop:pw@db.local/vorel"), dir_.filePath("x.db"), "pg_dump"},
                                             std::tuple{empty, dir_.filePath("x.db"), "holds no shop"},
                                             std::tuple{shop_.location(), good, "already exists"}}) {
        try {
            backups_.backup(from, to);
            ADD_FAILURE() << expected;
        } catch (const ShopDatabaseError &e) {
            EXPECT_TRUE(e.message().contains(expected)) << e.message().toStdString();
            EXPECT_FALSE(e.message().contains("pw@")) << e.message().toStdString();
        }
    }
}
