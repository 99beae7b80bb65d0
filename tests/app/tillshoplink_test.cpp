// The till's link to its shop: nothing chosen, a shop server over the network, and the
// stand-alone shop file made in the program folder.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>

#include "app/tillshoplink.h"
#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "lockrig.h"
#include "server/shopserver.h"

#include "fakeclock.h"

using namespace vorel;

namespace {

struct LinkRig {
    LinkRig()
    {
        store = test::freshLocalStore(home);
        link = std::make_unique<TillShopLink>(session, *store, clock,
                                              home.filePath(QString::fromLatin1(TillShopLink::ShopFileName)));
    }
    LoginReply login()
    {
        return link->service().thrGetLogin(
            LoginRequest{QStringLiteral("01"), getMD5(QStringLiteral("01")), QStringLiteral("vorel"),
                         QStringLiteral("CL")});
    }

    QTemporaryDir home;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0))};
    Session session;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<TillShopLink> link;
};

TEST(TillShopLink, WithoutAShopNothingAnswers)
{
    LinkRig rig;
    ResultSet rows;
    EXPECT_FALSE(rig.link->service().posOpenSql(rows, QStringLiteral("select 1")));
    EXPECT_FALSE(rig.login().reachable);
    EXPECT_FALSE(rig.link->service().lastCallReachedServer());

    // A port nobody listens on.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const int port = closed.serverPort();
    closed.close();
    EXPECT_FALSE(rig.link->connect(QStringLiteral("127.0.0.1"), port, 500));
    EXPECT_FALSE(rig.login().reachable);
}

TEST(TillShopLink, TheNetworkEditionReachesItsServer)
{
    LinkRig rig;
    test::TestShop shop(sql::BackendKind::SQLite, test::TestShop::Content::Demo, rig.clock.now().date());
    server::ServerOptions options;
    options.location = shop.location();
    options.host = QStringLiteral("127.0.0.1");
    options.port = 0;
    options.messagePort = 0;
    options.workers = 1;
    options.log = [](const QString &) {};
    server::ShopServer server(options, rig.clock);
    server.start();
    rig.session.connection.indyTcpPort = server.messagePort();

    ASSERT_TRUE(rig.link->connect(QStringLiteral("127.0.0.1"), server.port(), 2000));
    const LoginReply reply = rig.login();
    ASSERT_TRUE(reply.reachable);
    EXPECT_EQ(reply.rows.totalRowCount(), 1);
    EXPECT_FALSE(rig.link->standAloneStarted());
    EXPECT_TRUE(static_cast<bool>(rig.link->watchClientFactory()));
    // The connection layer goes through the same service.
    ResultSet rows;
    EXPECT_TRUE(rig.link->connection().openServerSql(rows, QStringLiteral("select CK_NAME from D1007 where CK_ID='001'")));
}

TEST(TillShopLink, TheStandAloneEditionMakesItsShopOnce)
{
    LinkRig rig;
    const QString file = rig.home.filePath(QString::fromLatin1(TillShopLink::ShopFileName));
    ASSERT_FALSE(QFileInfo::exists(file));
    rig.link->startStandAlone();
    EXPECT_TRUE(QFileInfo::exists(file));
    LocalShopService *first = rig.link->localService();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(rig.login().rows.totalRowCount(), 1);
    rig.link->startStandAlone();
    EXPECT_EQ(rig.link->localService(), first);
    EXPECT_FALSE(static_cast<bool>(rig.link->watchClientFactory()));
}

} // namespace
