// Batches run through the engine on a real shop database, on SQLite and on PostgreSQL:
// control flow, rollback on RAISERROR, the replies the till tests for, and the rewrites
// that make T-SQL texts behave the same on both.

#include <gtest/gtest.h>

#include "core/clock.h"
#include "sqlengine/engine.h"
#include "fakeclock.h"
#include "testshop.h"

namespace vorel::sql {

namespace {

using test::TestShop;

class EngineOnShop : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<TestShop>(GetParam(), TestShop::Content::Demo, today_);
        db_ = shop_->open();
        engine_ = std::make_unique<Engine>(*db_, clock_);
    }

    QString reply(const QString &batch) { return engine_->run(batch).reply; }

    // The first value of a query, as text.
    QString scalar(const QString &sql)
    {
        ResultSet rows;
        QString error;
        if (!engine_->query(sql, rows, &error))
            return QStringLiteral("error: ") + error;
        return rows.first() ? rows.field(0).asString() : QStringLiteral("(no row)");
    }

    const QDate today_ = QDate(2026, 12, 5);
    FakeClock clock_{QDateTime(today_, QTime(10, 30, 15))};
    std::unique_ptr<TestShop> shop_;
    std::unique_ptr<Backend> db_;
    std::unique_ptr<Engine> engine_;
};

TEST_P(EngineOnShop, IfExistsTakesTheBranchTheDataSays)
{
    const QString batch = QStringLiteral(
        "if exists (select top 1 ck_qs from sys_co  where ck_qs=1) select CK_ID, CK_NAME FROM VIEW_CK  where (user_id='03')  else select ck_id,ck_name from d1007 ");
    ResultSet rows;
    ASSERT_TRUE(engine_->query(batch, rows));
    EXPECT_EQ(rows.rowCount(), 1); // every warehouse: one in the demo shop
    EXPECT_EQ(rows.field(QStringLiteral("ck_id")).asString(), QStringLiteral("001"));

    ASSERT_EQ(reply(QStringLiteral("update sys_co set ck_qs=1")), QStringLiteral("Y"));
    ASSERT_TRUE(engine_->query(batch, rows));
    EXPECT_EQ(rows.rowCount(), 0) << "user 03 has no warehouse rights";
}

TEST_P(EngineOnShop, RaisErrorUndoesWhatTheBatchDidBeforeIt)
{
    const QString batch = QStringLiteral(
        "INSERT INTO D711 (CLASSID, CLASSNAME) VALUES ('9', '夜班'); "
        "IF EXISTS (SELECT vipid FROM D702 where (vipm<100000) and (vipid='88000001'))"
        "RAISERROR('储值卡余额不足以支付本单!', 16, 1); "
        "INSERT INTO D711 (CLASSID, CLASSNAME) VALUES ('8', '加班');");
    EXPECT_EQ(reply(batch), QStringLiteral("储值卡余额不足以支付本单!"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) as c from d711 where classid in ('8','9')")), QStringLiteral("0"));

    // A severity of 10 or less only informs: the batch goes on and commits.
    EXPECT_EQ(reply(QStringLiteral("INSERT INTO D711 (CLASSID, CLASSNAME) VALUES ('9', '夜班'); RAISERROR('只是提示', 10, 1);")),
              QStringLiteral("Y"));
    EXPECT_EQ(scalar(QStringLiteral("select classname from d711 where classid='9'")), QStringLiteral("夜班"));
}

TEST_P(EngineOnShop, DuplicateSlipHeaderNamesItsKey)
{
    const QString header = QStringLiteral(
        "INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,S5,S6,S7, NOTE) VALUES "
        "('00110000001','001','001','1',NULL,1,NULL,'2026-12-05 10:31:00','01',100,0,0,0,0,100,0,NULL);");
    ASSERT_EQ(reply(header), QStringLiteral("Y"));
    const QString second = reply(header);
    EXPECT_TRUE(second.contains(QStringLiteral("PK_D712"))) << second.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from d712")), QStringLiteral("1"));
}

TEST_P(EngineOnShop, PeriodCheckAcceptsTheOpenPeriodOnly)
{
    auto check = [&](const QString &bdate) {
        return reply(QStringLiteral("IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('%1'>CK_END_DATE) and ('%1'< (CK_END_DATE + 37))) "
                                    "RAISERROR('开单日期不在进销存期间内!', 16, 1); SELECT 1 AS ok")
                         .arg(bdate));
    };
    EXPECT_EQ(check(QStringLiteral("2026-12-05 10:31:00")), QStringLiteral("Y"));
    EXPECT_EQ(check(QStringLiteral("2026-11-20 09:00:00")), QStringLiteral("开单日期不在进销存期间内!")); // before the period
    EXPECT_EQ(check(QStringLiteral("2027-01-05 09:00:00")), QStringLiteral("开单日期不在进销存期间内!")); // 41 days after its start
    EXPECT_EQ(check(QStringLiteral("2026-12-31 23:59:59")), QStringLiteral("Y"));
}

TEST_P(EngineOnShop, GetdateIsTheTillClockInLocalTime)
{
    EXPECT_EQ(scalar(QStringLiteral("SELECT getdate() as D")), QStringLiteral("2026-12-05 10:30:15"));
    ASSERT_EQ(reply(QStringLiteral("insert into sys_log_login (user_id, begindate, computer, guid) values ('01',getdate(),'POS:till','{G1}')")),
              QStringLiteral("Y"));
    clock_.advanceSeconds(60);
    ASSERT_EQ(reply(QStringLiteral("update sys_log_login set guid=null,enddate=getdate() where guid='{G1}'")), QStringLiteral("Y"));
    EXPECT_EQ(scalar(QStringLiteral("select enddate from sys_log_login where user_id='01'")), QStringLiteral("2026-12-05 10:31:15"));
}

TEST_P(EngineOnShop, ResultColumnsKeepTheQuerysSpelling)
{
    ResultSet rows;
    ASSERT_TRUE(engine_->query(QStringLiteral("select max(NOID) AS NOID, count(*) as Cnt FROM D712 WHERE ZD_ID='001'"), rows));
    ASSERT_EQ(rows.columnCount(), 2);
    EXPECT_EQ(rows.column(0).name, QStringLiteral("NOID"));
    EXPECT_EQ(rows.column(1).name, QStringLiteral("Cnt"));
    ASSERT_TRUE(engine_->query(QStringLiteral("SELECT * FROM D711 WHERE CLASSID='1'"), rows));
    EXPECT_EQ(rows.column(0).name.toUpper(), QStringLiteral("CLASSID"));
}

TEST_P(EngineOnShop, TextNumbersBehaveAsTSqlSays)
{
    EXPECT_EQ(scalar(QStringLiteral("SELECT MAX(ZD_ID) + 1 AS a FROM D701")), QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT ZD_NAME FROM D701 WHERE ZD_ID = 1")), QStringLiteral("1号收银机"));
    ASSERT_EQ(reply(QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, BDATE, USER_ID, S1, S6) VALUES "
                                   "('00110000002','001','001','2026-12-05','01','   12.50', ' 100 ')")),
              QStringLiteral("Y"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT S1 + S6 FROM D712 WHERE NOID='00110000002'")), QStringLiteral("112.5"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM D712 WHERE BDATE >= '2026-12-05' AND BDATE < '2026-12-06'")), QStringLiteral("1"));
}

TEST_P(EngineOnShop, ABatchThatCannotBeTranslatedRunsNothing)
{
    const QString r = reply(QStringLiteral("INSERT INTO D711 (CLASSID, CLASSNAME) VALUES ('9', 'x'); SELECT 'abc"));
    EXPECT_TRUE(r.startsWith(QStringLiteral("Unterminated string"))) << r.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from d711 where classid='9'")), QStringLiteral("0"));
}

TEST_P(EngineOnShop, UploadedSlipGuardSkipsASecondUpload)
{
    const QString upload = QStringLiteral(
        "IF NOT EXISTS ( SELECT 1 from sys_co where ('2026-12-05 10:31:00'> CK_END_DATE) and ('2026-12-05 10:31:00'< (CK_END_DATE + 37))) "
        "RAISERROR('开单日期不在进销存期间内!', 16, 1);"
        "IF EXISTS (SELECT noid from d712 where(D712.NOID = '00110000009')) select @noid=null else begin "
        "INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, VIPID, YW_ID,BDATE,USER_ID, NOTE, S1, S2, S3,S4, S5, S6, S7,vipf, T,F,TJ) VALUES("
        "'00110000009','001','001','1','88000001',NULL,'2026-12-05 10:31:00','01','',200,0,0,0,0,200,0,20,1,1,1);"
        "INSERT INTO D712A (NOID, XH, WL_ID, CK_ID, S0,S1,S2,S3,S4,S5,S6,S7,S8,S9, SJ, SMONEY, ZK,ODJ,OMONEY, NOTE,G,FLAG1,FLAG2,FLAG3,vipf) VALUES("
        "'00110000009','1','TX00101','001','0','1','0','0','0','0','0','0','0','0','79','79','1','79','79','',0,0,0,0,1);"
        "INSERT INTO D712A (NOID, XH, WL_ID, CK_ID, S0,S1,S2,S3,S4,S5,S6,S7,S8,S9, SJ, SMONEY, ZK,ODJ,OMONEY, NOTE,G,FLAG1,FLAG2,FLAG3,vipf) VALUES("
        "'00110000009','1','TX00101','001','0','1','0','0','0','0','0','0','0','0','121','121','1','121','121','',0,0,0,0,1);"
        "UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT D1801.WL_ID, D1800.DJ "
        " FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY D1801.WL_ID, D1800.DJ) B "
        "WHERE D712A.WL_ID = B.WL_ID and d712a.noid='00110000009';"
        "update d702 set vipf=vipf+20 where vipid='88000001'; end ");
    const QString points = scalar(QStringLiteral("select vipf from d702 where vipid='88000001'"));
    ASSERT_EQ(reply(upload), QStringLiteral("Y"));
    ASSERT_EQ(reply(upload), QStringLiteral("Y"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from d712a where noid='00110000009'")), QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("select vipf from d702 where vipid='88000001'")), QString::number(points.toInt() + 20));
    EXPECT_EQ(scalar(QStringLiteral("select sum(MONEY) from d712a where noid='00110000009'")), QStringLiteral("158")) << "list price 79 x 2";
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineOnShop, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         [](const auto &info) { return info.param == BackendKind::SQLite ? "SQLite" : "PostgreSQL"; });

} // namespace
} // namespace vorel::sql
