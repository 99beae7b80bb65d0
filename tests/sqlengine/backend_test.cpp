// The two database backends run the same cases; PostgreSQL needs a server in VOREL_TEST_PG
// (scripts/with-test-postgres starts a throwaway one). A trigger's refusal reaching the till
// with its message is the corpus's (stock.test, on the shop's own triggers).

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

#include "sqlengine/backend.h"
#include "sqlengine/pgbackend.h"
#include "sqlengine/sqlitebackend.h"
#include "testshop.h"

namespace vorel::sql {

namespace {

using test::TestShop;

std::optional<DbError> errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e;
    }
    return std::nullopt;
}

// An empty database of its own on the backend of the test: a file in a temporary folder, or a
// schema in the test server.
class BackendTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<TestShop>(GetParam(), TestShop::Content::Empty);
        db_ = openAnother();
    }

    void TearDown() override
    {
        if (db_)
            db_->rollback();
    }

    bool isPg() const { return GetParam() == BackendKind::PostgreSQL; }

    std::unique_ptr<Backend> openAnother() const
    {
        if (isPg())
            return std::make_unique<PgBackend>(shop_->location());
        return std::make_unique<SqliteBackend>(shop_->location(), false);
    }

    void run(const QString &sql) { db_->execute(sql, nullptr); }

    ResultSet query(Backend &db, const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(db.execute(sql, &rows)) << sql.toStdString();
        return rows;
    }

    qint64 count(Backend &db, const QString &table)
    {
        return query(db, QStringLiteral("SELECT COUNT(*) FROM ") + table).fieldAt(0, 0).asInt();
    }

    std::unique_ptr<TestShop> shop_; // outlives the connection below
    std::unique_ptr<Backend> db_;
};

TEST_P(BackendTest, ValuesComeBackTypedAndNullsStayNull)
{
    struct Case {
        const char *declared;
        const char *literal;
        FieldType type;
        QVariant expected;
    };
    const QDate day(2026, 3, 1);
    const Case cases[] = {
        {"VARCHAR(20)", "'货号A-01'", FieldType::Text, QString::fromUtf8("货号A-01")},
        {"TEXT", "'it''s'", FieldType::Text, QStringLiteral("it's")},
        {"INTEGER", "42", FieldType::Integer, qint64(42)},
        {"SMALLINT", "-7", FieldType::Integer, qint64(-7)},
        {"BIGINT", "9007199254740993", FieldType::Integer, qint64(9007199254740993LL)},
        {"BOOLEAN", "TRUE", FieldType::Integer, qint64(1)},
        {"NUMERIC(12,4)", "12.5", FieldType::Decimal, 12.5},
        // SQLite keeps 12.00 in a NUMERIC column as the integer 12.
        {"DECIMAL(12,2)", "12.00", FieldType::Decimal, 12.0},
        {"NUMERIC(12,2)", "'  12.50'", FieldType::Decimal, 12.5},
        {"DOUBLE PRECISION", "2.25", FieldType::Decimal, 2.25},
        {"TIMESTAMP", "'2026-03-01 09:30:15'", FieldType::DateTime, QDateTime(day, QTime(9, 30, 15))},
        {"TIMESTAMP", "'2026-03-01 09:30:15.250'", FieldType::DateTime, QDateTime(day, QTime(9, 30, 15, 250))},
        {"DATE", "'2026-03-01'", FieldType::DateTime, QDateTime(day, QTime(0, 0))},
        {"TIMESTAMP WITH TIME ZONE", "'2026-03-01 09:30:15+08'", FieldType::DateTime,
         QDateTime(day, QTime(9, 30, 15), QTimeZone(8 * 3600))},
    };
    QStringList columns{QStringLiteral("ID INTEGER NOT NULL")};
    QStringList literals{QStringLiteral("1")};
    QStringList nulls{QStringLiteral("2")};
    for (int i = 0; i < int(std::size(cases)); ++i) {
        columns << QStringLiteral("C%1 %2").arg(i).arg(QLatin1String(cases[i].declared));
        literals << QString::fromUtf8(cases[i].literal);
        nulls << QStringLiteral("NULL");
    }
    run(QStringLiteral("CREATE TABLE TYPED (%1)").arg(columns.join(QLatin1String(", "))));
    run(QStringLiteral("INSERT INTO TYPED VALUES (%1)").arg(literals.join(QLatin1String(", "))));
    run(QStringLiteral("INSERT INTO TYPED VALUES (%1)").arg(nulls.join(QLatin1String(", "))));

    const ResultSet rows = query(*db_, QStringLiteral("SELECT * FROM TYPED ORDER BY ID"));
    ASSERT_EQ(rows.totalRowCount(), 2);
    ASSERT_EQ(rows.columnCount(), int(std::size(cases)) + 1);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(std::string(c.declared) + " " + c.literal);
        EXPECT_EQ(rows.column(i + 1).type, c.type);
        const QVariant v = rows.fieldAt(0, i + 1).variant();
        EXPECT_EQ(v.typeId(), c.expected.typeId()) << v.typeName();
        EXPECT_EQ(v, c.expected) << v.toString().toStdString();
        EXPECT_TRUE(rows.fieldAt(1, i + 1).isNull());
    }
}

TEST_P(BackendTest, DuplicateKeyNamesTheTableAndTheKey)
{
    struct Case {
        const char *what;
        const char *create;
        const char *first;
        const char *second;
        const char *table;
        const char *constraint;
    };
    const Case cases[] = {
        {"primary key",
         "CREATE TABLE D712 (NOID VARCHAR(20) NOT NULL, LINE INTEGER NOT NULL, "
         "CONSTRAINT PK_D712 PRIMARY KEY (NOID, LINE))",
         "INSERT INTO D712 VALUES ('S0001', 1)", "INSERT INTO D712 VALUES ('S0001', 1)", "D712", "PK_D712"},
        {"unique constraint",
         "CREATE TABLE MEMBERS (ID INTEGER NOT NULL, CARD VARCHAR(20), PHONE VARCHAR(20), "
         "CONSTRAINT UQ_PHONE UNIQUE (PHONE), CONSTRAINT UQ_CARD UNIQUE (CARD))",
         "INSERT INTO MEMBERS VALUES (1, 'C1', 'P1')", "INSERT INTO MEMBERS VALUES (2, 'C1', 'P2')", "MEMBERS",
         "UQ_CARD"},
        {"unique index",
         "CREATE TABLE GOODS (CODE VARCHAR(20) NOT NULL, BARCODE VARCHAR(20));"
         "CREATE UNIQUE INDEX IX_GOODS_BARCODE ON GOODS (BARCODE);",
         "INSERT INTO GOODS VALUES ('A', '690001')", "INSERT INTO GOODS VALUES ('B', '690001')", "GOODS",
         "IX_GOODS_BARCODE"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        db_->executeScript(QString::fromUtf8(c.create));
        run(QString::fromUtf8(c.first));
        const auto e = errorOf([&] { run(QString::fromUtf8(c.second)); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->kind, DbError::Kind::DuplicateKey) << e->message().toStdString();
        EXPECT_EQ(e->table.toUpper(), QLatin1String(c.table)) << e->message().toStdString();
        EXPECT_EQ(e->constraint.toUpper(), QLatin1String(c.constraint)) << e->message().toStdString();
        EXPECT_FALSE(e->message().isEmpty());
    }
}

TEST_P(BackendTest, RollbackLeavesNothingAndCommitKeepsAll)
{
    run(QStringLiteral("CREATE TABLE SLIPS (NOID VARCHAR(20) NOT NULL, AMOUNT NUMERIC(12,2))"));
    const auto other = openAnother();

    db_->begin(true);
    run(QStringLiteral("INSERT INTO SLIPS VALUES ('S1', 10)"));
    run(QStringLiteral("INSERT INTO SLIPS VALUES ('S2', 20)"));
    EXPECT_EQ(count(*db_, QStringLiteral("SLIPS")), 2);
    EXPECT_EQ(count(*other, QStringLiteral("SLIPS")), 0) << "uncommitted rows seen by another connection";
    db_->rollback();
    EXPECT_EQ(count(*db_, QStringLiteral("SLIPS")), 0);
    EXPECT_NO_THROW(db_->rollback()) << "a second rollback is a no-op";

    db_->begin(true);
    run(QStringLiteral("INSERT INTO SLIPS VALUES ('S3', 30)"));
    db_->commit();
    EXPECT_EQ(count(*other, QStringLiteral("SLIPS")), 1);
}

TEST_P(BackendTest, ChangedRowsCountsTheLastChange)
{
    run(QStringLiteral("CREATE TABLE GOODS (CODE VARCHAR(10) NOT NULL, QTY INTEGER NOT NULL)"));
    struct Step {
        const char *sql;
        bool returnsRows;
        qint64 changed;
    };
    const Step steps[] = {
        {"INSERT INTO GOODS VALUES ('A', 1)", false, 1},
        {"INSERT INTO GOODS SELECT 'B', 2 UNION ALL SELECT 'C', 3", false, 2},
        {"UPDATE GOODS SET QTY = QTY + 1", false, 3},
        {"SELECT * FROM GOODS WHERE QTY > 100", true, 3}, // a query leaves the count alone
        {"DELETE FROM GOODS WHERE CODE = 'A'", false, 1},
        {"UPDATE GOODS SET QTY = 0 WHERE CODE = 'Z'", false, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.sql);
        ResultSet rows;
        EXPECT_EQ(db_->execute(QString::fromUtf8(s.sql), &rows), s.returnsRows);
        EXPECT_EQ(db_->changedRows(), s.changed);
        if (s.returnsRows) {
            EXPECT_EQ(rows.columnCount(), 2) << "an empty answer still names its columns";
        }
    }
}

TEST_P(BackendTest, ExecuteRunsExactlyOneStatement)
{
    run(QStringLiteral("CREATE TABLE T1 (N INTEGER)"));
    struct Case {
        const char *sql;
        bool accepted;
    };
    const Case cases[] = {
        {"INSERT INTO T1 VALUES (1); INSERT INTO T1 VALUES (2)", false},
        {"INSERT INTO T1 VALUES (1); SELECT 1", false},
        {"INSERT INTO T1 VALUES (1);", true},
        {"INSERT INTO T1 VALUES (2); -- the second line", true},
        {"INSERT INTO T1 VALUES (3) /* note */ ;  \n", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        const auto e = errorOf([&] { run(QString::fromUtf8(c.sql)); });
        EXPECT_EQ(!e, c.accepted);
        if (e) {
            EXPECT_TRUE(e->message().contains(QLatin1String("one statement"))) << e->message().toStdString();
        }
    }
    EXPECT_EQ(count(*db_, QStringLiteral("T1")), 3) << "a refused text must not run its first statement";
}

INSTANTIATE_TEST_SUITE_P(SqliteBackend, BackendTest, ::testing::Values(BackendKind::SQLite),
                         ::testing::PrintToStringParamName());
INSTANTIATE_TEST_SUITE_P(PgBackend, BackendTest, ::testing::Values(BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

// ---- SQLite only

TEST(SqliteBackendOpen, RefusesWhatIsNotADatabaseAndCreatesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString textFile = dir.filePath(QStringLiteral("notes.txt"));
    const QByteArray text = QByteArray("This is a price list, not a database.\n").repeated(100);
    {
        QFile f(textFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString missing = dir.filePath(QStringLiteral("missing.db"));

    struct Case {
        QString path;
        const char *mentions;
    };
    const Case cases[] = {
        {textFile, "not a database"},
        {dir.filePath(QStringLiteral("folder")), "folder"},
        {missing, "no such file"},
        {QString(), "no database file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        for (bool viaOpenBackend : {false, true}) {
            const auto e = errorOf([&] {
                if (viaOpenBackend)
                    openBackend(c.path);
                else
                    SqliteBackend(c.path, false);
            });
            ASSERT_TRUE(e);
            EXPECT_TRUE(e->message().contains(QLatin1String(c.mentions))) << e->message().toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(missing));
    QFile f(textFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), text) << "the refused file was written to";
}

TEST(SqliteBackendOpen, NewFileRunsInWalWithFullSyncAndForeignKeys)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("new.db"));
    SqliteBackend db(path, true);
    EXPECT_TRUE(QFile::exists(path));
    struct Case {
        const char *pragma;
        QString expected;
    };
    const Case cases[] = {
        {"PRAGMA journal_mode", QStringLiteral("wal")},
        {"PRAGMA synchronous", QStringLiteral("2")},
        {"PRAGMA foreign_keys", QStringLiteral("1")},
    };
    for (const Case &c : cases) {
        ResultSet rows;
        ASSERT_TRUE(db.execute(QLatin1String(c.pragma), &rows));
        EXPECT_EQ(rows.fieldAt(0, 0).asString(), c.expected) << c.pragma;
    }
}

TEST(SqliteBackendValues, LocalTimeTextFromAnExpressionReadsAsATimestamp)
{
    SqliteBackend db(QStringLiteral(":memory:"), true);
    ResultSet rows;
    db.execute(QStringLiteral("SELECT datetime('now', 'localtime') AS NOW, date('now') AS TODAY, "
                              "'2026-01-01 10:00:00' AS STAMP UNION ALL SELECT NULL, NULL, 'later'"),
               &rows);
    ASSERT_EQ(rows.totalRowCount(), 2);
    EXPECT_EQ(rows.column(0).type, FieldType::DateTime);
    EXPECT_LT(std::abs(rows.fieldAt(0, 0).asDateTime().secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(rows.column(1).type, FieldType::Text) << "a bare date stays text";
    EXPECT_EQ(rows.column(2).type, FieldType::Text) << "one value that is no time stamp keeps the column text";
}

TEST(SqliteBackendLocking, SecondWriterWaitsForTheFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("shop.db"));
    SqliteBackend first(path, true);
    first.execute(QStringLiteral("CREATE TABLE T (N INTEGER)"), nullptr);
    SqliteBackend second(path, false);

    first.begin(true);
    std::optional<DbError> error;
    qint64 waitedMs = 0;
    std::thread writer([&] {
        QElapsedTimer timer;
        timer.start();
        try {
            second.begin(true);
            waitedMs = timer.elapsed();
            second.execute(QStringLiteral("INSERT INTO T VALUES (2)"), nullptr);
            second.commit();
        } catch (const DbError &e) {
            error = e;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.execute(QStringLiteral("INSERT INTO T VALUES (1)"), nullptr);
    first.commit();
    writer.join();

    ASSERT_FALSE(error) << error->message().toStdString();
    EXPECT_GE(waitedMs, 250);
    ResultSet rows;
    first.execute(QStringLiteral("SELECT N FROM T ORDER BY N"), &rows);
    ASSERT_EQ(rows.totalRowCount(), 2);
}

TEST(SqliteBackendLocking, WriterGivesUpWithBusyAfterItsTimeout)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("shop.db"));
    SqliteBackend first(path, true);
    SqliteBackend second(path, false);
    second.setLockWait(100);
    first.begin(true);
    QElapsedTimer timer;
    timer.start();
    const auto e = errorOf([&] { second.begin(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, DbError::Kind::Busy) << e->message().toStdString();
    EXPECT_GE(timer.elapsed(), 90);
    first.rollback();
    EXPECT_NO_THROW(second.begin(true));
    second.rollback();
}

// ---- PostgreSQL only

class PgBackendSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(BackendKind::PostgreSQL);
        server_ = test::pgTestServer();
    }
    QString server_;
};

TEST_F(PgBackendSession, LocalTimestampIsTheShopsClockWhateverTheServerZone)
{
    // Start the session in a zone far from ours; the backend must move it to local time.
    const QDateTime now = QDateTime::currentDateTime();
    const char *far = now.offsetFromUtc() > 0 ? "Pacific/Pago_Pago" : "Pacific/Kiritimati";
    PgBackend db(test::withServerSetting(server_, QStringLiteral("TimeZone=") + QLatin1String(far)));
    ResultSet rows;
    ASSERT_TRUE(db.execute(QStringLiteral("SELECT LOCALTIMESTAMP AS T, CURRENT_SETTING('TimeZone') AS Z"), &rows));
    EXPECT_EQ(rows.column(0).type, FieldType::DateTime);
    EXPECT_LT(std::abs(rows.fieldAt(0, 0).asDateTime().secsTo(QDateTime::currentDateTime())), 60)
        << rows.fieldAt(0, 0).asString().toStdString() << " in " << rows.fieldAt(0, 1).asString().toStdString();
    EXPECT_EQ(rows.fieldAt(0, 1).asString(), db.sessionTimeZone());
}

TEST_F(PgBackendSession, LostConnectionIsReportedAndReopenedBetweenTransactions)
{
    PgBackend admin(server_);
    PgBackend db(server_);
    const auto kill = [&] {
        admin.execute(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(db.serverProcessId()), nullptr);
    };

    kill();
    auto e = errorOf([&] { db.execute(QStringLiteral("SELECT 1"), nullptr); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, DbError::Kind::ConnectionLost) << e->message().toStdString();
    EXPECT_NO_THROW(db.execute(QStringLiteral("SELECT 1"), nullptr)) << "reconnects outside a transaction";

    db.begin(true);
    kill();
    for (int attempt = 0; attempt < 2; ++attempt) {
        e = errorOf([&] { db.execute(QStringLiteral("SELECT 1"), nullptr); });
        ASSERT_TRUE(e) << "attempt " << attempt << ": ran outside the caller's transaction";
        EXPECT_EQ(e->kind, DbError::Kind::ConnectionLost);
    }
    db.rollback();
    EXPECT_NO_THROW(db.begin(true));
    EXPECT_NO_THROW(db.commit());
}

TEST_F(PgBackendSession, CommitAfterAFailedStatementIsAnError)
{
    TestShop schema(BackendKind::PostgreSQL, TestShop::Content::Empty);
    PgBackend db(schema.location());
    db.execute(QStringLiteral("CREATE TABLE T (N INTEGER NOT NULL)"), nullptr);
    db.begin(true);
    db.execute(QStringLiteral("INSERT INTO T VALUES (1)"), nullptr);
    EXPECT_TRUE(errorOf([&] { db.execute(QStringLiteral("INSERT INTO T VALUES (NULL)"), nullptr); }));
    const auto e = errorOf([&] { db.commit(); });
    ASSERT_TRUE(e) << "the server rolled back; commit must not report success";
    ResultSet rows;
    db.execute(QStringLiteral("SELECT COUNT(*) FROM T"), &rows);
    EXPECT_EQ(rows.fieldAt(0, 0).asInt(), 0);
}

TEST_F(PgBackendSession, WaitingForARowLockTooLongIsBusy)
{
    TestShop schema(BackendKind::PostgreSQL, TestShop::Content::Empty);
    PgBackend first(schema.location());
    PgBackend second(schema.location());
    first.executeScript(QStringLiteral("CREATE TABLE T (N INTEGER); INSERT INTO T VALUES (1);"));
    second.setLockWait(200);
    // The wait still holds on the connection opened again after the first one was lost.
    first.execute(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(second.serverProcessId()), nullptr);
    EXPECT_TRUE(errorOf([&] { second.execute(QStringLiteral("SELECT 1"), nullptr); }));
    ResultSet setting;
    second.execute(QStringLiteral("SHOW lock_timeout"), &setting);
    ASSERT_EQ(setting.fieldAt(0, 0).asString().toStdString(), "200ms");

    first.begin(true);
    first.execute(QStringLiteral("UPDATE T SET N = 2"), nullptr);
    second.begin(true);
    const auto e = errorOf([&] { second.execute(QStringLiteral("UPDATE T SET N = 3"), nullptr); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, DbError::Kind::Busy) << e->message().toStdString();
    second.rollback();
    first.rollback();
}

TEST(PgBackendOpen, UnreachableServerFailsWithTheReason)
{
    const auto e = errorOf([] { openBackend(QStringLiteral("postgresql://nobody@127.0.0.1:1/none")); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, DbError::Kind::ConnectionLost);
    EXPECT_TRUE(e->message().startsWith(QLatin1String("cannot connect"))) << e->message().toStdString();
}

// ---- Locations

} // namespace
} // namespace vorel::sql
