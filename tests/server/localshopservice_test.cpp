#include "server/localshopservice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "fakeclock.h"
#include "servertestutil.h"

using namespace vorel;

namespace {

class LocalShopServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service_ = std::make_unique<LocalShopService>(dir_.filePath("VORELSHOP.db"), clock_);
        ASSERT_TRUE(service_->isOpen()) << service_->openError().toStdString();
    }

    static LoginRequest login(const QString &user, const QString &password, const QString &key = "vorel")
    {
        return LoginRequest{user, test::md5(password), key, "CL"};
    }

    QString exec(const QString &sql) { return service_->posExecSql(opcode::Plain, {}, {}, sql, 3); }

    QTemporaryDir dir_;
    FakeClock clock_{QDateTime(QDate(2026, 5, 20), QTime(14, 30, 0))};
    std::unique_ptr<LocalShopService> service_;
};

} // namespace

// Wrong passwords, unknown users and terminals are the login flow's cases; these are the rest.
TEST_F(LocalShopServiceTest, LoginAnswersForEachKindOfUserAndTerminal)
{
    ASSERT_EQ(exec("INSERT INTO D701 (ZD_ID, ZD_NAME, CK_ID, ZD_KEY, DB, T) VALUES ('002', '2号机', '001', 'pc-2', 1, 1)"),
              ReplyOk);
    const struct {
        const char *what;
        LoginRequest request;
        bool row;
        const char *terminal; // ZD_ID; empty: the terminal columns are null
        int disabled;
    } cases[] = {
        {"good user", login("01", "01"), true, "001", 0},
        {"password digest in capitals", LoginRequest{"01", test::md5("01").toUpper(), "vorel", "CL"}, true, "001", 0},
        {"inactive user", login("05", "05"), false, "", 0},
        {"quote in the user number", login("01' OR '1'='1", "x"), false, "", 0},
        {"disabled terminal", login("01", "01", "pc-2"), true, "002", 1},
        {"no terminal key", login("02", "02", ""), true, "", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const LoginReply reply = service_->thrGetLogin(c.request);
        EXPECT_TRUE(reply.reachable);
        ASSERT_EQ(reply.rows.columnCount(), 12);
        ASSERT_EQ(reply.rows.totalRowCount(), c.row ? 1 : 0);
        if (!c.row)
            continue;
        const ResultSet &r = reply.rows;
        EXPECT_EQ(r.field("user_id").asString(), c.request.userId);
        EXPECT_EQ(r.field("param").asString().split(',').size(), 30);
        EXPECT_EQ(r.field("serverdate").asDateTime(), clock_.now());
        EXPECT_EQ(r.field("ZD_ID").asString(), QString::fromUtf8(c.terminal));
        if (QString::fromUtf8(c.terminal).isEmpty()) {
            for (const char *col : {"CK_ID", "CK_NAME", "ZD_ID", "ZD_NAME", "DB", "ZD_T", "ZD_KEY"})
                EXPECT_TRUE(r.field(col).isNull()) << col;
        } else {
            EXPECT_EQ(r.field("ZD_T").asInt(), c.disabled);
            EXPECT_EQ(r.field("ZD_KEY").asString(), c.request.terminalKey);
            EXPECT_EQ(r.field("CK_NAME").asString(), "南京路旗舰店");
        }
    }
}

TEST_F(LocalShopServiceTest, ExecOpenAndByteCounters)
{
    const QString insert = "INSERT INTO D1005 (COL_ID, COL_NAME, S) VALUES ('88', '象牙白', 'W')";
    EXPECT_EQ(exec(insert), ReplyOk);
    EXPECT_EQ(service_->lastBytesSent(), insert.toUtf8().size());
    EXPECT_EQ(service_->lastBytesReceived(), 1);
    EXPECT_TRUE(exec(insert).contains("PK_D1005"));
    EXPECT_TRUE(service_->lastCallReachedServer());

    ResultSet rows;
    const QString select = "SELECT COL_ID, COL_NAME FROM D1005 WHERE COL_ID = '88'";
    ASSERT_TRUE(service_->posOpenSql(rows, select));
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(rows.field("COL_NAME").asString(), "象牙白");
    EXPECT_EQ(service_->lastBytesSent(), select.toUtf8().size());
    EXPECT_EQ(service_->lastBytesReceived(), qint64(wire::serialize(wire::resultSetToJson(rows)).size()));

    EXPECT_FALSE(service_->posOpenSql(rows, "SELECT NOPE FROM NOWHERE"));
    EXPECT_EQ(rows.columnCount(), 0);
}

TEST_F(LocalShopServiceTest, MemberNumbersAndTheMessageService)
{
    EXPECT_EQ(service_->getNoId("701", {}, 8), "88000008"); // the demo's cards end at 88000007
    EXPECT_EQ(service_->getNoId("701", {}, 8), "88000009");
    EXPECT_EQ(service_->getNoId("701", {}, 40), "");

    EXPECT_TRUE(service_->tillsOnline().isEmpty());
    service_->thrGetLogin(login("01", "01"));
    EXPECT_TRUE(service_->tcpSend("Connect", {"01 张丽", "CL 1.0", "0", "x", "*", "guid", "", "", ""}));
    clock_.advanceSeconds(40);
    EXPECT_TRUE(service_->tcpSend("0", {}));
    EXPECT_FALSE(service_->tcpSend("Hello", {}));
    const QList<wire::OnlineTill> tills = service_->tillsOnline();
    ASSERT_EQ(test::tillTexts(tills), QStringList{"vorel|001|01|张丽|CL 1.0"});
    EXPECT_EQ(tills[0].lastSeen, clock_.now());
}

TEST(LocalShopServiceStart, MakesTheDemoShopOnceAndKeepsItsData)
{
    QTemporaryDir dir;
    FakeClock clock;
    const QString file = dir.filePath("shop.db");
    {
        LocalShopService first(file, clock);
        ASSERT_TRUE(first.isOpen());
        EXPECT_EQ(first.posExecSql(opcode::Plain, {}, {}, "UPDATE SYS_USER SET USER_NAME = '张丽丽' WHERE USER_ID = '01'", 3),
                  ReplyOk);
    }
    LocalShopService second(file, clock);
    EXPECT_EQ(second.thrGetLogin(test::loginOf("01")).rows.field("user_name").asString(), "张丽丽");
}

TEST(LocalShopServiceStart, ADatabaseThatCannotStartAnswersTheLoginWithErrId)
{
    QTemporaryDir dir;
    FakeClock clock;
    const QString notAFile = dir.filePath("shop.db");
    ASSERT_TRUE(QDir().mkpath(notAFile)); // a folder where the shop file should be
    LocalShopService service(notAFile, clock);
    EXPECT_FALSE(service.isOpen());
    EXPECT_FALSE(service.openError().isEmpty());

    const LoginReply reply = service.thrGetLogin(test::loginOf("01"));
    EXPECT_TRUE(reply.reachable);
    ASSERT_EQ(reply.rows.columnCount(), 2);
    EXPECT_EQ(reply.rows.column(0).name, "ERRID");
    EXPECT_EQ(reply.rows.field("ERRMSG").asString(), service.openError());

    EXPECT_NE(service.posExecSql(opcode::Plain, {}, {}, "SELECT 1", 3), ReplyOk);
    ResultSet rows;
    EXPECT_FALSE(service.posOpenSql(rows, "SELECT 1"));
    EXPECT_FALSE(service.lastCallReachedServer());
    EXPECT_EQ(service.getNoId("701", {}, 8), "");
}
