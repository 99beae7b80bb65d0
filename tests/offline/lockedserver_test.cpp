// The till against a shop server in this process whose database another writer keeps
// locked: a stock row on PostgreSQL, the whole file on SQLite. The server gives up after its
// retries and refuses the batch; the till takes that as a refusal, not as a lost network,
// and stays online. On SQLite and (with VOREL_TEST_PG) on PostgreSQL.

#include <QCryptographicHash>

#include "core/clock.h"
#include "fakeclock.h"
#include "offlinetestutil.h"
#include "server/remoteshopservice.h"
#include "loopbackserver.h"
#include "testshop.h"

namespace vorel {
namespace {

using sql::BackendKind;

const QString LockedText = QStringLiteral("数据库锁定,请稍后再试!");
const QString Noid = QStringLiteral("00110000001");
// A unit with a stock row in warehouse 001: its slip line takes a piece of size 2 off it.
const QString Unit = QStringLiteral("TX00101");

class LockedServer : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo, clock.now().date());
        // Three attempts end well within the till's time-out.
        server = test::startLoopbackServer(shop->location(), clock, {.lockWaitMs = 100});

        remote = std::make_unique<RemoteShopService>(
            RemoteServer{QStringLiteral("127.0.0.1"), server->port(), server->messagePort(), false, {}}, 5);
        const LoginReply reply = remote->thrGetLogin(
            LoginRequest{QStringLiteral("01"),
                         QString::fromLatin1(QCryptographicHash::hash("01", QCryptographicHash::Md5).toHex()),
                         QStringLiteral("vorel"), QStringLiteral("CL")});
        ASSERT_EQ(reply.rows.totalRowCount(), 1);

        store.open();
        session.connection.net = 0;
        session.connection.loginFlag = true;
        session.connection.loginOnline = true;
        session.connection.offline = false;
        // A batch the till took for a lost network would go to the store instead.
        session.connection.offlineAllowed = true;
        connection = std::make_unique<Connection>(session, *remote, store);
        QObject::connect(connection.get(), &Connection::offlineChanged,
                         [this](bool offline) { offlineSignals.append(offline); });
    }

    QString sendSlip()
    {
        return connection->execServerSql({opcode::Slip, Noid, QStringLiteral("Add")},
                                         test::slipHeader(Noid) + test::slipLine(Noid, Unit), Route::Server);
    }

    // The slips with the test's number and the stock of size 2 left, in the shop.
    std::pair<qint64, qint64> shopState() const
    {
        const auto db = shop->open();
        ResultSet rows;
        db->execute(QStringLiteral("SELECT (SELECT COUNT(*) FROM D712 WHERE NOID = '%1') AS SLIPS, "
                                   "(SELECT K2 FROM D1802 WHERE CK_ID = '001' AND WL_ID = '%2') AS K2")
                        .arg(Noid, Unit),
                    &rows);
        return {rows.fieldAt(0, 0).asInt(), rows.fieldAt(0, 1).asInt()};
    }

    FakeClock clock{QDateTime(QDate(2026, 3, 2), QTime(10, 0, 0))};
    std::unique_ptr<test::TestShop> shop;
    std::unique_ptr<server::ShopServer> server;
    std::unique_ptr<RemoteShopService> remote;
    test::StoreFolder dir;
    LocalStore store{dir.storePath()};
    Session session;
    std::unique_ptr<Connection> connection;
    QList<bool> offlineSignals;
};

TEST_P(LockedServer, TheTillStaysOnlineAndShowsTheRefusal)
{
    const auto [slipsBefore, stockBefore] = shopState();
    ASSERT_EQ(slipsBefore, 0);

    // Another writer holds the stock row the slip line would change (on SQLite: the file).
    const std::unique_ptr<sql::Backend> writer = shop->open();
    writer->begin(true);
    writer->execute(QStringLiteral("UPDATE D1802 SET K2 = K2 WHERE CK_ID = '001' AND WL_ID = '%1'").arg(Unit), nullptr);

    EXPECT_EQ(sendSlip(), LockedText);
    EXPECT_TRUE(Connection::isBusinessRefusal(LockedText));
    EXPECT_FALSE(connection->isOffline());
    EXPECT_FALSE(connection->showsOffline());
    EXPECT_TRUE(offlineSignals.isEmpty());
    EXPECT_EQ(test::scalar(store, QStringLiteral("select count(*) from d712")), 0);
    writer->rollback();

    // Nothing of the refused batch was written; with the lock gone the same slip goes through.
    EXPECT_EQ(shopState(), std::make_pair(qint64(0), stockBefore));
    EXPECT_EQ(sendSlip(), ReplyOk);
    EXPECT_EQ(shopState(), std::make_pair(qint64(1), stockBefore - 1));
    EXPECT_FALSE(connection->isOffline());
}

INSTANTIATE_TEST_SUITE_P(Backends, LockedServer, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

} // namespace
} // namespace vorel
