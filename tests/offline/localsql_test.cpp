// The local SQL the other modules run on the store, as they spell it, against the shipped
// schema: the writes go through the wrapper with route "2" (or "1"), the reads through the
// open wrapper with the local flag.

#include <QDate>

#include "core/fakeshopservice.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offlinetestutil.h"

namespace vorel {
namespace {

class LocalSql : public ::testing::Test {
protected:
    LocalSql() : store(dir.storePath()), connection(session, shop, store)
    {
        store.open();
        session.connection.net = 0;
    }

    void write(const QString &sql)
    {
        ASSERT_EQ(connection.execServerSql(opcode::Plain, QStringLiteral("E"), QString(), sql, route::Local), ReplyOk)
            << sql.toStdString() << "\n" << connection.lastLocalError().toStdString();
    }
    ResultSet read(const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(connection.openServerSql(rows, sql, true))
            << sql.toStdString() << "\n" << connection.lastLocalError().toStdString();
        return rows;
    }
    qint64 count(const QString &table) { return test::scalar(store, QStringLiteral("select count(*) from ") + table); }

    // The mirror as a synchronisation leaves it, written with the download's own statements.
    void fillMirror()
    {
        const QStringList batch{
            QStringLiteral("DELETE FROM VD1005;DELETE FROM D1007;DELETE FROM D1101;DELETE FROM D701;DELETE FROM D702;"
                           "DELETE FROM D711;DELETE FROM D1800;DELETE FROM D1809;DELETE FROM D1801;DELETE FROM D1802;"
                           "DELETE FROM D1006;DELETE FROM SYS_USER;DELETE FROM SYS_CO;"),
            QStringLiteral("INSERT INTO VD1005 (COL_ID,COL_NAME,S) VALUES('BK','黑''色','1');"),
            QStringLiteral("INSERT INTO D1801  VALUES('TX001BK','TX001','BK');"),
            QStringLiteral("INSERT INTO D1006  VALUES('M01','上衣','S','M','L','XL','XXL','','','','','',"
                           "'1','2','3','4','5','','','','','','');"),
            QStringLiteral("INSERT INTO D1007 (CK_ID, CK_NAME, CK_GL, CK_TEL, CK_ADDR, CK_NOTE, OID, PYM) "
                           "VALUES('001','南京路旗舰店','王店长','021-1','南京路 1 号','','01','NJLQJD');"),
            QStringLiteral("INSERT INTO D1101 (YW_ID, YW_NAME, BM_ID, TEL, FAX, EMAIL, ADDR, TC, BDATE, EDATE, T, "
                           "NOTE,PYM) VALUES('Y01','小李','01','','','','','0.05','2024-01-02 00:00:00',"
                           "'2001-01-01',0,'','XL');"),
            QStringLiteral("INSERT INTO D701 (CK_ID, ZD_ID, ZD_NAME, ZD_KEY, BDATE, EDATE,db,T) VALUES('001','001',"
                           "'1号收银机','vorel','2001-01-01','2001-01-01',1,0);"),
            QStringLiteral("INSERT INTO D702 (VIPID, VIPNAME, PYM, VIPTEL, VIPFAX, VIPADD, VIPEMAIL, VIPNUM, BDATE, "
                           "EDATE, BIRDATE, VIPGRARD, VIPZK, VIPF, VIPM, VIPNOTE, T) VALUES ('V001','O''Brien',"
                           "'OB','13800000000','','','','','2024-01-02 00:00:00',NULL,'3.15','1','0.9','120',0,'','0');"),
            QStringLiteral("INSERT INTO D711  VALUES('1','早班');"),
            QStringLiteral("INSERT INTO D1800 (K_ID,CLASS_ID,WL_NAME,M_ID,PP,PYM,PFJ,I, cla, clazk, F1, F2,F3, TJ, "
                           "G_ZK,DJ_VIP,G_VIP, G, flag1, flag2, flag3, FA,vipf)   VALUES('TX001','TX','圆领T恤','M01',"
                           "'沃雷','YLTX','199','','','','','','','','','','','','','','','',1);"),
            QStringLiteral("INSERT INTO D1809 (WL_ID,K_ID,M_INDEX,TM) VALUES('TX001BK','TX001','2','6900000000012');"),
            QStringLiteral("INSERT INTO D1802 (WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9) VALUES('TX001BK','0',"
                           "'0','5','0','0','0','0','0','0','0');"),
            QStringLiteral("INSERT INTO SYS_USER (USER_ID, BM_ID, USER_NAME, PASSWORD, T, PYM,pos_qs) VALUES('01',"
                           "'01','张丽','96a3be3cf272e017046d1b2674a52bd3',1,'ZL','11111111111111111');"),
            QStringLiteral("INSERT INTO SYS_CO VALUES('1,1,1,1,1,1,1,1,0,1,1,1,1,1,1,1,1,1,1,1,1,10,1,1,1,1,1,1,1,0');"),
        };
        for (const QString &sql : batch)
            ASSERT_EQ(connection.execLocalSql(sql, false), ReplyOk) << sql.toStdString();
        ASSERT_EQ(connection.execLocalSql(QString(), true), ReplyOk);
    }

    void sellOffline(const QString &noid, const QString &bdate = QStringLiteral("2026-03-02 10:15:00"))
    {
        ASSERT_EQ(connection.execServerSql(opcode::Slip, noid, QStringLiteral("Add"),
                                           test::slipHeader(noid, bdate) + test::slipLine(noid) +
                                               QStringLiteral("update d712 set vipf=19 where noid='%1';").arg(noid),
                                           route::Offline),
                  ReplyOk);
    }

    test::StoreFolder dir;
    LocalStore store;
    Session session;
    FakeShopService shop;
    Connection connection;
};

TEST_F(LocalSql, SlipsAwaitingUploadAreCounted)
{
    sellOffline(QStringLiteral("00110000001"));
    sellOffline(QStringLiteral("00110000002"));
    write(QStringLiteral("UPDATE D712 SET T=1 WHERE noid='00110000001'"));
    const ResultSet rows = read(QStringLiteral("select count(*) as c from d712 WHERE T=0"));
    EXPECT_EQ(rows.field(QStringLiteral("c")).asInt(), 1);
    EXPECT_EQ(rows.column(0).type, FieldType::Integer);
    EXPECT_TRUE(shop.calls().isEmpty());
}

TEST_F(LocalSql, MirrorStatementsStoreTheirValues)
{
    fillMirror();
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM VD1005")).field(QStringLiteral("COL_NAME")).asString(),
              QStringLiteral("黑'色"));
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM D702")).field(QStringLiteral("VIPNAME")).asString(),
              QStringLiteral("O'Brien"));
    const ResultSet sizes = read(QStringLiteral("SELECT M_ID, M0, M4, MC0, NOTE FROM D1006"));
    EXPECT_EQ(sizes.field(QStringLiteral("M4")).asString(), QStringLiteral("XXL"));
    EXPECT_EQ(sizes.field(QStringLiteral("MC0")).asString(), QStringLiteral("1"));
    const ResultSet item = read(QStringLiteral(
        "SELECT D1800.K_ID, D1800.PFJ, D1800.I, D1809.TM, D1809.M_INDEX, VD1005.COL_NAME, D1006.M2, D1802.K2 "
        "FROM D1809 INNER JOIN D1800 ON D1809.K_ID = D1800.K_ID INNER JOIN D1801 ON D1809.WL_ID = D1801.WL_ID "
        "INNER JOIN VD1005 ON D1801.COL_ID = VD1005.COL_ID INNER JOIN D1006 ON D1800.M_ID = D1006.M_ID "
        "LEFT JOIN D1802 ON D1802.WL_ID = D1809.WL_ID "
        "WHERE (D1800.K_ID = '6900000000012') or (D1809.TM='6900000000012') order by D1800.K_ID,D1809.M_INDEX"));
    ASSERT_EQ(item.rowCount(), 1);
    EXPECT_EQ(item.field(QStringLiteral("PFJ")).asMoney().toPlainString(), QStringLiteral("199"));
    EXPECT_EQ(item.field(QStringLiteral("I")).asString(), QString()); // no promotion
    EXPECT_EQ(item.field(QStringLiteral("M2")).asString(), QStringLiteral("L"));
    EXPECT_EQ(item.field(QStringLiteral("K2")).asInt(), 5);
    for (const char *table : {"VD1005", "D1801", "D1006", "D1007", "D1101", "D701", "D702", "D711", "D1800", "D1809",
                              "D1802", "SYS_USER", "SYS_CO"})
        EXPECT_EQ(count(QString::fromLatin1(table)), 1) << table;
}

TEST_F(LocalSql, OfflineDataIsThereOnlyAfterASynchronisation)
{
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM sys_co")).rowCount(), 0);
    fillMirror();
    const ResultSet co = read(QStringLiteral("SELECT * FROM sys_co"));
    ASSERT_EQ(co.rowCount(), 1);
    EXPECT_EQ(co.field(QStringLiteral("param")).asString().split(QLatin1Char(',')).size(), 30);
}

QString offlineLogin(const QString &user, const QString &md5)
{
    return QStringLiteral("SELECT * FROM (SELECT 0 AS I,user_id,user_name,pos_qs FROM SYS_USER where (t=1) and "
                          "user_id='") +
           user + QStringLiteral("' and password='") + md5 +
           QStringLiteral("') A LEFT JOIN (select 0 AS J, AA.CK_ID,AA.CK_NAME,AA.ZD_ID,AA.ZD_NAME,AA.DB,AA.T AS "
                          "ZD_T,AA.ZD_KEY,sys_co.param from SYS_CO CROSS JOIN (SELECT D701.*, D1007.CK_NAME FROM "
                          "D701 INNER JOIN  D1007 ON D701.CK_ID = D1007.CK_ID) AA ) CC ON A.I=CC.J ");
}

TEST_F(LocalSql, OfflineLoginFindsTheUserAndTheTerminal)
{
    fillMirror();
    const ResultSet row = read(offlineLogin(QStringLiteral("01"), QStringLiteral("96a3be3cf272e017046d1b2674a52bd3")));
    ASSERT_EQ(row.rowCount(), 1);
    const struct {
        const char *column;
        const char *value;
    } expected[] = {{"user_id", "01"},   {"user_name", "张丽"}, {"pos_qs", "11111111111111111"},
                    {"CK_ID", "001"},    {"CK_NAME", "南京路旗舰店"}, {"ZD_ID", "001"},
                    {"ZD_NAME", "1号收银机"}, {"DB", "1"},      {"ZD_T", "0"},
                    {"ZD_KEY", "vorel"}, {"param", "1,1,1,1,1,1,1,1,0,1,1,1,1,1,1,1,1,1,1,1,1,10,1,1,1,1,1,1,1,0"}};
    for (const auto &e : expected)
        EXPECT_EQ(row.field(QString::fromLatin1(e.column)).asString(), QString::fromUtf8(e.value)) << e.column;
    EXPECT_TRUE(row.field(QStringLiteral("DB")).asBool());

    EXPECT_EQ(read(offlineLogin(QStringLiteral("01"), QStringLiteral("00000000000000000000000000000000"))).rowCount(), 0);
    write(QStringLiteral("update sys_user set t=0"));
    EXPECT_EQ(read(offlineLogin(QStringLiteral("01"), QStringLiteral("96a3be3cf272e017046d1b2674a52bd3"))).rowCount(), 0);
}

TEST_F(LocalSql, ShiftFromOnDutyToHandover)
{
    fillMirror();
    write(QStringLiteral("INSERT INTO DB_INFO(ZD_ID,BNOID,CLASSID, USER_ID, BDATE, BMONEY, EMONEY, SL) VALUES "
                         "('001','00110000001','1','01','2026-03-02 09:00:00','500.00',0,0);"));
    sellOffline(QStringLiteral("00110000001"));
    // The sale's addition to the shift: settlement fields as the dialog shows them.
    write(QStringLiteral("update db_info set NUM=NUM+1,SL=SL+2,s1=s1+  199.00,s2=s2+0.00,s3=s3+0.00,s4=s4+0.00,"
                         "s5=s5+0.00,s6=s6+0200,s7=s7+  1.00,emoney=emoney+199.00"));
    const ResultSet shift = read(QStringLiteral("select * from db_info "));
    ASSERT_EQ(shift.rowCount(), 1);
    EXPECT_EQ(shift.field(QStringLiteral("NUM")).asInt(), 1);
    EXPECT_EQ(shift.field(QStringLiteral("SL")).asInt(), 2);
    EXPECT_EQ(shift.field(QStringLiteral("s1")).asMoney().toPlainString(), QStringLiteral("199"));
    EXPECT_EQ(shift.field(QStringLiteral("s6")).asMoney().toPlainString(), QStringLiteral("200"));
    EXPECT_EQ(shift.field(QStringLiteral("EMONEY")).asMoney().toPlainString(), QStringLiteral("199"));
    EXPECT_EQ(shift.field(QStringLiteral("BMONEY")).asMoney().toPlainString(), QStringLiteral("500"));
    EXPECT_EQ(shift.field(QStringLiteral("bdate")).asDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
              QStringLiteral("2026-03-02 09:00"));

    // Handover while offline: the shift record goes to the store, the voucher is kept.
    ASSERT_EQ(connection.execServerSql(
                  opcode::Plain, QString(), QString(),
                  QStringLiteral("INSERT INTO D703(ZD_ID,BNOID,ENOID,CLASSID, USER_ID, BDATE, EDATE, BMONEY, EMONEY,"
                                 "sl,num,s1,s2,s3,s4,s5,s6,s7) VALUES ('001','00110000001','00110000002','1','01',"
                                 "'2026-03-02 09:00:00','2026-03-02 17:30:00','500.00','699.00',2,1,199.00,0.00,0.00,"
                                 "0.00,0.00,200,1.00)"),
                  route::Offline),
              ReplyOk);
    write(QStringLiteral("delete from db_info;delete from db_pao;insert into db_pao(t) VALUES ('交班小票\r\n合计 199')"));
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM DB_INFO")).rowCount(), 0);
    const ResultSet voucher = read(QStringLiteral("SELECT * FROM DB_PAO"));
    ASSERT_EQ(voucher.rowCount(), 1);
    EXPECT_EQ(voucher.field(QStringLiteral("t")).asString(), QStringLiteral("交班小票\r\n合计 199"));

    const ResultSet shifts = read(QStringLiteral(
        "SELECT D703.BDATE, D703.EDATE, SYS_USER.USER_ID, SYS_USER.USER_NAME, D703.T, D703.BNOID, D703.ENOID FROM "
        "D703 INNER JOIN SYS_USER on D703.USER_ID = SYS_USER.USER_ID ORDER BY BDATE DESC"));
    ASSERT_EQ(shifts.rowCount(), 1);
    EXPECT_EQ(shifts.field(QStringLiteral("USER_NAME")).asString(), QStringLiteral("张丽"));
    EXPECT_EQ(shifts.field(QStringLiteral("T")).asInt(), 0); // waits for upload
}

TEST_F(LocalSql, LoginRecordsOpenAndClose)
{
    write(QStringLiteral("insert into sys_log_login (user_id, begindate, computer, guid) values ('01',"
                         "'2026-03-02 09:00:00','POS:TILL-1','{1F2E}')"));
    write(QStringLiteral("update sys_log_login set guid=null,enddate='2026-03-02 18:00:00' where guid='{1F2E}'"));
    const ResultSet log = read(QStringLiteral("SELECT * FROM SYS_LOG_LOGIN"));
    ASSERT_EQ(log.rowCount(), 1);
    EXPECT_TRUE(log.field(QStringLiteral("guid")).isNull());
    EXPECT_EQ(log.field(QStringLiteral("enddate")).asString(), QStringLiteral("2026-03-02 18:00:00"));
    write(QStringLiteral("delete from SYS_log_LOGIN;"));
    EXPECT_EQ(count(QStringLiteral("sys_log_login")), 0);
}

TEST_F(LocalSql, RecentSlipsAndDeletingOne)
{
    for (int i = 1; i <= 12; ++i)
        sellOffline(QStringLiteral("0011000%1").arg(i, 4, 10, QLatin1Char('0')));
    const ResultSet recent = read(QStringLiteral(
        "select * from (SELECT NOID, BDATE, S1,S2,S3,S4,S5, S6, S7 FROM D712 order by d712.noid desc Limit 10 ) tmp "
        "order by noid"));
    ASSERT_EQ(recent.rowCount(), 10);
    EXPECT_EQ(recent.field(QStringLiteral("NOID")).asString(), QStringLiteral("00110000003"));
    write(QStringLiteral("delete from d712a where noid='00110000012';delete from d712 where noid='00110000012';"));
    EXPECT_EQ(count(QStringLiteral("d712")), 11);
    EXPECT_EQ(count(QStringLiteral("d712a")), 11);
}

TEST_F(LocalSql, UploadMarksAndRetention)
{
    const auto daysAgo = [](int days) {
        return QDate::currentDate().addDays(-days).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 12:00:00");
    };
    sellOffline(QStringLiteral("00110000001"), daysAgo(31));
    sellOffline(QStringLiteral("00110000002"), daysAgo(29));
    sellOffline(QStringLiteral("00110000003"), daysAgo(31));
    write(QStringLiteral("UPDATE D712 SET T=1 WHERE noid='00110000003'")); // uploaded last time
    write(QStringLiteral("UPDATE D712 SET T=1 WHERE T=0;delete from d712 where (T=1) AND date(bdate,'30 day')"
                         "<datetime(); delete from d712a where noid in (select D712a.noid from d712a left join d712 "
                         "on d712.noid=d712a.noid where D712.noid is null);"));
    const ResultSet left = read(QStringLiteral("select noid, t from d712"));
    ASSERT_EQ(left.rowCount(), 1);
    EXPECT_EQ(left.field(QStringLiteral("noid")).asString(), QStringLiteral("00110000002"));
    EXPECT_EQ(left.field(QStringLiteral("t")).asInt(), 1);
    EXPECT_EQ(count(QStringLiteral("d712a")), 1);

    for (int days : {31, 29}) {
        write(QStringLiteral("INSERT INTO D703(ZD_ID,BNOID,ENOID,CLASSID, USER_ID, BDATE, EDATE, BMONEY, EMONEY,sl,"
                             "num,s1,s2,s3,s4,s5,s6,s7) VALUES ('001','1','2','1','01','%1','%1','0','0',0,0,0,0,0,0,0,"
                             "0,0)")
                  .arg(daysAgo(days)));
    }
    write(QStringLiteral("UPDATE D703 SET T=1 WHERE T=0;delete from D703 where (T=1) AND date(bdate,'30 day')<datetime();"));
    EXPECT_EQ(count(QStringLiteral("d703")), 1);
}

TEST_F(LocalSql, RegistrationClearsTheOfflineData)
{
    fillMirror();
    sellOffline(QStringLiteral("00110000001"));
    write(QStringLiteral("INSERT INTO DB_INFO(ZD_ID,BNOID,CLASSID, USER_ID, BDATE, BMONEY, EMONEY, SL) VALUES "
                         "('001','00110000001','1','01','2026-03-02 09:00:00','0',0,0);"));
    write(QStringLiteral("INSERT INTO D703(ZD_ID,BDATE) VALUES ('001','2026-03-01 09:00:00')"));
    ASSERT_EQ(connection.execServerSql(opcode::Plain, QStringLiteral("E"), QString(),
                                       QStringLiteral("delete from sys_co;delete from db_info;delete from d712a;delete "
                                                      "from d712;delete from d703;delete from sys_user;"),
                                       route::Local),
              ReplyOk);
    for (const char *table : {"sys_co", "db_info", "d712a", "d712", "d703", "sys_user"})
        EXPECT_EQ(count(QString::fromLatin1(table)), 0) << table;
    EXPECT_EQ(count(QStringLiteral("d1800")), 1); // the rest of the mirror stays
}

} // namespace
} // namespace vorel
