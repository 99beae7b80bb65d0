// The remote shop service against a real server in this process, on SQLite and (with
// VOREL_TEST_PG) on PostgreSQL.

#include "server/remoteshopservice.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <thread>

#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;

namespace {

const QStringList connectFields{"01 张丽", "CL 1.0", "0", "secret", "*", "guid-1", "", "", ""};

class RemoteShopServiceTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo);
        server_ = test::startServer(shop_->location(), clock_, &log_, 3, 1);
    }

    std::unique_ptr<RemoteShopService> loggedIn(const QString &user, const QString &key = "vorel")
    {
        auto s = std::make_unique<RemoteShopService>(test::addressOf(*server_), 5);
        const LoginReply reply = s->thrGetLogin(test::loginOf(user, key));
        EXPECT_TRUE(reply.reachable);
        EXPECT_EQ(reply.rows.totalRowCount(), 1);
        return s;
    }

    SystemClock clock_;
    test::ServerLog log_;
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<ShopServer> server_;
};

} // namespace

TEST_P(RemoteShopServiceTest, LoginIssuesASessionOnlyForAGoodPassword)
{
    RemoteShopService till(test::addressOf(*server_), 5);
    LoginReply reply = till.thrGetLogin(LoginRequest{"01", test::md5("wrong"), "vorel", "CL"});
    EXPECT_TRUE(reply.reachable);
    EXPECT_EQ(reply.rows.totalRowCount(), 0);
    EXPECT_EQ(reply.rows.columnCount(), 12);
    EXPECT_FALSE(till.hasSession());

    reply = till.thrGetLogin(test::loginOf("01", "new-pc"));
    ASSERT_EQ(reply.rows.totalRowCount(), 1);
    EXPECT_TRUE(till.hasSession());
    EXPECT_EQ(reply.rows.field("user_name").asString(), "张丽");
    EXPECT_TRUE(reply.rows.field("ZD_ID").isNull()); // an unknown key: the till registers itself
    EXPECT_LE(std::abs(reply.rows.field("serverdate").asDateTime().secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_GT(till.lastBytesSent(), 0);
    EXPECT_GT(till.lastBytesReceived(), till.lastBytesSent());

    // The back office stops the till.
    shop_->open()->execute(QStringLiteral("UPDATE D701 SET T = 1 WHERE ZD_ID = '001'"), nullptr);
    reply = till.thrGetLogin(test::loginOf("02"));
    EXPECT_EQ(reply.rows.field("ZD_T").asInt(), 1);
}

TEST_P(RemoteShopServiceTest, ExecAndOpenCarryChineseTextAndExactValues)
{
    auto till = loggedIn("01");
    const QString insert = "INSERT INTO D702 (VIPID, VIPNAME, VIPADD, VIPZK, VIPM, BDATE) "
                           "VALUES ('66000001', '欧阳娜娜', '上海市\"静安区\" 路''口', 0.85, 1234.5678, '2026-02-03 04:05:06')";
    EXPECT_EQ(till->posExecSql(opcode::Member, "Add", "66000001", insert, 3), ReplyOk);
    EXPECT_TRUE(till->lastCallReachedServer());
    EXPECT_GT(till->lastBytesSent(), insert.toUtf8().size());
    EXPECT_TRUE(till->posExecSql(opcode::Member, "Add", "66000001", insert, 3).contains("PK_D702"));

    ResultSet rows;
    ASSERT_TRUE(till->posOpenSql(rows, "SELECT VIPID, VIPNAME, VIPADD, VIPZK, VIPM, BDATE, VIPNOTE FROM D702 "
                                       "WHERE VIPID = '66000001'"));
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(rows.field("VIPNAME").asString(), "欧阳娜娜");
    EXPECT_EQ(rows.field("VIPADD").asString(), "上海市\"静安区\" 路'口");
    EXPECT_EQ(rows.field("VIPZK").asMoney(), Money::parse("0.85").value());
    EXPECT_EQ(rows.field("VIPM").asMoney(), Money::parse("1234.5678").value());
    EXPECT_EQ(rows.field("BDATE").asDateTime(), QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6)));
    EXPECT_TRUE(rows.field("VIPNOTE").isNull());
    EXPECT_EQ(rows.column(rows.columnIndex("VIPZK")).type, FieldType::Decimal);

    // A query the database refuses: false, no columns, and the server was reached.
    EXPECT_FALSE(till->posOpenSql(rows, "SELECT NOPE FROM NOWHERE"));
    EXPECT_EQ(rows.columnCount(), 0);
    EXPECT_TRUE(till->lastCallReachedServer());
    EXPECT_FALSE(till->lastMessage().isEmpty());

    // A batch the till sends with its guard: the RAISERROR text is the reply.
    EXPECT_EQ(till->posExecSql(opcode::Plain, {}, {},
                               "IF EXISTS (SELECT 1 FROM D702 WHERE VIPID='66000001') RAISERROR('会员卡号已存在!', 16, 1)", 3),
              "会员卡号已存在!");

    EXPECT_TRUE(log_.has("till=001/vorel user=01 op=701", "-> Y")) << log_.lines().join('\n').toStdString();
}

TEST_P(RemoteShopServiceTest, NobodyReachesTheDatabaseWithoutASession)
{
    RemoteShopService stranger(test::addressOf(*server_), 5);
    const QString reply = stranger.posExecSql(opcode::Plain, {}, {}, "DELETE FROM SYS_USER", 3);
    EXPECT_NE(reply, ReplyOk);
    EXPECT_TRUE(reply.contains("登录")) << reply.toStdString();
    EXPECT_TRUE(stranger.lastCallReachedServer());
    ResultSet rows;
    EXPECT_FALSE(stranger.posOpenSql(rows, "SELECT * FROM SYS_USER"));
    EXPECT_EQ(stranger.getNoId("701", {}, 8), "");
    EXPECT_FALSE(stranger.tillsOnline().has_value());
    EXPECT_FALSE(stranger.tcpSend("Connect", connectFields));
    EXPECT_TRUE(stranger.tcpSend("0", {})); // the keep-alive only says the server is there

    const struct {
        const char *path;
        QByteArray token;
    } calls[] = {
        {"/exec", {}},
        {"/exec", "00000000000000000000000000000000"},
        {"/open", "Bearer-but-wrong"},
        {"/noid", {}},
    };
    for (const auto &c : calls) {
        const QByteArray answer = test::rawPost(server_->port(), c.path, R"({"sql":"DELETE FROM SYS_USER","code":"701","length":8})", c.token);
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 401")) << c.path << ": " << answer.left(200).toStdString();
        EXPECT_TRUE(answer.contains("error")) << answer.toStdString();
    }
    auto admin = loggedIn("99");
    ASSERT_TRUE(admin->posOpenSql(rows, "SELECT COUNT(*) AS N FROM SYS_USER"));
    EXPECT_GT(rows.field("N").asInt(), 0);

    // A malformed body is refused as such.
    const QByteArray garbage = test::rawPost(server_->port(), "/login", "{not json");
    EXPECT_TRUE(garbage.startsWith("HTTP/1.1 400")) << garbage.toStdString();
}

TEST_P(RemoteShopServiceTest, MemberNumbersStayUniqueAcrossTills)
{
    constexpr int tills = 3;
    constexpr int each = 8;
    std::vector<std::unique_ptr<RemoteShopService>> services;
    for (int i = 0; i < tills; ++i)
        services.push_back(loggedIn("01"));
    std::vector<QStringList> drawn(tills);
    {
        std::vector<std::thread> threads;
        for (int i = 0; i < tills; ++i) {
            threads.emplace_back([&, i] {
                for (int n = 0; n < each; ++n)
                    drawn[i] << services[i]->getNoId("701", {}, 8);
            });
        }
        for (std::thread &t : threads)
            t.join();
    }
    QSet<QString> unique;
    for (const QStringList &list : drawn) {
        for (const QString &n : list) {
            EXPECT_EQ(n.size(), 8);
            unique.insert(n);
        }
    }
    EXPECT_EQ(unique.size(), tills * each);
    EXPECT_TRUE(unique.contains("88000008")); // the demo's cards end at 88000007
    EXPECT_EQ(services[0]->getNoId("701", {}, 30), ""); // too long: refused
}

TEST_P(RemoteShopServiceTest, ACallAfterTheServerClosedTheIdleConnectionGoesThrough)
{
    auto till = loggedIn("01");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(till->posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷' WHERE ZD_ID = '001'", 3), ReplyOk) << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(i == 1 ? 1500 : 10));
    }
}

TEST_P(RemoteShopServiceTest, ARestartedServerStillKnowsTheSessionAndTheTills)
{
    auto till = loggedIn("01");
    ASSERT_EQ(till->posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷' WHERE ZD_ID = '001'", 3), ReplyOk);
    ASSERT_TRUE(till->tcpSend("Connect", connectFields));
    const int port = server_->port();
    const int messagePort = server_->messagePort();
    server_.reset();
    EXPECT_EQ(till->posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷2' WHERE ZD_ID = '001'", 3),
              RemoteShopService::UnreachableReply);
    EXPECT_FALSE(till->lastCallReachedServer());
    EXPECT_FALSE(till->tcpSend("0", {}));

    server_ = test::startServer(shop_->location(), clock_, &log_, 3, 1, port, messagePort);
    const qsizetype before = log_.lines().size();
    EXPECT_EQ(till->posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '沃雷3' WHERE ZD_ID = '001'", 3), ReplyOk);
    ResultSet rows;
    ASSERT_TRUE(till->posOpenSql(rows, "SELECT POSTOP FROM D701 WHERE ZD_ID = '001'"));
    EXPECT_EQ(rows.field("POSTOP").asString(), "沃雷3");
    const std::optional<QList<wire::OnlineTill>> tills = till->tillsOnline();
    ASSERT_TRUE(tills.has_value());
    ASSERT_EQ(tills->size(), 1);
    EXPECT_EQ(tills->at(0).terminalKey, "vorel");
    const QStringList lines = log_.lines().mid(before);
    EXPECT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    for (const QString &line : lines)
        EXPECT_FALSE(line.contains("op=login") || line.contains("-> 401")) << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, RemoteShopServiceTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());

// ---- a server that cannot be used

TEST(RemoteShopServiceUnusable, RefusedConnectionFailsAtOnce)
{
    RemoteShopService till(RemoteServer{"127.0.0.1", test::freePort(), test::freePort(), false, {}}, 3);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(till.posExecSql(opcode::Plain, {}, {}, "SELECT 1", 3), RemoteShopService::UnreachableReply);
    EXPECT_FALSE(till.lastCallReachedServer());
    EXPECT_EQ(till.lastBytesReceived(), 0);
    ResultSet rows({{"X", FieldType::Text}});
    rows.appendRow({"stale"});
    EXPECT_FALSE(till.posOpenSql(rows, "SELECT 1"));
    EXPECT_EQ(rows.columnCount(), 0);
    EXPECT_FALSE(till.thrGetLogin(test::loginOf("01")).reachable);
    EXPECT_EQ(till.getNoId("701", {}, 8), "");
    EXPECT_FALSE(till.tcpSend("0", {}));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(RemoteShopServiceUnusable, AServerThatNeverAnswersTimesOut)
{
    test::LoopbackSocket silent(true); // accepts connections, never reads or answers
    RemoteShopService till(RemoteServer{"127.0.0.1", silent.port(), silent.port(), false, {}}, 1);
    const struct {
        const char *what;
        std::function<bool()> unusable;
    } calls[] = {
        {"exec", [&] { return till.posExecSql(opcode::Plain, {}, {}, "SELECT 1", 1) == RemoteShopService::UnreachableReply; }},
        {"open", [&] { ResultSet r; return !till.posOpenSql(r, "SELECT 1"); }},
        {"member number", [&] { return till.getNoId("701", {}, 8).isEmpty(); }},
    };
    for (const auto &c : calls) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(c.unusable()) << c.what;
        EXPECT_FALSE(till.lastCallReachedServer()) << c.what;
        EXPECT_GE(timer.elapsed(), 900) << c.what;
        EXPECT_LT(timer.elapsed(), 3000) << c.what;
    }
}

// ---- TLS

TEST(RemoteShopServiceTls, TalksToAServerWithItsOwnCertificate)
{
    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty())
        GTEST_SKIP() << "no openssl program to make a certificate with";
    QTemporaryDir dir;
    const QString cert = dir.filePath("server.crt");
    const QString key = dir.filePath("server.key");
    QProcess make;
    make.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                         "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    ASSERT_TRUE(make.waitForFinished(30000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

    test::TestShop shop(BackendKind::SQLite, test::TestShop::Content::Demo);
    SystemClock clock;
    ServerOptions options;
    options.location = shop.location();
    options.host = "127.0.0.1";
    options.port = 0;
    options.messagePort = 0;
    options.tlsCertificate = cert;
    options.tlsKey = key;
    options.log = [](const QString &) {};
    ShopServer server(options, clock);
    server.start();

    RemoteShopService trusting(RemoteServer{"127.0.0.1", server.port(), server.messagePort(), true, cert}, 5);
    ASSERT_EQ(trusting.thrGetLogin(test::loginOf("01")).rows.totalRowCount(), 1);
    EXPECT_EQ(trusting.posExecSql(opcode::Plain, {}, {}, "UPDATE D701 SET POSTOP = '加密' WHERE ZD_ID = '001'", 3), ReplyOk);
    EXPECT_TRUE(trusting.tcpSend("Connect", connectFields));

    // Plain HTTP to the TLS port gets no usable answer.
    RemoteShopService plain(RemoteServer{"127.0.0.1", server.port(), server.messagePort(), false, {}}, 2);
    EXPECT_FALSE(plain.thrGetLogin(test::loginOf("01")).reachable);

    options.tlsKey = dir.filePath("missing.key");
    EXPECT_THROW(ShopServer(options, clock).start(), ServerError);
}
