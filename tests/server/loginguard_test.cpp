// The login as an attacker tries it, through two real servers in front of one shop (SQLite
// and, with VOREL_TEST_PG, PostgreSQL): who gets a token, what guessing costs, when a token
// ends, and what the request log lets a client write.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "server/localshopservice.h"
#include "server/loginguard.h"
#include "server/login.h"
#include "server/sessions.h"
#include "fakeclock.h"
#include "servertestutil.h"
#include "testshop.h"

using namespace vorel;
using namespace vorel::server;
using sql::BackendKind;
using wire::Json;

namespace {

const QString WrongPassword = QStringLiteral("用户或密码错误,请重新输入!");

struct Answer {
    int status = 0;
    Json body;
    QByteArray token() const
    {
        return body.is_object() ? wire::toQString(body.value("token", Json())).toLatin1() : QByteArray();
    }
    QString refusal() const { return body.is_object() ? wire::optionalText(body, "refusal") : QString(); }
    int rows() const
    {
        return body.is_object() && body.contains("result") ? wire::resultSetFromJson(body.at("result")).totalRowCount()
                                                           : -1;
    }
};

class LoginGuardTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override
    {
        VOREL_REQUIRE_BACKEND(GetParam());
        shop_ = std::make_unique<test::TestShop>(GetParam(), test::TestShop::Content::Demo);
        a_ = test::startServer(shop_->location(), clock_, &log_, 2, 1);
        b_ = test::startServer(shop_->location(), clock_, &log_, 2, 1);
    }

    static Answer post(const ShopServer &server, const char *path, const Json &body, const QByteArray &token = {})
    {
        const QByteArray raw = test::rawPost(server.port(), path, QByteArray::fromStdString(body.dump()), token);
        return {test::httpStatus(raw), Json::parse(test::httpBody(raw).toStdString(), nullptr, false)};
    }

    static Answer login(const ShopServer &server, const QString &user, const QString &password,
                        const QString &key = QStringLiteral("vorel"))
    {
        return post(server, "/login",
                    Json{{"user", user.toStdString()},
                         {"password_md5", test::md5(password).toStdString()},
                         {"terminal_key", key.toStdString()},
                         {"database", "CL"}});
    }

    static int read(const ShopServer &server, const QByteArray &token)
    {
        return post(server, "/open", Json{{"sql", "SELECT CO_NAME FROM SYS_CO"}}, token).status;
    }

    void onShop(const QString &sql)
    {
        shop_->open()->execute(sql, nullptr);
    }

    FakeClock clock_{QDateTime(QDate::currentDate(), QTime(8, 0, 0))};
    test::ServerLog log_;
    std::unique_ptr<test::TestShop> shop_;
    std::unique_ptr<ShopServer> a_;
    std::unique_ptr<ShopServer> b_;
};

} // namespace

TEST_P(LoginGuardTest, OnlyAnActiveUserWithTheTillRightGetsAToken)
{
    const QString badFields = QStringLiteral("用户号不正确");
    struct Case {
        const char *what;
        QString user;
        QString password;
        QString key;
        int status;
        bool token;
        QString refusal; // its beginning
    } cases[] = {
        {"a cashier", "01", "01", "vorel", 200, true, {}},
        {"till right off", "03", "03", "vorel", 200, false, NoTillRightRefusal},
        {"no rights at all", "10", "10", "vorel", 200, false, NoTillRightRefusal},
        {"inactive", "05", "05", "vorel", 200, false, {}},
        {"wrong password", "02", "nope", "vorel", 200, false, {}},
        {"NUL in the user", QStringLiteral("0%11").arg(QChar(0)), "01", "vorel", 400, false, badFields},
        {"newline in the user", "01\nfake line", "01", "vorel", 400, false, badFields},
        {"line separator in the user", QStringLiteral("01%1").arg(QChar(0x2028)), "01", "vorel", 400, false, badFields},
        {"user too long", "0123456789012", "01", "vorel", 400, false, badFields},
        {"escape in the key", "01", "01", "vo\x1brel", 400, false, QStringLiteral("终端验证码不正确")},
    };
    for (const Case &c : cases) {
        const Answer a = login(*a_, c.user, c.password, c.key);
        EXPECT_EQ(a.status, c.status) << c.what << ": " << a.body.dump();
        EXPECT_EQ(!a.token().isEmpty(), c.token) << c.what;
        EXPECT_TRUE(a.refusal().startsWith(c.refusal)) << c.what << ": " << a.refusal().toStdString();
        EXPECT_EQ(a.refusal().isEmpty(), c.refusal.isEmpty()) << c.what;
        if (c.status == 200) {
            EXPECT_EQ(a.rows(), c.token ? 1 : 0) << c.what;
        }
        EXPECT_FALSE(QString::fromStdString(a.body.dump()).contains("SQL", Qt::CaseInsensitive)) << c.what;
    }
    // A digest that is no digest is refused as such, whatever it holds.
    const Answer injected =
        post(*a_, "/login", Json{{"user", "01"}, {"password_md5", "x' OR '1'='1"}, {"terminal_key", "vorel"}});
    EXPECT_EQ(injected.status, 400);
    EXPECT_TRUE(injected.token().isEmpty());

    // The till is told the same through either shop service (the in-process one is on SQLite).
    RemoteShopService remote(test::addressOf(*b_), 5);
    std::vector<ShopService *> services{&remote};
    std::unique_ptr<LocalShopService> local;
    if (GetParam() == BackendKind::SQLite)
        services.push_back((local = std::make_unique<LocalShopService>(shop_->location(), clock_)).get());
    for (ShopService *service : services) {
        const LoginReply reply = service->thrGetLogin(test::loginOf("03"));
        EXPECT_TRUE(reply.reachable);
        EXPECT_EQ(reply.rows.totalRowCount(), 0);
        EXPECT_EQ(reply.refusal, NoTillRightRefusal);
    }
    EXPECT_FALSE(remote.hasSession());
}

TEST_P(LoginGuardTest, GuessingIsLockedPerUserOnEveryServerAndPerAddress)
{
    // Five wrong passwords, spread over both servers and the status page's login: the user
    // is locked on both, even with the right password, until the lock has passed.
    for (int i = 0; i < 5; ++i) {
        if (i == 4) {
            EXPECT_EQ(post(*a_, "/status/login", Json{{"user", "02"}, {"password", "guess"}}).status, 401);
            continue;
        }
        const Answer a = login(i % 2 ? *b_ : *a_, "02", QStringLiteral("guess%1").arg(i));
        ASSERT_EQ(a.status, 200) << i;
        EXPECT_EQ(a.rows(), 0);
    }
    for (const ShopServer *server : {a_.get(), b_.get()}) {
        const Answer locked = login(*server, "02", "02");
        EXPECT_EQ(locked.status, 429);
        EXPECT_EQ(locked.refusal(), QStringLiteral("登录尝试过多,请30秒后再试!"));
        EXPECT_TRUE(locked.token().isEmpty());
    }
    EXPECT_EQ(post(*b_, "/status/login", Json{{"user", "02"}, {"password", "02"}}).status, 429);
    EXPECT_TRUE(log_.has("user=02", "-> 429 too many attempts (user), 30 s")) << log_.lines().join('\n').toStdString();
    // The till shows the refusal.
    RemoteShopService till(test::addressOf(*a_), 5);
    EXPECT_EQ(till.thrGetLogin(test::loginOf("02")).refusal, QStringLiteral("登录尝试过多,请30秒后再试!"));

    clock_.advanceSeconds(31);
    EXPECT_FALSE(login(*b_, "02", "02").token().isEmpty());
    // The login that went through cleared the count: one more wrong password locks nothing.
    login(*a_, "02", "wrong");
    EXPECT_FALSE(login(*a_, "02", "02").token().isEmpty());

    // Unknown users from one address: the address is locked after twenty.
    clock_.advanceSeconds(AddressThrottle::MaxAddresses); // long enough to forget the earlier ones
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(login(*a_, QStringLiteral("x%1").arg(i), "x").status, 200) << i;
    const Answer locked = login(*a_, "01", "01");
    EXPECT_EQ(locked.status, 429);
    EXPECT_TRUE(locked.refusal().startsWith(QStringLiteral("登录尝试过多")));
    EXPECT_FALSE(login(*b_, "01", "01").token().isEmpty()); // the other server counts its own addresses
}

TEST_P(LoginGuardTest, ATokenEndsWithItsUsersLogoutPasswordActiveFlagAndRow)
{
    struct Case {
        const char *what;
        const char *user;
        const char *change; // on the shop; empty: the till logs out
    } cases[] = {
        {"logout", "01", ""},
        {"password changed", "02", "UPDATE SYS_USER SET PASSWORD = 'ffffffffffffffffffffffffffffffff' WHERE USER_ID = '02'"},
        {"deactivated", "99", "UPDATE SYS_USER SET T = 0 WHERE USER_ID = '99'"},
        {"till right taken", "04", "UPDATE SYS_USER SET POS_QS = '00000000000000000' WHERE USER_ID = '04'"},
        {"deleted", "04", "DELETE FROM SYS_USER WHERE USER_ID = '04'"},
    };
    for (const Case &c : cases) {
        if (QByteArray(c.what) == "deleted")
            onShop("UPDATE SYS_USER SET POS_QS = '10000000000000000' WHERE USER_ID = '04'");
        clock_.advanceSeconds(SessionCheck::CacheSeconds);
        const QByteArray token = login(*a_, c.user, c.user).token();
        ASSERT_FALSE(token.isEmpty()) << c.what;
        ASSERT_EQ(read(*a_, token), 200) << c.what;
        ASSERT_EQ(read(*b_, token), 200) << c.what;
        if (*c.change)
            onShop(QString::fromUtf8(c.change));
        else
            EXPECT_EQ(post(*a_, "/logout", Json::object(), token).status, 200);
        // The server that served the logout knows at once; any server within the cache time.
        if (!*c.change) {
            EXPECT_EQ(read(*a_, token), 401) << c.what;
        }
        clock_.advanceSeconds(SessionCheck::CacheSeconds);
        EXPECT_EQ(read(*a_, token), 401) << c.what;
        EXPECT_EQ(read(*b_, token), 401) << c.what;
    }
    // A logout ends only what was issued before it.
    const QByteArray again = login(*a_, "01", "01").token();
    EXPECT_EQ(read(*b_, again), 200);
}

TEST_P(LoginGuardTest, TheTillLogsInAgainAfterChangingItsOwnPassword)
{
    RemoteShopService till(test::addressOf(*a_), 5);
    ASSERT_EQ(till.thrGetLogin(test::loginOf("02")).rows.totalRowCount(), 1);
    const QString newDigest = test::md5("new");
    ASSERT_EQ(till.posExecSql(opcode::Plain, {}, {},
                              QStringLiteral("UPDATE SYS_USER SET PASSWORD = '%1' WHERE USER_ID = '02'").arg(newDigest), 3),
              ReplyOk);
    // The network watch's client carries the till's session as it is renewed.
    RemoteShopService watch(test::addressOf(*b_), 5);
    watch.useSession(till.sharedSession());
    till.passwordChanged(newDigest);
    clock_.advanceSeconds(SessionCheck::CacheSeconds);
    ResultSet rows;
    EXPECT_TRUE(till.posOpenSql(rows, "SELECT CO_NAME FROM SYS_CO")) << till.lastMessage().toStdString();
    EXPECT_TRUE(watch.tcpSend("Connect", {"02 王芳", "CL 1.0"}));
    // The old password no longer opens a session.
    EXPECT_EQ(login(*b_, "02", "02").rows(), 0);
}

TEST_P(LoginGuardTest, NoClientTextForgesALineOrLeavesADigestInTheLog)
{
    const qsizetype before = log_.lines().size();
    const QStringList users{"01\n2026-01-01 08:00:00 127.0.0.1 till=001 user=99 op=711 path=/exec 1ms -> Y",
                            QStringLiteral("01\r\u2028x"), "01 user=99"};
    for (const QString &user : users)
        login(*a_, user, "01", "vorel\ntill=999");
    const QByteArray token = login(*a_, "01", "01").token();
    post(*a_, "/exec", Json{{"code", "711\nop=forged"}, {"sql", "UPDATE SYS_USER SET PASSWORD = PASSWORD WHERE 1 = 0"}},
         token);
    const QStringList lines = log_.lines().mid(before);
    ASSERT_EQ(lines.size(), users.size() + 2) << lines.join('\n').toStdString();
    for (const QString &line : lines) {
        const QStringList fields = line.split(u' ');
        EXPECT_EQ(fields.filter(QRegularExpression(QStringLiteral("^user="))).size(), 1) << line.toStdString();
        EXPECT_EQ(fields.filter(QRegularExpression(QStringLiteral("^till="))).size(), 1) << line.toStdString();
        EXPECT_FALSE(line.contains(test::md5("01"))) << line.toStdString();
        for (const QChar ch : line)
            EXPECT_TRUE(ch.unicode() >= 0x20 && ch.category() != QChar::Separator_Line) << line.toStdString();
    }
    EXPECT_TRUE(lines.first().contains("user=01\\x0a2026-01-01\\x2008:00:00")) << lines.first().toStdString();
    EXPECT_TRUE(lines.last().contains("op=711\\x0aop=forged path=/exec")) << lines.last().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, LoginGuardTest, ::testing::Values(BackendKind::SQLite, BackendKind::PostgreSQL),
                         ::testing::PrintToStringParamName());
