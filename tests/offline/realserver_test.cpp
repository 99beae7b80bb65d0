// The wrappers and the network watch against a real vorel-server process on a demo shop:
// the server goes away in the middle of a session and comes back. The other outcomes of a
// failed call walk the same branches as the scripted ones in connection_test.cpp.

#include <QCryptographicHash>
#include <QProcess>

#include "core/clock.h"
#include "loopback.h"
#include "offline/networkwatch.h"
#include "offlinetestutil.h"
#include "server/remoteshopservice.h"

#include "fakeclock.h"

namespace vorel {
namespace {

class RealServer : public ::testing::Test {
protected:
    RealServer() : store(dir.storePath())
    {
        remote.port = test::freePort();
        remote.messagePort = test::freePort();
        shopFile = dir.file(QStringLiteral("shop.db"));
        QProcess init;
        init.start(QStringLiteral(VOREL_SERVER_EXE),
                   {QStringLiteral("init"), QStringLiteral("--db"), shopFile, QStringLiteral("--demo")});
        EXPECT_TRUE(init.waitForFinished(60000));
        EXPECT_EQ(init.exitCode(), 0) << init.readAllStandardError().toStdString();
        store.open();
        session.connection.net = 0;
    }
    ~RealServer() override
    {
        watch.reset();
        stopServer();
    }

    void startServer()
    {
        server = std::make_unique<QProcess>();
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->start(QStringLiteral(VOREL_SERVER_EXE),
                      {QStringLiteral("serve"), QStringLiteral("--db"), shopFile, QStringLiteral("--host"),
                       QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(remote.port),
                       QStringLiteral("--msg-port"), QString::number(remote.messagePort), QStringLiteral("--threads"),
                       QStringLiteral("2")});
        ASSERT_TRUE(server->waitForStarted(10000));
        RemoteShopService probe(remote, 1);
        ASSERT_TRUE(test::waitUntil([&] {
            return server->state() == QProcess::Running && probe.tcpSend(QStringLiteral("0"), {});
        }, 20000)) << "vorel-server did not come up";
    }
    // The server dies the hard way, as with a pulled cable or a crash.
    void stopServer()
    {
        if (!server)
            return;
        server->kill();
        server->waitForFinished(10000);
        server.reset();
    }

    // An online login of cashier 01 on terminal 001; the session as the login leaves it.
    void loginOnline()
    {
        const LoginReply reply = shop->thrGetLogin(
            LoginRequest{QStringLiteral("01"),
                         QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex()),
                         QStringLiteral("vorel"), QStringLiteral("CL")});
        ASSERT_TRUE(reply.reachable);
        ASSERT_EQ(reply.rows.rowCount(), 1);
        session.applyCompanyParams(reply.rows.field(QStringLiteral("param")).asString());
        session.connection.offline = false;
        session.connection.loginOnline = true;
        session.connection.loginFlag = true;
        ASSERT_TRUE(session.connection.offlineAllowed);
    }

    void connect()
    {
        shop = std::make_unique<RemoteShopService>(remote, 3);
        connection = std::make_unique<Connection>(session, *shop, store);
        QObject::connect(connection.get(), &Connection::offlineChanged,
                         [this](bool offline) { offlineSignals.append(offline); });
    }

    qint64 localCount(const QString &sql) { return test::scalar(store, sql); }
    qint64 serverCount(const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(shop->posOpenSql(rows, sql));
        return rows.rowCount() > 0 ? rows.fieldAt(0, 0).asInt() : -1;
    }

    test::StoreFolder dir;
    QString shopFile;
    RemoteServer remote;
    std::unique_ptr<QProcess> server;
    LocalStore store;
    Session session;
    std::unique_ptr<RemoteShopService> shop;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<NetworkWatch> watch;
    QList<bool> offlineSignals;
};

TEST_F(RealServer, AServerThatDiesMidSessionSendsTheSlipToTheLocalStore)
{
    startServer();
    connect();
    loginOnline();
    const QString first = QStringLiteral("00110000001");
    EXPECT_EQ(connection->execServerSql({opcode::Slip, first, QStringLiteral("Add")}, test::slipBatch(first), Route::Server),
              ReplyOk);
    EXPECT_EQ(serverCount(QStringLiteral("select count(*) as c from d712 where noid='00110000001' and vipf=19")), 1);

    // Business refusals come back unchanged and leave the till online.
    const QString duplicate =
        connection->execServerSql({opcode::Slip, first, QStringLiteral("Add")}, test::slipBatch(first), Route::Server);
    EXPECT_TRUE(duplicate.contains(QStringLiteral("PK_D712"))) << duplicate.toStdString();
    const QString locked = connection->execServerSql({opcode::Plain}, QStringLiteral("IF EXISTS (SELECT 1 FROM SYS_CO) RAISERROR('单据已被其他收银员锁定!', 16, 1);"), Route::Server);
    EXPECT_EQ(locked, QStringLiteral("单据已被其他收银员锁定!"));
    EXPECT_FALSE(connection->isOffline());
    EXPECT_EQ(localCount(QStringLiteral("select count(*) from d712")), 0);

    stopServer();
    const QString second = QStringLiteral("00110000002");
    EXPECT_EQ(connection->execServerSql({opcode::Slip, second, QStringLiteral("Add")}, test::slipBatch(second), Route::Server),
              ReplyOk);
    EXPECT_TRUE(connection->isOffline());
    EXPECT_TRUE(connection->showsOffline());
    EXPECT_EQ(offlineSignals, QList<bool>{true});
    EXPECT_EQ(localCount(QStringLiteral("select count(*) from d712 where noid='00110000002' and T=0 and vipf=19")), 1);
    EXPECT_EQ(localCount(QStringLiteral("select count(*) from d712a where noid='00110000002'")), 1);

    // Offline, the callers read and write the store.
    ResultSet pending;
    ASSERT_TRUE(connection->openServerSql(pending, QStringLiteral("select count(*) as c from d712 WHERE T=0")));
    EXPECT_EQ(pending.field(QStringLiteral("c")).asInt(), 1);
}

TEST_F(RealServer, TheWatchBringsAnOnlineSessionBackWhenTheServerReturns)
{
    startServer();
    connect();
    loginOnline();
    FakeClock clock;
    const RemoteServer where = remote;
    watch = std::make_unique<NetworkWatch>(
        *connection, [where] { return std::make_unique<RemoteShopService>(where, 1); }, clock, 20);
    int answers = 0;
    QObject::connect(watch.get(), &NetworkWatch::probed, [&answers](bool) { ++answers; });
    watch->start();
    ASSERT_TRUE(test::waitUntil([&] { return answers >= 1; }));
    EXPECT_TRUE(watch->linkUp());
    EXPECT_FALSE(connection->isOffline());

    stopServer();
    const QString noid = QStringLiteral("00110000005");
    EXPECT_EQ(connection->execServerSql({opcode::Slip, noid, QStringLiteral("Add")}, test::slipBatch(noid), Route::Server),
              ReplyOk);
    EXPECT_TRUE(connection->isOffline());
    // The link looked fine half a minute ago: the watch waits before it asks.
    test::spin(200);
    EXPECT_EQ(answers, 1);
    clock.advanceSeconds(31);
    ASSERT_TRUE(test::waitUntil([&] { return answers >= 2; }));
    EXPECT_FALSE(watch->linkUp());
    EXPECT_TRUE(connection->isOffline());

    startServer();
    ASSERT_TRUE(test::waitUntil([&] { return !connection->isOffline(); }, 20000));
    EXPECT_FALSE(connection->showsOffline());
    EXPECT_TRUE(watch->linkUp());
}

} // namespace
} // namespace vorel
