// The till's link to its shop: nothing chosen, a shop server over the network, and the
// stand-alone shop file made in the program folder.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "app/tillshoplink.h"
#include "core/clock.h"
#include "core/session.h"
#include "core/text.h"
#include "lockrig.h"
#include "offline/networkwatch.h"
#include "core/terminalsettings.h"
#include "server/remoteshopservice.h"
#include "server/selfsigned.h"
#include "server/sessions.h"
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

// The demo shop behind a shop server in this process, on the rig's clock; the session
// takes its message port, as the settings would give it.
struct ServedShop {
    explicit ServedShop(LinkRig &rig, const server::SelfSignedFiles *tls = nullptr)
        : shop(sql::BackendKind::SQLite, test::TestShop::Content::Demo, rig.clock.now().date())
    {
        server::ServerOptions options;
        if (tls) {
            options.tlsCertificate = tls->certificate;
            options.tlsKey = tls->key;
        }
        options.location = shop.location();
        options.host = QStringLiteral("127.0.0.1");
        options.port = 0;
        options.messagePort = 0;
        options.workers = 1;
        options.keepAliveSeconds = 1;
        options.log = [](const QString &) {};
        server = std::make_unique<server::ShopServer>(options, rig.clock);
        server->start();
        rig.session.connection.indyTcpPort = server->messagePort();
    }

    test::TestShop shop;
    std::unique_ptr<server::ShopServer> server;
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

// A till that does nothing but keep its session alive stays on the server's list of tills
// online long after the window in which a silent till drops off.
TEST(TillShopLink, KeepAlivesAloneKeepTheTillOnTheServersList)
{
    LinkRig rig;
    ServedShop served(rig);
    // The network edition: connected and logged in, no stand-alone shop, a watch that probes.
    ASSERT_TRUE(rig.link->connect(QStringLiteral("127.0.0.1"), served.server->port(), 2000));
    ASSERT_EQ(rig.login().rows.totalRowCount(), 1);
    EXPECT_FALSE(rig.link->standAloneStarted());
    Session::Connection &state = rig.session.connection;
    state.net = 0;
    state.loginFlag = true;
    state.loginOnline = true;
    ASSERT_TRUE(rig.link->service().tcpSend(QStringLiteral("Connect"), {QStringLiteral("01 张丽"), QStringLiteral("CL 1.0")}));
    state.lastMessageExchange = rig.clock.now();

    RemoteShopService office(RemoteServer{QStringLiteral("127.0.0.1"), served.server->port(),
                                          served.server->messagePort(), false, {}});
    ASSERT_EQ(office.thrGetLogin(LoginRequest{QStringLiteral("99"), getMD5(QStringLiteral("99")),
                                              QStringLiteral("office"), QStringLiteral("CL")})
                  .rows.totalRowCount(),
              1);

    NetworkWatch watch(rig.link->connection(), rig.link->watchClientFactory(), rig.clock, 10);
    watch.setLinkUp(true);
    QList<bool> answers;
    QObject::connect(&watch, &NetworkWatch::probed, [&answers](bool reached) { answers.append(reached); });
    watch.start();
    // One keep-alive each time the link has been quiet too long, until well past the window.
    constexpr int quietSpells = server::TillList::OnlineWindowSeconds / (NetworkWatch::QuietSeconds + 1) + 2;
    for (int i = 1; i <= quietSpells; ++i) {
        rig.clock.advanceSeconds(NetworkWatch::QuietSeconds + 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == i; }, 10000)) << i;
    }
    watch.stop();
    EXPECT_EQ(answers, QList<bool>(quietSpells, true));

    const std::optional<QList<wire::OnlineTill>> tills = office.tillsOnline();
    ASSERT_TRUE(tills.has_value());
    ASSERT_EQ(tills->size(), 1);
    EXPECT_EQ(tills->at(0).terminalKey, QStringLiteral("vorel"));
    EXPECT_EQ(tills->at(0).lastSeen, rig.clock.now());
    EXPECT_FALSE(rig.link->connection().isOffline());
}

// The network edition over HTTPS: the till trusts the shop's own certificate named in its
// settings file; without HTTPS it gets nothing from a server that speaks nothing else.
TEST(TillShopLink, HttpsToAServerWithTheShopsOwnCertificate)
{
    LinkRig rig;
    const server::SelfSignedFiles tls =
        server::makeSelfSignedCertificate(rig.home.filePath(QStringLiteral("tls")), {QStringLiteral("127.0.0.1")});
    ServedShop served(rig, &tls);
    QFile file(rig.home.filePath(QString::fromLatin1(TerminalSettingsFileName)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[login]\r\nTLS=1\r\nTLSCA=tls/server.crt\r\n");
    file.close();
    const TerminalSettings settings(file.fileName());
    rig.link->setTransport(settings.serverTls(), settings.serverCertificate());
    ASSERT_TRUE(rig.link->connect(QStringLiteral("127.0.0.1"), served.server->port(), 2000));
    EXPECT_EQ(rig.login().rows.totalRowCount(), 1);

    rig.link->setTransport(false, {});
    ASSERT_TRUE(rig.link->connect(QStringLiteral("127.0.0.1"), served.server->port(), 2000));
    EXPECT_EQ(rig.login().rows.totalRowCount(), 0);
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
