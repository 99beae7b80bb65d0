// The local SQL the other modules run on the store, as they spell it, against the shipped
// schema: the writes go through the wrapper with route "2" (or "1"), the reads through the
// open wrapper with the local flag.

#include <QDate>

#include "offlinetestutil.h"

namespace vorel {
namespace {

class LocalSql : public test::ConnectionFixture {
protected:
    void write(const QString &sql)
    {
        ASSERT_EQ(connection.execServerSql({opcode::Plain, QStringLiteral("E")}, sql, Route::Local), ReplyOk)
            << sql.toStdString() << "\n" << connection.lastLocalError().toStdString();
    }
    ResultSet read(const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(connection.openServerSql(rows, sql, true))
            << sql.toStdString() << "\n" << connection.lastLocalError().toStdString();
        return rows;
    }

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
        ASSERT_EQ(connection.execServerSql({opcode::Slip, noid, QStringLiteral("Add")}, test::slipBatch(noid, bdate), Route::Offline),
                  ReplyOk);
    }
};

TEST_F(LocalSql, MirrorStatementsStoreTheirValues)
{
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM sys_co")).rowCount(), 0); // nothing before a synchronisation
    fillMirror();
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM VD1005")).field(QStringLiteral("COL_NAME")).asString(),
              QStringLiteral("黑'色"));
    EXPECT_EQ(read(QStringLiteral("SELECT * FROM D702")).field(QStringLiteral("VIPNAME")).asString(),
              QStringLiteral("O'Brien"));
    const ResultSet sizes = read(QStringLiteral("SELECT M_ID, M0, M4, MC0, NOTE FROM D1006"));
    EXPECT_EQ(sizes.field(QStringLiteral("M4")).asString(), QStringLiteral("XXL"));
    EXPECT_EQ(sizes.field(QStringLiteral("MC0")).asString(), QStringLiteral("1"));
    for (const char *table : {"VD1005", "D1801", "D1006", "D1007", "D1101", "D701", "D702", "D711", "D1800", "D1809",
                              "D1802", "SYS_USER", "SYS_CO"})
        EXPECT_EQ(count(QString::fromLatin1(table)), 1) << table;
}

TEST_F(LocalSql, HandoverWhileOfflineKeepsTheShiftForUpload)
{
    fillMirror();
    write(QStringLiteral("INSERT INTO DB_INFO(ZD_ID,BNOID,CLASSID, USER_ID, BDATE, BMONEY, EMONEY, SL) VALUES "
                         "('001','00110000001','1','01','2026-03-02 09:00:00','500.00',0,0);"));
    // The shift record goes to the store, the voucher is kept.
    ASSERT_EQ(connection.execServerSql({opcode::Plain}, QStringLiteral("INSERT INTO D703(ZD_ID,BNOID,ENOID,CLASSID, USER_ID, BDATE, EDATE, BMONEY, EMONEY,"
                                 "sl,num,s1,s2,s3,s4,s5,s6,s7) VALUES ('001','00110000001','00110000002','1','01',"
                                 "'2026-03-02 09:00:00','2026-03-02 17:30:00','500.00','699.00',2,1,199.00,0.00,0.00,"
                                 "0.00,0.00,200,1.00)"), Route::Offline),
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
    const ResultSet waiting = read(QStringLiteral("select count(*) as c from d712 WHERE T=0"));
    EXPECT_EQ(waiting.column(0).type, FieldType::Integer);
    EXPECT_EQ(waiting.field(QStringLiteral("c")).asInt(), 2);
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
    EXPECT_TRUE(shop.calls().isEmpty());
}

} // namespace
} // namespace vorel
