// Batches that differ only in their values share a translation and a prepared statement.
// What can go wrong: a value that shapes the statement taken for a bound one (TOP, ORDER BY
// positions, select lists, RAISERROR), a value bound with another type than its text gives
// it, a quoted value converted in the wrong place, a cache that hands back a program for
// the wrong values; and the price refresh's filter pushed into its grouped select changing
// which rows it touches.

#include <gtest/gtest.h>

#include "sqlengine/engine.h"
#include "sqlengine/parameters.h"
#include "sqlengine/textoutput.h"
#include "sqlengine/translator.h"
#include "fakeclock.h"
#include "testshop.h"

namespace vorel::sql {
namespace {

using test::TestShop;

QString keyOf(const QString &batch)
{
    QList<Token> tokens = tokenize(batch);
    QList<Literal> literals;
    return detail::parameterise(tokens, literals);
}

TEST(Parameterise, ValuesThatShapeTheStatementStayInTheKey)
{
    struct Case {
        const char *a;
        const char *b;
        bool shared;
    };
    const Case cases[] = {
        {"SELECT K FROM T WHERE K = 'a' AND N = 1", "SELECT K FROM T WHERE K = 'it''s' AND N = 22", true},
        {"UPDATE T SET M = 1.50 WHERE K IN ('a', 'b')", "UPDATE T SET M = 27.25 WHERE K IN ('c', 'd')", true},
        {"INSERT INTO T VALUES ('a', 1), ('b', 2)", "INSERT INTO T VALUES ('c', 3), ('d', 4)", true},
        {"SELECT K FROM T WHERE N = 1", "SELECT K FROM T WHERE N = 1.0", false},      // int or numeric
        {"SELECT K FROM T WHERE K = 'a'", "SELECT K FROM T WHERE K = N'a'", false},
        {"SELECT TOP 1 K FROM T", "SELECT TOP 2 K FROM T", false},
        {"SELECT K, N FROM T ORDER BY 1", "SELECT K, N FROM T ORDER BY 2", false},
        {"SELECT N + 1 FROM T GROUP BY N + 1", "SELECT N + 2 FROM T GROUP BY N + 2", false},
        {"SELECT 'a' AS V FROM T", "SELECT 'b' AS V FROM T", false},
        {"SELECT CAST(N AS VARCHAR(10)) FROM T", "SELECT CAST(N AS VARCHAR(20)) FROM T", false},
        {"SELECT K FROM T WHERE CAST(N AS VARCHAR(10)) = 'a'", "SELECT K FROM T WHERE CAST(N AS VARCHAR(20)) = 'a'", false},
        {"RAISERROR('a', 16, 1)", "RAISERROR('b', 16, 1)", false},
        {"CREATE TABLE X (K VARCHAR(9) DEFAULT 'a')", "CREATE TABLE X (K VARCHAR(9) DEFAULT 'b')", false},
        {"SELECT K FROM T WHERE N = 12345678901234567890", "SELECT K FROM T WHERE N = 12345678901234567891", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(keyOf(QString::fromUtf8(c.a)) == keyOf(QString::fromUtf8(c.b)), c.shared) << c.a << "  /  " << c.b;
}

class Bound : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<TestShop>(GetParam(), TestShop::Content::Demo, QDate(2026, 12, 5));
        db_ = shop_->open();
        db_->executeScript(GetParam() == BackendKind::SQLite
                               ? QStringLiteral("CREATE TABLE TP (K VARCHAR(20), N INTEGER, M NUMERIC, D DATETIME)")
                               : QStringLiteral("CREATE TABLE TP (K VARCHAR(20), N INTEGER, M NUMERIC, D TIMESTAMP)"));
        clock_.set(QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15)));
    }

    QString run(const QString &batch, Engine &engine) { return formatBatchText(engine.run(batch)).trimmed(); }

    std::unique_ptr<TestShop> shop_;
    std::unique_ptr<Backend> db_;
    FakeClock clock_;
};

// Each step's output after the steps before it, on one engine, so the second batch of a
// shape runs the first one's program with its own values.
struct Step {
    const char *batch;
    const char *output;
};

const Step kSteps[] = {
    {"INSERT INTO TP (K, N, M, D) VALUES ('a', 1, 1.50, '2026-12-05')", "Y"},
    {"INSERT INTO TP (K, N, M, D) VALUES ('O''Brien', -2, 2.25, '2026-12-06 08:00')", "Y"},
    {"INSERT INTO TP (K, N, M, D) VALUES (N'张三', 3, 3.75, NULL)", "Y"},
    {"INSERT INTO TP (K, N, M, D) VALUES ('b', '4', '5', '2027-01-01')", "Y"},
    // The second statement's value is no number: nothing of the batch is stored.
    {"INSERT INTO TP (K, N, M, D) VALUES ('c', '5', '6', NULL); INSERT INTO TP (K, N, M, D) VALUES ('d', '6', 'x', NULL)",
     "Error converting data type varchar to numeric."},
    {"INSERT INTO TP (K, N, M, D) VALUES ('c', '5', '6', NULL); INSERT INTO TP (K, N, M, D) VALUES ('d', ' ', '7', NULL)",
     "Y"},
    {"SELECT K, N, M, D FROM TP WHERE K = 'O''Brien'", "Y\nK\tN\tM\tD\nO'Brien\t-2\t2.25\t2026-12-06 08:00:00"},
    {"SELECT K, N, M, D FROM TP WHERE K = N'张三'", "Y\nK\tN\tM\tD\n张三\t3\t3.75"},
    {"SELECT K FROM TP WHERE N = -2 OR M = 5 ORDER BY N", "Y\nK\nO'Brien\nb"},
    {"SELECT K FROM TP WHERE N = 1 OR M = 3.75 ORDER BY N", "Y\nK\na\n张三"},
    {"SELECT K FROM TP WHERE D IS NULL AND K <> 'x' ORDER BY N", "Y\nK\nd\n张三\nc"},
    {"SELECT K FROM TP WHERE D < getdate() + 1 ORDER BY N", "Y\nK\nO'Brien\na"},
    {"SELECT K FROM TP WHERE D < getdate() + 40 ORDER BY N", "Y\nK\nO'Brien\na\nb"},
    {"SELECT TOP 1 K FROM TP ORDER BY N", "Y\nK\nO'Brien"},
    {"SELECT TOP 2 K FROM TP ORDER BY N", "Y\nK\nO'Brien\nd"},
    {"SELECT M, N FROM TP WHERE N < 3 ORDER BY 1", "Y\nM\tN\n1.5\t1\n2.25\t-2\n7\t0"},
    {"SELECT M, N FROM TP WHERE N < 3 ORDER BY 2", "Y\nM\tN\n2.25\t-2\n7\t0\n1.5\t1"},
    {"SELECT 'x' AS V, K FROM TP WHERE N = 1", "Y\nV\tK\nx\ta"},
    {"SELECT 'y' AS V, K FROM TP WHERE N = 4", "Y\nV\tK\ny\tb"},
    {"SELECT N + 1 AS P FROM TP WHERE N > 3 GROUP BY N + 1 ORDER BY 1", "Y\nP\n5\n6"},
    {"SELECT N + 10 AS P FROM TP WHERE N > 3 GROUP BY N + 10 ORDER BY 1", "Y\nP\n14\n15"},
    {"IF EXISTS (SELECT K FROM TP WHERE K = 'a') RAISERROR('有 a', 16, 1)", "有 a"},
    {"IF EXISTS (SELECT K FROM TP WHERE K = 'zz') RAISERROR('有 zz', 16, 1)", "Y"},
    {"UPDATE TP SET M = '7.5' WHERE K = 'a'", "Y"},
    {"UPDATE TP SET M = '' WHERE K = 'b'", "Error converting data type varchar to numeric."},
    {"SELECT K, M FROM TP WHERE K IN ('a', 'b') ORDER BY K", "Y\nK\tM\na\t7.5\nb\t5"},
};

TEST_P(Bound, SameShapeWithOtherValuesGivesTheirOwnResult)
{
    Engine engine(*db_, clock_);
    for (const Step &step : kSteps)
        EXPECT_EQ(run(QString::fromUtf8(step.batch), engine).toStdString(), step.output) << step.batch;
}

TEST_P(Bound, ACacheTooSmallForTheBatchesForgetsButStaysRight)
{
    auto cache = std::make_shared<TranslationCache>(3000);
    Engine engine(*db_, clock_, cache);
    for (int round = 0; round < 3; ++round) {
        db_->execute(QStringLiteral("DELETE FROM TP"), nullptr);
        for (const Step &step : kSteps) {
            EXPECT_EQ(run(QString::fromUtf8(step.batch), engine).toStdString(), step.output) << step.batch;
            EXPECT_TRUE(cache->bytes() <= 3000 || cache->size() == 1) << cache->bytes();
        }
    }
    EXPECT_GE(cache->size(), 1);
}

// The price refresh of a slip as the till sends it. Written with an unqualified NOID it
// keeps its old form (the filter could be the derived table's), which is the reference.
QString priceRefresh(const QString &noid, bool qualified)
{
    return QStringLiteral("UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT D1801.WL_ID, "
                          "D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY D1801.WL_ID, D1800.DJ) B "
                          "WHERE D712A.WL_ID = B.WL_ID and %1noid='%2'")
        .arg(qualified ? QStringLiteral("d712a.") : QString(), noid);
}

TEST_P(Bound, PriceRefreshReadsTheSlipNotTheCatalogue)
{
    const bool pg = GetParam() == BackendKind::PostgreSQL;
    // A catalogue big enough that an index is worth it to the planner.
    db_->executeScript(pg ? QStringLiteral("INSERT INTO D1800 (K_ID, WL_NAME, DJ) SELECT 'G' || i, 'g', i FROM generate_series(1, 3000) i;"
                                           "INSERT INTO D1801 (WL_ID, K_ID, COL_ID) SELECT 'G' || i || '01', 'G' || i, '01' FROM generate_series(1, 3000) i;"
                                           "ANALYZE")
                          : QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                           "INSERT INTO D1800 (K_ID, WL_NAME, DJ) SELECT 'G' || i, 'g', i FROM n;"
                                           "INSERT INTO D1801 (WL_ID, K_ID, COL_ID) SELECT K_ID || '01', K_ID, '01' FROM D1800 WHERE K_ID LIKE 'G%';"
                                           "ANALYZE"));
    Engine engine(*db_, clock_);
    // Slip S1: a unit twice, a generated one, one the catalogue lacks; S2 must stay as it is.
    ASSERT_EQ(run(QStringLiteral("INSERT INTO D712A (NOID, XH, WL_ID, S1) VALUES ('S1', 1, 'TX00101', 1), ('S1', 2, 'TX00101', 2), "
                                 "('S1', 3, 'G150101', 1), ('S1', 4, 'NOPE', 1), ('S2', 1, 'TX00102', 1), ('S2', 2, 'G170101', 3)"),
                  engine),
              "Y");
    const QString lines = QStringLiteral("SELECT NOID, XH, WL_ID, DJ, MONEY FROM D712A ORDER BY NOID, XH");
    const QString reset = QStringLiteral("UPDATE D712A SET DJ = 0, MONEY = 0");
    for (const char *noid : {"S1", "S2", "S9"}) {
        ASSERT_EQ(run(reset, engine), "Y");
        ASSERT_EQ(run(priceRefresh(QString::fromLatin1(noid), false), engine), "Y");
        const QString reference = run(lines, engine);
        ASSERT_EQ(run(reset, engine), "Y");
        ASSERT_EQ(run(priceRefresh(QString::fromLatin1(noid), true), engine), "Y");
        EXPECT_EQ(run(lines, engine).toStdString(), reference.toStdString()) << noid;
    }
    EXPECT_EQ(run(lines, engine).toStdString(), "Y\nNOID\tXH\tWL_ID\tDJ\tMONEY\n"
                                                 "S1\t1\tTX00101\t0\t0\nS1\t2\tTX00101\t0\t0\nS1\t3\tG150101\t0\t0\n"
                                                 "S1\t4\tNOPE\t0\t0\nS2\t1\tTX00102\t0\t0\nS2\t2\tG170101\t0\t0");
    ASSERT_EQ(run(priceRefresh(QStringLiteral("S1"), true), engine), "Y");
    EXPECT_EQ(run(lines, engine).toStdString(), "Y\nNOID\tXH\tWL_ID\tDJ\tMONEY\n"
                                                 "S1\t1\tTX00101\t79\t79\nS1\t2\tTX00101\t79\t158\nS1\t3\tG150101\t1501\t1501\n"
                                                 "S1\t4\tNOPE\t0\t0\nS2\t1\tTX00102\t0\t0\nS2\t2\tG170101\t0\t0");

    // The plans: the catalogue tables are searched by key, not scanned, once pushed down.
    const auto scans = [&](bool qualified) {
        ResultSet plan;
        db_->execute((pg ? QStringLiteral("EXPLAIN ") : QStringLiteral("EXPLAIN QUERY PLAN "))
                         + engine.explain(priceRefresh(QStringLiteral("S1"), qualified)),
                     &plan);
        QStringList found;
        for (int r = 0; r < plan.totalRowCount(); ++r) {
            const QString step = plan.fieldAt(r, plan.columnCount() - 1).asString();
            for (const char *table : {"D1800", "D1801"})
                if (step.contains(pg ? QStringLiteral("Seq Scan on %1").arg(QString::fromLatin1(table).toLower())
                                     : QStringLiteral("SCAN %1").arg(QString::fromLatin1(table))))
                    found << step.trimmed();
        }
        return found.join(u'|').toStdString();
    };
    EXPECT_EQ(scans(true), "");
    EXPECT_NE(scans(false), "") << "the reference reads the whole catalogue";
}

INSTANTIATE_TEST_SUITE_P(Backends, Bound, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

} // namespace
} // namespace vorel::sql
