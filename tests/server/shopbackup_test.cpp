// Backups of a SQLite shop taken while tills commit slips through the real service, and
// the restores that must be refused.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
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
                               "('%1', '001', '%2', '1', '2026-12-05 10:30:15', '01', 207, 207);").arg(noid, terminal);
    for (const char *unit : {"TX00101", "TX00102", "CS00702"})
        b += QStringLiteral("INSERT INTO D712A (NOID, WL_ID, CK_ID, S1, SJ, SMONEY) VALUES ('%1', '%2', '001', 1, 69, 69);")
                 .arg(noid, QLatin1String(unit));
    return b;
}

// The message of a refused backup or restore; "done" when it went through.
template <typename Action>
QString refusal(Action action)
{
    try {
        action();
        return QStringLiteral("done");
    } catch (const ShopDatabaseError &e) {
        return e.message();
    }
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
    std::atomic<int> sent{0}; // a slip is in the shop before its till hears so
    std::atomic<int> committed{0};
    std::atomic<int> running{Tills};
    std::vector<std::thread> tills;
    for (int till = 0; till < Tills; ++till) {
        tills.emplace_back([&, till] {
            RemoteShopService service(test::addressOf(*server), 10);
            service.thrGetLogin(test::loginOf("01"));
            const QString terminal = QString::number(101 + till);
            for (int n = 1; n <= SlipsPerTill; ++n) {
                const QString noid = terminal + QString::number(10000000 + n);
                ++sent;
                committed += service.posExecSql(opcode::Slip, noid, "Add", slipBatch(noid, terminal), 10) == ReplyOk;
            }
            --running;
        });
    }
    // Each copy holds at least the slips committed before it began and at most those
    // sent before it ended, every one with all its lines.
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
        c.atMost = sent;
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
    const QString inUse = refusal([&] { backups_.restore(copies.first().file, shop_.location()); });
    EXPECT_TRUE(inUse.contains("is in use")) << inUse.toStdString();
    EXPECT_EQ(scalar(*shop_.open(), "SELECT COUNT(*) FROM D712"), Tills * SlipsPerTill);
    server->stop();
    server.reset();
    const QString kept = backups_.restore(copies.first().file, shop_.location());
    EXPECT_EQ(scalar(*shop_.open(), "SELECT COUNT(*) FROM D712"), scalar(*sql::openBackend(copies.first().file), "SELECT COUNT(*) FROM D712"));
    EXPECT_EQ(scalar(*sql::openBackend(kept), "SELECT COUNT(*) FROM D712"), Tills * SlipsPerTill);
}

TEST_F(ShopBackupTest, BackupsAndRestoresThatWouldLoseSomethingAreRefused)
{
    const QString good = dir_.filePath("good.db");
    const QString newer = dir_.filePath("newer.db");
    const QString text = dir_.filePath("notes.txt");
    const QString other = dir_.filePath("other.db");
    for (const QString &copy : {good, newer})
        backups_.backup(shop_.location(), copy);
    sql::SqliteBackend(newer).execute(QStringLiteral("UPDATE SYS_SCHEMA SET VERSION = 99"), nullptr);
    sql::SqliteBackend(other, true).execute(QStringLiteral("CREATE TABLE T (A INTEGER)"), nullptr);
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("slips of Monday\n") > 0);
    notes.close();
    const QString pg = QStringLiteral("postgresql://shop:pw@db.local/vorel");
    const auto bytesOf = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray shopBytes = bytesOf(shop_.location());

    const struct {
        bool restore;
        QString from;
        QString to;
        const char *expected;
    } cases[] = {
        {true, text, shop_.location(), "not a shop database backup"},
        {true, other, shop_.location(), "not a shop database backup"},
        {true, dir_.filePath("missing.db"), shop_.location(), "not a backup file"},
        {true, newer, shop_.location(), "schema version 99, newer"},
        {true, good, text, "not a shop database and is not overwritten"},
        {true, good, other, "not a shop database and is not overwritten"},
        {true, good, pg, "pg_restore"},
        {false, pg, dir_.filePath("x.db"), "pg_dump"},
        {false, other, dir_.filePath("x.db"), "holds no shop"},
        {false, shop_.location(), good, "already exists"},
    };
    for (const auto &c : cases) {
        const QString why = refusal([&] { c.restore ? void(backups_.restore(c.from, c.to)) : void(backups_.backup(c.from, c.to)); });
        EXPECT_TRUE(why.contains(c.expected) && !why.contains("pw@")) << c.expected << ": " << why.toStdString();
    }
    EXPECT_EQ(bytesOf(shop_.location()), shopBytes);
    EXPECT_EQ(bytesOf(text), QByteArray("slips of Monday\n"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).filter(QRegularExpression("replaced|x\\.db")), QStringList{});
}
