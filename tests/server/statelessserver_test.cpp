// Two vorel-server instances in front of one shop database, as behind a load balancer: a
// till logged in through one is served by the other, and both list the same tills. On
// SQLite and (with VOREL_TEST_PG) on PostgreSQL.

#include <gtest/gtest.h>

#include "server/sessions.h"
#include "server/shopdatabase.h"
#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

const QString NoSession = QStringLiteral("未登录或登录已失效,请重新登录!");
const QStringList connectFields{"01 张丽", "CL 1.0", "0", "secret", "*", "guid-1", "", "", ""};

class TwoServersTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        // Made by the schema script alone: the first server to start draws the shop's key.
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo);
        a_ = startServer(shop_->location());
        b_ = startServer(shop_->location());
    }

    std::unique_ptr<ShopServer> startServer(const QString &location)
    {
        return test::startServer(location, clock_, &log_, 2, 1);
    }

    static QByteArray login(const ShopServer &server, const char *user, const char *key = "vorel")
    {
        const QByteArray body = QByteArray(R"({"user":")") + user + R"(","password_md5":")" + test::md5(user).toLatin1()
                                + R"(","terminal_key":")" + key + R"(","database":"CL"})";
        const QByteArray answer = test::rawPost(server.port(), "/login", body);
        EXPECT_EQ(test::httpStatus(answer), 200) << answer.toStdString();
        const wire::Json json = wire::parseObject(test::httpBody(answer).toStdString());
        return wire::toQString(json.value("token", wire::Json())).toLatin1();
    }

    // The status and body of a read through `server` with `token`.
    static std::pair<int, wire::Json> open(const ShopServer &server, const QByteArray &token)
    {
        const QByteArray answer =
            test::rawPost(server.port(), "/open", R"({"sql":"SELECT USER_NAME FROM SYS_USER WHERE USER_ID = '01'"})", token);
        return {test::httpStatus(answer), wire::parseObject(test::httpBody(answer).toStdString())};
    }

    const QDateTime start_ = QDateTime(QDate::currentDate(), QTime(8, 0, 0));
    FakeClock clock_{start_};
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<ShopServer> a_;
    std::unique_ptr<ShopServer> b_;
    test::ServerLog log_;
};

} // namespace

TEST_P(TwoServersTest, ATokenFromOneServerIsHonouredByTheOther)
{
    const QByteArray token = login(*a_, "01");
    ASSERT_FALSE(token.isEmpty());
    for (const ShopServer *server : {a_.get(), b_.get()}) {
        const auto [status, body] = open(*server, token);
        ASSERT_EQ(status, 200) << body.dump();
        EXPECT_EQ(wire::resultSetFromJson(body.at("result")).fieldAt(0, 0).asString(), "张丽");
    }
    const QByteArray exec = test::rawPost(b_->port(), "/exec", R"({"code":"711","sql":"UPDATE D701 SET POSTOP = '沃雷' WHERE ZD_ID = '001'"})", token);
    EXPECT_EQ(test::httpStatus(exec), 200);
    EXPECT_TRUE(test::httpBody(exec).contains(R"("reply":"Y")")) << exec.toStdString();
    EXPECT_TRUE(log_.has("till=001/vorel user=01 op=711", "-> Y")) << log_.lines().join('\n').toStdString();
}

// Tampering, foreign keys and expiry are the token tests' cases (sessions_test.cpp); here
// both servers turn a token they cannot verify into the till's "log in again".
TEST_P(TwoServersTest, AForgedTokenIsRefusedByEitherServer)
{
    QByteArray token = login(*a_, "01");
    ASSERT_EQ(token.count('.'), 2);
    const qsizetype i = token.indexOf('.') + 5;
    token[i] = token[i] == 'A' ? 'B' : 'A';
    for (const ShopServer *server : {a_.get(), b_.get()}) {
        const auto [status, body] = open(*server, token);
        EXPECT_EQ(status, 401);
        EXPECT_EQ(wire::optionalText(body, "error"), NoSession);
    }

    // A key that cannot sign stops the server at start.
    shop_->open()->execute("UPDATE SYS_SERVER SET SECRET = 'abc'", nullptr);
    try {
        startServer(shop_->location());
        ADD_FAILURE() << "a server must not start with an unusable key";
    } catch (const ShopDatabaseError &e) {
        EXPECT_TRUE(e.message().contains("SYS_SERVER.SECRET")) << e.message().toStdString();
    }
}

TEST_P(TwoServersTest, EveryServerListsTheSameTills)
{
    // The till logs in and sends its messages through different servers, as a balancer may
    // hand them out.
    RemoteShopService till(test::addressOf(*a_, *b_), 5);
    ASSERT_EQ(till.thrGetLogin(test::loginOf("01")).rows.totalRowCount(), 1);
    RemoteShopService watcherA(test::addressOf(*a_), 5);
    RemoteShopService watcherB(test::addressOf(*b_), 5);
    ASSERT_EQ(watcherA.thrGetLogin(test::loginOf("99", "office")).rows.totalRowCount(), 1);
    ASSERT_EQ(watcherB.thrGetLogin(test::loginOf("02", "pc-2")).rows.totalRowCount(), 1);
    EXPECT_TRUE(watcherA.tillsOnline().value().isEmpty());

    EXPECT_FALSE(till.tcpSend("Shout", {})); // no such message
    EXPECT_TRUE(till.tcpSend("Connect", connectFields)); // through B
    for (RemoteShopService *watcher : {&watcherA, &watcherB}) {
        const QList<wire::OnlineTill> tills = watcher->tillsOnline().value();
        ASSERT_EQ(test::tillTexts(tills), QStringList{"vorel|001|01|张丽|CL 1.0"});
        EXPECT_EQ(tills[0].lastSeen, start_);
    }

    // Silent for longer than the window: offline everywhere. A keep-alive brings it back.
    clock_.advanceSeconds(TillList::OnlineWindowSeconds + 1);
    EXPECT_TRUE(watcherA.tillsOnline().value().isEmpty());
    EXPECT_TRUE(watcherB.tillsOnline().value().isEmpty());
    EXPECT_TRUE(till.tcpSend("0", {}));
    const QList<wire::OnlineTill> tills = watcherA.tillsOnline().value();
    ASSERT_EQ(tills.size(), 1);
    EXPECT_EQ(tills[0].lastSeen, clock_.now());

    // A keep-alive without a valid session is answered but moves nothing.
    clock_.advanceSeconds(TillList::OnlineWindowSeconds + 1);
    const QByteArray keepAlive = R"({"kind":"0","fields":[]})";
    for (const QByteArray &token : {QByteArray(), QByteArray("v1.forged.token")}) {
        EXPECT_EQ(test::httpStatus(test::rawPost(a_->messagePort(), "/message", keepAlive, token)), 200);
    }
    EXPECT_TRUE(watcherB.tillsOnline().value().isEmpty());
}

TEST_P(TwoServersTest, AnExpiredSessionIsRenewedByTheTillItself)
{
    RemoteShopService till(test::addressOf(*a_), 5);
    ASSERT_EQ(till.thrGetLogin(test::loginOf("01")).rows.totalRowCount(), 1);
    ASSERT_EQ(till.posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷1' WHERE ZD_ID = '001'", 3), ReplyOk);
    const qsizetype before = log_.lines().size();

    clock_.advanceSeconds(SessionTokens::LifetimeSeconds + 60);
    EXPECT_EQ(till.posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷2' WHERE ZD_ID = '001'", 3), ReplyOk);
    const QStringList after = log_.lines().mid(before);
    ASSERT_EQ(after.size(), 3) << after.join('\n').toStdString();
    EXPECT_TRUE(after[0].contains("-> 401")) << after[0].toStdString();
    EXPECT_TRUE(after[1].contains("op=login")) << after[1].toStdString();
    EXPECT_TRUE(after[2].endsWith("-> Y")) << after[2].toStdString();
    EXPECT_TRUE(till.hasSession());
    ResultSet rows;
    ASSERT_TRUE(till.posOpenSql(rows, "SELECT POSTOP FROM D701 WHERE ZD_ID = '001'"));
    EXPECT_EQ(rows.field("POSTOP").asString(), "沃雷2");
    EXPECT_EQ(log_.lines().size(), before + 4); // no second login
}

INSTANTIATE_TEST_SUITE_P(Backends, TwoServersTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
