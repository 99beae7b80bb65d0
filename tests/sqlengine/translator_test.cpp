// Translation of T-SQL batches into each backend's dialect, checked as text: the rewrites whose
// edge cases the till's own batches in tests/corpus (run on both backends) do not reach, the
// refusals, the column spellings and the cache.
#include <gtest/gtest.h>

#include "sqlengine/translator.h"

using namespace vorel::sql;

namespace {

Catalog shopCatalog()
{
    Catalog c;
    c.addTable(QStringLiteral("D712"), {{"NOID", SqlType::Text}, {"ZD_ID", SqlType::Text}, {"BDATE", SqlType::DateTime},
                                        {"S1", SqlType::Decimal}, {"T", SqlType::Integer}, {"VIPID", SqlType::Text}});
    c.addTable(QStringLiteral("D712A"), {{"NOID", SqlType::Text}, {"WL_ID", SqlType::Text}, {"S0", SqlType::Integer},
                                         {"SMONEY", SqlType::Decimal}, {"DJ", SqlType::Decimal}});
    c.addTable(QStringLiteral("D701"), {{"ZD_ID", SqlType::Text}, {"ZD_NAME", SqlType::Text}, {"T", SqlType::Integer}});
    c.addTable(QStringLiteral("D702"), {{"VIPID", SqlType::Text}, {"VIPNAME", SqlType::Text}, {"VIPM", SqlType::Decimal}, {"VIPF", SqlType::Integer}});
    return c;
}

struct Case {
    const char *name;
    const char *batch;
    const char *sqlite;   // expected description on SQLite
    const char *postgres; // on PostgreSQL; nullptr: same as SQLite
};

class TranslateCases : public ::testing::TestWithParam<Case> {};

TEST_P(TranslateCases, MatchesExpectedText)
{
    const Case &c = GetParam();
    const Catalog cat = shopCatalog();
    EXPECT_EQ(describe(translate(QString::fromUtf8(c.batch), BackendKind::SQLite, cat)).toStdString(), c.sqlite);
    EXPECT_EQ(describe(translate(QString::fromUtf8(c.batch), BackendKind::PostgreSQL, cat)).toStdString(),
              c.postgres ? c.postgres : c.sqlite);
}

const Case cases[] = {
    {"TopInParentheses", "select top (3) * from d712",
     "SELECT * from d712 LIMIT 3", nullptr},
    {"QuotedNumberIntoNumericColumn", "INSERT INTO D712 (NOID, S1, T) VALUES ('00110000001', '   12.50', ' 0 ')",
     "INSERT INTO D712(NOID, S1, T) VALUES ('00110000001', 12.50, 0)", nullptr},
    {"DateOnlyStoredInFullOnSqlite", "INSERT INTO D712 (NOID, BDATE) VALUES ('1', '2026-12-05')",
     "INSERT INTO D712(NOID, BDATE) VALUES ('1', '2026-12-05 00:00:00')",
     "INSERT INTO D712(NOID, BDATE) VALUES ('1', '2026-12-05')"},
    {"QuotedNumberComparedWithNumericColumn", "SELECT VIPID FROM D702 WHERE VIPM < '  .5'",
     "SELECT VIPID FROM D702 WHERE VIPM < 0.5", nullptr},
    {"TopInFirstUnionMember", "SELECT TOP 1 NOID FROM D712 UNION SELECT NOID FROM D712A",
     "SELECT * FROM (SELECT NOID FROM D712 LIMIT 1) AS vorel_top1 UNION SELECT NOID FROM D712A", nullptr},
    {"NationalStringsAndBrackets", "SELECT [NOID], N'张三''s' AS [name] FROM [dbo].[D712]",
     "SELECT NOID, '张三''s' AS name FROM D712", nullptr},
    {"InsertSelectIsOneStatement", "INSERT INTO D701 (ZD_ID) SELECT ZD_ID FROM D712",
     "INSERT INTO D701(ZD_ID) SELECT ZD_ID FROM D712", nullptr},
    {"InnerJoinColumnsCompareOnTheFirstTable",
     "select D712A.NOID from D712A INNER JOIN D712 ON D712A.NOID = D712.NOID LEFT JOIN D702 ON D712.VIPID = D702.VIPID where (D712.NOID = '1') or (D712A.WL_ID = 'Z') or (D702.VIPID = 'V')",
     "select D712A.NOID from D712A INNER JOIN D712 ON D712A.NOID = D712.NOID LEFT JOIN D702 ON D712.VIPID = D702.VIPID where (D712A.NOID = '1') or (D712A.WL_ID = 'Z') or (D702.VIPID = 'V')",
     nullptr},
    {"CommentsAndBeginTran", "BEGIN TRAN -- note\n /* block */ SELECT 1; COMMIT TRAN",
     "nothing\nSELECT 1\nnothing", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Translator, TranslateCases, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

struct Refusal {
    const char *name;
    const char *batch;
    const char *message;
};

class TranslateRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(TranslateRefusals, GivesAClearMessage)
{
    const Refusal &r = GetParam();
    try {
        translate(QString::fromUtf8(r.batch), BackendKind::SQLite, shopCatalog());
        FAIL() << "translated: " << r.batch;
    } catch (const TranslationError &e) {
        EXPECT_EQ(e.message().toStdString(), r.message);
    }
}

const Refusal refusals[] = {
    {"UnterminatedString", "SELECT 'abc", "Unterminated string at position 7"},
    {"TextIntoNumeric", "INSERT INTO D712 (NOID, S1) VALUES ('1', 'abc')", "Error converting data type varchar to numeric."},
    {"UndeclaredVariableRead", "SELECT NOID FROM D712 WHERE NOID = @x", "Must declare the scalar variable \"@x\"."},
    {"IfWithoutStatement", "IF EXISTS (SELECT 1)", "Incorrect syntax: IF without a statement."},
    {"BeginWithoutEnd", "BEGIN SELECT 1", "Incorrect syntax: BEGIN without END."},
    {"StrayElse", "ELSE SELECT 1", "Incorrect syntax near 'ELSE'."},
    {"UnbalancedParenthesis", "SELECT (1", "Incorrect syntax: missing ')'."},
    {"Empty", "  -- nothing\n", "The batch is empty."},
};

INSTANTIATE_TEST_SUITE_P(Translator, TranslateRefusals, ::testing::ValuesIn(refusals),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(TranslateSpellings, ColumnsTheQueryDoesNotNameKeepTheSchemaSpelling)
{
    // PostgreSQL's catalogue folds the upper-case names of the shop schema to lower case.
    Catalog folded;
    folded.addTable(QStringLiteral("d1101"), {{"yw_id", SqlType::Text}, {"yw_name", SqlType::Text}, {"t", SqlType::Integer}});
    folded.addTable(QStringLiteral("d702"), {{"vipid", SqlType::Text}, {"vipname", SqlType::Text}});
    const Program p = translate(QStringLiteral("SELECT *, VIPID AS Card FROM D1101, D702 WHERE (T=0) AND (yw_id='01')"),
                                BackendKind::PostgreSQL, folded);
    ASSERT_EQ(p.nodes.size(), 1u);
    const auto &sp = *p.nodes[0].spellings;
    EXPECT_EQ(sp.value(QStringLiteral("yw_id")), QStringLiteral("yw_id")) << "the query's own spelling wins";
    EXPECT_EQ(sp.value(QStringLiteral("card")), QStringLiteral("Card"));
    EXPECT_EQ(sp.value(QStringLiteral("yw_name")), QStringLiteral("YW_NAME"));
    EXPECT_EQ(sp.value(QStringLiteral("vipname")), QStringLiteral("VIPNAME"));
    EXPECT_FALSE(sp.contains(QStringLiteral("zd_name"))) << "only the tables the statement names";
}

} // namespace
