// The synchronisation against a real shop server on loopback, on SQLite and (with
// VOREL_TEST_PG) PostgreSQL: offline records reach the shop once whatever call fails, the
// mirror is replaced whole or not at all, and DBDATETIME tells which.

#include <QCryptographicHash>
#include <functional>

#include "core/terminalsettings.h"
#include "fakeclock.h"
#include "loopbackserver.h"
#include "offline/syncdesk.h"
#include "offline/synchroniser.h"
#include "offlinetestutil.h"
#include "server/remoteshopservice.h"
#include "testshop.h"

namespace vorel {
namespace {

using sql::BackendKind;

const QString Member = QStringLiteral("88000002");
constexpr int PointsPerSlip = 7;

// Forwards to the real service, except that one call of the run is lost: before it reaches
// the server, or after the server committed it (the reply never comes back). A tamper hook
// may also change what a read returns.
class FlakyShop final : public ShopService {
public:
    explicit FlakyShop(ShopService &inner) : inner_(inner) {}

    int failExecAt = 0;      // 1-based call to lose, 0 none
    int failOpenAt = 0;
    bool afterServer = false;
    std::function<void(ResultSet &)> tamper;
    int execCalls = 0;
    int openCalls = 0;

    QString posExecSql(const QString &code, const QString &key, const QString &op, const QString &sql,
                       int timeout) override
    {
        if (++execCalls == failExecAt) {
            if (afterServer)
                inner_.posExecSql(code, key, op, sql, timeout);
            setLastBytes(0, 0);
            return RemoteShopService::UnreachableReply;
        }
        const QString reply = inner_.posExecSql(code, key, op, sql, timeout);
        setLastBytes(inner_.lastBytesSent(), inner_.lastBytesReceived());
        return reply;
    }
    bool posOpenSql(ResultSet &out, const QString &sql) override
    {
        if (++openCalls == failOpenAt) {
            out = ResultSet();
            return false;
        }
        const bool ok = inner_.posOpenSql(out, sql);
        if (ok && tamper)
            tamper(out);
        setLastBytes(inner_.lastBytesSent(), inner_.lastBytesReceived());
        return ok;
    }
    LoginReply thrGetLogin(const LoginRequest &r) override { return inner_.thrGetLogin(r); }
    QString getNoId(const QString &c, const QString &k, int n) override { return inner_.getNoId(c, k, n); }
    bool tcpSend(const QString &k, const QStringList &f) override { return inner_.tcpSend(k, f); }
    bool lastCallReachedServer() const override { return inner_.lastCallReachedServer(); }

private:
    ShopService &inner_;
};

class Sync : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo, clock.now().date());
        server = test::startLoopbackServer(shop->location(), clock);
        remote = std::make_unique<RemoteShopService>(
            RemoteServer{QStringLiteral("127.0.0.1"), server->port(), server->messagePort(), false, {}}, 10);
        const LoginReply reply = remote->thrGetLogin(
            LoginRequest{QStringLiteral("01"),
                         QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex()),
                         QStringLiteral("vorel"), QStringLiteral("CL")});
        ASSERT_EQ(reply.rows.totalRowCount(), 1);
        flaky = std::make_unique<FlakyShop>(*remote);
        store.open();
    }

    // A slip kept offline: a member's sale with a remark that holds an apostrophe, one piece
    // and the cash-off line.
    void keepSlip(int number)
    {
        const QString noid = QStringLiteral("001%1").arg(10000000 + number);
        store.execute(QStringLiteral("INSERT INTO D712 (NOID,CK_ID,ZD_ID,CLASSID,VIPID,BDATE,USER_ID,S1,S6,S7,NOTE,VIPF) "
                                     "VALUES ('%1','001','001','1','%2','%3','01',69,100,31,'it''s a gift',%4);"
                                     "INSERT INTO D712A (NOID,WL_ID,CK_ID,S2,SJ,SMONEY,ODJ,OMONEY,NOTE,VIPF) VALUES "
                                     "('%1','TX00101','001',1,79,79,79,79,'',1),('%1','ZZZZZ','001',0,-10,-10,0,0,'',0);")
                          .arg(noid, Member, formatDateTime(clock.now()))
                          .arg(PointsPerSlip));
    }
    void keepSlips(int from, int count)
    {
        store.begin();
        for (int i = 0; i < count; ++i)
            keepSlip(from + i);
        store.commit();
    }

    qint64 onServer(const QString &sql) const
    {
        const auto db = shop->open();
        ResultSet rows;
        db->execute(sql, &rows);
        return rows.totalRowCount() > 0 ? rows.fieldAt(0, 0).asInt() : -1;
    }
    qint64 points() const { return onServer(QStringLiteral("SELECT VIPF FROM D702 WHERE VIPID='%1'").arg(Member)); }
    // Slips and lines of numbers [from, from + count) on the server.
    std::pair<qint64, qint64> slipsOnServer(int from, int count) const
    {
        const QString range = QStringLiteral("NOID BETWEEN '001%1' AND '001%2'").arg(10000000 + from).arg(10000000 + from + count - 1);
        return {onServer(QStringLiteral("SELECT COUNT(*) FROM D712 WHERE ") + range),
                onServer(QStringLiteral("SELECT COUNT(*) FROM D712A WHERE ") + range)};
    }
    qint64 local(const QString &sql) { return test::scalar(store, sql); }

    Synchroniser synchroniser() { return Synchroniser(store, *flaky, settings, clock, 10); }
    int run() { return synchroniser().run(terminal); }

    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    std::unique_ptr<test::TestShop> shop;
    std::unique_ptr<server::ShopServer> server;
    std::unique_ptr<RemoteShopService> remote;
    std::unique_ptr<FlakyShop> flaky;
    test::StoreFolder dir;
    LocalStore store{dir.storePath()};
    TerminalSettings settings{dir.file(QStringLiteral("VOREL.DLL"))};
    SyncTerminal terminal{QStringLiteral("001"), QStringLiteral("001"), 30, 30};
};

TEST_P(Sync, OfflineWorkReachesTheShopOnceAndTheMirrorIsReplaced)
{
    keepSlips(1, 3);
    store.execute(QStringLiteral(
        "INSERT INTO D703 (ZD_ID,CLASSID,USER_ID,BDATE,EDATE,BMONEY,EMONEY,S1,S6,SL,NUM,BNOID,ENOID) VALUES "
        "('001','1','01','2026-12-05 08:00:00','2026-12-05 09:30:00',200,407,207,207,3,3,'00110000001','00110000003');"
        "INSERT INTO SYS_LOG_LOGIN (USER_ID,BEGINDATE,ENDDATE,COMPUTER) VALUES ('01','2026-12-05 08:00:00',"
        "'2026-12-05 09:30:00','收银台一号机器名称很长的'),('02','2026-12-05 09:31:00',NULL,'PC2');"));
    const qint64 pointsBefore = points();

    Synchroniser sync = synchroniser();
    ASSERT_EQ(sync.run(terminal), Synchroniser::Done) << sync.lastError().toStdString();
    EXPECT_EQ(sync.summary(), QStringLiteral("上传交班记录:1 登录记录:2 销售单据:3"));
    EXPECT_EQ(sync.progress().gauge, 100);

    EXPECT_EQ(slipsOnServer(1, 3), std::make_pair(qint64(3), qint64(6)));
    EXPECT_EQ(onServer(QStringLiteral("SELECT COUNT(*) FROM D712 WHERE NOTE='it''s a gift' AND T=1 AND F=1 AND TJ=1")), 3);
    EXPECT_EQ(points(), pointsBefore + 3 * PointsPerSlip);
    // The list price refreshed on the item lines.
    EXPECT_EQ(onServer(QStringLiteral("SELECT COUNT(*) FROM D712A WHERE WL_ID='TX00101' AND DJ > 0 AND MONEY = DJ")), 3);
    EXPECT_EQ(onServer(QStringLiteral("SELECT COUNT(*) FROM D703 WHERE ZD_ID='001' AND EMONEY=407")), 1);
    EXPECT_EQ(onServer(QStringLiteral("SELECT COUNT(*) FROM SYS_LOG_LOGIN WHERE COMPUTER LIKE '<离线>%' AND "
                                      "(ENDDATE IS NOT NULL OR USER_ID='02')")), 2);
    // "<离线>" and the machine name, 20 GBK bytes in all.
    EXPECT_EQ(onServer(QStringLiteral("SELECT COUNT(*) FROM SYS_LOG_LOGIN WHERE COMPUTER='<离线>收银台一号机器'")), 1);

    EXPECT_EQ(local(QStringLiteral("select count(*) from d712 where t=0")), 0);
    EXPECT_EQ(local(QStringLiteral("select count(*) from d703 where t=0")), 0);
    EXPECT_EQ(local(QStringLiteral("select count(*) from sys_log_login")), 0);
    // The mirror: the 38 styles on sale in 001, every member, one company row, the server time.
    EXPECT_EQ(local(QStringLiteral("select count(*) from d1800")), 38);
    EXPECT_EQ(local(QStringLiteral("select count(*) from d702")), onServer(QStringLiteral("SELECT COUNT(*) FROM D702")));
    EXPECT_EQ(local(QStringLiteral("select vipf from d702 where vipid='88000002'")), points());
    EXPECT_EQ(local(QStringLiteral("select count(*) from sys_co")), 1);
    EXPECT_TRUE(Synchroniser::hasOfflineData(store));
    EXPECT_TRUE(parseDateTime(settings.lastSyncTime()).isValid()) << settings.lastSyncTime().toStdString();

    // A second run sends nothing again.
    Synchroniser again = synchroniser();
    ASSERT_EQ(again.run(terminal), Synchroniser::Done);
    EXPECT_TRUE(again.summary().isEmpty());
    EXPECT_EQ(slipsOnServer(1, 3), std::make_pair(qint64(3), qint64(6)));
    EXPECT_EQ(points(), pointsBefore + 3 * PointsPerSlip);
}

// An upload of 50 slips is run again and again, each run losing its next call, before or
// after the server took it, with the till restarted in between: every call position fails
// once. Nothing is lost, nothing doubled, the points are exact.
TEST_P(Sync, ALostCallAnywhereNeitherLosesNorDoublesASlip)
{
    constexpr int Slips = 50;
    constexpr int Calls = Slips + 1; // the pseudo item, then one call per slip
    int first = 1;
    for (const bool afterServer : {false, true}) {
        SCOPED_TRACE(afterServer ? "lost after the server" : "lost before the server");
        keepSlips(first, Slips);
        const qint64 pointsBefore = points();
        flaky->afterServer = afterServer;
        for (int k = 1; k <= Calls; ++k) {
            SCOPED_TRACE(testing::Message() << "call " << k);
            flaky->execCalls = 0;
            flaky->failExecAt = k;
            Synchroniser failing = synchroniser();
            failing.begin(terminal);
            EXPECT_THROW(failing.upload(), ShopServiceError);
            // Call k carries slip k - 1.
            const int taken = std::max(0, afterServer ? k - 1 : k - 2);
            EXPECT_EQ(slipsOnServer(first, Slips).first, taken);
            EXPECT_EQ(points(), pointsBefore + taken * PointsPerSlip);
            EXPECT_EQ(local(QStringLiteral("select count(*) from d712 where t=0")), Slips);
            store.close();
            store.open();
        }
        flaky->failExecAt = 0;
        Synchroniser again = synchroniser();
        again.begin(terminal);
        again.upload();
        EXPECT_EQ(slipsOnServer(first, Slips), std::make_pair(qint64(Slips), qint64(2 * Slips)));
        EXPECT_EQ(points(), pointsBefore + Slips * PointsPerSlip);
        EXPECT_EQ(local(QStringLiteral("select count(*) from d712 where t=0")), 0);
        first += Slips;
    }
}

// A slip committed online whose reply was lost, so the till also kept it offline, and a slip
// dated before the open period, which the shop refuses: the run stops there, later slips
// wait, and once the cashier deleted the refused slip offline everything goes up.
TEST_P(Sync, KnownSlipsAreSkippedAndARefusedSlipStopsTheRun)
{
    keepSlips(1, 3);
    ASSERT_EQ(synchroniser().run(terminal), Synchroniser::Done);
    const qint64 pointsBefore = points();
    // 4 reached the shop online as well; 5 is dated a year back.
    keepSlips(4, 3);
    const QString twice = QStringLiteral("00110000004");
    store.execute(QStringLiteral("UPDATE D712 SET BDATE='2025-12-01 10:00:00' WHERE NOID='00110000005'"));
    ASSERT_EQ(remote->posExecSql(opcode::Slip, twice, QStringLiteral("Add"),
                                 QStringLiteral("INSERT INTO D712 (NOID,CK_ID,ZD_ID,CLASSID,VIPID,BDATE,USER_ID,S1,VIPF) "
                                                "VALUES ('%1','001','001','1','%2','%3','01',69,%4);"
                                                "update d702 set vipf=vipf+%4 where vipid='%2';")
                                     .arg(twice, Member, formatDateTime(clock.now()))
                                     .arg(PointsPerSlip),
                                 10),
              ReplyOk);

    Synchroniser refused = synchroniser();
    EXPECT_EQ(refused.run(terminal), Synchroniser::UploadFailed);
    EXPECT_TRUE(refused.lastError().contains(QStringLiteral("开单日期不在进销存期间内!")));
    EXPECT_EQ(slipsOnServer(4, 3).first, 1);
    EXPECT_EQ(points(), pointsBefore + PointsPerSlip);
    EXPECT_EQ(local(QStringLiteral("select count(*) from d712 where t=0")), 3);

    // Offline, the recent slips list deletes the refused slip from the store only.
    Session session;
    session.connection.offline = true;
    FakeShopService none;
    Connection connection(session, none, store);
    RecentSlips recent(connection);
    recent.load(QStringLiteral("001"));
    ASSERT_EQ(recent.rows().totalRowCount(), 6);
    ASSERT_TRUE(recent.canDelete());
    recent.rows().setRecNo(4);
    ASSERT_EQ(recent.rows().field(QStringLiteral("NOID")).asString(), QStringLiteral("00110000005"));
    ASSERT_TRUE(recent.remove(4));
    EXPECT_EQ(local(QStringLiteral("select count(*) from d712a where noid='00110000005'")), 0);

    ASSERT_EQ(synchroniser().run(terminal), Synchroniser::Done);
    EXPECT_EQ(slipsOnServer(4, 3), std::make_pair(qint64(2), qint64(2)));
    EXPECT_EQ(points(), pointsBefore + 2 * PointsPerSlip);
}

// A download that fails, at a read or half-way through the save, keeps the old mirror whole
// and leaves the failure in DBDATETIME; the offline login still finds its cashier.
TEST_P(Sync, AFailedDownloadKeepsTheOldMirror)
{
    ASSERT_EQ(synchroniser().run(terminal), Synchroniser::Done);
    const auto db = shop->open();
    db->execute(QStringLiteral("INSERT INTO D702 (VIPID, VIPNAME, BDATE) VALUES ('88009999', 'O''Brien', '2026-12-01')"),
                nullptr);

    struct Failure {
        const char *what;
        int failOpenAt;
        bool duplicateBarcode;
    };
    for (const Failure &f : {Failure{"the members read", 6, false}, Failure{"a barcode twice", 0, true},
                             Failure{"the server time", 14, false}}) {
        SCOPED_TRACE(f.what);
        const qint64 members = local(QStringLiteral("select count(*) from d702"));
        const qint64 barcodes = local(QStringLiteral("select count(*) from d1809"));
        flaky->openCalls = 0;
        flaky->failOpenAt = f.failOpenAt;
        flaky->tamper = [&f](ResultSet &rows) {
            if (f.duplicateBarcode && rows.hasColumn(QStringLiteral("TM")) && rows.totalRowCount() > 1)
                rows.appendRow(rows.rawRow(0));
        };
        EXPECT_EQ(run(), Synchroniser::DownloadFailed);
        EXPECT_TRUE(settings.lastSyncTime().startsWith(Synchroniser::StampFailurePrefix));
        EXPECT_FALSE(store.inTransaction());
        if (f.failOpenAt != 14) {
            EXPECT_EQ(local(QStringLiteral("select count(*) from d702")), members);
            EXPECT_EQ(local(QStringLiteral("select count(*) from d1809")), barcodes);
        }
        EXPECT_EQ(local(QStringLiteral("select count(*) from sys_user where user_id='01' and password='%1'")
                            .arg(QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex()))),
                  1);
    }
    flaky->failOpenAt = 0;
    flaky->tamper = nullptr;
    ASSERT_EQ(run(), Synchroniser::Done);
    EXPECT_EQ(store.query(QStringLiteral("select vipname from d702 where vipid='88009999'")).fieldAt(0, 0).asString(),
              QStringLiteral("O'Brien"));
}

INSTANTIATE_TEST_SUITE_P(Backends, Sync, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

} // namespace
} // namespace vorel
