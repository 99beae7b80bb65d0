// Translation of the till's T-SQL batches into each backend's dialect, checked as text.
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
    c.addTable(QStringLiteral("SYS_CO"), {{"PARAM", SqlType::Text}, {"CK_END_DATE", SqlType::DateTime}, {"CK_QS", SqlType::Integer}});
    c.addTable(QStringLiteral("D702"), {{"VIPID", SqlType::Text}, {"VIPNAME", SqlType::Text}, {"VIPM", SqlType::Decimal}, {"VIPF", SqlType::Integer}});
    c.addTable(QStringLiteral("SYS_USER"), {{"USER_ID", SqlType::Text}, {"PASSWORD", SqlType::Text}});
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
    {"TopBecomesLimit", "SELECT TOP 10 NOID FROM D712 ORDER BY NOID DESC",
     "SELECT NOID FROM D712 ORDER BY NOID DESC LIMIT 10", nullptr},
    {"TopInParentheses", "select top (3) * from d712",
     "SELECT * from d712 LIMIT 3", nullptr},
    {"NoWhitespaceBeforeKeyword", "SELECT WL_ID,COUNT(*) AS C FROM D712A WHERE wl_id<>'Z'GROUP BY WL_ID",
     "SELECT WL_ID, COUNT(*) AS C FROM D712A WHERE wl_id <> 'Z' GROUP BY WL_ID", nullptr},
    {"DotStarWithBlanks", "SELECT D712. *   FROM D712",
     "SELECT D712.* FROM D712", nullptr},
    {"TopInsideExistsAndElse",
     "if exists (select top 1 ck_qs from sys_co  where ck_qs=1) select ZD_ID, ZD_NAME FROM D701 where (ZD_ID='001')  else select zd_id,zd_name from d701 ",
     "if SELECT CASE WHEN exists (SELECT ck_qs from sys_co where ck_qs = 1 LIMIT 1) THEN 1 ELSE 0 END\n"
     "  select ZD_ID, ZD_NAME FROM D701 where (ZD_ID = '001')\n"
     "else\n"
     "  select zd_id, zd_name from d701",
     nullptr},
    {"GetdateIsTheRunTime", "SELECT getdate() as D",
     "SELECT <now> as D", nullptr},
    {"DatePlusDays",
     "IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('2026-12-05 10:00:00'>CK_END_DATE) and ('2026-12-05 10:00:00'< (CK_END_DATE + 37))) RAISERROR('开单日期不在进销存期间内!', 16, 1); ",
     "if SELECT CASE WHEN NOT EXISTS (SELECT CK_END_DATE from sys_co where ('2026-12-05 10:00:00' > CK_END_DATE) and ('2026-12-05 10:00:00' < (datetime(CK_END_DATE, ((37)) || ' days')))) THEN 1 ELSE 0 END\n"
     "  raiserror 16 开单日期不在进销存期间内!",
     "if SELECT CASE WHEN NOT EXISTS (SELECT CK_END_DATE from sys_co where ('2026-12-05 10:00:00' > CK_END_DATE) and ('2026-12-05 10:00:00' < ((CK_END_DATE + (37) * INTERVAL '1 day')))) THEN 1 ELSE 0 END\n"
     "  raiserror 16 开单日期不在进销存期间内!"},
    {"TextColumnPlusNumber", "SELECT MAX(ZD_ID) + 1 AS a FROM D701",
     "SELECT MAX(ZD_ID) + 1 AS a FROM D701",
     "SELECT CAST(MAX(ZD_ID) AS BIGINT) + 1 AS a FROM D701"},
    {"TextColumnComparedWithNumber", "SELECT * FROM D701 WHERE ZD_ID = 1",
     "SELECT * FROM D701 WHERE CAST(ZD_ID AS NUMERIC) = 1",
     "SELECT * FROM D701 WHERE CAST(ZD_ID AS BIGINT) = 1"},
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
    {"QualifiedSetColumn", "UPDATE SYS_USER SET SYS_USER.PASSWORD='abc' WHERE (user_id='01')",
     "UPDATE SYS_USER SET PASSWORD = 'abc' WHERE (user_id = '01')", nullptr},
    {"LikeIsCaseBlindOnPostgres", "SELECT * FROM D702 WHERE (T = 0) AND (VIPNAME like '%a%')",
     "SELECT * FROM D702 WHERE (T = 0) AND (VIPNAME like '%a%')",
     "SELECT * FROM D702 WHERE (T = 0) AND (VIPNAME ILIKE '%a%')"},
    {"CaseEndStaysInStatement",
     "SELECT case when S0<>0 then 'a' else 'b' end as M FROM D712A; SELECT 1",
     "SELECT case when S0 <> 0 then 'a' else 'b' end as M FROM D712A\nSELECT 1", nullptr},
    {"DuplicateGuardWithBlock",
     "IF EXISTS (SELECT noid from d712 where(D712.NOID = '1')) select @noid=null else begin INSERT INTO D712 (NOID) VALUES('1'); update d702 set vipf=vipf+3 where vipid='V1'; end ",
     "if SELECT CASE WHEN EXISTS (SELECT noid from d712 where (D712.NOID = '1')) THEN 1 ELSE 0 END\n"
     "  nothing\n"
     "else\n"
     "  begin\n"
     "    INSERT INTO D712(NOID) VALUES ('1')\n"
     "    update d702 set vipf = vipf + 3 where vipid = 'V1'\n"
     "  end",
     nullptr},
    {"InsertSelectIsOneStatement", "INSERT INTO D701 (ZD_ID) SELECT ZD_ID FROM D712",
     "INSERT INTO D701(ZD_ID) SELECT ZD_ID FROM D712", nullptr},
    {"UpdateFromDerivedTable",
     "UPDATE D712A SET DJ = B.DJ FROM (SELECT D712A.WL_ID, D712A.DJ FROM D712A GROUP BY D712A.WL_ID, D712A.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid='1'",
     "UPDATE D712A SET DJ = B.DJ FROM (SELECT D712A.WL_ID, D712A.DJ FROM D712A GROUP BY D712A.WL_ID, D712A.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid = '1'",
     nullptr},
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

TEST(TranslationCache, SameTextIsTranslatedOnce)
{
    TranslationCache cache(2);
    const Catalog cat = shopCatalog();
    auto a = cache.get(QStringLiteral("SELECT 1"), BackendKind::SQLite, cat);
    auto b = cache.get(QStringLiteral("SELECT 1"), BackendKind::SQLite, cat);
    EXPECT_EQ(a.get(), b.get());
    auto pg = cache.get(QStringLiteral("SELECT 1"), BackendKind::PostgreSQL, cat);
    EXPECT_NE(a.get(), pg.get());
    EXPECT_EQ(cache.size(), 2);
    cache.get(QStringLiteral("SELECT 2"), BackendKind::SQLite, cat); // over capacity: starts afresh
    EXPECT_EQ(cache.size(), 1);
}

} // namespace
