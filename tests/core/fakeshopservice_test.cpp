#include "fakeshopservice.h"

#include <gtest/gtest.h>

using namespace vorel;

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

// ---- The scripts the other modules' tests rely on

TEST(FakeShopServiceRules, FirstMatchingExecRuleAnswers)
{
    FakeShopService fake;
    fake.onExec("UPDATE", "first");
    fake.onExec("update spkc", "second");
    const struct {
        const char *sql;
        const char *reply;
    } cases[] = {
        {"update spkc set sl=sl-1", "first"}, // added first, so it wins
        {"Update d712 set x=1", "first"},     // substrings match without regard to case
        {"delete from d713", "Y"},            // no rule: success
    };
    for (const auto &c : cases)
        EXPECT_EQ(exec(fake, c.sql), QString::fromUtf8(c.reply)) << c.sql;
    EXPECT_TRUE(fake.lastCallReachedServer());
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

    ResultSet out = oneRow("stale", "x");
    ASSERT_TRUE(fake.posOpenSql(out, "select * FROM spkc"));
    EXPECT_EQ(out.totalRowCount(), 2); // only what the scripted set shows
    EXPECT_FALSE(out.filtered());
    EXPECT_EQ(out.field("spdm").asString(), "002");
    EXPECT_FALSE(out.hasColumn("stale"));

    ASSERT_TRUE(fake.posOpenSql(out, "select * from d712")); // unscripted: no rows
    EXPECT_EQ(out.columnCount(), 0);

    out = oneRow("x", 1);
    EXPECT_FALSE(fake.posOpenSql(out, "select * from broken"));
    EXPECT_EQ(out.columnCount(), 0);
    EXPECT_TRUE(fake.lastCallReachedServer()); // a refused query is still an answer
}

TEST(FakeShopServiceRules, EveryCallFailsWhileUnreachable)
{
    FakeShopService fake;
    fake.onExec("update", "Y");
    fake.onOpen("select", oneRow("a", 1));
    fake.setReachable(false);
    EXPECT_EQ(exec(fake, "update x set y=1"), FakeShopService::UnreachableReply);
    EXPECT_FALSE(fake.lastCallReachedServer());
    ResultSet out = oneRow("old", 1);
    EXPECT_FALSE(fake.posOpenSql(out, "select a"));
    EXPECT_EQ(out.columnCount(), 0);
    EXPECT_FALSE(fake.thrGetLogin({"0001", "md5", "key", "db"}).reachable);
    EXPECT_FALSE(fake.tcpSend("0", {}));
    EXPECT_EQ(fake.calls().size(), 4); // unanswered calls are logged too

    fake.setReachable(true);
    EXPECT_EQ(exec(fake, "update x set y=1"), ReplyOk);
    EXPECT_TRUE(fake.posOpenSql(out, "select a"));
}
