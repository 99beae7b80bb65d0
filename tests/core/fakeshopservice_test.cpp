#include "fakeshopservice.h"

#include <gtest/gtest.h>

using namespace vorel;
using Kind = FakeShopService::CallKind;

namespace {

ResultSet oneRow(const QString &column, const QVariant &value)
{
    ResultSet rs({{column, FieldType::Text}});
    rs.appendRow({value});
    return rs;
}

QString exec(ShopService &s, const QString &sql)
{
    return s.posExecSql(opcode::Plain, {}, {}, sql, 3);
}

} // namespace

// ---- execSql on top of posExecSql

TEST(ShopServiceExecSql, PassesYAndThrowsAnythingElse)
{
    FakeShopService fake;
    fake.onExec("insert into d712", "违反了 PRIMARY KEY 约束“PK_D712”");
    EXPECT_EQ(fake.execSql(opcode::Plain, {}, {}, "update d712 set x=1", 3), ReplyOk);
    try {
        fake.execSql(opcode::Slip, "S001", "Add", "insert into d712 values (1)", 3);
        FAIL() << "a refused batch must throw";
    } catch (const ShopServiceError &e) {
        EXPECT_EQ(e.message(), "违反了 PRIMARY KEY 约束“PK_D712”");
    }
    fake.setReachable(false);
    EXPECT_THROW(fake.execSql(opcode::Plain, {}, {}, "update d712 set x=1", 3), ShopServiceError);
    ASSERT_EQ(fake.calls().size(), 3);
    EXPECT_EQ(fake.calls().at(1).code, opcode::Slip);
}

// ---- Rules

TEST(FakeShopServiceRules, FirstMatchingExecRuleAnswers)
{
    FakeShopService fake;
    fake.onExec("UPDATE", "first");
    fake.onExec(QRegularExpression("^update spkc"), "second");
    fake.onExec(QRegularExpression("^insert into \\w+ values"), "regex");
    fake.onExec("insert", "fallback");

    const struct {
        const char *sql;
        const char *reply;
    } cases[] = {
        {"update spkc set sl=sl-1", "first"}, // added first, so it wins over the regex
        {"Update d712 set x=1", "first"},     // substrings match without regard to case
        {"insert into d713 values (1)", "regex"},
        {"INSERT INTO d713 VALUES (1)", "fallback"}, // the regex is case-sensitive
        {"delete from d713", "Y"},                   // no rule: success
    };
    for (const auto &c : cases)
        EXPECT_EQ(exec(fake, c.sql), QString::fromUtf8(c.reply)) << c.sql;
    EXPECT_TRUE(fake.lastCallReachedServer());
}

TEST(FakeShopServiceRules, LimitedRulesRetire)
{
    FakeShopService fake;
    fake.onExec("insert", "库存不足", 2);
    fake.onExec("insert", "PK_D712", 1);
    QStringList replies;
    for (int i = 0; i < 5; ++i)
        replies << exec(fake, "insert into d712 values (1)");
    EXPECT_EQ(replies, (QStringList{"库存不足", "库存不足", "PK_D712", "Y", "Y"}));

}

TEST(FakeShopServiceRules, OpenReturnsAFreshCopyOfTheScriptedSet)
{
    ResultSet scripted({{"spdm", FieldType::Text}, {"sl", FieldType::Integer}});
    scripted.appendRow({"001", 1});
    scripted.appendRow({"002", 5});
    scripted.appendRow({"003", 7});
    scripted.setFilter("sl>1");
    scripted.last();

    FakeShopService fake;
    fake.onOpen("from spkc", scripted);
    fake.onOpenFail("from broken");

    ResultSet out({{"stale", FieldType::Text}});
    out.appendRow({"x"});
    ASSERT_TRUE(fake.posOpenSql(out, "select * FROM spkc"));
    EXPECT_EQ(out.totalRowCount(), 2); // only what the scripted set shows
    EXPECT_FALSE(out.filtered());
    EXPECT_EQ(out.recNo(), 0);
    EXPECT_EQ(out.field("spdm").asString(), "002");
    EXPECT_FALSE(out.hasColumn("stale"));

    ASSERT_TRUE(fake.posOpenSql(out, "select * from d712")); // unscripted: no rows
    EXPECT_EQ(out.columnCount(), 0);
    EXPECT_TRUE(out.eof());

    out = oneRow("x", 1);
    EXPECT_FALSE(fake.posOpenSql(out, "select * from broken"));
    EXPECT_EQ(out.columnCount(), 0);
    EXPECT_TRUE(fake.lastCallReachedServer()); // a refused query is still an answer
}

// ---- Unreachable server

TEST(FakeShopServiceReachability, EveryCallFailsWhileUnreachable)
{
    FakeShopService fake;
    fake.onExec("update", "Y");
    fake.onOpen("select", oneRow("a", 1));
    fake.setLoginReply(oneRow("user_id", "0001"));
    fake.setNextMemberNumbers({"M0001"});
    fake.setReachable(false);
    EXPECT_EQ(exec(fake, "update x set y=1"), FakeShopService::UnreachableReply);
    EXPECT_FALSE(fake.lastCallReachedServer());
    EXPECT_EQ(fake.lastBytesSent(), 0);

    ResultSet out = oneRow("old", 1);
    EXPECT_FALSE(fake.posOpenSql(out, "select a"));
    EXPECT_EQ(out.columnCount(), 0);

    const LoginReply login = fake.thrGetLogin({"0001", "md5", "key", "db"});
    EXPECT_FALSE(login.reachable);
    EXPECT_EQ(login.rows.totalRowCount(), 0);
    EXPECT_TRUE(fake.getNoId(opcode::Member, "Add", 8).isEmpty());
    EXPECT_FALSE(fake.tcpSend("0", {}));
    EXPECT_FALSE(fake.lastCallReachedServer());
    EXPECT_EQ(fake.calls().size(), 5); // unanswered calls are logged too

    // Back online: the scripts answer again, the member number was not used up.
    fake.setReachable(true);
    EXPECT_EQ(exec(fake, "update x set y=1"), ReplyOk);
    EXPECT_TRUE(fake.thrGetLogin({"0001", "md5", "key", "db"}).reachable);
    EXPECT_EQ(fake.getNoId(opcode::Member, "Add", 8), "M0001");
    EXPECT_TRUE(fake.tcpSend("0", {}));
}

// ---- Login, member numbers, message service

TEST(FakeShopServiceCalls, LoginAnswersWithTheScriptedRows)
{
    FakeShopService fake;
    const LoginReply none = fake.thrGetLogin({"0001", "bad", "K", "shop"});
    EXPECT_TRUE(none.reachable);
    EXPECT_TRUE(none.rows.isEmpty()); // wrong user or password

    ResultSet row({{"user_id", FieldType::Text}, {"DB", FieldType::Integer}});
    row.appendRow({"0001", 1});
    fake.setLoginReply(row);
    const LoginReply ok = fake.thrGetLogin({"0001", "md5", "K", "shop"});
    EXPECT_TRUE(ok.reachable);
    EXPECT_EQ(ok.rows.field("USER_ID").asString(), "0001");
    EXPECT_TRUE(ok.rows.field("db").asBool());

    const auto logins = fake.calls(Kind::Login);
    ASSERT_EQ(logins.size(), 2);
    EXPECT_EQ(logins.at(1).fields, (QStringList{"0001", "md5", "K", "shop"}));
}

TEST(FakeShopServiceCalls, MemberNumbersInTurnThenCounted)
{
    FakeShopService fake;
    fake.setNextMemberNumbers({"V8000001", "V8000002"});
    EXPECT_EQ(fake.getNoId(opcode::Member, "Add", 8), "V8000001");
    EXPECT_EQ(fake.getNoId(opcode::Member, "Add", 8), "V8000002");
    EXPECT_EQ(fake.getNoId(opcode::Member, "Add", 6), "000001"); // the list ran out: counted
    EXPECT_EQ(fake.getNoId(opcode::Member, "Add", 6), "000002");
    EXPECT_EQ(fake.calls(Kind::NoId).at(2).fields, QStringList{"6"});
}

TEST(FakeShopServiceCalls, LogKeepsEveryCallInOrder)
{
    FakeShopService fake;
    ResultSet out;
    fake.posExecSql(opcode::Slip, "S0001", "Add", "insert into d712 values (1)", 5);
    fake.posOpenSql(out, "select * from d712");
    fake.tcpSend("Connect", {"a", "b"});
    fake.posExecSql(opcode::LoginLog, {}, "E", "insert into d211 values (2)", 3);

    const auto &calls = fake.calls();
    ASSERT_EQ(calls.size(), 4);
    EXPECT_EQ(calls.at(0).kind, Kind::Exec);
    EXPECT_EQ(calls.at(0).code, opcode::Slip);
    EXPECT_EQ(calls.at(0).timeoutSeconds, 5);
    EXPECT_EQ(calls.at(1).code, opcode::Read);
    EXPECT_EQ(calls.at(2).kind, Kind::TcpSend);
    EXPECT_EQ(calls.at(2).fields, (QStringList{"a", "b"}));
    EXPECT_EQ(fake.executedSql(),
              (QStringList{"insert into d712 values (1)", "insert into d211 values (2)"}));
    EXPECT_EQ(fake.calls(Kind::Exec).at(1).operation, "E");

}

TEST(FakeShopServiceCalls, ByteCountersFollowTheUtf8Sizes)
{
    FakeShopService fake;
    fake.onExec("中", "库存不足");
    fake.posExecSql("711", "k", "", "update 中", 3);
    EXPECT_EQ(fake.lastBytesSent(), 3 + 1 + 7 + 3);
    EXPECT_EQ(fake.lastBytesReceived(), 4 * 3);

    ResultSet rows({{"ab", FieldType::Text}, {"n", FieldType::Decimal}});
    rows.appendRow({"品牌", 2.5});
    rows.appendRow({QVariant(), 10.0});
    fake.onOpen("select", rows);
    ResultSet out;
    fake.posOpenSql(out, "select 1");
    EXPECT_EQ(fake.lastBytesSent(), 8);
    // names "ab" "n", values "品牌" "2.5" "" "10"
    EXPECT_EQ(fake.lastBytesReceived(), 2 + 1 + 6 + 3 + 0 + 2);

    fake.tcpSend("0", {});
    EXPECT_EQ(fake.lastBytesSent(), 1);
    EXPECT_EQ(fake.lastBytesReceived(), 0);
}
